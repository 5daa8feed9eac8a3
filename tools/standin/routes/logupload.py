"""The application-log upload's two services: the permission check
(connection 23, a form with ccid_head and deviceno) and the upload
(connection 24, multipart with ccid_head, deviceno and the zip as "file").

The scenario of each path (CStandIn::Set(path, "key=value&...")) shapes the
reply, besides the service's own fields (status, delay_ms, ...):
  /pcapp/LogUploadCheckAPI  ret=N (0), valid=WORD (TRUE): "RET=N&VALID=WORD"
  /pcapp/LogUploadAPI       ret=N (0): "RET=N"
  either                    reply_hex=HEX: the whole reply instead
A request without its fields is answered "RET=1" (and VALID=FALSE), an
upload whose archive cannot be read "RET=2", whatever the scenario says.

The upload lists the archive in its request log entry, one note per entry:
  zip:<entry name>        "<size> <crc32 in 8 hex digits>"
  zip-text:<entry name>   the content, for ".txt" entries up to 64 KB
  zip-error               the archive could not be read or failed its CRC
"""

import io
import zipfile

from service import Reply, route, scenario_of

_MAX_TEXT = 64 * 1024


def _fields(req):
    """The request's fields, from a form or from the parts of a multipart body."""
    fields = dict(req.form)
    for name, _filename, content in req.parts:
        if name is not None:
            fields.setdefault(name, content)
    return fields


def _has_device(fields):
    return all(fields.get(key) for key in ("ccid_head", "deviceno"))


@route("/pcapp/LogUploadCheckAPI")
def permission(req):
    options = scenario_of(req, "*", req.path)
    if "reply_hex" in options:
        return Reply(200, bytes.fromhex(options["reply_hex"]))
    if not _has_device(_fields(req)):
        return Reply(200, b"RET=1&VALID=FALSE")
    return Reply(200, "RET=%s&VALID=%s" % (options.get("ret", "0"), options.get("valid", "TRUE")))


def _read_archive(req, data):
    """Notes the archive's entries; False when it cannot be read whole."""
    try:
        with zipfile.ZipFile(io.BytesIO(data)) as archive:
            for info in archive.infolist():
                content = archive.read(info)  # checks the entry's CRC
                req.notes.append(("zip:" + info.filename, "%d %08X" % (len(content), info.CRC)))
                if info.filename.lower().endswith(".txt") and len(content) <= _MAX_TEXT:
                    req.notes.append(("zip-text:" + info.filename, content))
    except (zipfile.BadZipFile, zipfile.LargeZipFile, OSError, EOFError, ValueError) as error:
        req.notes.append(("zip-error", "%s: %s" % (type(error).__name__, error)))
        return False
    return True


@route("/pcapp/LogUploadAPI")
def upload(req):
    options = scenario_of(req, "*", req.path)
    fields = _fields(req)
    # The archive is read first, so that the log lists it whatever the reply.
    readable = "file" in fields and _read_archive(req, fields["file"])
    if "reply_hex" in options:
        return Reply(200, bytes.fromhex(options["reply_hex"]))
    if not _has_device(fields) or "file" not in fields:
        return Reply(200, b"RET=1")
    if not readable:
        return Reply(200, b"RET=2")
    return Reply(200, "RET=%s" % options.get("ret", "0"))
