"""Default replies for the path of every connection id of the programs'
connection table. The routes of each charge replace them with the replies
that charge relies on (register the same path without default=True)."""

from service import Reply, route

# id: (scheme, path), as the programs' connection table has them.
_PORTAL = ("https", "/evnavi/PcAppTopLite.html")
_PROBE = ("https", "/probe/OFPB")
_TRAFFIC = ("https", "/cgi-bin/qzt.cgi")
_RECEIVER = ("https", "/pcapp/ReceiverLiteAPI")
CONNECTIONS = {
    0: ("http", "/car/ostrovelle/ostrovelle_ev/index.html"),
    1: ("http", "/car/ostrovelle/ostrovelle_ev/onlinemanual/index.html"),
    2: _PORTAL, 3: _PORTAL,
    4: ("https", "/pcapp/DeviceNoUserAuthenticationAPI"),
    5: ("https", "/pcapp/GetLatestPcaplAPI"),
    6: _PROBE, 7: _PROBE, 8: _PROBE, 9: _PROBE, 10: _PROBE,
    11: ("http", "/wlink/"),
    12: _TRAFFIC,
    13: ("https", "/pcapp/TransmissionRateUrlAPI"),
    14: ("https", "/pcapp/TransmissionRateRegistAPI"),
    15: ("https", "/pcapp/TransmissionRateLimitAPI"),
    16: ("https", "/pcapp/DownloadListLiteAPI"),
    17: ("https", "/pcapp/GetConfUrlLiteAPI"),
    18: _RECEIVER, 19: _RECEIVER,
    20: _PORTAL, 21: _PORTAL, 22: _PORTAL,
    23: ("https", "/pcapp/LogUploadCheckAPI"),
    24: ("https", "/pcapp/LogUploadAPI"),
    25: _PORTAL,
    26: ("https", "/wlink36/"),
    27: _TRAFFIC,
    28: _PROBE, 29: _PROBE, 30: _PROBE,
}


def connection_info(http_port, https_port):
    """A Connection.info text that sends every connection id here."""
    lines = []
    for cid, (scheme, path) in sorted(CONNECTIONS.items()):
        if scheme == "https":
            lines.append("%d,https://localhost:%d%s" % (cid, https_port, path))
        else:
            lines.append("%d,http://127.0.0.1:%d%s" % (cid, http_port, path))
    return "\r\n".join(lines) + "\r\n"


# A well-formed success: the programs' analyzers take a reply without RET for
# a failure. The latest-version path is answered by routes/latestversion.py.
def _ok(req):
    if req.path.endswith(".html"):
        return Reply(200, b"<html><body>stand-in</body></html>\r\n", "text/html")
    return Reply(200, b"RET=0\r\n")


# The weather folders are served by routes/weather.py.
for _path in sorted({path for _, path in CONNECTIONS.values()}):
    route(_path, default=True)(_ok)
