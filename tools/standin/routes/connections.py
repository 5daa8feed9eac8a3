"""Default replies for the path of every connection id of the programs'
connection table. The routes of each charge replace them with the replies
that charge relies on (register the same path without default=True)."""

from service import Reply, route

# id: path, as the connection table has them.
CONNECTION_PATHS = {
    0: "/car/ostrovelle/ostrovelle_ev/index.html",
    1: "/car/ostrovelle/ostrovelle_ev/onlinemanual/index.html",
    2: "/evnavi/PcAppTopLite.html",
    4: "/pcapp/DeviceNoUserAuthenticationAPI",
    5: "/pcapp/GetLatestPcaplAPI",
    6: "/probe/OFPB",
    11: "/wlink/",
    12: "/cgi-bin/qzt.cgi",
    13: "/pcapp/TransmissionRateUrlAPI",
    14: "/pcapp/TransmissionRateRegistAPI",
    15: "/pcapp/TransmissionRateLimitAPI",
    16: "/pcapp/DownloadListLiteAPI",
    17: "/pcapp/GetConfUrlLiteAPI",
    18: "/pcapp/ReceiverLiteAPI",
    23: "/pcapp/LogUploadCheckAPI",
    24: "/pcapp/LogUploadAPI",
    26: "/wlink36/",
}

# The weather files are fetched with digest authentication.
WEATHER_USER = "rodiduvaveru4"
WEATHER_PASSWORD = "Kv37dpwR"


def _ok(req):
    if req.path.endswith(".html"):
        return Reply(200, b"<html><body>stand-in</body></html>\r\n", "text/html")
    return Reply(200, b"OK\r\n")


for _path in CONNECTION_PATHS.values():
    if _path in ("/wlink/", "/wlink36/"):
        route(_path, auth=("digest", WEATHER_USER, WEATHER_PASSWORD), prefix=True)(_ok)
    else:
        route(_path, default=True)(_ok)
