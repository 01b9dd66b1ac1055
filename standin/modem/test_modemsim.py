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
            ({"echo": False}, [(b"AT+CMGS=86\r", b"\r\n> "), (b"0011\x1a", b"\r\n+CMGS: 0\r\n" + OK)]),
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

    def test_bad_options_are_reported(self):
        ready = os.path.join(self.dir, "ready")
        r = self.simctl("start", "--cmgs", "sometimes", "--ready", ready)
        self.assertNotEqual(r.returncode, 0)
        with open(ready) as f:
            self.assertTrue(f.read().startswith("FAILED "))
        self.assertEqual(self.links(), ["com1"])


if __name__ == "__main__":
    unittest.main()
