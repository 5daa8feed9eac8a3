"""Files of a folder on this machine, served as they lie, for runs with
data sets too large for a scenario (tools/run's map charge and
bench/mapcharge_bench.sh):
  /mapfiles/<path>   the file <root>/<path>; root=FOLDER in the scenario of
                     "/mapfiles/" (CStandIn::Set("/mapfiles/", "root=...")).
                     Paths that leave the root, and missing files, are 404.
"""

import os

from service import Reply, route, scenario_of

PREFIX = "/mapfiles/"


class FileBody:
    """A file streamed from disk in blocks, so large files cost no memory."""

    BLOCK = 1 << 20

    def __init__(self, path):
        self.path = path
        self.size = os.path.getsize(path)

    def __len__(self):
        return self.size

    def __getitem__(self, part):
        start, stop, _ = part.indices(self.size)
        if stop <= start:
            return b""
        with open(self.path, "rb") as f:
            f.seek(start)
            return f.read(stop - start)

    def write_to(self, out):
        with open(self.path, "rb") as f:
            while True:
                block = f.read(self.BLOCK)
                if not block:
                    break
                out.write(block)


@route(PREFIX, prefix=True)
def map_file(req):
    root = scenario_of(req, PREFIX).get("root")
    if not root:
        return Reply(404, b"no folder to serve\r\n")
    base = os.path.realpath(root)
    path = os.path.realpath(os.path.join(base, req.path[len(PREFIX):]))
    if not path.startswith(base + os.sep) or not os.path.isfile(path):
        return Reply(404, b"no such file\r\n")
    return Reply(200, FileBody(path), "application/octet-stream")
