"""The probe-traffic service: one-time credentials from the probe server
(fc=71) and the binary traffic replies of "/cgi-bin/qzt.cgi".

Credentials handed out are remembered per test namespace; a traffic request
with credentials that were never handed out, or that were revoked, gets the
expiry error 0xFFFF, as the real service answers stale ones.

Options (scenario fields of the path, set by the tests):
  /probe/OFPB       otp_code=C00    the reply code (C04, E98, E99: no credentials)
                    otp_reply=HEX   the whole reply, as given
  /cgi-bin/qzt.cgi  qzt_reply=HEX   the whole reply, as given
                    qzt_error=HEX   an error reply with that number
                    expire=N        the first N requests get 0xFFFF, revoking
                                    the credentials they carried
                    data=HEX        the data part (default: `size` bytes of
                                    the pattern (i * 37 + 11) & 0xFF)
                    size=N          300 unless given
                    field=K         the length field's size, 1 to 4 (default:
                                    the smallest that holds the length)
                    trailer=HEX     the oversize trailer's number: the data's
                                    last five bytes become FF 04 hi lo 00
"""

import threading

from service import Reply, route, scenario_of
from routes.probe import function

OTP_PATH = "/probe/OFPB"
QZT_PATH = "/cgi-bin/qzt.cgi"
CCID = "CCID0123456789AB"
_lock = threading.Lock()


def pattern(size):
    return bytes(((i * 37 + 11) & 0xFF) for i in range(size))


def length_field(value, field):
    """The length field of `field` bytes holding value (which counts it)."""
    top = (field - 1) << 6
    rest = [(value >> (8 * i)) & 0xFF for i in range(field - 1)][::-1]
    return bytes([top | ((value >> (8 * (field - 1))) & 0x3F)] + rest)


def data_reply(data, field=None):
    if field is None:
        field = 1
        while field < 4 and len(data) + field >= 1 << (6 + 8 * (field - 1)):
            field += 1
    return b"\x4F" + length_field(len(data) + field, field) + data


def _issued(req):
    with _lock:
        return req.state.setdefault("tidewheel_issued", set())


@function(71)
def one_time_password(req):
    opts = scenario_of(req, OTP_PATH)
    if "otp_reply" in opts:
        return Reply(200, bytes.fromhex(opts["otp_reply"]))
    code = opts.get("otp_code", "C00")
    if code in ("C04", "E98", "E99"):
        return Reply(200, ("RESULT=%s\r\n" % code).encode("latin-1"))
    with _lock:
        count = req.state.get("tidewheel_count", 0) + 1
        req.state["tidewheel_count"] = count
        password = "PW%06d" % count
        req.state.setdefault("tidewheel_issued", set()).add((CCID, password))
    return Reply(200, ("RESULT=%s\r\nCCID=%s\r\nPASS=%s\r\n" % (code, CCID, password))
                 .encode("latin-1"))


def _error(number):
    return Reply(200, bytes([0xFF, 0x00, (number >> 8) & 0xFF, number & 0xFF]),
                 "application/octet-stream")


@route(QZT_PATH)
def traffic(req):
    opts = scenario_of(req, QZT_PATH)
    if "qzt_reply" in opts:
        return Reply(200, bytes.fromhex(opts["qzt_reply"]), "application/octet-stream")
    if "qzt_error" in opts:
        return _error(int(opts["qzt_error"], 16))
    credentials = (req.form.get("ccid", b"").decode("latin-1"),
                   req.form.get("otp", b"").decode("latin-1"))
    with _lock:
        issued = req.state.setdefault("tidewheel_issued", set())
        expiries = req.state.get("tidewheel_expiries", 0)
        if credentials in issued and expiries < int(opts.get("expire", 0)):
            req.state["tidewheel_expiries"] = expiries + 1
            issued.discard(credentials)
        if credentials not in issued:
            return _error(0xFFFF)
    if "data" in opts:
        data = bytes.fromhex(opts["data"])
    else:
        data = pattern(int(opts.get("size", 300)))
    if "trailer" in opts and len(data) >= 5:
        number = int(opts["trailer"], 16)
        data = data[:-5] + bytes([0xFF, 0x04, (number >> 8) & 0xFF, number & 0xFF, 0])
    field = int(opts["field"]) if "field" in opts else None
    return Reply(200, data_reply(data, field), "application/octet-stream")
