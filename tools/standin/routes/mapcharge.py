"""Routes of the map charge's line-speed test and download list.

Each reply can be shaped per test through the scenario of its path
(CStandIn::Set(path, "key=value&...")), besides the service's own fields:
  /pcapp/TransmissionRateUrlAPI    ret=N (0), url=ADDRESS (the test file
                                   below), file_size=N (bytes of that file),
                                   reply_hex=HEX (the whole reply instead)
  /pcapp/SpeedTestFile             ?size=N: N pattern bytes (262144)
  /pcapp/TransmissionRateRegistAPI ret=N (0), reply_hex=HEX
  /pcapp/TransmissionRateLimitAPI  ret=N (0), limit=N (1000000), reply_hex=HEX
  /pcapp/DownloadListLiteAPI       list_hex=HEX: the reply's bytes (empty)
Texts that carry code page 932 bytes travel as hexadecimal, byte for byte.
"""

from routes.testing import PatternBody
from service import Reply, namespace, route

DEFAULT_FILE_SIZE = 262144
DEFAULT_LIMIT = 1000000


def _scenario(req):
    space = namespace(req.ns)
    with space.lock:
        values = dict(space.scenarios.get("*", {}))
        values.update(space.scenarios.get(req.path, {}))
    return values


def _raw(values):
    text = values.get("reply_hex")
    return None if text is None else Reply(200, bytes.fromhex(text))


def _refusal(values):
    """The reply of a server that refuses: "RET=<n>" with n from ret."""
    ret = int(values.get("ret", 0))
    return Reply(200, "RET=%d" % ret) if ret else None


def _prefix(req):
    return "/t/%s" % req.ns if req.ns else ""


@route("/pcapp/TransmissionRateUrlAPI")
def speed_test_url(req):
    values = _scenario(req)
    early = _raw(values) or _refusal(values)
    if early:
        return early
    address = values.get("url")
    if address is None:
        size = int(values.get("file_size", DEFAULT_FILE_SIZE))
        address = "http://%s%s/pcapp/SpeedTestFile?size=%d" % (
            req.headers.get("Host", "127.0.0.1"), _prefix(req), size)
    return Reply(200, "RET=0&URL=%s" % address)


@route("/pcapp/SpeedTestFile")
def speed_test_file(req):
    size = int(req.query.get("size", DEFAULT_FILE_SIZE))
    return Reply(200, PatternBody(size), "application/octet-stream")


@route("/pcapp/TransmissionRateRegistAPI")
def speed_report(req):
    values = _scenario(req)
    return _raw(values) or Reply(200, "RET=%d" % int(values.get("ret", 0)))


@route("/pcapp/TransmissionRateLimitAPI")
def speed_threshold(req):
    values = _scenario(req)
    early = _raw(values) or _refusal(values)
    if early:
        return early
    return Reply(200, "RET=0&LIMIT=%d" % int(values.get("limit", DEFAULT_LIMIT)))


@route("/pcapp/DownloadListLiteAPI")
def download_list(req):
    return Reply(200, bytes.fromhex(_scenario(req).get("list_hex", "")))
