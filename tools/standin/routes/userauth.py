"""The user authentication of the first registration (connection 4, a form
with nick, pass, deviceno and ccid_head).

The scenario of "/pcapp/DeviceNoUserAuthenticationAPI" shapes the reply
"RET=N", besides the service's own fields (status, delay_ms, stall, ...):
  ret=N          (0)
  reply_hex=HEX  the whole reply instead (an HTML page, an empty body)
"""

from service import Reply, route, scenario_of


@route("/pcapp/DeviceNoUserAuthenticationAPI")
def user_authentication(req):
    options = scenario_of(req, "*", req.path)
    if "reply_hex" in options:
        return Reply(200, bytes.fromhex(options["reply_hex"]))
    return Reply(200, "RET=%s\r\n" % options.get("ret", "0"))
