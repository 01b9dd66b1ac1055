#!/usr/bin/env python3
"""A GSM modem on a pseudo-terminal, mapped into a Wine prefix as a COM port.

The answer logic (class Modem) is kept apart from the terminal and the clock:
it takes received bytes and the line speed the program set, and returns the
bytes to send back. The runner (run) owns the pty, the COM link, the log and
the timers. See README.md beside this file for the options and the log format.
"""

import argparse
import errno
import fcntl
import os
import random
import re
import select
import signal
import socket
import sys
import termios
import time
import tty

import smspdu

CR = b"\r"
ESC = 0x1B
CTRL_Z = 0x1A

# Speeds a program can set, keyed by the termios constant tcgetattr reports.
SPEEDS = {}
for _rate in (0, 50, 75, 110, 134, 150, 200, 300, 600, 1200, 1800, 2400, 4800, 9600, 19200, 38400,
              57600, 115200, 230400, 460800, 921600):
    _const = getattr(termios, "B%d" % _rate, None)
    if _const is not None:
        SPEEDS[_const] = _rate

RESET_COMMANDS = ("cfun", "e2reset", "bang")


class Options:
    """One run's behaviour. Defaults are a well-behaved modem at any speed."""

    def __init__(self):
        self.baud = 0                 # answer only at this speed; 0 = any speed
        self.pin = ""                 # SIM PIN required when not empty
        self.cfun = 1                 # functionality level after power-on / reset
        self.network_polls = 0        # "AT+COPS?" polls answered without operator; -1 = never registers
        self.operator = "Zarq Mobile"
        self.echo = True              # echo state after power-on / reset
        self.silent = False           # never sends anything
        self.garbage = False          # every answer is binary noise, never a final result
        self.long_output = 0          # bytes of filler before every final result
        self.bare_ok = False          # "OK" without any line break
        self.text_only = False        # AT+CMGF=0 refused
        self.cmgs = "prompt"          # prompt | ok | error
        self.csms_refuse = 0          # number of AT+CSMS commands refused first; -1 = always
        self.cpms_busy = 0            # number of AT+CPMS? answered with +CMS ERROR: 314 first
        self.resets = {"cfun"}        # reset commands that work: cfun (AT+CFUN=1,1), e2reset, bang (AT!RESET)
        self.cfun_test = "two"        # AT+CFUN=? answer: two ranges | one range | error
        self.reset_seconds = 2.0      # deaf time after a reset
        self.gprs = True              # AT+CGDCONT / AT+CGATT / ATD*99***n# supported
        self.seed = 1                 # garbage generator seed
        self.mute = set()             # command lines (upper case, no CR) that get no echo and no answer
        self.replies = {}             # command line (upper case, no CR) -> bytes sent instead of the answer
        self.number = "+15550100100"  # the SIM's own number (AT+CNUM); messages sent to it come back
        self.fail_sends = 0           # number of sends refused first (+CMS ERROR: fail_code); -1 = always
        self.fail_code = 500
        self.slots = 30               # message storage of the SIM


class Modem:
    """The command interpreter: bytes in, bytes out, no I/O of its own."""

    def __init__(self, opts, clock=time.monotonic):
        self.opts = opts
        self.clock = clock
        self.rng = random.Random(opts.seed)
        self.csms_refused = 0
        self.cpms_refused = 0
        self.resets_done = 0
        self.message_ref = -1
        self.sends_failed = 0
        self.storage = {}             # index -> [stat, pdu bytes]; the SIM keeps it across resets
        self.urcs = bytearray()       # unsolicited results waiting for the line to be free
        self.power_on()

    # -- state --------------------------------------------------------------

    def power_on(self):
        self.echo = self.opts.echo
        self.verbose = True
        self.quiet = False
        self.sim_locked = bool(self.opts.pin)
        self.cfun = self.opts.cfun
        self.polls_without_operator = 0
        self.cmgf = 0
        self.csms = 0
        self.contexts = {}
        self.attached = False
        self.call_up = False
        self.pending_reset = False
        self.plus_run = 0             # pluses ending the last data chunk
        self.mode = "command"         # command | body (after the "> " prompt) | data (after CONNECT)
        self.line = bytearray()
        self.deaf_until = 0.0
        self.cmgs_length = 0          # TPDU length announced by AT+CMGS=n
        self.cmgs_number = ""         # destination of a text-mode AT+CMGS
        self.cnmi_mt = 1              # new messages announced with +CMTI

    def registered(self):
        if self.cfun != 1 or self.sim_locked:
            return False
        if self.opts.network_polls < 0:
            return False
        return self.polls_without_operator >= self.opts.network_polls

    # -- input --------------------------------------------------------------

    def receive(self, data, rate):
        """Feeds received bytes; returns (units, output).

        units are the complete commands (or message bodies, or data chunks)
        received, as exact bytes, for the log; output is what the modem sends.
        `rate` is the line speed the program set (0 when unknown)."""
        units = []
        out = bytearray()
        hearing = self.hears(rate)
        i = 0
        while i < len(data):
            if self.mode == "data":
                # The escape may arrive split over reads: count the pluses
                # that ended the previous chunk.
                rest = bytes(data[i:])
                j = (b"+" * self.plus_run + rest).find(b"+++")
                if j < 0:
                    units.append(rest)
                    tail = len(rest) - len(rest.rstrip(b"+"))
                    self.plus_run = min(2, self.plus_run + tail if tail == len(rest) else tail)
                    break
                end = j + 3 - self.plus_run
                units.append(rest[:end])
                i += end
                self.plus_run = 0
                self.mode = "command"
                if hearing:
                    out += self.final(True)
                continue
            b = data[i]
            i += 1
            self.line.append(b)
            if self.mode == "body":
                if self.echo and hearing and b not in (ESC, CTRL_Z):
                    out.append(b)
                if b in (ESC, CTRL_Z):
                    unit = bytes(self.line)
                    self.line = bytearray()
                    units.append(unit)
                    self.mode = "command"
                    if hearing:
                        out += self.end_body(unit)
                continue
            if b == ESC and len(self.line) == 1:
                # A cancel with no prompt to cancel (the modem answered
                # AT+CMGS without one): logged on its own, ignored.
                units.append(bytes(self.line))
                self.line = bytearray()
                continue
            if b == CR[0]:
                unit = bytes(self.line)
                self.line = bytearray()
                units.append(unit)
                if hearing:
                    out += self.answer(unit)
        if not hearing or self.opts.silent:
            return units, b""
        if self.opts.garbage:
            return units, self.noise(len(out)) if out else b""
        return units, bytes(out)

    def answer(self, unit):
        """Echo and answer of one command line, after the scripted exceptions."""
        key = unit[:-1].decode("latin-1").upper()
        if key in self.opts.mute:
            return b""
        echo = unit if self.echo else b""
        if key in self.opts.replies:
            return echo + self.opts.replies[key]
        return echo + self.execute(unit)

    def hears(self, rate):
        if self.clock() < self.deaf_until:
            return False
        return self.opts.baud == 0 or rate == self.opts.baud

    def noise(self, n):
        # High bytes and control bytes only: never a letter, so never OK or ERROR.
        pool = bytes(range(0x80, 0x100)) + b"\x00\x01\x02\x07\x08\x7f"
        return bytes(self.rng.choice(pool) for _ in range(max(n, 16)))

    # -- answers ------------------------------------------------------------

    def final(self, ok, text=None):
        """A final result: OK, ERROR or an extended error line."""
        if self.quiet:
            return b""
        out = bytearray()
        if self.opts.long_output:
            out += filler(self.opts.long_output)
        if ok and self.opts.bare_ok:
            return bytes(out) + b"OK"
        if text is None:
            text = "OK" if ok else "ERROR"
        if not self.verbose:
            code = {"OK": "0", "CONNECT": "1", "NO CARRIER": "3", "ERROR": "4"}.get(text, "4")
            return bytes(out) + code.encode() + b"\r"
        return bytes(out) + b"\r\n" + text.encode("latin-1") + b"\r\n"

    def info(self, text):
        return b"\r\n" + text.encode("latin-1") + b"\r\n"

    def execute(self, unit):
        """Runs one command line (ending in CR); returns the answer. A reset
        command takes effect once its OK is out."""
        self.pending_reset = False
        out = self.execute_line(unit)
        if self.pending_reset:
            self.reset()
        return out

    def execute_line(self, unit):
        text = unit.decode("latin-1").rstrip("\r")
        # Anything before "AT" is noise to a modem ("+++ATH0", a stray LF).
        m = re.search(r"[Aa][Tt]", text)
        if not m:
            return b""
        body = text[m.end():]
        out = bytearray()
        for cmd in split_commands(body):
            ok, answer, text_final = self.command(cmd)
            out += answer
            if ok is None:            # prompt or CONNECT: no final result here
                return bytes(out)
            if not ok:
                return bytes(out) + self.final(False, text_final)
        return bytes(out) + self.final(True)

    def command(self, cmd):
        """One command of a line: (ok, information text, final text for failures).

        ok is None when the command answers with something other than a final
        result (the "> " prompt, CONNECT)."""
        u = cmd.upper()
        if u == "":
            return True, b"", None
        if re.fullmatch(r"S\d+(=\d*|\?)?", u):
            return True, b"", None
        basic = re.fullmatch(r"(&?[A-Z])(\d*)", u)
        if basic:
            return self.basic(basic.group(1), basic.group(2))
        if u.startswith("D"):
            return self.dial(cmd[1:])
        m = re.fullmatch(r"([+*!^$%][A-Z0-9]+)(=\?|\?|=(.*))?", cmd, re.IGNORECASE)
        if not m:
            return False, b"", None
        name = m.group(1).upper()
        kind = "exec"
        args = ""
        if m.group(2) == "=?":
            kind = "test"
        elif m.group(2) == "?":
            kind = "read"
        elif m.group(2) is not None:
            kind = "set"
            args = m.group(3)
        handler = EXTENDED.get(name)
        if handler is None:
            return False, b"", None
        return handler(self, kind, args)

    def basic(self, letter, digits):
        n = int(digits) if digits else 0
        if letter == "E" and n in (0, 1):
            self.echo = n == 1
        elif letter == "V" and n in (0, 1):
            self.verbose = n == 1
        elif letter == "Q" and n in (0, 1):
            self.quiet = n == 1
        elif letter in ("Z", "&F"):
            self.echo = self.opts.echo
            self.verbose = True
            self.quiet = False
        elif letter == "H":
            self.call_up = False
        elif letter == "I":
            return True, self.info("Zarq GSM modem simulator"), None
        elif letter == "O":
            if self.call_up:
                self.mode = "data"
                return None, self.final(True, "CONNECT"), None
            return False, b"", None
        elif letter in ("&C", "&D", "&K", "&W", "S", "X", "L", "M"):
            pass
        else:
            return False, b"", None
        return True, b"", None

    def dial(self, number):
        m = re.fullmatch(r"\*99(?:\*\*\*(\d+))?#", number.strip())
        if not m or not self.opts.gprs:
            return False, b"", "NO CARRIER"
        cid = int(m.group(1) or "1")
        if cid not in self.contexts or not self.registered():
            return False, b"", "NO CARRIER"
        self.attached = True
        self.call_up = True
        self.mode = "data"
        return None, self.final(True, "CONNECT"), None

    def reset(self):
        self.resets_done += 1
        self.power_on()
        self.deaf_until = self.clock() + self.opts.reset_seconds

    def end_body(self, unit):
        if unit[-1] == ESC:
            return self.final(True)
        deliver = None
        if self.cmgf == 0:
            try:
                submit = checked_submit(unit[:-1], self.cmgs_length)
            except smspdu.PduError:
                return self.final(False, "+CMS ERROR: 304")
            if same_number(submit.address, self.opts.number):
                deliver = smspdu.deliver_from_submit(submit, self.opts.number)
        elif same_number(self.cmgs_number, self.opts.number):
            text = unit[:-1].decode("latin-1")
            coding = "gsm7" if smspdu.text_to_septets(text) is not None else "ucs2"
            try:
                deliver = smspdu.text_deliver(self.opts.number, coding, text)
            except smspdu.PduError:
                return self.final(False, "+CMS ERROR: 304")
        if self.opts.fail_sends < 0 or self.sends_failed < self.opts.fail_sends:
            self.sends_failed += 1
            return self.final(False, "+CMS ERROR: %d" % self.opts.fail_code)
        if self.cfun != 1 or not self.registered():
            return self.final(False, "+CMS ERROR: 331")
        self.message_ref = (self.message_ref + 1) % 256
        out = self.info("+CMGS: %d" % self.message_ref) + self.final(True)
        if deliver is not None:
            self.store(deliver)
        return out

    # -- message storage ----------------------------------------------------

    def store(self, pdu):
        """Stores a received SMS-DELIVER and announces it; its index, or None
        when the SIM is full."""
        for index in range(1, self.opts.slots + 1):
            if index not in self.storage:
                self.storage[index] = [0, bytes(pdu)]
                if self.cnmi_mt:
                    self.urcs += b'\r\n+CMTI: "SM",%d\r\n' % index
                return index
        return None

    def take_urcs(self):
        """Unsolicited results, once the line is between commands."""
        if self.mode != "command" or self.line or not self.urcs:
            return b""
        out = bytes(self.urcs)
        self.urcs = bytearray()
        return out

    def listing(self, index, header):
        stat, pdu = self.storage[index]
        tpdu = len(pdu) - 1 - pdu[0]
        if stat == 0:
            self.storage[index][0] = 1
        fields = "%d,%d,,%d" % (index, stat, tpdu) if header == "+CMGL" else "%d,,%d" % (stat, tpdu)
        return ("\r\n%s: %s\r\n%s" % (header, fields, pdu.hex().upper())).encode() + b"\r\n"


def filler(n):
    """n bytes of information lines that hold no final result."""
    line = b"+ZINFO: " + b"0123456789" * 5 + b"\r\n"
    whole = line * (n // len(line) + 1)
    return whole[:n]


def split_commands(body):
    """Splits the text behind "AT" into its commands: basic ones like E0 or
    &F, extended ones (+CMGS=...) up to ";", and D with the rest of the line."""
    cmds = []
    i = 0
    while i < len(body):
        c = body[i]
        if c in " ;":
            i += 1
            continue
        if c in "+*!^$%":
            j = i + 1
            quoted = False
            while j < len(body) and (quoted or body[j] != ";"):
                if body[j] == '"':
                    quoted = not quoted
                j += 1
            cmds.append(body[i:j])
            i = j
        elif c.upper() == "D":
            cmds.append(body[i:])
            break
        else:
            j = i + 1
            if c == "&" and j < len(body):
                j += 1
            while j < len(body) and body[j].isdigit():
                j += 1
            if c.upper() == "S" and j < len(body) and body[j] in "=?":
                j += 1
                while j < len(body) and body[j].isdigit():
                    j += 1
            cmds.append(body[i:j])
            i = j
    return cmds


def unquote(text):
    t = text.strip()
    if len(t) >= 2 and t[0] == '"' and t[-1] == '"':
        return t[1:-1]
    return t


# -- extended commands: handler(modem, kind, args) -> (ok, info, final text) --

def sim_guard(m, cms=False):
    """The error a modem gives while its SIM is locked, or None."""
    if m.sim_locked:
        return False, b"", ("+CMS ERROR: 311" if cms else "+CME ERROR: 11")
    return None


def do_cpin(m, kind, args):
    if kind == "read":
        return True, m.info("+CPIN: SIM PIN" if m.sim_locked else "+CPIN: READY"), None
    if kind == "test":
        return True, b"", None
    if kind != "set":
        return False, b"", None
    if not m.sim_locked:
        return False, b"", "+CME ERROR: 3"
    if unquote(args.split(",")[0]) == m.opts.pin:
        m.sim_locked = False
        return True, b"", None
    return False, b"", "+CME ERROR: 16"


def do_cfun(m, kind, args):
    if kind == "read":
        return True, m.info("+CFUN: %d" % m.cfun), None
    if kind == "test":
        if m.opts.cfun_test == "error":
            return False, b"", None
        if m.opts.cfun_test == "one":
            return True, m.info("+CFUN: (0,1,4)"), None
        return True, m.info("+CFUN: (0,1,4),(0,1)"), None
    if kind != "set":
        return False, b"", None
    parts = [p.strip() for p in args.split(",")]
    if not parts[0].isdigit() or int(parts[0]) not in (0, 1, 4):
        return False, b"", "+CME ERROR: 4"
    if len(parts) > 1:
        if m.opts.cfun_test != "two" or "cfun" not in m.opts.resets or parts[1] not in ("0", "1"):
            return False, b"", "+CME ERROR: 4"
        if parts[1] == "1":
            m.pending_reset = True
            return True, b"", None
    m.cfun = int(parts[0])
    if m.cfun != 1:
        m.polls_without_operator = 0
    return True, b"", None


def do_e2reset(m, kind, args):
    if "e2reset" not in m.opts.resets or kind not in ("test", "exec"):
        return False, b"", None
    if kind == "exec":
        m.pending_reset = True
    return True, b"", None


def do_bang_reset(m, kind, args):
    if "bang" not in m.opts.resets or kind != "exec":
        return False, b"", None
    m.pending_reset = True
    return True, b"", None


def do_cops(m, kind, args):
    if kind == "test":
        return True, m.info('+COPS: (2,"%s","%s","00101"),,(0,1,2,3,4),(0,1,2)'
                            % (m.opts.operator, m.opts.operator[:8])), None
    if kind == "set":
        return True, b"", None
    if kind != "read":
        return False, b"", None
    if m.registered():
        return True, m.info('+COPS: 0,0,"%s"' % m.opts.operator), None
    if m.cfun == 1 and not m.sim_locked:
        m.polls_without_operator += 1
    return True, m.info("+COPS: 0"), None


def do_creg(m, kind, args):
    if kind == "read":
        return True, m.info("+CREG: 0,%d" % (1 if m.registered() else 2)), None
    return (kind in ("set", "test")), (m.info("+CREG: (0-2)") if kind == "test" else b""), None


def do_cpms(m, kind, args):
    guard = sim_guard(m, cms=True)
    if guard:
        return guard
    if m.opts.cpms_busy < 0 or m.cpms_refused < m.opts.cpms_busy:
        m.cpms_refused += 1
        return False, b"", "+CMS ERROR: 314"
    if kind == "test":
        return True, m.info('+CPMS: ("SM","ME"),("SM","ME"),("SM","ME")'), None
    used, total = len(m.storage), m.opts.slots
    if kind == "read":
        return True, m.info('+CPMS: "SM",%d,%d,"SM",%d,%d,"SM",%d,%d' % ((used, total) * 3)), None
    if kind == "set":
        return True, m.info("+CPMS: %d,%d,%d,%d,%d,%d" % ((used, total) * 3)), None
    return False, b"", None


def do_csms(m, kind, args):
    guard = sim_guard(m, cms=True)
    if guard:
        return guard
    if m.opts.csms_refuse < 0 or m.csms_refused < m.opts.csms_refuse:
        m.csms_refused += 1
        return False, b"", "+CMS ERROR: 303"
    if kind == "read":
        return True, m.info("+CSMS: %d,1,1,1" % m.csms), None
    if kind == "test":
        return True, m.info("+CSMS: (0,1,128)"), None
    if kind == "set" and args.strip() in ("0", "1", "128"):
        m.csms = int(args)
        return True, m.info("+CSMS: 1,1,1"), None
    return False, b"", "+CMS ERROR: 302"


def do_cmgf(m, kind, args):
    if kind == "read":
        return True, m.info("+CMGF: %d" % m.cmgf), None
    if kind == "test":
        return True, m.info("+CMGF: (1)" if m.opts.text_only else "+CMGF: (0,1)"), None
    if kind != "set" or args.strip() not in ("0", "1"):
        return False, b"", "+CMS ERROR: 302"
    if args.strip() == "0" and m.opts.text_only:
        return False, b"", "+CMS ERROR: 303"
    m.cmgf = int(args)
    return True, b"", None


def do_cmgs(m, kind, args):
    guard = sim_guard(m, cms=True)
    if guard:
        return guard
    if kind == "test":
        return True, b"", None
    if kind != "set":
        return False, b"", "+CMS ERROR: 302"
    if m.cmgf == 0:
        length = args.strip()
        if not length.isdigit() or not 7 <= int(length) <= 164:
            return False, b"", "+CMS ERROR: 304"
        m.cmgs_length = int(length)
    elif not args.strip().startswith('"'):
        return False, b"", "+CMS ERROR: 304"
    else:
        m.cmgs_number = unquote(args.split(",")[0])
    if m.opts.cmgs == "ok":
        return True, b"", None
    if m.opts.cmgs == "error":
        return False, b"", "+CMS ERROR: 500"
    m.mode = "body"
    return None, b"\r\n> ", None


def do_cgdcont(m, kind, args):
    if not m.opts.gprs:
        return False, b"", None
    if kind == "test":
        return True, m.info('+CGDCONT: (1-3),"IP",,,(0),(0)'), None
    if kind == "read":
        out = b"".join(m.info('+CGDCONT: %d,"IP","%s","0.0.0.0",0,0' % (cid, apn))
                       for cid, apn in sorted(m.contexts.items()))
        return True, out, None
    if kind != "set":
        return False, b"", None
    parts = args.split(",")
    if not parts[0].strip().isdigit() or not 1 <= int(parts[0]) <= 3:
        return False, b"", "+CME ERROR: 50"
    cid = int(parts[0])
    if len(parts) == 1:
        m.contexts.pop(cid, None)
        return True, b"", None
    if unquote(parts[1]).upper() not in ("IP", "PPP"):
        return False, b"", "+CME ERROR: 50"
    m.contexts[cid] = unquote(parts[2]) if len(parts) > 2 else ""
    return True, b"", None


def do_cgatt(m, kind, args):
    if not m.opts.gprs:
        return False, b"", None
    if kind == "read":
        return True, m.info("+CGATT: %d" % (1 if m.attached else 0)), None
    if kind == "test":
        return True, m.info("+CGATT: (0,1)"), None
    if kind != "set" or args.strip() not in ("0", "1"):
        return False, b"", "+CME ERROR: 50"
    if args.strip() == "1" and not m.registered():
        return False, b"", "+CME ERROR: 30"
    m.attached = args.strip() == "1"
    return True, b"", None


def do_plain(m, kind, args):
    return True, b"", None


def same_number(a, b):
    """Two numbers name the same subscriber: their digits agree."""
    da = "".join(c for c in a if c.isdigit())
    db = "".join(c for c in b if c.isdigit())
    return bool(da) and da == db


def checked_submit(body, length):
    """The SMS-SUBMIT of a PDU-mode message body (hexadecimal, service centre
    field first) whose TPDU must be `length` octets; PduError otherwise."""
    try:
        text = body.decode("ascii").strip()
        data = bytes.fromhex(text)
    except (UnicodeDecodeError, ValueError):
        raise smspdu.PduError("not hexadecimal")
    if not data or len(data) - 1 - data[0] != length:
        raise smspdu.PduError("length does not match AT+CMGS")
    message = smspdu.decode(data, with_centre=True)
    if message.kind != "submit":
        raise smspdu.PduError("not an SMS-SUBMIT")
    return message


def do_cnum(m, kind, args):
    if kind == "test":
        return True, b"", None
    if kind != "exec":
        return False, b"", None
    return True, m.info('+CNUM: "","%s",%d' % (m.opts.number, 145 if m.opts.number.startswith("+") else 129)), None


def do_cnmi(m, kind, args):
    if kind == "set":
        parts = [p.strip() for p in args.split(",")]
        if len(parts) > 1 and parts[1].isdigit():
            m.cnmi_mt = int(parts[1])
    elif kind == "read":
        return True, m.info("+CNMI: 2,%d,0,0,0" % m.cnmi_mt), None
    return True, b"", None


def do_cmgl(m, kind, args):
    guard = sim_guard(m, cms=True)
    if guard:
        return guard
    if kind == "test":
        return True, m.info("+CMGL: (0-4)"), None
    if m.cmgf != 0:
        return False, b"", "+CMS ERROR: 302"
    stat = args.strip() if kind == "set" else "0"
    if stat not in ("0", "1", "2", "3", "4"):
        return False, b"", "+CMS ERROR: 302"
    out = bytearray()
    for index in sorted(m.storage):
        if stat == "4" or m.storage[index][0] == int(stat):
            out += m.listing(index, "+CMGL")
    return True, bytes(out), None


def do_cmgr(m, kind, args):
    guard = sim_guard(m, cms=True)
    if guard:
        return guard
    if kind == "test":
        return True, b"", None
    if kind != "set" or not args.strip().isdigit() or m.cmgf != 0:
        return False, b"", "+CMS ERROR: 302"
    index = int(args.strip())
    if index not in m.storage:
        return False, b"", "+CMS ERROR: 321"
    return True, m.listing(index, "+CMGR"), None


def do_cmgd(m, kind, args):
    guard = sim_guard(m, cms=True)
    if guard:
        return guard
    if kind == "test":
        return True, m.info("+CMGD: (1-%d),(0-4)" % m.opts.slots), None
    parts = [p.strip() for p in args.split(",")]
    if kind != "set" or not parts[0].isdigit():
        return False, b"", "+CMS ERROR: 302"
    flag = int(parts[1]) if len(parts) > 1 and parts[1].isdigit() else 0
    if flag == 4:
        m.storage.clear()
    elif flag:
        keep = {1: (0,), 2: (0, 2, 3), 3: (0,)}.get(flag, ())
        for index in [i for i, (stat, _) in m.storage.items() if stat not in keep]:
            del m.storage[index]
    else:
        m.storage.pop(int(parts[0]), None)
    return True, b"", None


def do_csca(m, kind, args):
    if kind == "read":
        return True, m.info('+CSCA: "+15550000000",145'), None
    return kind in ("set", "test"), b"", None


def do_cgmi(m, kind, args):
    return (kind == "exec"), (m.info("Zarq") if kind == "exec" else b""), None


EXTENDED = {
    "+CPIN": do_cpin,
    "+CFUN": do_cfun,
    "*E2RESET": do_e2reset,
    "!RESET": do_bang_reset,
    "+COPS": do_cops,
    "+CREG": do_creg,
    "+CPMS": do_cpms,
    "+CSMS": do_csms,
    "+CMGF": do_cmgf,
    "+CMGS": do_cmgs,
    "+CGDCONT": do_cgdcont,
    "+CGATT": do_cgatt,
    "+CMEE": do_plain,
    "+CNMI": do_cnmi,
    "+CNUM": do_cnum,
    "+CMGL": do_cmgl,
    "+CMGR": do_cmgr,
    "+CMGD": do_cmgd,
    "+CSCA": do_csca,
    "+CGMI": do_cgmi,
}


# -- log ----------------------------------------------------------------------

def escape(data):
    """Exact bytes as one printable line: \\r \\n \\t \\\\ and \\xNN for the rest."""
    out = []
    for b in data:
        if b == 0x5C:
            out.append("\\\\")
        elif b == 0x0D:
            out.append("\\r")
        elif b == 0x0A:
            out.append("\\n")
        elif b == 0x09:
            out.append("\\t")
        elif 0x20 <= b < 0x7F:
            out.append(chr(b))
        else:
            out.append("\\x%02x" % b)
    return "".join(out)


def unescape(text):
    out = bytearray()
    i = 0
    while i < len(text):
        c = text[i]
        if c != "\\":
            out.append(ord(c))
            i += 1
            continue
        n = text[i + 1]
        if n == "x":
            out.append(int(text[i + 2:i + 4], 16))
            i += 4
            continue
        out.append({"r": 13, "n": 10, "t": 9, "\\": 92}[n])
        i += 2
    return bytes(out)


# -- the pty runner -----------------------------------------------------------

def line_rate(fd):
    try:
        attrs = termios.tcgetattr(fd)
    except termios.error:
        return 0
    return SPEEDS.get(attrs[5], 0)


def make_pty():
    master, slave = os.openpty()
    # Make the pty our own controlling terminal. Otherwise the first session
    # leader without one that opens it (the wineserver, started with setsid,
    # opens device files itself) adopts it and gets SIGHUP when we close it.
    try:
        if os.getsid(0) != os.getpid():
            os.setsid()
        fcntl.ioctl(slave, termios.TIOCSCTTY, 0)
    except OSError:
        pass
    # Raw like a serial line: no echo, no line editing, no CR/LF rewriting.
    tty.setraw(slave)
    attrs = termios.tcgetattr(slave)
    attrs[0] &= ~(termios.IXON | termios.IXOFF | termios.ICRNL | termios.INLCR | termios.IGNCR)
    attrs[1] &= ~termios.OPOST
    # Speed 0 until the program sets one, so a fixed-rate modem stays deaf.
    attrs[4] = termios.B0
    attrs[5] = termios.B0
    termios.tcsetattr(slave, termios.TCSANOW, attrs)
    flags = fcntl.fcntl(master, fcntl.F_GETFL)
    fcntl.fcntl(master, fcntl.F_SETFL, flags | os.O_NONBLOCK)
    return master, slave, os.ttyname(slave)


def state_dir(prefix):
    return os.path.join(prefix, ".zarq-modemsim")


def pid_alive(pid):
    try:
        os.kill(pid, 0)
    except ProcessLookupError:
        return False
    except PermissionError:
        return True
    # A zombie nobody reaps (orphans of a container's init) is dead too.
    try:
        with open("/proc/%d/stat" % pid) as f:
            return f.read().rsplit(")", 1)[1].split()[0] != "Z"
    except (OSError, IndexError):
        return True


def clear_stale_links(prefix):
    """Removes COM links left by simulators that died without cleaning up.

    Only links recorded in our state directory are touched, never the
    prefix's own (com1 -> /dev/ttyS0)."""
    sd = state_dir(prefix)
    if not os.path.isdir(sd):
        return
    for name in os.listdir(sd):
        if not name.endswith(".pid"):
            continue
        com = name[:-4]
        path = os.path.join(sd, name)
        try:
            with open(path) as f:
                pid_text, target = (f.read().split() + ["", ""])[:2]
            pid = int(pid_text)
        except (OSError, ValueError):
            continue
        if pid_alive(pid):
            continue
        link = os.path.join(prefix, "dosdevices", com)
        try:
            if os.readlink(link) == target:
                os.unlink(link)
        except OSError:
            pass
        try:
            os.unlink(path)
        except OSError:
            pass


# Ports handed out when none is asked for. Those above are given only on
# request, so a caller that stops its simulator and starts one again on the
# same port (a modem unplugged and plugged back) never finds it taken by a
# simulator started meanwhile.
FIRST_FREE_PORTS = range(3, 50)


def claim_com(prefix, wanted, target):
    """Creates dosdevices/comN -> target; returns N. Symlink creation is the
    atomic claim, so simulators started side by side never share a port."""
    dosdevices = os.path.join(prefix, "dosdevices")
    os.makedirs(dosdevices, exist_ok=True)
    os.makedirs(state_dir(prefix), exist_ok=True)
    numbers = [wanted] if wanted else FIRST_FREE_PORTS
    for n in numbers:
        link = os.path.join(dosdevices, "com%d" % n)
        try:
            os.symlink(target, link)
        except FileExistsError:
            continue
        with open(os.path.join(state_dir(prefix), "com%d.pid" % n), "w") as f:
            f.write("%d %s\n" % (os.getpid(), target))
        return n
    raise SystemExit("modemsim: no free COM port in %s" % dosdevices)


def control_path(prefix, n):
    """The simulator's control socket: `simctl deliver` talks to it."""
    return os.path.join(state_dir(prefix), "com%d.sock" % n)


def open_control(prefix, n):
    path = control_path(prefix, n)
    try:
        os.unlink(path)
    except OSError:
        pass
    server = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
    server.bind(path)
    server.listen(4)
    server.setblocking(False)
    return server


def serve_control(server, modem):
    """One request on the control socket: "DELIVER <hex>" stores a received
    SMS-DELIVER and answers "OK <index>" or "ERROR <reason>"."""
    try:
        conn, _ = server.accept()
    except (BlockingIOError, InterruptedError):
        return
    with conn:
        conn.settimeout(2)
        data = b""
        try:
            while not data.endswith(b"\n") and len(data) < 4096:
                chunk = conn.recv(1024)
                if not chunk:
                    break
                data += chunk
            verb, _, arg = data.decode("ascii", "replace").strip().partition(" ")
            if verb != "DELIVER":
                reply = "ERROR unknown request"
            else:
                try:
                    pdu = bytes.fromhex(arg.strip())
                    if smspdu.decode(pdu, with_centre=True).kind != "deliver":
                        raise smspdu.PduError("not an SMS-DELIVER")
                except (ValueError, smspdu.PduError) as e:
                    reply = "ERROR bad PDU: %s" % e
                else:
                    index = modem.store(pdu)
                    reply = "OK %d" % index if index else "ERROR message storage full"
            conn.sendall(reply.encode() + b"\n")
        except OSError:
            pass


def release_com(prefix, n, target):
    link = os.path.join(prefix, "dosdevices", "com%d" % n)
    try:
        if os.readlink(link) == target:
            os.unlink(link)
    except OSError:
        pass
    try:
        os.unlink(os.path.join(state_dir(prefix), "com%d.pid" % n))
    except OSError:
        pass


def run(opts, prefix, com_wanted, log_path, ready_path, parent, lifetime):
    master, slave, pts = make_pty()
    clear_stale_links(prefix)
    n = claim_com(prefix, com_wanted, pts)
    stop = []

    def on_signal(signum, frame):
        stop.append(signum)

    for s in (signal.SIGTERM, signal.SIGINT, signal.SIGHUP):
        signal.signal(s, on_signal)

    log = open(log_path, "a", buffering=1) if log_path else None
    modem = Modem(opts)
    control = open_control(prefix, n)
    pending = bytearray()
    started = time.monotonic()
    try:
        if ready_path:
            tmp = ready_path + ".tmp"
            with open(tmp, "w") as f:
                f.write("COM%d %d %s\n" % (n, os.getpid(), pts))
            os.replace(tmp, ready_path)
        while not stop:
            if parent and not pid_alive(parent):
                break
            if lifetime and time.monotonic() - started > lifetime:
                break
            wlist = [master] if pending else []
            try:
                r, w, _ = select.select([master, control], wlist, [], 0.25)
            except InterruptedError:
                continue
            if control in r:
                serve_control(control, modem)
                pending += modem.take_urcs()
            if master in r:
                try:
                    data = os.read(master, 4096)
                except OSError as e:
                    if e.errno in (errno.EAGAIN, errno.EIO):
                        time.sleep(0.05)
                        continue
                    raise
                rate = line_rate(slave)
                units, out = modem.receive(data, rate)
                if log:
                    for u in units:
                        log.write("%d %s\n" % (rate, escape(u)))
                # A modem talks into the void when nobody reads: keep a bounded backlog.
                pending += out + modem.take_urcs()
                del pending[:-65536]
            if pending:
                try:
                    sent = os.write(master, bytes(pending))
                    del pending[:sent]
                except OSError as e:
                    if e.errno not in (errno.EAGAIN, errno.EIO):
                        raise
    finally:
        control.close()
        try:
            os.unlink(control_path(prefix, n))
        except OSError:
            pass
        release_com(prefix, n, pts)
        if ready_path:
            # Its disappearance tells a waiting test that the port is gone.
            try:
                os.unlink(ready_path)
            except OSError:
                pass
        if log:
            log.close()
        os.close(master)
        os.close(slave)
    return 0


# -- command line -------------------------------------------------------------

def count(text):
    if text in ("always", "never"):
        return -1
    return int(text)


def build_parser():
    p = argparse.ArgumentParser(description="GSM modem simulator on a pty mapped into a Wine prefix")
    p.add_argument("--prefix", default=os.environ.get("WINEPREFIX", ""), help="Wine prefix (default $WINEPREFIX)")
    p.add_argument("--com", type=int, default=0, help="COM port number (default: first free from 3)")
    p.add_argument("--log", default="", help="file receiving one line per received command")
    p.add_argument("--ready", default="", help="file written with 'COMn PID PTS' once the port exists")
    p.add_argument("--parent", type=int, default=0, help="exit when this process ends")
    p.add_argument("--lifetime", type=float, default=0, help="exit after this many seconds")
    p.add_argument("--config", default="", help="file of option lines ('baud 2400', 'text-only', ...)")
    p.add_argument("--baud", type=int, default=0)
    p.add_argument("--pin", default="")
    p.add_argument("--cfun", type=int, default=1, choices=(0, 1, 4))
    p.add_argument("--network-polls", type=count, default=0)
    p.add_argument("--operator", default="Zarq Mobile")
    p.add_argument("--echo", choices=("on", "off"), default="on")
    p.add_argument("--silent", action="store_true")
    p.add_argument("--garbage", action="store_true")
    p.add_argument("--long-output", type=int, default=0)
    p.add_argument("--bare-ok", action="store_true")
    p.add_argument("--text-only", action="store_true")
    p.add_argument("--cmgs", choices=("prompt", "ok", "error"), default="prompt")
    p.add_argument("--csms-refuse", type=count, default=0)
    p.add_argument("--cpms-busy", type=count, default=0)
    p.add_argument("--resets", default="cfun", help="comma list of cfun,e2reset,bang or 'none'")
    p.add_argument("--cfun-test", choices=("two", "one", "error"), default="two")
    p.add_argument("--reset-seconds", type=float, default=2.0)
    p.add_argument("--gprs", choices=("yes", "no"), default="yes")
    p.add_argument("--seed", type=int, default=1)
    p.add_argument("--number", default="+15550100100", help="the SIM's own number (AT+CNUM)")
    p.add_argument("--fail-sends", type=count, default=0, help="refuse the first N sends ('always')")
    p.add_argument("--fail-code", type=int, default=500, help="the +CMS ERROR code of a refused send")
    p.add_argument("--slots", type=int, default=30, help="messages the SIM stores")
    p.add_argument("--mute", action="append", default=[], metavar="COMMAND",
                   help="a command line (without CR) that gets no echo and no answer; repeatable")
    p.add_argument("--reply", action="append", default=[], metavar="COMMAND|BYTES",
                   help="answer COMMAND with BYTES (log escapes) instead; repeatable")
    return p


def config_args(path):
    """A config file holds one option a line, without the dashes: 'baud 2400'."""
    args = []
    with open(path) as f:
        for line in f:
            line = line.strip()
            if not line or line.startswith("#"):
                continue
            name, _, value = line.partition(" ")
            args.append("--" + name)
            if value.strip():
                args.append(value.strip())
    return args


def parse_options(argv):
    p = build_parser()
    a = p.parse_args(argv)
    if a.config:
        a = p.parse_args(config_args(a.config) + argv)
    opts = Options()
    opts.baud = a.baud
    opts.pin = a.pin
    opts.cfun = a.cfun
    opts.network_polls = a.network_polls
    opts.operator = a.operator
    opts.echo = a.echo == "on"
    opts.silent = a.silent
    opts.garbage = a.garbage
    opts.long_output = max(0, a.long_output)
    opts.bare_ok = a.bare_ok
    opts.text_only = a.text_only
    opts.cmgs = a.cmgs
    opts.csms_refuse = a.csms_refuse
    opts.cpms_busy = a.cpms_busy
    resets = set() if a.resets == "none" else {r.strip() for r in a.resets.split(",") if r.strip()}
    unknown = resets - set(RESET_COMMANDS)
    if unknown:
        p.error("unknown reset command(s): %s" % ", ".join(sorted(unknown)))
    opts.resets = resets
    opts.cfun_test = a.cfun_test
    opts.reset_seconds = a.reset_seconds
    opts.gprs = a.gprs == "yes"
    opts.seed = a.seed
    opts.number = a.number
    opts.fail_sends = a.fail_sends
    opts.fail_code = a.fail_code
    opts.slots = max(1, a.slots)
    opts.mute = {m.upper() for m in a.mute}
    for r in a.reply:
        command, sep, raw = r.partition("|")
        if not sep:
            p.error("--reply needs COMMAND|BYTES: %s" % r)
        try:
            opts.replies[command.upper()] = unescape(raw)
        except (KeyError, ValueError, IndexError):
            p.error("bad escape in --reply: %s" % r)
    if not a.prefix:
        p.error("no Wine prefix: set WINEPREFIX or pass --prefix")
    return opts, a


def main(argv=None):
    opts, a = parse_options(sys.argv[1:] if argv is None else argv)
    return run(opts, a.prefix, a.com, a.log, a.ready, a.parent, a.lifetime)


if __name__ == "__main__":
    sys.exit(main())
