#!/usr/bin/env python3
"""An operator's MMSC for practice and tests (MM1 over HTTP).

  mmsc.py [--port N] [--bind ADDR] [--ready FILE] [--log FILE] [--parent PID] [--lifetime S]
          [--fail none|refused|busy|unreachable|slow] [--slow-seconds S]
          [--number +15550100100] [--name HOST]...
          [--modem COMn|PID --prefix WINEPREFIX] [--push-dir DIR]

It takes m-send-req (HTTP POST, application/vnd.wap.mms-message) at any path,
checks the encoding with its own decoder, and answers m-send-conf: Ok, or the
error chosen for the run (--fail refused: Error-permanent-service-denied;
busy: Error-transient-failure; unreachable: the connection is dropped without
an answer; slow: the answer comes after --slow-seconds). A message for the
simulated modem's own number (--number) is kept for retrieval (GET of its
content location) and announced to the modem as a WAP push carrying an
m-notification-ind: SMS-DELIVER PDUs with 8-bit data and a user data header
with 16-bit port addressing (2948 from 9200) and concatenation, handed to the
modem simulator with "simctl deliver" (--modem), or the push itself written
to --push-dir as the SMS gateway would leave it ("NAME.PUSH", written as
".TMP" and renamed).

It is also an HTTP proxy, so that it can stand in as the WAP gateway: a
request for an absolute URL is served here when the URL names this server
(its address, or a --name such as mmsc.practice), else passed on.

Every event is one JSON line in --log. --port 0 (the default) takes a free
port; --ready FILE receives "PORT PID" once it listens and is deleted when the
server ends (on SIGTERM, when --parent ends, or after --lifetime seconds).
"""

import argparse
import http.client
import http.server
import json
import os
import signal
import socket
import socketserver
import struct
import subprocess
import sys
import threading
import time

HERE = os.path.dirname(os.path.abspath(__file__))
MMS_TYPE = "application/vnd.wap.mms-message"

# ---------------------------------------------------------------------------
# WSP / MMS encoding (OMA MMS encapsulation 1.2, WAP WSP), written apart from
# the gateway's C++ module so that each checks the other.

MEDIA = {0x03: "text/plain", 0x02: "text/html", 0x07: "text/x-vcard", 0x0C: "multipart/mixed",
         0x0F: "multipart/alternative", 0x1D: "image/gif", 0x1E: "image/jpeg", 0x20: "image/png",
         0x21: "image/vnd.wap.wbmp", 0x23: "application/vnd.wap.multipart.mixed",
         0x26: "application/vnd.wap.multipart.alternative", 0x33: "application/vnd.wap.multipart.related",
         0x3E: MMS_TYPE}
CHARSETS = {3: "us-ascii", 4: "iso-8859-1", 106: "utf-8", 1000: "iso-10646-ucs-2", 1015: "utf-16"}
MAX_PARTS = 100

SEND_REQ, SEND_CONF, NOTIFICATION_IND, NOTIFYRESP_IND, RETRIEVE_CONF, ACKNOWLEDGE_IND = 0x80, 0x81, 0x82, 0x83, 0x84, 0x85
# header field codes
F_BCC, F_CC, F_CONTENT_LOCATION, F_CONTENT_TYPE, F_DATE = 0x01, 0x02, 0x03, 0x04, 0x05
F_EXPIRY, F_FROM, F_MESSAGE_CLASS, F_MESSAGE_ID, F_MESSAGE_TYPE = 0x08, 0x09, 0x0A, 0x0B, 0x0C
F_VERSION, F_MESSAGE_SIZE, F_RESPONSE_STATUS, F_RESPONSE_TEXT, F_STATUS = 0x0D, 0x0E, 0x12, 0x13, 0x15
F_SUBJECT, F_TO, F_TRANSACTION_ID = 0x16, 0x17, 0x18

STATUS_OK, STATUS_SERVICE_DENIED, STATUS_FORMAT_CORRUPT, STATUS_TRANSIENT = 0x80, 0xE1, 0xE2, 0xC0


class Malformed(Exception):
    pass


class Reader:
    def __init__(self, data, pos=0, end=None):
        self.data = data
        self.pos = pos
        self.end = len(data) if end is None else end

    def left(self):
        return self.end - self.pos

    def peek(self):
        if self.pos >= self.end:
            raise Malformed("the data ends inside a field")
        return self.data[self.pos]

    def byte(self):
        b = self.peek()
        self.pos += 1
        return b

    def take(self, n):
        if n > self.left():
            raise Malformed("a length runs past the end")
        sub = Reader(self.data, self.pos, self.pos + n)
        self.pos += n
        return sub

    def raw(self, n):
        return bytes(self.take(n).rest())

    def rest(self):
        out = self.data[self.pos:self.end]
        self.pos = self.end
        return out

    def uintvar(self):
        value = 0
        for i in range(5):
            b = self.byte()
            value = (value << 7) | (b & 0x7F)
            if not b & 0x80:
                return value
        raise Malformed("a uintvar is too long")

    def value_length(self):
        b = self.byte()
        if b <= 30:
            n = b
        elif b == 31:
            n = self.uintvar()
        else:
            raise Malformed("a value length was expected")
        if n > self.left():
            raise Malformed("a value length runs past the end")
        return n

    def text(self):
        end = self.data.find(b"\0", self.pos, self.end)
        if end < 0:
            raise Malformed("a text does not end")
        s = self.data[self.pos:end]
        self.pos = end + 1
        if s[:1] in (b"\x7f", b'"'):
            s = s[1:]
        return s.decode("utf-8", "replace")

    def integer(self):
        b = self.peek()
        if b & 0x80:
            self.pos += 1
            return b & 0x7F
        n = self.byte()
        if not 1 <= n <= 8:
            raise Malformed("a long integer has a bad length")
        return int.from_bytes(self.raw(n), "big")

    def skip_value(self):
        b = self.peek()
        if b >= 0x80:
            self.pos += 1
        elif b <= 31:
            self.take(self.value_length())
        else:
            self.text()

    def encoded_string(self):
        b = self.peek()
        if b > 31:
            return self.text()
        v = self.take(self.value_length())
        if v.peek() == 0x80:
            v.byte()
            mib = 0
        else:
            mib = v.integer()
        end = v.data.find(b"\0", v.pos, v.end)
        if end < 0:
            raise Malformed("an encoded text does not end")
        raw = v.data[v.pos:end]
        if raw[:1] == b"\x7f":
            raw = raw[1:]
        codec = {4: "latin-1", 1000: "utf-16-be", 1015: "utf-16"}.get(mib, "utf-8")
        return raw.decode(codec, "replace")

    def content_type(self):
        b = self.peek()
        if b >= 0x80:
            self.pos += 1
            return {"media": MEDIA.get(b & 0x7F, "application/x-wsp-%d" % (b & 0x7F))}
        if b > 31:
            return {"media": self.text().lower()}
        v = self.take(self.value_length())
        b = v.peek()
        ct = {}
        if b >= 0x80 or b <= 30:
            n = v.integer()
            ct["media"] = MEDIA.get(n, "application/x-wsp-%d" % n)
        else:
            ct["media"] = v.text().lower()
        while v.left():
            b = v.peek()
            if b >= 0x80 or b <= 30:
                token = v.integer()
                if token == 0x01:
                    c = v.peek()
                    if c == 0x80:
                        v.byte()
                    else:
                        ct["charset"] = CHARSETS.get(v.integer(), "other")
                elif token in (0x05, 0x06, 0x17, 0x18):
                    ct["name"] = v.encoded_string()
                elif token == 0x09:
                    ct["type"] = v.text() if v.peek() < 0x80 else MEDIA.get(v.integer(), "other")
                elif token in (0x0A, 0x19):
                    ct["start"] = v.text()
                elif token == 0x00:
                    v.uintvar()
                else:
                    v.skip_value()
            else:
                name = v.text().lower()
                c = v.peek()
                if c == 0:
                    v.byte()
                    value = ""
                elif c >= 0x80 or c <= 30:
                    value = v.integer()
                else:
                    value = v.text()
                ct[name] = value
        return ct


def decode_multipart(r):
    count = r.uintvar()
    if count > MAX_PARTS or count > r.left() // 3:
        raise Malformed("too many parts (%d)" % count)
    parts = []
    for _ in range(count):
        hlen = r.uintvar()
        dlen = r.uintvar()
        if hlen == 0:
            raise Malformed("a part has no content type")
        h = r.take(hlen)
        if dlen > r.left():
            raise Malformed("a part runs past the end")
        part = {"type": h.content_type()}
        while h.left():
            b = h.peek()
            if b & 0x80:
                code = h.byte() & 0x7F
                if code == 0x0E:
                    part["location"] = h.text()
                elif code == 0x40:
                    part["id"] = h.text()
                else:
                    h.skip_value()
            elif 32 <= b < 127:
                name, value = h.text(), h.text()
                if name.lower() == "content-location":
                    part["location"] = value
            else:
                raise Malformed("a part header is malformed")
        part["data"] = r.raw(dlen)
        parts.append(part)
    if r.left():
        raise Malformed("data follows the last part")
    return parts


def decode_pdu(data):
    """Headers of an MMS PDU: a dict, with 'content_type_raw' and 'body' when it has a body."""
    r = Reader(data)
    if r.byte() != 0x80 | F_MESSAGE_TYPE:
        raise Malformed("the message type is not the first header")
    m = {"type": r.byte(), "to": [], "cc": [], "bcc": []}
    while r.left():
        code = r.byte()
        if not code & 0x80:
            raise Malformed("an unknown header field")
        code &= 0x7F
        if code == F_TRANSACTION_ID:
            m["tid"] = r.text()
        elif code == F_VERSION:
            m["version"] = r.byte()
        elif code == F_FROM:
            v = r.take(r.value_length())
            token = v.byte()
            m["from"] = v.encoded_string() if token == 0x80 else ""
        elif code in (F_TO, F_CC, F_BCC):
            m[{F_TO: "to", F_CC: "cc", F_BCC: "bcc"}[code]].append(r.encoded_string())
        elif code == F_SUBJECT:
            m["subject"] = r.encoded_string()
        elif code == F_STATUS:
            m["status"] = r.byte()
        elif code == F_CONTENT_TYPE:
            start = r.pos
            m["content_type"] = r.content_type()
            m["content_type_raw"] = bytes(data[start:r.pos])
            m["body"] = bytes(data[r.pos:])
            break
        else:
            r.skip_value()
    return m


def validate_send_req(data):
    """The decoded m-send-req, or Malformed."""
    m = decode_pdu(data)
    if m["type"] != SEND_REQ:
        raise Malformed("not an m-send-req (type 0x%02X)" % m["type"])
    if "tid" not in m or not m["tid"]:
        raise Malformed("no transaction id")
    if m.get("version", 0) >> 4 != 0x9:
        raise Malformed("not MMS version 1.x")
    if not (m["to"] or m["cc"] or m["bcc"]):
        raise Malformed("no recipient")
    if "content_type" not in m:
        raise Malformed("no content type")
    media = m["content_type"]["media"]
    if media.startswith("application/vnd.wap.multipart.") or media.startswith("multipart/"):
        m["parts"] = decode_multipart(Reader(m["body"]))
    else:
        m["parts"] = [{"type": m["content_type"], "data": m["body"]}]
    return m


def put_text(s):
    b = s.encode("utf-8")
    return (b"\x7f" if b[:1] and b[0] >= 0x80 else b"") + b + b"\0"


def put_value_length(n):
    return bytes([n]) if n <= 30 else b"\x1f" + put_uintvar(n)


def put_uintvar(n):
    out = [n & 0x7F]
    n >>= 7
    while n:
        out.append(0x80 | (n & 0x7F))
        n >>= 7
    return bytes(reversed(out))


def put_long(n):
    b = n.to_bytes(max(1, (n.bit_length() + 7) // 8), "big")
    return bytes([len(b)]) + b


def put_encoded(s):
    if all(ord(c) < 128 for c in s):
        return put_text(s)
    v = b"\xea" + put_text(s)
    return put_value_length(len(v)) + v


def put_from(address):
    if not address:
        return bytes([0x80 | F_FROM, 1, 0x81])
    v = b"\x80" + put_encoded(address)
    return bytes([0x80 | F_FROM]) + put_value_length(len(v)) + v


def encode_send_conf(tid, status, message_id="", text=""):
    out = bytes([0x8C, SEND_CONF, 0x80 | F_TRANSACTION_ID]) + put_text(tid) + bytes([0x8D, 0x92])
    out += bytes([0x80 | F_RESPONSE_STATUS, status])
    if text:
        out += bytes([0x80 | F_RESPONSE_TEXT]) + put_encoded(text)
    if message_id:
        out += bytes([0x80 | F_MESSAGE_ID]) + put_text(message_id)
    return out


def encode_notification(tid, sender, subject, size, location):
    out = bytes([0x8C, NOTIFICATION_IND, 0x80 | F_TRANSACTION_ID]) + put_text(tid) + bytes([0x8D, 0x92])
    out += put_from(sender)
    if subject:
        out += bytes([0x80 | F_SUBJECT]) + put_encoded(subject)
    out += bytes([0x80 | F_MESSAGE_CLASS, 0x80, 0x80 | F_MESSAGE_SIZE]) + put_long(size)
    expiry = b"\x81" + put_long(7 * 86400)
    out += bytes([0x80 | F_EXPIRY]) + put_value_length(len(expiry)) + expiry
    out += bytes([0x80 | F_CONTENT_LOCATION]) + put_text(location)
    return out


def encode_retrieve_conf(tid, message_id, sender, to, subject, content_type_raw, body, when):
    out = bytes([0x8C, RETRIEVE_CONF, 0x80 | F_TRANSACTION_ID]) + put_text(tid) + bytes([0x8D, 0x92])
    out += bytes([0x80 | F_MESSAGE_ID]) + put_text(message_id)
    out += bytes([0x80 | F_DATE]) + put_long(int(when))
    out += put_from(sender)
    for t in to:
        out += bytes([0x80 | F_TO]) + put_encoded(t)
    if subject:
        out += bytes([0x80 | F_SUBJECT]) + put_encoded(subject)
    return out + bytes([0x80 | F_CONTENT_TYPE]) + content_type_raw + body


def encode_push(body, tid=1):
    headers = bytes([0x80 | 0x3E, 0xAF, 0x84])  # application/vnd.wap.mms-message; X-Wap-Application-Id: mms.ua
    return bytes([tid, 0x06]) + put_uintvar(len(headers)) + headers + body


# ---------------------------------------------------------------------------
# SMS-DELIVER PDUs carrying a WAP push (3GPP TS 23.040)

def semi_octets(digits):
    if len(digits) % 2:
        digits += "F"
    return bytes(int(digits[i + 1] + digits[i], 16) for i in range(0, len(digits), 2))


def timestamp(when):
    t = time.gmtime(when)
    fields = "%02d%02d%02d%02d%02d%02d" % (t.tm_year % 100, t.tm_mon, t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec)
    return semi_octets(fields) + b"\x00"  # GMT


def sms_deliver_pdus(push, sender="+15550100900", reference=1, when=None):
    """The hex SMS-DELIVER PDUs (SMSC part "00") carrying `push` to WAP push port 2948."""
    when = time.time() if when is None else when
    ports = bytes([0x05, 0x04, 0x0B, 0x84, 0x23, 0xF0])
    digits = sender.lstrip("+")
    address = bytes([len(digits), 0x91 if sender.startswith("+") else 0x81]) + semi_octets(digits)
    single = 140 - 1 - len(ports)
    chunks = [push] if len(push) <= single else [push[i:i + 128] for i in range(0, len(push), 128)]
    if len(chunks) > 255:
        raise ValueError("a push of more than 255 messages")
    pdus = []
    for i, chunk in enumerate(chunks):
        ies = ports if len(chunks) == 1 else bytes([0x00, 0x03, reference & 0xFF, len(chunks), i + 1]) + ports
        ud = bytes([len(ies)]) + ies + chunk
        more = 0x04 if i == len(chunks) - 1 else 0x00  # TP-MMS: no more messages after the last
        tpdu = bytes([0x40 | more]) + address + bytes([0x00, 0x04]) + timestamp(when) + bytes([len(ud)]) + ud
        pdus.append("00" + tpdu.hex().upper())
    return pdus


# ---------------------------------------------------------------------------
# The server

class Store:
    def __init__(self):
        self.lock = threading.Lock()
        self.messages = {}
        self.counter = 0

    def add(self, message):
        with self.lock:
            self.counter += 1
            mid = "%d-%04d" % (int(time.time()), self.counter)
            self.messages[mid] = message
            return mid, self.counter


class MmscServer(socketserver.ThreadingMixIn, http.server.HTTPServer):
    daemon_threads = True
    allow_reuse_address = True


def same_number(address, number):
    a = address.split("/")[0].strip()
    return a.lstrip("+") == number.lstrip("+") and a.lstrip("+") != ""


class Handler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.0"
    server_version = "ZarqPracticeMMSC/1.0"

    def log_message(self, fmt, *args):
        pass

    def target(self):
        """(host or None, path): host is set for an absolute URL naming another server."""
        path = self.path
        if path.lower().startswith("http://"):
            rest = path[7:]
            slash = rest.find("/")
            hostport, path = (rest, "/") if slash < 0 else (rest[:slash], rest[slash:])
            host = hostport.rsplit(":", 1)[0].lower() if ":" in hostport else hostport.lower()
            port = int(hostport.rsplit(":", 1)[1]) if ":" in hostport else 80
            cfg = self.server.cfg
            own = host in cfg.names or (host in ("127.0.0.1", "localhost", cfg.bind) and port == self.server.server_port)
            if not own:
                return hostport, path
        return None, path

    def drop_when_unreachable(self):
        if self.server.cfg.fail == "unreachable":
            event(self.server.cfg, "dropped", method=self.command, path=self.path)
            self.close_connection = True
            try:
                self.connection.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
            except OSError:
                pass
            return True
        return False

    def answer(self, status, body=b"", content_type=MMS_TYPE):
        self.send_response(status)
        if body:
            self.send_header("Content-Type", content_type)
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        if body and self.command != "HEAD":
            self.wfile.write(body)

    def read_body(self):
        length = int(self.headers.get("Content-Length") or 0)
        if length < 0 or length > 4 * 1024 * 1024:
            raise Malformed("a body of %d bytes" % length)
        return self.rfile.read(length)

    def forward(self, hostport, path, body):
        host, _, port = hostport.partition(":")
        try:
            conn = http.client.HTTPConnection(host, int(port or 80), timeout=30)
            headers = {k: v for k, v in self.headers.items() if k.lower() not in ("connection", "proxy-connection")}
            conn.request(self.command, path, body=body, headers=headers)
            r = conn.getresponse()
            data = r.read()
            event(self.server.cfg, "proxied", method=self.command, host=hostport, path=path, status=r.status)
            self.answer(r.status, data, r.getheader("Content-Type") or "application/octet-stream")
        except (OSError, ValueError, http.client.HTTPException) as e:
            event(self.server.cfg, "proxied", method=self.command, host=hostport, path=path, error=str(e))
            self.answer(502, ("cannot reach %s: %s" % (hostport, e)).encode(), "text/plain")

    def do_GET(self):
        if self.drop_when_unreachable():
            return
        other, path = self.target()
        if other:
            return self.forward(other, path, None)
        mid = path.rstrip("/").rsplit("/", 1)[-1]
        message = self.server.store.messages.get(mid) if path.startswith("/mms/") else None
        if message is None:
            event(self.server.cfg, "retrieve", id=mid, found=False)
            return self.answer(404, b"no such message\n", "text/plain")
        body = encode_retrieve_conf("R" + mid, mid, message["from"], message["to"], message["subject"],
                                    message["content_type_raw"], message["body"], message["when"])
        event(self.server.cfg, "retrieve", id=mid, found=True, size=len(body))
        self.answer(200, body)

    def do_POST(self):
        if self.drop_when_unreachable():
            return
        cfg = self.server.cfg
        try:
            body = self.read_body()
        except (Malformed, ValueError) as e:
            event(cfg, "refused", reason=str(e))
            return self.answer(413, b"too large\n", "text/plain")
        other, path = self.target()
        if other:
            return self.forward(other, path, body)
        ctype = (self.headers.get("Content-Type") or "").split(";")[0].strip().lower()
        if ctype != MMS_TYPE:
            event(cfg, "refused", reason="content type %s" % (ctype or "none"))
            return self.answer(415, b"not an MMS\n", "text/plain")
        kind = body[1] if len(body) > 1 and body[0] == 0x8C else 0
        if kind in (NOTIFYRESP_IND, ACKNOWLEDGE_IND):
            try:
                m = decode_pdu(body)
                event(cfg, "notifyresp" if kind == NOTIFYRESP_IND else "acknowledge", tid=m.get("tid"),
                      status=m.get("status"))
            except Malformed as e:
                event(cfg, "refused", reason=str(e))
            return self.answer(204)
        self.send_req(body)

    def send_req(self, body):
        cfg = self.server.cfg
        tid = ""
        try:
            tid = decode_pdu(body).get("tid", "")
            m = validate_send_req(body)
        except (Malformed, IndexError) as e:
            event(cfg, "send-req", valid=False, error=str(e), size=len(body))
            return self.answer(200, encode_send_conf(tid or "?", STATUS_FORMAT_CORRUPT, text=str(e)))
        parts = [{"type": p["type"]["media"], "name": p.get("location") or p["type"].get("name", ""),
                  "size": len(p["data"])} for p in m["parts"]]
        recipients = m["to"] + m["cc"] + m["bcc"]
        record = dict(valid=True, tid=m["tid"], sender=m.get("from", ""), to=recipients, subject=m.get("subject", ""),
                      parts=parts, size=len(body), host=self.headers.get("Host", ""))
        if cfg.fail == "slow":
            time.sleep(cfg.slow_seconds)
        if cfg.fail in ("refused", "busy"):
            status = STATUS_SERVICE_DENIED if cfg.fail == "refused" else STATUS_TRANSIENT
            event(cfg, "send-req", status="0x%02X" % status, **record)
            return self.answer(200, encode_send_conf(m["tid"], status, text="refused for practice"))
        # The sender is the subscriber behind the gateway's modem.
        sender = m.get("from") or cfg.number + "/TYPE=PLMN"
        mid, ref = self.server.store.add({"from": sender, "to": recipients, "subject": m.get("subject", ""),
                                          "content_type_raw": m["content_type_raw"], "body": m["body"],
                                          "when": time.time()})
        event(cfg, "send-req", status="Ok", id=mid, **record)
        self.answer(200, encode_send_conf(m["tid"], STATUS_OK, message_id=mid))
        host = self.headers.get("Host") or "%s:%d" % (cfg.bind, self.server.server_port)
        for address in recipients:
            if same_number(address, cfg.number):
                location = "http://%s/mms/%s" % (host, mid)
                notification = encode_notification("N" + mid, sender, m.get("subject", ""), len(body), location)
                threading.Thread(target=notify, args=(cfg, mid, ref, encode_push(notification)), daemon=True).start()
                break


def notify(cfg, mid, ref, push):
    if cfg.push_dir:
        name = "MMSC%s" % mid.replace("-", "")
        tmp = os.path.join(cfg.push_dir, name + ".TMP")
        try:
            os.makedirs(cfg.push_dir, exist_ok=True)
            with open(tmp, "wb") as f:
                f.write(push)
            os.replace(tmp, os.path.join(cfg.push_dir, name + ".PUSH"))
            event(cfg, "notify", id=mid, via="push-dir", file=name + ".PUSH", size=len(push))
        except OSError as e:
            event(cfg, "notify", id=mid, via="push-dir", error=str(e))
        return
    if not cfg.modem:
        event(cfg, "notify", id=mid, via="none", error="no modem to notify (--modem)")
        return
    pdus = sms_deliver_pdus(push, reference=ref)
    for pdu in pdus:
        cmd = [sys.executable, os.path.join(HERE, "..", "modem", "simctl"), "deliver", cfg.modem, "--pdu", pdu]
        if cfg.prefix:
            cmd += ["--prefix", cfg.prefix]
        try:
            r = subprocess.run(cmd, capture_output=True, text=True, timeout=30)
            ok, why = r.returncode == 0, r.stderr.strip()
        except (OSError, subprocess.TimeoutExpired) as e:
            ok, why = False, str(e)
        event(cfg, "notify", id=mid, via="modem", pdu=pdu, ok=ok, **({} if ok else {"error": why}))
        if not ok:
            return


LOG_LOCK = threading.Lock()


def event(cfg, kind, **fields):
    if not cfg.log:
        return
    record = {"time": time.strftime("%Y-%m-%dT%H:%M:%S"), "event": kind}
    record.update(fields)
    with LOG_LOCK, open(cfg.log, "a") as f:
        f.write(json.dumps(record, default=str) + "\n")


def pid_alive(pid):
    try:
        os.kill(pid, 0)
        return True
    except ProcessLookupError:
        return False
    except PermissionError:
        return True


def main(argv=None):
    p = argparse.ArgumentParser(description="A practice operator MMSC (MM1 over HTTP).")
    p.add_argument("--port", type=int, default=0)
    p.add_argument("--bind", default="127.0.0.1")
    p.add_argument("--ready", default="")
    p.add_argument("--log", default="")
    p.add_argument("--parent", type=int, default=0)
    p.add_argument("--lifetime", type=float, default=0)
    p.add_argument("--fail", choices=["none", "refused", "busy", "unreachable", "slow"], default="none")
    p.add_argument("--slow-seconds", type=float, default=10)
    p.add_argument("--number", default="+15550100100")
    p.add_argument("--name", action="append", default=[])
    p.add_argument("--modem", default="")
    p.add_argument("--prefix", default=os.environ.get("WINEPREFIX", ""))
    p.add_argument("--push-dir", default="")
    cfg = p.parse_args(argv)
    cfg.names = {n.lower() for n in cfg.name} | {"mmsc.practice"}

    server = MmscServer((cfg.bind, cfg.port), Handler)
    server.cfg = cfg
    server.store = Store()
    done = threading.Event()

    def finish(*_):
        done.set()

    for sig in (signal.SIGTERM, signal.SIGINT, signal.SIGHUP):
        signal.signal(sig, finish)
    threading.Thread(target=server.serve_forever, daemon=True).start()
    event(cfg, "start", port=server.server_port, fail=cfg.fail, number=cfg.number)
    if cfg.ready:
        with open(cfg.ready + ".tmp", "w") as f:
            f.write("%d %d\n" % (server.server_port, os.getpid()))
        os.replace(cfg.ready + ".tmp", cfg.ready)
    else:
        print(server.server_port, flush=True)
    started = time.monotonic()
    while not done.wait(0.5):
        if cfg.parent and not pid_alive(cfg.parent):
            break
        if cfg.lifetime and time.monotonic() - started > cfg.lifetime:
            break
    server.shutdown()
    server.server_close()
    event(cfg, "stop")
    if cfg.ready:
        try:
            os.unlink(cfg.ready)
        except OSError:
            pass
    return 0


if __name__ == "__main__":
    sys.exit(main())
