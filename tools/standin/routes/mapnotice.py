"""The map charge's completion notices (connection 18, fc=4).

The scenario of the path (CStandIn::Set(path, "key=value&...")) shapes the
reply, besides the service's own fields:
  /pcapp/ReceiverLiteAPI   ret=N (0): "RET=N"
                           refuse_deviceno=D: "RET=1" for the unit D alone
                           reply_hex=HEX: the whole reply instead
The request log keeps every notice request with its form fields.
"""

from service import Reply, namespace, route


def _scenario(req):
    space = namespace(req.ns)
    with space.lock:
        values = dict(space.scenarios.get("*", {}))
        values.update(space.scenarios.get(req.path, {}))
    return values


@route("/pcapp/ReceiverLiteAPI")
def completion_notice(req):
    values = _scenario(req)
    raw = values.get("reply_hex")
    if raw is not None:
        return Reply(200, bytes.fromhex(raw))
    refused = values.get("refuse_deviceno")
    if refused is not None and req.form.get("deviceno", b"").decode("latin-1") == refused:
        return Reply(200, "RET=1")
    return Reply(200, "RET=%d" % int(values.get("ret", 0)))
