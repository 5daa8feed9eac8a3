"""The probe server's one path, /probe/OFPB, dispatched by the form field fc.
A module answers its function codes with @function(fc); other codes get
"result=E99". This module answers the probe upload's codes:
41/97 consent inquiry, 44/98 upload, 43/99 completion notice (the second
number of each pair is the nickname form). An upload carries raw bytes after
the first "&dat=": the "OFCD" container of send-data blocks, which is
checked down to each block's gzip data; a broken one is answered "S05".

Replies are "result=<word>". The words come from the path's scenario, set
through the control interface, one comma-separated list per fc, taken in
order, the usual word (C00, S00, R00) once a list is used up:
  set?path=/probe/OFPB&41=C03&44=S00,TRICKLE
The word TRICKLE answers with a body that arrives a byte every 100 ms for
two minutes (for abort tests; with the scenario's no_length=1 each byte can
be read as it comes); MISSING answers a reply without "=".
"""

import gzip
import struct
import urllib.parse

from service import SHUTDOWN, Reply, namespace, route

_functions = {}


def function(fc):
    """Registers the handler of one function code."""
    def register(handler):
        _functions[int(fc)] = handler
        return handler

    return register

_USUAL = {41: "C00", 97: "C00", 44: "S00", 98: "S00", 43: "R00", 99: "R00"}
_REQUIRED = {
    41: ("ccid", "uid"), 44: ("ccid", "uid"), 43: ("ccid", "uid"),
    97: ("ccid", "uid", "nickname"), 99: ("ccid", "uid", "nickname"),
    98: ("ccid", "uid", "nickname", "navimodel", "maker", "aplver", "mapver"),
}


class TrickleBody:
    """A reply body that takes two minutes to arrive; the client aborts."""

    SIZE = 1200

    def __len__(self):
        return self.SIZE

    def __getitem__(self, part):
        return (b"result=S00" + b" " * self.SIZE)[part]

    def write_to(self, out):
        for i in range(self.SIZE):
            out.write(b"result=S00"[i:i + 1] or b" ")
            out.flush()
            if SHUTDOWN.wait(0.1):
                return


def _form(text):
    fields = {}
    for pair in text.split(b"&"):
        key, _, value = pair.partition(b"=")
        if key:
            fields[key.decode("latin-1")] = urllib.parse.unquote_to_bytes(value)
    return fields


def _send_data_ok(block):
    """One trip's send-data file: identification block, gzip blocks, end."""
    if len(block) < 40 or block[:6] != b"PROBE_":
        return False
    count = struct.unpack_from("<I", block, 12)[0]
    pos, seen = 36, 0
    while pos + 4 <= len(block):
        tag = block[pos:pos + 4]
        if tag == b"EOF_":
            return pos + 4 == len(block) and seen == count
        if tag != b"8BIN" or len(block) - pos < 144:
            return False
        size, high, name_length = struct.unpack_from("<III", block, pos + 4)
        if high or name_length > 128 or len(block) - pos - 144 < size:
            return False
        try:
            if len(gzip.decompress(block[pos + 144:pos + 144 + size])) < 8:
                return False
        except (OSError, EOFError, ValueError):
            return False
        seen += 1
        pos += 144 + size
    return False


def container_ok(data):
    """The upload's container: "OFCD", "01", 6 zero bytes, the block count,
    the length of what follows, the blocks each after its 64-bit size, and
    "DCFO" at the very end."""
    if len(data) < 28 or data[:6] != b"OFCD01" or data[6:12] != bytes(6) or data[-4:] != b"DCFO":
        return False
    count, length = struct.unpack_from("<IQ", data, 12)
    if length + 28 != len(data) or count == 0:
        return False
    pos = 24
    for _ in range(count):
        if pos + 8 > len(data) - 4:
            return False
        size = struct.unpack_from("<Q", data, pos)[0]
        pos += 8
        if size > len(data) - 4 - pos or not _send_data_ok(data[pos:pos + size]):
            return False
        pos += size
    return pos == len(data) - 4


def _next_word(req, fc):
    scenario = namespace(req.ns).scenarios.get(req.path, {})
    words = [w for w in scenario.get(str(fc), "").split(",") if w]
    counts = req.state.setdefault("probe_counts", {})
    n = counts.get(fc, 0)
    counts[fc] = n + 1
    return words[n] if n < len(words) else _USUAL[fc]


@route("/probe/OFPB")
def probe(req):
    # The form part ends where the upload's raw bytes begin.
    fields = _form(req.body.partition(b"&dat=")[0])
    text = fields.get("fc", b"").decode("latin-1") or req.query.get("fc", "")
    try:
        handler = _functions.get(int(text))
    except ValueError:
        handler = None
    if handler is None:
        return Reply(200, b"result=E99")
    return handler(req)


def _upload_function(req):
    form_text, has_data, data = req.body.partition(b"&dat=")
    fields = _form(form_text)
    fc = int(fields.get("fc", b"0"))
    if any(k not in fields or (k != "maker" and not fields[k]) for k in _REQUIRED[fc]):
        return Reply(200, b"result=E99")
    word = _next_word(req, fc)
    if fc in (44, 98) and not (has_data and container_ok(data)):
        word = "S05"
    if word == "TRICKLE":
        return Reply(200, TrickleBody())
    if word == "MISSING":
        return Reply(200, b"no word here")
    return Reply(200, ("result=%s" % word).encode("latin-1"))


for _fc in _USUAL:
    function(_fc)(_upload_function)
