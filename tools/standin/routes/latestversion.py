"""The latest-version service (connection 5, a form with aplver and apltype).

The scenario of "/pcapp/GetLatestPcaplAPI" (CStandIn::Set(path, "...")) shapes
the reply "RET=N&VER=V&URL=U", besides the service's own fields (status,
delay_ms, ...):
  ret=N        (0)
  ver=V        (the request's own aplver: the asking program is up to date,
               so a run that does not script this service goes on as usual)
  url=U        (http://127.0.0.1/download.html; percent-encode what a query
               cannot hold)
  reply_hex=HEX  the whole reply instead
"""

from service import Reply, route, scenario_of

_DEFAULT_URL = "http://127.0.0.1/download.html"


def _asked_version(req):
    value = req.form.get("aplver", b"")
    try:
        text = value.decode("ascii").strip()
    except UnicodeDecodeError:
        text = ""
    return text or "1.0.0.0"


@route("/pcapp/GetLatestPcaplAPI")
def latest_version(req):
    options = scenario_of(req, "*", req.path)
    if "reply_hex" in options:
        return Reply(200, bytes.fromhex(options["reply_hex"]))
    return Reply(200, "RET=%s&VER=%s&URL=%s\r\n" % (
        options.get("ret", "0"), options.get("ver", _asked_version(req)),
        options.get("url", _DEFAULT_URL)))
