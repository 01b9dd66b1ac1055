"""The practice MMSC: its codec against the gateway's hand-checked vectors, the
SMS-DELIVER PDUs of its notifications, and a send-and-retrieve round over HTTP."""

import http.client
import os
import subprocess
import sys
import tempfile
import time
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
import mmsc  # noqa: E402


def send_req(to="+15550100100/TYPE=PLMN"):
    parts = [(b"\x83\x8e" + b"a.txt\0", b"hello")]
    body = bytes([len(parts)])
    for h, d in parts:
        body += bytes([len(h), len(d)]) + h + d
    return (bytes([0x8C, 0x80, 0x98]) + b"T1\0" + bytes([0x8D, 0x92, 0x89, 0x01, 0x81, 0x97]) + to.encode() + b"\0" +
            bytes([0x96]) + b"Hi\0" + bytes([0x84, 0xA3]) + body)


class Codec(unittest.TestCase):
    def test_send_req_parts_and_refusals(self):
        m = mmsc.validate_send_req(send_req())
        self.assertEqual(m["to"], ["+15550100100/TYPE=PLMN"])
        self.assertEqual(m["parts"][0]["location"], "a.txt")
        self.assertEqual(m["parts"][0]["data"], b"hello")
        bad = [send_req()[:-3], send_req().replace(b"\x84\xa3\x01", b"\x84\xa3\x7f"), send_req()[:5],
               bytes([0x8C, 0x81, 0x98]) + b"x\0"]
        for i, data in enumerate(bad):
            with self.assertRaises((mmsc.Malformed, IndexError), msg="case %d" % i):
                mmsc.validate_send_req(data)

    def test_notification_bytes(self):
        n = mmsc.encode_notification("tid42", "+15550100200/TYPE=PLMN", "", 1500, "http://h/1")
        want = (bytes([0x8C, 0x82, 0x98]) + b"tid42\0" + bytes([0x8D, 0x92, 0x89, 0x18, 0x80]) +
                b"+15550100200/TYPE=PLMN\0" + bytes([0x8A, 0x80, 0x8E, 0x02, 0x05, 0xDC]) +
                bytes([0x88, 0x05, 0x81, 0x03, 0x09, 0x3A, 0x80, 0x83]) + b"http://h/1\0")
        self.assertEqual(n, want)
        push = mmsc.encode_push(n)
        self.assertEqual(push[:6], bytes([0x01, 0x06, 0x03, 0xBE, 0xAF, 0x84]))

    def test_sms_deliver_pdus(self):
        short = mmsc.sms_deliver_pdus(b"\x01" * 133, when=0)
        self.assertEqual(len(short), 1)
        # SMSC "00", first octet UDHI + no more messages, OA +15550100900, PID 0, DCS 8-bit, 1970-01-01.
        self.assertTrue(short[0].startswith("0044" "0B91" "5155100009F0" "00" "04" "07101000000000" "8C"
                                            "06" "05040B8423F0"), short[0])
        self.assertEqual(len(bytes.fromhex(short[0])) - 1, 1 + 8 + 2 + 7 + 1 + 140)
        push = bytes(range(256))
        long_ = mmsc.sms_deliver_pdus(push, reference=7, when=0)
        self.assertEqual(len(long_), 2)
        data = b""
        for i, pdu in enumerate(long_):
            tpdu = bytes.fromhex(pdu)[1:]
            self.assertEqual(tpdu[0] & 0x40, 0x40)
            ud = tpdu[1 + 8 + 2 + 7 + 1:]
            self.assertEqual(tpdu[1 + 8 + 2 + 7], len(ud))
            self.assertLessEqual(len(ud), 140)
            self.assertEqual(ud[:12], bytes([11, 0, 3, 7, 2, i + 1, 5, 4, 0x0B, 0x84, 0x23, 0xF0]))
            data += ud[12:]
        self.assertEqual(data, push)


class Server(unittest.TestCase):
    def start(self, *options):
        work = tempfile.mkdtemp()
        ready = os.path.join(work, "ready")
        self.log = os.path.join(work, "log")
        self.push_dir = os.path.join(work, "push")
        proc = subprocess.Popen([sys.executable, os.path.join(HERE, "mmsc.py"), "--ready", ready, "--log", self.log,
                                 "--push-dir", self.push_dir, "--lifetime", "60"] + list(options))
        self.addCleanup(proc.wait)
        self.addCleanup(proc.terminate)
        deadline = time.monotonic() + 15
        while not os.path.exists(ready) and time.monotonic() < deadline:
            time.sleep(0.05)
        with open(ready) as f:
            return int(f.read().split()[0])

    def post(self, port, data, path="/mms"):
        c = http.client.HTTPConnection("127.0.0.1", port, timeout=10)
        c.request("POST", path, data, {"Content-Type": mmsc.MMS_TYPE})
        r = c.getresponse()
        return r.status, r.read()

    def test_sent_message_is_announced_and_served(self):
        port = self.start()
        status, conf = self.post(port, send_req())
        self.assertEqual(status, 200)
        self.assertIn(bytes([0x92, 0x80]), conf)
        deadline = time.monotonic() + 10
        while not (os.path.isdir(self.push_dir) and os.listdir(self.push_dir)) and time.monotonic() < deadline:
            time.sleep(0.05)
        with open(os.path.join(self.push_dir, os.listdir(self.push_dir)[0]), "rb") as f:
            push = f.read()
        note = mmsc.Reader(push[6:])
        location = push[6:].split(b"\x83")[-1].rstrip(b"\0").decode()
        self.assertTrue(location.startswith("http://127.0.0.1:%d/mms/" % port), location)
        self.assertEqual(note.byte(), 0x8C)
        c = http.client.HTTPConnection("127.0.0.1", port, timeout=10)
        c.request("GET", location)
        got = c.getresponse().read()
        m = mmsc.decode_pdu(got)
        self.assertEqual(m["type"], mmsc.RETRIEVE_CONF)
        self.assertEqual(m["from"], "+15550100100/TYPE=PLMN")
        self.assertEqual(mmsc.decode_multipart(mmsc.Reader(m["body"]))[0]["data"], b"hello")

    def test_refused_and_dropped(self):
        status, conf = self.post(self.start("--fail", "refused"), send_req("+1999"))
        self.assertIn(bytes([0x92, 0xE1]), conf)
        with self.assertRaises((ConnectionError, http.client.HTTPException)):
            self.post(self.start("--fail", "unreachable"), send_req())


if __name__ == "__main__":
    unittest.main()
