"""SMS PDUs as a GSM modem takes and gives them (3GPP TS 23.040, alphabets of
TS 23.038): the simulator checks each SMS-SUBMIT it is given and delivers
messages as SMS-DELIVER. Pure functions over bytes."""

import time

GSM_DEFAULT = (
    "@\u00a3$\u00a5\u00e8\u00e9\u00f9\u00ec\u00f2\u00c7\n\u00d8\u00f8\r\u00c5\u00e5"
    "\u0394_\u03a6\u0393\u039b\u03a9\u03a0\u03a8\u03a3\u0398\u039e\x1b\u00c6\u00e6\u00df\u00c9"
    " !\"#\u00a4%&'()*+,-./0123456789:;<=>?"
    "\u00a1ABCDEFGHIJKLMNOPQRSTUVWXYZ\u00c4\u00d6\u00d1\u00dc\u00a7"
    "\u00bfabcdefghijklmnopqrstuvwxyz\u00e4\u00f6\u00f1\u00fc\u00e0")
GSM_EXTENSION = {0x0A: "\x0c", 0x14: "^", 0x28: "{", 0x29: "}", 0x2F: "\\", 0x3C: "[", 0x3D: "~", 0x3E: "]",
                 0x40: "|", 0x65: "\u20ac"}
ESCAPE = 0x1B


class PduError(ValueError):
    pass


def alphabet_of(dcs):
    """'gsm7', '8bit' or 'ucs2' for a data coding scheme."""
    group = dcs >> 4
    if group <= 7:
        return ("gsm7", "8bit", "ucs2", "8bit")[(dcs >> 2) & 3]
    if group in (0xC, 0xD):
        return "gsm7"
    if group == 0xE:
        return "ucs2"
    if group == 0xF:
        return "8bit" if dcs & 4 else "gsm7"
    return "8bit"


def text_to_septets(text):
    """Septets of the default alphabet and its extension, or None."""
    out = []
    for ch in text:
        i = GSM_DEFAULT.find(ch)
        if i >= 0 and i != ESCAPE:
            out.append(i)
            continue
        for code, c in GSM_EXTENSION.items():
            if c == ch:
                out += [ESCAPE, code]
                break
        else:
            return None
    return out


def septets_to_text(septets):
    out = []
    i = 0
    while i < len(septets):
        s = septets[i] & 0x7F
        if s == ESCAPE:
            i += 1
            if i >= len(septets):
                break
            e = septets[i] & 0x7F
            out.append(GSM_EXTENSION.get(e, " " if e == ESCAPE else GSM_DEFAULT[e]))
        else:
            out.append(GSM_DEFAULT[s])
        i += 1
    return "".join(out)


def pack_septets(septets, fill=0):
    bits = fill + 7 * len(septets)
    value = 0
    for i, s in enumerate(septets):
        value |= (s & 0x7F) << (fill + 7 * i)
    return value.to_bytes((bits + 7) // 8, "little")


def unpack_septets(data, fill, count):
    value = int.from_bytes(data, "little")
    total = len(data) * 8
    out = []
    bit = fill
    while len(out) < count and bit + 7 <= total:
        out.append((value >> bit) & 0x7F)
        bit += 7
    return out


def fill_bits(header_octets):
    return (7 - (header_octets * 8) % 7) % 7 if header_octets else 0


def header_septets(header_octets):
    return (header_octets * 8 + 6) // 7 if header_octets else 0


def encode_address(number):
    """TP-DA / TP-OA field of a number ("+" and digits, or digits)."""
    international = number.startswith("+")
    digits = number[1:] if international else number
    if not digits or len(digits) > 20 or any(c not in "0123456789*#" for c in digits):
        raise PduError("bad number %r" % number)
    nibbles = [{"*": 10, "#": 11}.get(c, None) if c in "*#" else int(c) for c in digits]
    if len(nibbles) % 2:
        nibbles.append(15)
    body = bytes(nibbles[i] | nibbles[i + 1] << 4 for i in range(0, len(nibbles), 2))
    return bytes([len(digits), 0x91 if international else 0x81]) + body


def decode_address(data, at):
    """(number, next position) of the address field at `at`."""
    if at + 2 > len(data):
        raise PduError("address runs past the end")
    digits, toa = data[at], data[at + 1]
    octets = (digits + 1) // 2
    if digits > 20 or at + 2 + octets > len(data):
        raise PduError("bad address length")
    raw = data[at + 2:at + 2 + octets]
    if (toa >> 4) & 7 == 5:
        return septets_to_text(unpack_septets(raw, 0, digits * 4 // 7)), at + 2 + octets
    out = "+" if (toa >> 4) & 7 == 1 else ""
    for i in range(digits):
        v = raw[i // 2] >> 4 if i % 2 else raw[i // 2] & 15
        if v == 15:
            if i + 1 == digits:
                break
            raise PduError("filler inside a number")
        out += "0123456789*#abc"[v]
    return out, at + 2 + octets


def encode_centre(number):
    if not number:
        return b"\x00"
    field = encode_address(number)
    return bytes([len(field) - 1]) + field[1:]


def timestamp(t=None):
    """Seven semi-octet swapped octets of a service centre time stamp (local time)."""
    t = time.localtime(t)
    offset = (t.tm_gmtoff or 0) // 900
    values = [t.tm_year % 100, t.tm_mon, t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec]
    out = bytes(((v % 10) << 4) | (v // 10) for v in values)
    q = abs(offset)
    zone = ((q % 10) << 4) | (q // 10) | (0x08 if offset < 0 else 0)
    return out + bytes([zone])


def parse_header(header):
    """[(id, data)] of a user data header (without its length octet)."""
    out = []
    i = 0
    while i < len(header):
        if i + 2 > len(header) or i + 2 + header[i + 1] > len(header):
            raise PduError("malformed user data header")
        out.append((header[i], bytes(header[i + 2:i + 2 + header[i + 1]])))
        i += 2 + header[i + 1]
    return out


class Message:
    """A decoded SMS-SUBMIT or SMS-DELIVER."""

    def __init__(self):
        self.kind = ""           # "submit" | "deliver"
        self.centre = ""
        self.address = ""        # destination (submit) or originator (deliver)
        self.pid = 0
        self.dcs = 0
        self.first = 0
        self.udl = 0
        self.user_data = b""     # TP-UD as it stands (header included)
        self.header = b""        # header elements, without the length octet
        self.units = []          # septets (7-bit) or octets
        self.timestamp = b""

    @property
    def alphabet(self):
        return alphabet_of(self.dcs)

    def text(self):
        if self.alphabet == "gsm7":
            return septets_to_text(self.units)
        if self.alphabet == "ucs2":
            return bytes(self.units).decode("utf-16-be", errors="replace")
        return bytes(self.units).hex().upper()


def decode(pdu, with_centre=True):
    """Decodes a whole PDU; raises PduError when it is not one well-formed
    SMS-SUBMIT or SMS-DELIVER (bytes past its end included)."""
    data = bytes(pdu)
    m = Message()
    i = 0
    if with_centre:
        if not data:
            raise PduError("empty PDU")
        n = data[0]
        if 1 + n > len(data) or n > 11:
            raise PduError("bad service centre field")
        if n > 1:  # a type octet alone is an empty number
            digits = (n - 1) * 2 - (1 if data[n] >> 4 == 15 else 0)
            m.centre, _ = decode_address(bytes([digits]) + data[1:1 + n], 0)
        i = 1 + n
    if i >= len(data):
        raise PduError("no message")
    m.first = data[i]
    i += 1
    mti = m.first & 3
    if mti == 1:
        m.kind = "submit"
        if i >= len(data):
            raise PduError("ends in the header")
        i += 1  # message reference
        m.address, i = decode_address(data, i)
        if i + 2 > len(data):
            raise PduError("ends in the header")
        m.pid, m.dcs = data[i], data[i + 1]
        i += 2
        vpf = (m.first >> 3) & 3
        i += {0: 0, 2: 1}.get(vpf, 7)
    elif mti == 0:
        m.kind = "deliver"
        m.address, i = decode_address(data, i)
        if i + 9 > len(data):
            raise PduError("ends in the header")
        m.pid, m.dcs = data[i], data[i + 1]
        m.timestamp = data[i + 2:i + 9]
        i += 9
    else:
        raise PduError("not an SMS-SUBMIT or SMS-DELIVER")
    if i >= len(data):
        raise PduError("no user data length")
    m.udl = data[i]
    i += 1
    gsm = m.alphabet == "gsm7"
    octets = (m.udl * 7 + 7) // 8 if gsm else m.udl
    if (gsm and m.udl > 160) or octets > 140:
        raise PduError("user data too long")
    if i + octets != len(data):
        raise PduError("user data does not match its length")
    m.user_data = data[i:]
    header_octets = 0
    if m.first & 0x40:
        if not m.user_data or m.user_data[0] + 1 > len(m.user_data):
            raise PduError("header runs past the user data")
        header_octets = m.user_data[0] + 1
        m.header = m.user_data[1:header_octets]
        parse_header(m.header)
    body = m.user_data[header_octets:]
    if gsm:
        if header_septets(header_octets) > m.udl:
            raise PduError("header longer than the user data")
        m.units = unpack_septets(body, fill_bits(header_octets), m.udl - header_septets(header_octets))
    else:
        m.units = list(body)
    return m


def deliver_pdu(originator, dcs, user_data, udl, pid=0, header=False, centre="+15550000000", when=None):
    """An SMS-DELIVER with its service centre field, as AT+CMGR shows it."""
    first = 0x04 | (0x40 if header else 0)  # no more messages to send
    return (encode_centre(centre) + bytes([first]) + encode_address(originator) + bytes([pid, dcs]) +
            timestamp(when) + bytes([udl]) + bytes(user_data))


def deliver_from_submit(submit, originator, when=None):
    """The SMS-DELIVER a network makes of a submitted message."""
    return deliver_pdu(originator, submit.dcs, submit.user_data, submit.udl, submit.pid, bool(submit.first & 0x40),
                       when=when)


def user_data(coding, payload, header=b""):
    """(udl, user data) of a payload: text for gsm7 / ucs2, bytes for 8bit."""
    header_octets = len(header) + 1 if header else 0
    head = bytes([len(header)]) + bytes(header) if header else b""
    if coding == "gsm7":
        septets = text_to_septets(payload)
        if septets is None:
            raise PduError("text has characters outside the GSM 7-bit alphabet")
        body = pack_septets(septets, fill_bits(header_octets))
        udl = header_septets(header_octets) + len(septets)
        if udl > 160:
            raise PduError("text too long for one message")
        return udl, head + body
    body = payload.encode("utf-16-be") if coding == "ucs2" else bytes(payload)
    if header_octets + len(body) > 140:
        raise PduError("data too long for one message")
    return header_octets + len(body), head + body


DCS = {"gsm7": 0x00, "8bit": 0x04, "ucs2": 0x08}


def text_deliver(originator, coding, payload, header=b"", when=None):
    udl, ud = user_data(coding, payload, header)
    return deliver_pdu(originator, DCS[coding], ud, udl, header=bool(header), when=when)
