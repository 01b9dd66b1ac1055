#!/usr/bin/env python3
"""Tests of the modem simulator: its answers (table-driven, no terminal) and
its life on a real pty (link, speed check, log, clean stop)."""

import os
import random
import select
import shutil
import signal
import subprocess
import sys
import tempfile
import termios
import time
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
import modemsim  # noqa: E402
import smspdu  # noqa: E402

try:
    import gammu
except ImportError:  # Debian's python3-gammu, when this is another interpreter
    sys.path.append("/usr/lib/python3/dist-packages")
    try:
        import gammu
    except ImportError:
        gammu = None


class FakeClock:
    def __init__(self):
        self.now = 100.0

    def __call__(self):
        return self.now


def make(**kw):
    opts = modemsim.Options()
    for k, v in kw.items():
        setattr(opts, k, v)
    clock = FakeClock()
    return modemsim.Modem(opts, clock), clock


def talk(modem, steps, rate=115200):
    """Feeds each command, returns the answers."""
    return [modem.receive(cmd, rate)[1] for cmd in steps]


OK = b"\r\nOK\r\n"
ERROR = b"\r\nERROR\r\n"
# The published SMS-SUBMIT "hellohello" to +46708251358: 23 octets after the centre field.
SUBMIT = b"0011000B916407281553F80000AA0AE8329BFD4697D9EC37"


def submit_to(number, text, coding="gsm7", header=b""):
    """(AT+CMGS length, body) of a message to `number`."""
    udl, ud = smspdu.user_data(coding, text, header)
    tpdu = (bytes([0x11 | (0x40 if header else 0), 0]) + smspdu.encode_address(number) +
            bytes([0, smspdu.DCS[coding], 0xA7, udl]) + ud)
    return len(tpdu), (b"00" + tpdu.hex().upper().encode())


class Answers(unittest.TestCase):
    def check(self, cases):
        for i, (opts, steps) in enumerate(cases):
            modem, _ = make(**opts)
            for j, (cmd, want) in enumerate(steps):
                got = modem.receive(cmd, 115200)[1]
                self.assertEqual(got, want, "case %d step %d: %r" % (i, j, cmd))

    def test_echo_and_result_codes(self):
        self.check([
            ({}, [(b"AT\r", b"AT\r" + OK), (b"ATE0V1\r", b"ATE0V1\r" + OK), (b"AT\r", OK)]),
            ({"echo": False}, [(b"AT\r", OK), (b"ATE1\r", OK), (b"AT\r", b"AT\r" + OK)]),
            ({"echo": False}, [(b"ATV0\r", b"0\r"), (b"ATX\xff\r", b"4\r"), (b"ATV1\r", OK)]),
            ({"echo": False}, [(b"AT+NOPE\r", ERROR), (b"\r", b""), (b"hello\r", b"")]),
            # Anything before AT is ignored: the escape the program sends in command mode.
            ({"echo": False}, [(b"+++ATH0\r", OK)]),
            # Several commands on one line; the first failure ends the line.
            ({"echo": False}, [(b"ATE0V1;+CMGF=1\r", OK), (b"AT+CMGF?\r", b"\r\n+CMGF: 1\r\n" + OK),
                               (b"AT+CMGF=7;E1\r", b"\r\n+CMS ERROR: 302\r\n"), (b"AT\r", OK)]),
            # A command split over reads is answered once it is complete.
            ({"echo": False}, [(b"AT+CS", b""), (b"MS=0", b""), (b"\r", b"\r\n+CSMS: 1,1,1\r\n" + OK)]),
        ])

    def test_pin(self):
        self.check([
            ({"pin": "1234", "echo": False}, [
                (b"AT+CPIN?\r", b"\r\n+CPIN: SIM PIN\r\n" + OK),
                (b"AT+CSMS=0\r", b"\r\n+CMS ERROR: 311\r\n"),
                (b"AT+COPS?\r", b"\r\n+COPS: 0\r\n" + OK),
                (b'AT+CPIN="9999"\r', b"\r\n+CME ERROR: 16\r\n"),
                (b'AT+CPIN="1234"\r', OK),
                (b"AT+CPIN?\r", b"\r\n+CPIN: READY\r\n" + OK),
                (b'AT+CPIN="1234"\r', b"\r\n+CME ERROR: 3\r\n"),
                (b"AT+CSMS=0\r", b"\r\n+CSMS: 1,1,1\r\n" + OK),
            ]),
            ({"echo": False}, [(b"AT+CPIN?\r", b"\r\n+CPIN: READY\r\n" + OK)]),
        ])

    def test_radio_and_network(self):
        cops = b'\r\n+COPS: 0,0,"Zarq Mobile"\r\n' + OK
        none = b"\r\n+COPS: 0\r\n" + OK
        self.check([
            ({"cfun": 0, "echo": False}, [
                (b"AT+CFUN?\r", b"\r\n+CFUN: 0\r\n" + OK),
                (b"AT+COPS?\r", none),
                (b"AT+CFUN=1\r", OK),
                (b"AT+CFUN?\r", b"\r\n+CFUN: 1\r\n" + OK),
                (b"AT+COPS?\r", cops),
            ]),
            ({"network_polls": 2, "echo": False, "operator": "Op X"}, [
                (b"AT+COPS?\r", none), (b"AT+COPS?\r", none),
                (b"AT+COPS?\r", b'\r\n+COPS: 0,0,"Op X"\r\n' + OK)]),
            ({"network_polls": -1, "echo": False}, [(b"AT+COPS?\r", none)] * 30),
            ({"cpms_busy": 2, "echo": False}, [
                (b"AT+CPMS?\r", b"\r\n+CMS ERROR: 314\r\n"), (b"AT+CPMS?\r", b"\r\n+CMS ERROR: 314\r\n"),
                (b"AT+CPMS?\r", b'\r\n+CPMS: "SM",0,30,"SM",0,30,"SM",0,30\r\n' + OK)]),
        ])

    def test_cfun_test_answer(self):
        self.check([
            ({"echo": False}, [(b"AT+CFUN=?\r", b"\r\n+CFUN: (0,1,4),(0,1)\r\n" + OK)]),
            ({"echo": False, "cfun_test": "one"}, [(b"AT+CFUN=?\r", b"\r\n+CFUN: (0,1,4)\r\n" + OK),
                                                   (b"AT+CFUN=1,1\r", b"\r\n+CME ERROR: 4\r\n")]),
            ({"echo": False, "cfun_test": "error"}, [(b"AT+CFUN=?\r", ERROR)]),
        ])

    def test_sms_service_and_format(self):
        self.check([
            ({"echo": False, "csms_refuse": 3}, [
                (b"AT+CSMS=0\r", b"\r\n+CMS ERROR: 303\r\n"), (b"AT+CSMS=128\r", b"\r\n+CMS ERROR: 303\r\n"),
                (b"AT+CSMS?\r", b"\r\n+CMS ERROR: 303\r\n"), (b"AT+CSMS=128\r", b"\r\n+CSMS: 1,1,1\r\n" + OK),
                (b"AT+CSMS?\r", b"\r\n+CSMS: 128,1,1,1\r\n" + OK)]),
            ({"echo": False, "csms_refuse": -1}, [(b"AT+CSMS=0\r", b"\r\n+CMS ERROR: 303\r\n")] * 20),
            ({"echo": False, "text_only": True}, [(b"AT+CMGF=0\r", b"\r\n+CMS ERROR: 303\r\n"),
                                                  (b"AT+CMGF=1\r", OK)]),
        ])

    def test_submission(self):
        self.check([
            ({"echo": False}, [(b"AT+CMGS=86\r", b"\r\n> "), (b"\x1b", OK), (b"\r", b""), (b"AT\r", OK)]),
            ({"echo": False}, [(b"AT+CMGS=23\r", b"\r\n> "), (SUBMIT + b"\x1a", b"\r\n+CMGS: 0\r\n" + OK)]),
            # A body that is no SMS-SUBMIT of the announced length is refused.
            ({"echo": False}, [(b"AT+CMGS=86\r", b"\r\n> "), (b"0011\x1a", b"\r\n+CMS ERROR: 304\r\n")]),
            ({"echo": False, "cmgs": "ok"}, [(b"AT+CMGS=86\r", OK), (b"\x1b", b""), (b"\r", b""), (b"AT\r", OK)]),
            ({"echo": False, "cmgs": "error"}, [(b"AT+CMGS=86\r", b"\r\n+CMS ERROR: 500\r\n")]),
            ({"echo": False}, [(b"AT+CMGS=x\r", b"\r\n+CMS ERROR: 304\r\n"),
                               (b"AT+CMGS=2000\r", b"\r\n+CMS ERROR: 304\r\n")]),
            ({"echo": False, "pin": "1"}, [(b"AT+CMGS=86\r", b"\r\n+CMS ERROR: 311\r\n")]),
        ])

    def test_odd_modems(self):
        long_ok = modemsim.filler(2000) + OK
        self.assertEqual(len(modemsim.filler(2000)), 2000)
        self.assertNotIn(b"OK", modemsim.filler(2000))
        self.check([
            ({"echo": False, "bare_ok": True}, [(b"ATE0V1\r", b"OK")]),
            ({"echo": False, "long_output": 2000}, [(b"ATE0V1\r", long_ok)]),
            ({"silent": True}, [(b"ATE0V1\r", b""), (b"AT+CPIN?\r", b"")]),
        ])
        modem, _ = make(garbage=True)
        for i, cmd in enumerate([b"ATE0V1\r", b"AT+CSMS=0\r", b"AT+CMGS=86\r", b"\x1b"]):
            out = modem.receive(cmd, 115200)[1]
            self.assertTrue(out, "garbage %d" % i)
            for final in (b"\nOK", b"\rOK", b"ERROR", b">"):
                self.assertNotIn(final, out, "garbage %d" % i)

    def test_scripted_exceptions(self):
        self.check([
            ({"mute": {"AT+CPIN?"}}, [(b"AT+CPIN?\r", b""), (b"at+cpin?\r", b""), (b"AT\r", b"AT\r" + OK)]),
            ({"replies": {"AT+CSMS=0": b"\r\n+CMS ERROR: 500\r\n"}, "echo": False},
             [(b"AT+CSMS=0\r", b"\r\n+CMS ERROR: 500\r\n"), (b"AT+CSMS=128\r", b"\r\n+CSMS: 1,1,1\r\n" + OK)]),
            ({"replies": {"ATE0V1": b"OK"}}, [(b"ATE0V1\r", b"ATE0V1\rOK")]),
        ])
        opts, _ = modemsim.parse_options(["--prefix", "/x", "--mute", "at+cpin?", "--reply", "ATI|Zarq\\r\\n\\x00"])
        self.assertEqual(opts.mute, {"AT+CPIN?"})
        self.assertEqual(opts.replies, {"ATI": b"Zarq\r\n\x00"})

    def test_fixed_rate(self):
        modem, _ = make(baud=2400)
        for i, rate in enumerate((0, 115200, 57600, 38400, 19200, 9600)):
            units, out = modem.receive(b"ATE0V1\r", rate)
            self.assertEqual(out, b"", "rate %d" % rate)
            self.assertEqual(units, [b"ATE0V1\r"], "rate %d" % rate)
        self.assertEqual(modem.receive(b"ATE0V1\r", 2400)[1], b"ATE0V1\r" + OK)

    def test_resets(self):
        # (options, reset command, test command answer or None, works)
        cases = [
            ({}, b"AT+CFUN=1,1\r", None, True),
            ({"resets": set()}, b"AT+CFUN=1,1\r", None, False),
            ({}, b"AT*E2RESET\r", b"AT*E2RESET=?\r", False),
            ({"resets": {"e2reset"}}, b"AT*E2RESET\r", b"AT*E2RESET=?\r", True),
            ({}, b"AT!RESET\r", None, False),
            ({"resets": {"bang"}}, b"AT!RESET\r", None, True),
        ]
        for i, (opts, cmd, probe, works) in enumerate(cases):
            modem, clock = make(echo=True, pin="1234", cfun=0, reset_seconds=3, **opts)
            modem.receive(b'ATE0;+CPIN="1234";+CFUN=1\r', 115200)
            if probe:
                self.assertEqual(modem.receive(probe, 115200)[1], OK if works else ERROR, "case %d" % i)
            self.assertEqual(modem.receive(cmd, 115200)[1].endswith(OK), works, "case %d" % i)
            clock.now += 1
            heard = modem.receive(b"AT\r", 115200)[1]
            self.assertEqual(heard, b"" if works else OK, "case %d: deaf after reset" % i)
            clock.now += 3
            # After a reset the modem is back to its power-on state: echo on, SIM locked, radio off.
            want = b"AT+CPIN?\r\r\n+CPIN: SIM PIN\r\n" + OK if works else b"\r\n+CPIN: READY\r\n" + OK
            self.assertEqual(modem.receive(b"AT+CPIN?\r", 115200)[1], want, "case %d" % i)
            self.assertEqual(modem.resets_done, 1 if works else 0, "case %d" % i)

    def test_gprs(self):
        self.check([
            ({"echo": False}, [
                (b"ATD*99***1#\r", b"\r\nNO CARRIER\r\n"),
                (b'AT+CGDCONT=1,"IP","internet"\r', OK),
                (b"AT+CGDCONT?\r", b'\r\n+CGDCONT: 1,"IP","internet","0.0.0.0",0,0\r\n' + OK),
                (b"AT+CGATT=1\r", OK),
                (b"ATD*99***1#\r", b"\r\nCONNECT\r\n"),
                (b"\x7e\xff\x7d", b""),
                (b"+++", OK),
                (b"ATH0\r", OK),
                (b"ATO\r", ERROR),
            ]),
            ({"echo": False}, [
                (b'AT+CGDCONT=2,"IP","internet"\r', OK), (b"ATD*99***2#\r", b"\r\nCONNECT\r\n"),
                (b"a+", b""), (b"+", b""), (b"+ATH0\r", OK + OK), (b"AT\r", OK)]),
            ({"echo": False, "gprs": False}, [(b'AT+CGDCONT=1,"IP","x"\r', ERROR), (b"AT+CGATT=1\r", ERROR)]),
            ({"echo": False, "cfun": 0}, [(b'AT+CGDCONT=1,"IP","x"\r', OK), (b"AT+CGATT=1\r", b"\r\n+CME ERROR: 30\r\n")]),
        ])

    def test_units_are_exact(self):
        modem, _ = make()
        steps = [b"\r", b'AT+CPIN="12', b'34"\r', b"AT+CMGS=86\r", b"00\x1b", b"\r", b"+++ATH0\r"]
        units = []
        for cmd in steps:
            units += modem.receive(cmd, 9600)[0]
        self.assertEqual(units, [b"\r", b'AT+CPIN="1234"\r', b"AT+CMGS=86\r", b"00\x1b", b"\r", b"+++ATH0\r"])
        # Without a prompt the ESC is a unit of its own.
        modem, _ = make(cmgs="ok")
        units = []
        for cmd in (b"AT+CMGS=86\r", b"\x1b", b"\r", b"AT\r"):
            units += modem.receive(cmd, 9600)[0]
        self.assertEqual(units, [b"AT+CMGS=86\r", b"\x1b", b"\r", b"AT\r"])

    def test_escape_round_trip(self):
        rng = random.Random(7)
        for i in range(200):
            data = bytes(rng.randrange(256) for _ in range(rng.randrange(40)))
            text = modemsim.escape(data)
            self.assertNotIn("\n", text, "case %d" % i)
            self.assertEqual(modemsim.unescape(text), data, "case %d" % i)
        self.assertEqual(modemsim.escape(b'AT+CPIN="1"\r\x1b\\'), 'AT+CPIN="1"\\r\\x1b\\\\')

    def test_random_input_never_breaks(self):
        rng = random.Random(3)
        alphabet = b"AT+=?,;\"*!#D0123456789CMGSFUNPI\r\n\x1a\x1b "
        for seed in range(300):
            modem, clock = make(echo=bool(seed % 2), pin="1" if seed % 3 else "")
            for _ in range(30):
                data = bytes(rng.choice(alphabet) for _ in range(rng.randrange(1, 30)))
                units, out = modem.receive(data, 115200)
                self.assertIsInstance(out, bytes, "seed %d" % seed)
                clock.now += 5


class Messages(unittest.TestCase):
    """Own number, PDU checks, messages sent to itself, the SIM's storage."""

    def send(self, modem, number, text, **kw):
        length, body = submit_to(number, text, **kw)
        self.assertEqual(modem.receive(b"AT+CMGS=%d\r" % length, 115200)[1], b"\r\n> ")
        return modem.receive(body + b"\x1a", 115200)[1]

    def test_own_number(self):
        modem, _ = make(echo=False, number="+447700900123")
        self.assertEqual(talk(modem, [b"AT+CNUM\r"]), [b'\r\n+CNUM: "","+447700900123",145\r\n' + OK])
        modem, _ = make(echo=False)
        self.assertEqual(talk(modem, [b"AT+CNUM\r"]), [b'\r\n+CNUM: "","+15550100100",145\r\n' + OK])

    def test_malformed_pdus_are_refused(self):
        cases = [
            (23, SUBMIT[:-2]),                    # one octet short of the length
            (22, SUBMIT),                         # length says otherwise
            (23, SUBMIT[:-1] + b"G"),             # not hexadecimal
            (23, SUBMIT + b"0"),                  # an odd number of digits
            (36, b"07917283010010F5040BC87238880900F10000993092516195800AE8329BFD4697D9EC37"),  # a DELIVER
            (8, b"00110005810000000000"),         # user data length 0 but missing octets
        ]
        for i, (length, body) in enumerate(cases):
            modem, _ = make(echo=False)
            modem.receive(b"AT+CMGS=%d\r" % length, 115200)
            self.assertEqual(modem.receive(body + b"\x1a", 115200)[1], b"\r\n+CMS ERROR: 304\r\n", "case %d" % i)

    def test_message_to_itself_comes_back(self):
        modem, _ = make(echo=False)
        out = self.send(modem, "+15550100100", "ZarqSMS Test Message")
        self.assertEqual(out, b"\r\n+CMGS: 0\r\n" + OK)
        self.assertEqual(modem.take_urcs(), b'\r\n+CMTI: "SM",1\r\n')
        self.assertEqual(modem.take_urcs(), b"")
        # Another number does not come back.
        self.assertEqual(self.send(modem, "+15550100199", "x"), b"\r\n+CMGS: 1\r\n" + OK)
        self.assertEqual(modem.take_urcs(), b"")
        listing = modem.receive(b"AT+CMGL=4\r", 115200)[1]
        head, pdu_hex = listing.split(b"\r\n")[1:3]
        self.assertTrue(head.startswith(b"+CMGL: 1,0,,"), head)
        message = smspdu.decode(bytes.fromhex(pdu_hex.decode()))
        self.assertEqual((message.kind, message.address, message.text()), ("deliver", "+15550100100", "ZarqSMS Test Message"))
        self.assertEqual(int(head.split(b",")[-1]), len(bytes.fromhex(pdu_hex.decode())) - 1 - int(pdu_hex[:2], 16))
        # Listed once: read now. AT+CMGR shows it, AT+CMGD removes it.
        self.assertEqual(modem.receive(b"AT+CMGL=0\r", 115200)[1], OK)
        self.assertTrue(modem.receive(b"AT+CMGR=1\r", 115200)[1].startswith(b"\r\n+CMGR: 1,,"))
        self.assertEqual(talk(modem, [b"AT+CPMS?\r", b"AT+CMGD=1\r", b"AT+CMGR=1\r", b"AT+CMGD=1\r"]),
                         [b'\r\n+CPMS: "SM",1,30,"SM",1,30,"SM",1,30\r\n' + OK, OK, b"\r\n+CMS ERROR: 321\r\n", OK])

    def test_every_coding_and_header_comes_back_whole(self):
        cases = [("gsm7", "Price: 5\u20ac [x]", b""), ("ucs2", "\u041f\u0440\u0438\u0432\u0435\u0442", b""),
                 ("8bit", b"\x01\x06\x00\xff", bytes.fromhex("05040B8423F0")),
                 ("gsm7", "part one", bytes.fromhex("0003070201"))]
        for i, (coding, payload, header) in enumerate(cases):
            modem, _ = make(echo=False)
            self.assertTrue(self.send(modem, "15550100100", payload, coding=coding, header=header).endswith(OK))
            pdu = modem.storage[1][1]
            message = smspdu.decode(pdu)
            self.assertEqual(message.header, header, "case %d" % i)
            expect = payload.hex().upper() if coding == "8bit" else payload
            self.assertEqual(message.text(), expect, "case %d" % i)

    def test_failing_sends_and_a_full_sim(self):
        modem, _ = make(echo=False, fail_sends=2, fail_code=38)
        self.assertEqual(self.send(modem, "+1", "a"), b"\r\n+CMS ERROR: 38\r\n")
        self.assertEqual(self.send(modem, "+1", "a"), b"\r\n+CMS ERROR: 38\r\n")
        self.assertEqual(self.send(modem, "+1", "a"), b"\r\n+CMGS: 0\r\n" + OK)
        modem, _ = make(echo=False, slots=1)
        self.assertEqual(modem.store(b"\x00"), 1)
        self.assertIsNone(modem.store(b"\x00"))
        # Announcements follow AT+CNMI, and wait while a message body is being typed.
        modem, _ = make(echo=False)
        talk(modem, [b"AT+CNMI=2,0,0,0,0\r"])
        modem.store(b"\x00")
        self.assertEqual(modem.take_urcs(), b"")
        talk(modem, [b"AT+CNMI=2,1,0,0,0\r", b"AT+CMGS=23\r"])
        modem.store(b"\x00")
        self.assertEqual(modem.take_urcs(), b"")
        modem.receive(b"\x1b", 115200)
        self.assertEqual(modem.take_urcs(), b'\r\n+CMTI: "SM",2\r\n')


@unittest.skipIf(gammu is None, "python3-gammu is not installed (tools/deps installs it)")
class AgainstGammu(unittest.TestCase):
    """The simulator's PDUs against an independent implementation."""

    def test_gammu_submits_decode(self):
        cases = [("Zarq test \u20ac{}", False), ("\u041f\u0440\u0438\u0432\u0435\u0442 \u4f60\u597d", True),
                 ("x" * 300, False)]
        for i, (text, unicode) in enumerate(cases):
            parts = gammu.EncodeSMS({"Class": -1, "Unicode": unicode,
                                     "Entries": [{"ID": "ConcatenatedTextLong", "Buffer": text}]})
            joined = ""
            for part in parts:
                part["SMSC"] = {"Location": 0, "Number": ""}
                part["Number"] = "+15550100100"
                part["Type"] = "Submit"
                m = smspdu.decode(gammu.EncodePDU(part), with_centre=True)
                self.assertEqual((m.kind, m.address), ("submit", "+15550100100"), "case %d" % i)
                joined += m.text()
            self.assertEqual(joined, text, "case %d" % i)

    def test_our_delivers_decode_in_gammu(self):
        cases = [("gsm7", "hello world @ 1", b""), ("ucs2", "\u4f60\u597d", b""),
                 ("gsm7", "part", bytes.fromhex("0003110201"))]
        for i, (coding, text, header) in enumerate(cases):
            pdu = smspdu.text_deliver("+15550109999", coding, text, header)
            d = gammu.DecodePDU(pdu)
            self.assertEqual((d["Type"], d["Number"], d["Text"]), ("Deliver", "+15550109999", text), "case %d" % i)
            if header:
                self.assertEqual((d["UDH"]["ID8bit"], d["UDH"]["AllParts"], d["UDH"]["PartNumber"]), (0x11, 2, 1))


class OnPty(unittest.TestCase):
    """The simulator as tests start it: simctl, a real pty, a prefix."""

    def setUp(self):
        self.dir = tempfile.mkdtemp(prefix="modemsim-test-")
        self.prefix = os.path.join(self.dir, "prefix")
        os.makedirs(os.path.join(self.prefix, "dosdevices"))
        # A link of the prefix's own that must survive everything.
        os.symlink("/dev/ttyS0", os.path.join(self.prefix, "dosdevices", "com1"))
        self.log = os.path.join(self.dir, "sim.log")

    def tearDown(self):
        for com, pid, _ in self.list():
            os.kill(pid, signal.SIGKILL)
        shutil.rmtree(self.dir)

    def simctl(self, *args):
        return subprocess.run([sys.executable, os.path.join(HERE, "simctl")] + list(args) + ["--prefix", self.prefix],
                              capture_output=True, text=True, timeout=20)

    def list(self):
        out = self.simctl("list").stdout.split("\n")
        return [(c, int(p), t) for c, p, t in (line.split() for line in out if line)]

    def links(self):
        return sorted(os.listdir(os.path.join(self.prefix, "dosdevices")))

    def exchange(self, fd, data, rate, wait=0.3):
        attrs = termios.tcgetattr(fd)
        attrs[4] = attrs[5] = rate
        termios.tcsetattr(fd, termios.TCSANOW, attrs)
        os.write(fd, data)
        out = b""
        deadline = time.monotonic() + wait
        while time.monotonic() < deadline:
            if select.select([fd], [], [], 0.05)[0]:
                out += os.read(fd, 4096)
        return out

    def test_start_answer_log_stop(self):
        r = self.simctl("start", "--log", self.log, "--baud", "9600", "--parent", "0")
        self.assertEqual(r.returncode, 0, r.stderr)
        com, pid = r.stdout.split()
        self.assertEqual(com, "COM3")
        link = os.path.join(self.prefix, "dosdevices", "com3")
        fd = os.open(link, os.O_RDWR | os.O_NOCTTY)
        try:
            self.assertEqual(self.exchange(fd, b"ATE0V1\r", termios.B115200), b"")
            self.assertEqual(self.exchange(fd, b"ATE0V1\r", termios.B9600), b"ATE0V1\r" + OK)
            self.assertEqual(self.exchange(fd, b"AT+CMGS=86\r", termios.B9600), b"\r\n> ")
            self.assertEqual(self.exchange(fd, b"\x1b", termios.B9600), OK)
        finally:
            os.close(fd)
        # A second simulator takes the next free port.
        r2 = self.simctl("start", "--parent", "0")
        self.assertEqual(r2.stdout.split()[0], "COM4")
        self.assertEqual(self.simctl("stop", pid).returncode, 0)
        self.assertEqual(self.simctl("stop", "COM4").returncode, 0)
        self.assertEqual(self.links(), ["com1"])
        with open(self.log) as f:
            self.assertEqual(f.read(), "115200 ATE0V1\\r\n9600 ATE0V1\\r\n9600 AT+CMGS=86\\r\n9600 \\x1b\n")

    def test_ends_with_its_parent_and_stale_links_go(self):
        parent = subprocess.Popen(["sleep", "30"])
        ready = os.path.join(self.dir, "ready")
        r = self.simctl("start", "--parent", str(parent.pid), "--ready", ready)
        self.assertEqual(r.returncode, 0, r.stderr)
        with open(ready) as f:
            self.assertTrue(f.read().startswith("COM3 "))
        parent.kill()
        parent.wait()
        deadline = time.monotonic() + 5
        while os.path.exists(ready) and time.monotonic() < deadline:
            time.sleep(0.05)
        self.assertFalse(os.path.exists(ready))
        self.assertEqual(self.links(), ["com1"])
        # A simulator killed outright leaves its link; the next start removes it.
        r = self.simctl("start", "--parent", "0")
        os.kill(int(r.stdout.split()[1]), signal.SIGKILL)
        time.sleep(0.2)
        self.assertEqual(self.links(), ["com1", "com3"])
        r = self.simctl("start", "--parent", "0", "--lifetime", "1")
        self.assertEqual(r.stdout.split()[0], "COM3")
        time.sleep(2)
        self.assertEqual(self.links(), ["com1"])

    def test_deliver_from_outside(self):
        r = self.simctl("start", "--parent", "0")
        self.assertEqual(r.returncode, 0, r.stderr)
        com, pid = r.stdout.split()
        fd = os.open(os.path.join(self.prefix, "dosdevices", com.lower()), os.O_RDWR | os.O_NOCTTY)
        try:
            self.exchange(fd, b"ATE0\r", termios.B115200)
            r = self.simctl("deliver", pid, "--text", "Hello back", "--from", "+15550100111")
            self.assertEqual(r.returncode, 0, r.stderr)
            self.assertEqual(self.exchange(fd, b"", termios.B115200), b'\r\n+CMTI: "SM",1\r\n')
            pdu = smspdu.text_deliver("+15550100111", "ucs2", "\u20ac")
            r = self.simctl("deliver", com, "--pdu", pdu.hex())
            self.assertEqual(r.returncode, 0, r.stderr)
            out = self.exchange(fd, b"AT+CMGR=2\r", termios.B115200)
            self.assertIn(pdu.hex().upper().encode(), out)
            for bad in (["--pdu", "0011"], ["--pdu", "zz"], ["--text", "\u4e00", "--coding", "gsm7"]):
                r = self.simctl("deliver", pid, *bad)
                self.assertEqual(r.returncode, 1, bad)
                self.assertTrue(r.stderr, bad)
        finally:
            os.close(fd)
        self.assertEqual(self.simctl("deliver", "COM9", "--text", "x").returncode, 1)

    def test_bad_options_are_reported(self):
        ready = os.path.join(self.dir, "ready")
        r = self.simctl("start", "--cmgs", "sometimes", "--ready", ready)
        self.assertNotEqual(r.returncode, 0)
        with open(ready) as f:
            self.assertTrue(f.read().startswith("FAILED "))
        self.assertEqual(self.links(), ["com1"])


if __name__ == "__main__":
    unittest.main()
