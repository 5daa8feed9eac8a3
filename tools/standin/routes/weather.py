"""The weather service: "all.man" and the data file it names, under
"/wlink/" and "/wlink36/", with the service's digest credentials.

Options (scenario fields of "/wlink/" or "/wlink36/", or of a file's path):
  auth=digest_only  a Digest challenge only (the default, as the service)
  auth=digest       Digest and Basic challenges; either answer passes
  auth=none         no authentication
  name=TEXT         the data file's name in all.man (WT000001.DAT)
  man=HEX           the whole of all.man, as given
  man_size=N        all.man's size (537); the name sits at offset 524
  data=HEX          the data file, as given
  data_size=N       29216 bytes of the pattern (i * 13 + 5) & 0xFF unless given
"""

import base64

from service import Reply, _check_auth, route, scenario_of

USER = "rodiduvaveru4"
PASSWORD = "Kv37dpwR"
REALM = "ostrovelle-standin"
NAME_OFFSET = 524
PREFIXES = ("/wlink/", "/wlink36/")


def pattern(size):
    return bytes(((i * 13 + 5) & 0xFF) for i in range(size))


def management_file(opts):
    if "man" in opts:
        return bytes.fromhex(opts["man"])
    size = int(opts.get("man_size", 537))
    body = bytearray(pattern(NAME_OFFSET) + bytes(max(0, size - NAME_OFFSET)))
    name = opts.get("name", "WT000001.DAT").encode("latin-1")[:12]
    body[NAME_OFFSET:NAME_OFFSET + len(name)] = name
    return bytes(body[:size])


class _Headers:
    def __init__(self, headers):
        self.headers = headers


def _refusal(req, mode):
    """None when the request may pass, else the 401 reply."""
    if mode == "none":
        return None
    given = req.headers.get("Authorization", "")
    basic = "Basic " + base64.b64encode(("%s:%s" % (USER, PASSWORD)).encode()).decode()
    if mode == "digest" and given == basic:
        return None
    uri = ("/t/%s%s" % (req.ns, req.path)) if req.ns else req.path
    challenge = _check_auth(_Headers(req.headers), ("digest", USER, PASSWORD), req.method, uri)
    if challenge is None:
        return None
    headers = [("WWW-Authenticate", challenge)]
    if mode == "digest":
        headers.append(("WWW-Authenticate", 'Basic realm="%s"' % REALM))
    return Reply(401, b"authorisation required\r\n", headers=headers)


def _serve(req, prefix):
    opts = scenario_of(req, prefix, req.path)
    refusal = _refusal(req, opts.get("auth", "digest_only"))
    if refusal:
        return refusal
    name = req.path[len(prefix):]
    man = management_file(opts)
    if name == "all.man":
        return Reply(200, man, "application/octet-stream")
    wanted = man[NAME_OFFSET:].split(b"\0")[0].decode("latin-1")
    if name != wanted or not name:
        return Reply(404, b"no such file\r\n")
    if "data" in opts:
        return Reply(200, bytes.fromhex(opts["data"]), "application/octet-stream")
    return Reply(200, pattern(int(opts.get("data_size", 29216))), "application/octet-stream")


for _prefix in PREFIXES:
    route(_prefix, prefix=True)(lambda req, p=_prefix: _serve(req, p))
