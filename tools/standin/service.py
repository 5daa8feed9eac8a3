"""The request handler of the stand-in service: routes, per-test scenarios and
the request log.

A request path "/t/<ns>/<rest>" belongs to the namespace <ns> (one per test)
and is routed as "/<rest>"; any other path belongs to the namespace "".
Scenarios and the request log are kept per namespace, so tests running in
parallel against one service never see each other's requests.
A route may add (key, value) notes to its request's log entry (req.notes),
such as the entries of an archive it was sent; they follow the parts.

Control requests (never logged), on any listener:
  GET /_control/<ns>/set?path=/p&status=404&delay_ms=..   scenario for a path
  GET /_control/<ns>/log                                  the request log
  GET /_control/<ns>/reset                                forget scenarios and log
  GET /_control/<ns>/wait?count=N&timeout_ms=T            until N requests are logged
"path=*" sets the scenario of every path of the namespace. Scenario fields:
  status=N        reply N (with a short body) instead of the route's reply
  delay_ms=N      wait before replying
  stall=headers   read the request, never answer
  stall=body      send the headers and `truncate` bytes of the body, then hold
  truncate=K      announce the whole body, send K bytes of it, close
  fail_first=K    the first K requests get fail_status (503 unless given)
  no_length=1     no Content-Length: the body ends when the connection closes
  no_status=1     the body alone, without status line or headers, then close
  stall_ms=N      how long a stall holds (300000 unless given)
  pace_bytes=N    send the body in pieces of N bytes ...
  pace_ms=N       ... with a pause of N ms after each piece
"""

import hashlib
import http.server
import os
import secrets
import ssl
import threading
import time
import urllib.parse

SHUTDOWN = threading.Event()

_routes = {}          # path -> (handler, auth)
_default_routes = {}  # path -> (handler, auth), replaced by _routes
_prefix_routes = []   # (prefix, handler, auth)


class Reply:
    def __init__(self, status=200, body=b"", content_type="text/plain", headers=None):
        self.status = status
        # A body is bytes, text, or a streamed body (see routes/testing.py).
        if isinstance(body, bytes) or hasattr(body, "write_to"):
            self.body = body
        else:
            self.body = str(body).encode("utf-8")
        self.content_type = content_type
        # A dict, or (name, value) pairs when a name repeats.
        if isinstance(headers, dict):
            self.headers = list(headers.items())
        else:
            self.headers = list(headers or [])


class Request:
    """What a route sees of one request."""

    def __init__(self, method, ns, path, query, headers, body):
        self.method = method
        self.ns = ns
        self.path = path
        self.query = query      # dict of str -> str (last value wins)
        self.headers = headers  # email.message.Message, case-insensitive
        self.body = body        # bytes
        self.form = {}          # decoded form fields: str -> bytes
        self.parts = []         # multipart: (name, filename or None, bytes)
        self.notes = []         # (key, value) a route adds to the request log
        self.state = namespace(ns).state
        _decode_body(self)


def route(path, auth=None, default=False, prefix=False):
    """Registers a route. auth: None, or ("digest"|"basic", user, password).
    A default route is replaced by a later route of the same path; a prefix
    route serves every path below it that has no route of its own."""

    def register(handler):
        if prefix:
            _prefix_routes.append((path, handler, auth))
            _prefix_routes.sort(key=lambda r: -len(r[0]))
        elif default:
            _default_routes[path] = (handler, auth)
        else:
            _routes[path] = (handler, auth)
        return handler

    return register


def scenario_of(req, *paths):
    """The scenario fields a test set for these paths, later paths winning;
    routes read their own options from them."""
    space = namespace(req.ns)
    merged = {}
    with space.lock:
        for path in paths:
            merged.update(space.scenarios.get(path, {}))
    return merged


def find_route(path):
    if path in _routes:
        return _routes[path]
    if path in _default_routes:
        return _default_routes[path]
    for prefix, handler, auth in _prefix_routes:
        if path.startswith(prefix):
            return handler, auth
    return None


class Namespace:
    def __init__(self):
        self.lock = threading.Lock()
        self.logged = threading.Condition(self.lock)
        self.scenarios = {}  # path or "*" -> dict
        self.counts = {}     # path -> requests seen
        self.log = []
        self.state = {}      # free for stateful routes


_namespaces = {}
_namespaces_lock = threading.Lock()


def namespace(ns):
    with _namespaces_lock:
        if ns not in _namespaces:
            _namespaces[ns] = Namespace()
        return _namespaces[ns]


def _decode_body(req):
    ctype = req.headers.get("Content-Type", "")
    if ctype.startswith("application/x-www-form-urlencoded"):
        for pair in req.body.split(b"&"):
            if not pair:
                continue
            key, _, value = pair.partition(b"=")
            req.form[key.decode("latin-1")] = urllib.parse.unquote_to_bytes(value)
    elif ctype.startswith("multipart/form-data"):
        boundary = None
        for item in ctype.split(";")[1:]:
            name, _, value = item.strip().partition("=")
            if name == "boundary":
                boundary = value.strip('"').encode("latin-1")
        if boundary:
            req.parts = _split_multipart(req.body, boundary)


def _split_multipart(body, boundary):
    parts = []
    delimiter = b"--" + boundary
    for chunk in body.split(delimiter)[1:]:
        if chunk.startswith(b"--"):
            break
        chunk = chunk[2:] if chunk.startswith(b"\r\n") else chunk
        head, _, content = chunk.partition(b"\r\n\r\n")
        if content.endswith(b"\r\n"):
            content = content[:-2]
        name = filename = None
        for line in head.split(b"\r\n"):
            if line.lower().startswith(b"content-disposition:"):
                for item in line.split(b";")[1:]:
                    key, _, value = item.strip().partition(b"=")
                    if key == b"name":
                        name = value.strip(b'"').decode("latin-1")
                    elif key == b"filename":
                        filename = value.strip(b'"').decode("latin-1")
        parts.append((name, filename, content))
    return parts


def escape(data):
    """Bytes as printable ASCII: \\\\ and \\xHH for anything else."""
    if isinstance(data, str):
        data = data.encode("latin-1", "replace")
    out = []
    for b in data:
        if b == 0x5C:
            out.append("\\\\")
        elif 0x20 <= b <= 0x7E:
            out.append(chr(b))
        else:
            out.append("\\x%02X" % b)
    return "".join(out)


def _log_text(entries):
    lines = []
    for e in entries:
        lines.append("method\t\t" + escape(e["method"]))
        lines.append("path\t\t" + escape(e["path"]))
        lines.append("query\t\t" + escape(e["query"]))
        for name, value in e["headers"]:
            lines.append("header\t%s\t%s" % (escape(name), escape(value)))
        for key, value in e["form"].items():
            lines.append("form\t%s\t%s" % (escape(key), escape(value)))
        for name, filename, content in e["parts"]:
            lines.append("part\t%s\t%s" % (escape(name or ""), escape(content)))
            if filename is not None:
                lines.append("filename\t%s\t%s" % (escape(name or ""), escape(filename)))
        for key, value in e["notes"]:
            lines.append("note\t%s\t%s" % (escape(key), escape(value)))
        lines.append("body\t\t" + escape(e["body"]))
        lines.append("end\t\t")
    return ("\n".join(lines) + "\n").encode("ascii") if lines else b""


# Digest challenges handed out and not yet forgotten.
_nonces = set()
_nonces_lock = threading.Lock()


def _md5(text):
    return hashlib.md5(text.encode("latin-1")).hexdigest()


def _parse_auth_params(text):
    params = {}
    i = 0
    while i < len(text):
        while i < len(text) and text[i] in " ,":
            i += 1
        eq = text.find("=", i)
        if eq < 0:
            break
        key = text[i:eq].strip().lower()
        i = eq + 1
        if i < len(text) and text[i] == '"':
            end = text.find('"', i + 1)
            end = len(text) if end < 0 else end
            params[key] = text[i + 1:end]
            i = end + 1
        else:
            end = text.find(",", i)
            end = len(text) if end < 0 else end
            params[key] = text[i:end].strip()
            i = end
    return params


def _check_auth(handler, auth, method, uri):
    """None when the request may pass, else the challenge header value."""
    kind, user, password = auth
    realm = "ostrovelle-standin"
    given = handler.headers.get("Authorization", "")
    if kind == "basic":
        import base64
        expected = "Basic " + base64.b64encode(("%s:%s" % (user, password)).encode()).decode()
        return None if given == expected else 'Basic realm="%s"' % realm
    if given.startswith("Digest "):
        p = _parse_auth_params(given[7:])
        with _nonces_lock:
            known = p.get("nonce") in _nonces
        if known and p.get("username") == user and p.get("realm") == realm and \
                p.get("uri") == uri and p.get("qop") == "auth":
            ha1 = _md5("%s:%s:%s" % (user, realm, password))
            ha2 = _md5("%s:%s" % (method, uri))
            expected = _md5("%s:%s:%s:%s:auth:%s" % (ha1, p["nonce"], p.get("nc", ""),
                                                      p.get("cnonce", ""), ha2))
            if expected == p.get("response"):
                return None
    nonce = secrets.token_hex(16)
    with _nonces_lock:
        _nonces.add(nonce)
    return 'Digest realm="%s", qop="auth", algorithm=MD5, nonce="%s", opaque="%s"' % (
        realm, nonce, secrets.token_hex(8))


class Handler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"
    server_version = "OstrovelleStandIn/1.0"
    timeout = 120

    def log_message(self, fmt, *args):
        pass

    def do_GET(self):
        self._serve()

    def do_POST(self):
        self._serve()

    def do_HEAD(self):
        self._serve()

    def do_PUT(self):
        self._serve()

    def _read_body(self):
        length = int(self.headers.get("Content-Length") or 0)
        return self.rfile.read(length) if length > 0 else b""

    def _serve(self):
        body = self._read_body()
        url = urllib.parse.urlsplit(self.path)
        path = url.path
        if path.startswith("/_control/"):
            return self._control(path[len("/_control/"):], url.query)
        ns = ""
        if path.startswith("/t/"):
            ns, _, rest = path[3:].partition("/")
            path = "/" + rest
        query = dict(urllib.parse.parse_qsl(url.query, keep_blank_values=True))
        req = Request(self.command, ns, path, query, self.headers, body)
        # Routes that hand out addresses of their own give them this scheme.
        req.secure = isinstance(self.connection, ssl.SSLSocket)
        space = namespace(ns)
        with space.lock:
            space.log.append({
                "method": self.command, "path": path, "query": url.query,
                "headers": list(self.headers.items()), "form": req.form,
                "parts": req.parts, "body": body, "notes": req.notes})
            space.logged.notify_all()
            count = space.counts.get(path, 0) + 1
            space.counts[path] = count
            scenario = dict(space.scenarios.get("*", {}))
            scenario.update(space.scenarios.get(path, {}))
        self._answer(req, scenario, count)

    def _answer(self, req, scenario, count):
        delay = int(scenario.get("delay_ms", 0))
        if delay > 0 and SHUTDOWN.wait(delay / 1000.0):
            return
        stall_ms = int(scenario.get("stall_ms", 300000))
        if scenario.get("stall") == "headers":
            SHUTDOWN.wait(stall_ms / 1000.0)
            self.close_connection = True
            return
        reply = None
        if count <= int(scenario.get("fail_first", 0)):
            reply = Reply(int(scenario.get("fail_status", 503)), b"failed on purpose\r\n")
        elif "status" in scenario:
            reply = Reply(int(scenario["status"]), b"status on purpose\r\n")
        else:
            reply = self._route(req)
        if req.method == "HEAD":
            reply.body = b""
        self._send(reply, scenario, stall_ms)

    def _route(self, req):
        found = find_route(req.path)
        if not found:
            return Reply(404, b"no such route\r\n")
        handler, auth = found
        if auth:
            uri = self.path
            challenge = _check_auth(self, auth, req.method, uri)
            if challenge:
                return Reply(401, b"authorisation required\r\n",
                             headers={"WWW-Authenticate": challenge})
        reply = handler(req)
        if isinstance(reply, Reply):
            return reply
        if isinstance(reply, tuple):
            return Reply(reply[0], reply[1])
        return Reply(200, reply)

    def _send(self, reply, scenario, stall_ms):
        body = reply.body
        if scenario.get("no_status"):
            self.wfile.write(body)
            self.close_connection = True
            return
        truncate = scenario.get("truncate")
        no_length = scenario.get("no_length")
        self.send_response(reply.status)
        self.send_header("Content-Type", reply.content_type)
        for name, value in reply.headers:
            self.send_header(name, value)
        if no_length:
            self.send_header("Connection", "close")
            self.close_connection = True
        else:
            self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        if scenario.get("stall") == "body":
            self.wfile.write(body[:int(truncate or 0)])
            self.wfile.flush()
            SHUTDOWN.wait(stall_ms / 1000.0)
            self.close_connection = True
            return
        if truncate is not None:
            self.wfile.write(body[:int(truncate)])
            self.close_connection = True
            return
        pace_bytes = int(scenario.get("pace_bytes", 0))
        if pace_bytes > 0:
            pause = int(scenario.get("pace_ms", 0)) / 1000.0
            for start in range(0, len(body), pace_bytes):
                self.wfile.write(body[start:start + pace_bytes])
                self.wfile.flush()
                if SHUTDOWN.wait(pause):
                    return
        elif hasattr(body, "write_to"):
            body.write_to(self.wfile)
        else:
            self.wfile.write(body)

    def _control(self, rest, query_text):
        ns, _, command = rest.partition("/")
        space = namespace(ns)
        query = dict(urllib.parse.parse_qsl(query_text, keep_blank_values=True))
        text = b"ok\n"
        with space.lock:
            if command == "set":
                path = query.pop("path", "*")
                space.scenarios[path] = query
            elif command == "log":
                text = _log_text(space.log)
            elif command == "wait":
                count = int(query.get("count", "1"))
                timeout = int(query.get("timeout_ms", "10000")) / 1000.0
                if not space.logged.wait_for(lambda: len(space.log) >= count, timeout):
                    text = None
            elif command == "reset":
                space.scenarios.clear()
                space.counts.clear()
                space.log.clear()
                space.state.clear()
            else:
                text = None
        if text is None:
            self._send(Reply(404, b"no such control\n"), {}, 0)
        else:
            self._send(Reply(200, text), {}, 0)


class Server(http.server.ThreadingHTTPServer):
    daemon_threads = True
    request_queue_size = 256

    def __init__(self, address, context=None):
        self.context = context
        super().__init__(address, Handler)

    def finish_request(self, request, client_address):
        if self.context is None:
            return super().finish_request(request, client_address)
        try:
            request.settimeout(30)
            secure = self.context.wrap_socket(request, server_side=True)
        except (ssl.SSLError, OSError):
            return
        try:
            secure.settimeout(None)
            super().finish_request(secure, client_address)
        finally:
            try:
                secure.close()
            except OSError:
                pass

    def handle_error(self, request, client_address):
        # Clients that give up (abort tests, refused certificates) are normal.
        pass
