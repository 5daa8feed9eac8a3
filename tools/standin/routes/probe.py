"""The probe server's path "/probe/OFPB" serves several functions, told apart
by the form field fc. A module answers its function codes by registering
them with @function(fc); other codes get the plain default reply."""

from service import Reply, route

_functions = {}


def function(fc):
    def register(handler):
        _functions[int(fc)] = handler
        return handler

    return register


@route("/probe/OFPB")
def probe(req):
    text = req.form.get("fc", b"").decode("latin-1") or req.query.get("fc", "")
    try:
        handler = _functions.get(int(text))
    except ValueError:
        handler = None
    if handler is None:
        return Reply(200, b"OK\r\n")
    return handler(req)
