"""Routes of the map charge's data download: the address of a data set's
configuration image and the data sets' files (images, nested images and
pieces).

Each reply is shaped per test through the scenario of its path
(CStandIn::Set(path, "key=value&...")), besides the service's own fields
(status, fail_first, truncate, stall, ...):
  /pcapp/GetConfUrlLiteAPI   "CONF-URL=<address>\\r\\n": url=ADDRESS, or by
                             default <this host>/t/<ns>/mapdata/<type01>/
                             <type02>/<ver>/<conf> with conf=NAME
                             ("DATA.CNF") and the request's form fields;
                             error_code=N: "ErrorCode=N\\r\\n";
                             reply_hex=HEX: the whole reply
  /mapdata/<anything>        hex=HEX: these bytes; pattern=N: N bytes of the
                             /bytes pattern; flip_first=K: the first K
                             replies of the path have byte 0 flipped (a
                             CRC failure), flip_all=1: every reply; a path
                             without a scenario is 404
"""

from routes.testing import PatternBody
from service import Reply, namespace, route, scenario_of

DEFAULT_CONF = "DATA.CNF"


def _prefix(req):
    return "/t/%s" % req.ns if req.ns else ""


def _field(req, name):
    return req.form.get(name, b"").decode("latin-1")


@route("/pcapp/GetConfUrlLiteAPI")
def conf_url(req):
    values = scenario_of(req, "*", req.path)
    if "reply_hex" in values:
        return Reply(200, bytes.fromhex(values["reply_hex"]))
    if "error_code" in values:
        return Reply(200, "ErrorCode=%s\r\n" % values["error_code"])
    address = values.get("url")
    if address is None:
        address = "http://%s%s/mapdata/%s/%s/%s/%s" % (
            req.headers.get("Host", "127.0.0.1"), _prefix(req), _field(req, "type01"),
            _field(req, "type02"), _field(req, "ver"), values.get("conf", DEFAULT_CONF))
    return Reply(200, "CONF-URL=%s\r\n" % address)


def _replies_so_far(req):
    """Counts this path's replies in the namespace's state; the count with
    this one."""
    space = namespace(req.ns)
    with space.lock:
        counts = space.state.setdefault("mapdata_replies", {})
        counts[req.path] = counts.get(req.path, 0) + 1
        return counts[req.path]


@route("/mapdata/", prefix=True)
def data_file(req):
    values = scenario_of(req, req.path)
    if "hex" in values:
        body = bytes.fromhex(values["hex"])
    elif "pattern" in values:
        body = PatternBody(int(values["pattern"]))
    else:
        return Reply(404, b"no such data file\r\n")
    count = _replies_so_far(req)
    flip = values.get("flip_all") == "1" or count <= int(values.get("flip_first", 0))
    if flip and len(body) > 0:
        whole = bytearray(body[0:len(body)])
        whole[0] ^= 0xFF
        body = bytes(whole)
    return Reply(200, body, "application/octet-stream")
