"""Routes for the HTTP client's own tests and the benchmark."""

from service import Reply, route


class PatternBody:
    """size bytes of the pattern b[i] = (i ^ (i >> 8)) & 0xFF, streamed, so
    hundreds of megabytes cost no memory. The pattern repeats every 65536
    bytes, and the block holds whole periods."""

    PERIOD = 1 << 16
    BLOCK = bytes(((i ^ (i >> 8)) & 0xFF) for i in range(1 << 20))

    def __init__(self, size):
        self.size = size

    def __len__(self):
        return self.size

    def __getitem__(self, part):
        start, stop, _ = part.indices(self.size)
        if stop <= start:
            return b""
        offset = start % self.PERIOD
        count = stop - start
        copies = (offset + count) // len(self.BLOCK) + 1
        return (self.BLOCK * copies)[offset:offset + count]

    def write_to(self, out):
        left = self.size
        view = memoryview(self.BLOCK)
        while left > 0:
            n = min(left, len(self.BLOCK))
            out.write(view[:n])
            left -= n


@route("/echo")
def echo(req):
    """The request body back."""
    return Reply(200, req.body, req.headers.get("Content-Type", "application/octet-stream"))


@route("/bytes")
def pattern_bytes(req):
    """?size=N: N bytes of the pattern."""
    return Reply(200, PatternBody(int(req.query.get("size", "0"))), "application/octet-stream")


@route("/text")
def text(req):
    """?body=...: that text."""
    return Reply(200, req.query.get("body", "").encode("latin-1"))


@route("/digest/", prefix=True, auth=("digest", "digest-user", "digest-pass"))
def digest_only(req):
    return Reply(200, b"digest ok\r\n")


@route("/basic/", prefix=True, auth=("basic", "basic-user", "basic-pass"))
def basic_only(req):
    return Reply(200, b"basic ok\r\n")
