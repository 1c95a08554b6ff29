#!/usr/bin/python3
"""A deliberately misbehaving FTP server for the client's tests.

Usage: badftp.py PORT SCENARIO [COMMAND_LOG [HOST]]. Listens on 127.0.0.1
(or HOST, which may be ::1) only; each scenario breaks one rule the way
servers on the internet do. Every command received is appended to
COMMAND_LOG when given, so a test can tell what the client sent.
"""
import os
import socket
import ssl
import sys
import threading
import time
import zlib

PORT = int(sys.argv[1])
SCENARIO = sys.argv[2]
COMMAND_LOG = sys.argv[3] if len(sys.argv) > 3 and sys.argv[3] else None
HOST = sys.argv[4] if len(sys.argv) > 4 else "127.0.0.1"
# Scenario "tls": AUTH TLS with the cert.pem and key.pem of this folder.
CERT_DIR = sys.argv[5] if len(sys.argv) > 5 else None
LOCAL = ("127.0.0.1", "::1")

# Replies to CWD into "x" whose code breaks the three-digits rule.
BAD_CODES = {"code-plus": "+22 OK\r\n", "code-space": " 22 OK\r\n", "code-long": "2200 OK\r\n"}

GOOD = (b"-rw-r--r--    1 0        0              10 Dec 07 22:00 good.txt\r\n"
        b"drwxr-xr-x    2 0        0            4096 Jan  1  2000 sub dir\r\n")

# scan-bad-lines: a tree a whole scan can walk, with lines no parser reads.
SCAN_TOP = (b"-rw-r--r--    1 0        0              10 Dec 07 22:00 good.txt\r\n"
            b"drwxr-xr-x    2 0        0            4096 Dec 07 22:00 x\r\n")
SCAN_X = (b"-rw-r--r--    1 0        0               5 Dec 07 22:00 inner.txt\r\n"
          b"this is not a listing line\r\n"
          b"neither is this one\r\n"
          b"total 1\r\n")


# The pipeline scenarios serve this tree, on data connections and in STAT
# replies alike. Names with "*" and "?" are taken literally.
TREE = {
    "/": [("d", "a?b"), ("d", "axb"), ("d", "a*b"), ("d", "one"), ("f", "top.txt")],
    "/a?b": [("f", "only-in-a-question-b.txt")],
    "/axb": [("f", "x.txt")],
    "/a*b": [("f", "star.txt")],
    "/one": [("d", "two"), ("f", "1.txt")],
    "/one/two": [("f", "2.txt"), ("d", "three")],
    "/one/two/three": [("f", "3.txt")],
}
PIPELINE = SCENARIO.startswith("pipeline")
# The parallel scenarios serve a wider tree on data connections only:
# eight folders of three subfolders each.
PARALLEL = SCENARIO.startswith("parallel")
if PARALLEL:
    TREE = {"/": [("d", "d%d" % i) for i in range(8)] + [("f", "top.txt")]}
    for i in range(8):
        TREE["/d%d" % i] = [("d", "s%d" % j) for j in range(3)] + [("f", "f%d.txt" % i)]
        for j in range(3):
            TREE["/d%d/s%d" % (i, j)] = [("f", "g%d%d.txt" % (i, j))]
# parallel-mlsd: the same tree, listed with MLSD; parallel-mlsd-blind
# ignores the folder an MLSD names; parallel-mlsd-long refuses to name one;
# parallel-mlsd-epsv-once refuses one EPSV in the middle of the scan.
MLSD = SCENARIO.startswith("parallel-mlsd")
# parallel-busy: at most two sessions at once (421 to a third), and two
# listings answered with 421 and a closed connection.
# parallel-cut: one listing's connection is cut halfway through its data.
# parallel-stall: listings below the top level start and never end.
shared = {"sessions": 0, "listings": 0}
shared_lock = threading.Lock()
# pipeline-cut: the connection is cut once, in the middle of a STAT reply.
# pipeline-stall: pipelined subfolder listings are never answered.
# pipeline-drip: they come a line now and then, without end.
cut_left = [1]


def tree_lines(folder):
    out = b""
    for kind, name in TREE.get(folder, []):
        mode = b"drwxr-xr-x" if kind == "d" else b"-rw-r--r--"
        out += mode + b"    2 0        0            4096 Dec 07 22:00 " + name.encode("latin-1") + b"\r\n"
    return out


def epsv_refusal():
    # parallel-mlsd-epsv-once: the twentieth EPSV finds no port free.
    with shared_lock:
        shared["epsv"] = shared.get("epsv", 0) + 1
        return shared["epsv"] == 20


def fact_lines(folder):
    # MLSD lines; "unique" tells apart folders whose names agree.
    out = b""
    for kind, name in TREE.get(folder, []):
        path = folder.rstrip("/") + "/" + name
        facts = "type=%s;modify=20261207220000;unique=%x;" % ("dir" if kind == "d" else "file", zlib.crc32(path.encode("latin-1")))
        out += (facts + " " + name + "\r\n").encode("latin-1")
    return out


def listing():
    if SCENARIO == "nul-name":
        return GOOD + b"-rw-r--r--    1 0        0               3 Dec 07 22:00 nul\x00ldata\r\n"
    if SCENARIO == "bad-lines":
        return (GOOD + b"this is not a listing line\r\n" + b"\xff\xfe\x00garbage\r\n"
                + b"-rw-r--r-- 1 0 0 " + b"9" * 40 + b" Dec 07 22:00 huge.bin\r\n"
                + b"x" * 100000 + b"\r\n"
                + b"-rw-r--r-- 1 0 0 12abc Dec 07 22:00 badsize.txt\r\n")
    return GOOD


class Session:
    def __init__(self, conn):
        self.conn = conn
        self.pasv = None
        self.active = None
        self.cwd = "/"
        self.out = None  # replies held back to be sent reordered
        self.batch = 1   # commands in the read being handled

    def send(self, text):
        data = text.encode("latin-1") if isinstance(text, str) else text
        if self.out is not None:
            self.out.append(data)
        else:
            self.conn.sendall(data)

    def open_data(self):
        if self.pasv is not None:
            data, _ = self.pasv.accept()
            self.pasv.close()
            self.pasv = None
            return data
        host, port = self.active
        if host not in LOCAL:
            raise RuntimeError("refusing to connect elsewhere")
        return socket.create_connection((host, port))

    def passive(self, extended):
        self.pasv = socket.socket(socket.AF_INET6 if ":" in HOST else socket.AF_INET)
        self.pasv.bind((HOST, 0))
        self.pasv.listen(1)
        port = self.pasv.getsockname()[1]
        if extended:
            return "229 Entering Extended Passive Mode (|||%d|)\r\n" % port
        if SCENARIO == "pasv-overflow":
            # 16777216 * 256 + 1 wraps to port 1 in 32-bit arithmetic.
            return "227 Entering Passive Mode (127,0,0,1,16777216,1)\r\n"
        # pasv-other names an address that is not ours: a client must ignore it.
        addr = "10,255,255,1" if SCENARIO == "pasv-other" else "127,0,0,1"
        return "227 Entering Passive Mode (%s,%d,%d)\r\n" % (addr, port // 256, port % 256)

    def do_list(self):
        if PARALLEL and self.cwd != "/":
            return self.list_parallel()
        if PIPELINE or PARALLEL:
            return self.list_tree()
        if SCENARIO == "cp1251":
            return self.list_cp1251()
        if SCENARIO == "stall-sub" and self.cwd != "/":
            # Every folder below the top level: the listing starts, then
            # nothing more comes.
            self.send("150 Here comes the listing\r\n")
            self.open_data()
            time.sleep(30)
            return
        if SCENARIO == "no-active" and self.pasv is None:
            return self.send("425 Can't open data connection\r\n")
        if SCENARIO == "endless":
            return self.list_endless()
        if SCENARIO == "scan-bad-lines":
            return self.list_scan()
        # The scenario plays in folder "x" only, so log-on and its probes at
        # the top level see a well-behaved server.
        if self.cwd != "/x":
            return self.serve_listing(GOOD)
        if SCENARIO == "list450":
            return self.send("450 No files found\r\n")
        self.send("150 Here comes the listing\r\n")
        data = self.open_data()
        if SCENARIO == "cut":
            data.sendall(GOOD[:-10])
            data.close()
            return self.send("426 Connection closed; transfer aborted.\r\n")
        if SCENARIO == "drip":
            return self.drip(data)
        data.sendall(listing())
        if SCENARIO == "stall-data":
            time.sleep(30)
        data.close()
        if SCENARIO == "stall-reply":
            time.sleep(30)
        elif SCENARIO == "bare226":
            self.send("226\r\n")
        else:
            self.send("226 Done\r\n")

    def drip(self, data):
        # A line now and then, never the end: only a deadline stops it.
        for i in range(100000):
            data.sendall(b"-rw-r--r-- 1 0 0 1 Dec 07 22:00 drip%d\r\n" % i)
            time.sleep(0.1)

    def list_endless(self):
        # Every folder holds a file and a new folder: a tree without end.
        self.serve_listing(b"-rw-r--r-- 1 0 0 1 Dec 07 22:00 f\r\n"
                           b"drwxr-xr-x 2 0 0 4096 Dec 07 22:00 d\r\n")

    def list_parallel(self):
        with shared_lock:
            shared["listings"] += 1
            n = shared["listings"]
        if SCENARIO == "parallel-busy" and n in (5, 12):
            self.send("421 Timeout: closing control connection\r\n")
            raise ConnectionAbortedError("kicked")
        self.send("150 Here comes the listing\r\n")
        data = self.open_data()
        if SCENARIO == "parallel-cut" and n == 7:
            body = tree_lines(self.cwd)
            data.sendall(body[:len(body) // 2])
            data.close()
            raise ConnectionAbortedError("cut")
        if SCENARIO == "parallel-stall":
            time.sleep(30)
            return
        data.sendall(tree_lines(self.cwd))
        data.close()
        self.send("226 Done\r\n")

    def mlsd(self, arg):
        if self.pasv is None and self.active is None:
            return self.send("425 Use EPSV first\r\n")
        # parallel-mlsd-long takes no path for one folder, as if too long;
        # like real servers it keeps the passive port open until the next.
        if SCENARIO == "parallel-mlsd-long" and arg == "/d3/s1":
            return self.send("501 Path too long\r\n")
        # parallel-mlsd-blind lists the current folder whatever it is asked.
        folder = arg if arg and SCENARIO != "parallel-mlsd-blind" else self.cwd
        self.serve_listing(fact_lines(folder))

    def list_tree(self):
        self.serve_listing(tree_lines(self.cwd))

    def serve_listing(self, body):
        self.send("150 Here comes the listing\r\n")
        data = self.open_data()
        data.sendall(body)
        data.close()
        self.send("226 Done\r\n")

    def stat(self, arg):
        # Only the current folder: "STAT ." or "STAT -a .".
        if arg not in (".", "-a ."):
            return self.send("502 Only the current folder\r\n")
        body = b"213-Status follows:\r\n" + tree_lines(self.cwd)
        if SCENARIO == "pipeline-cut" and self.batch > 2 and self.cwd != "/" and cut_left[0]:
            cut_left[0] -= 1
            self.send(body[:len(body) // 2])
            raise ConnectionAbortedError("cut")
        # pipeline-stall: pipelined listings of subfolders never come.
        if SCENARIO == "pipeline-stall" and self.batch > 2 and self.cwd != "/":
            time.sleep(60)
            return
        if SCENARIO == "pipeline-drip" and self.batch > 2 and self.cwd != "/":
            self.send(body[:body.index(b"\n") + 1])
            for i in range(600):
                self.send(b" drip %d\r\n" % i)
                time.sleep(0.1)
            return
        self.send(body + b"213 End of status\r\n")

    def handle_batch(self, lines):
        # Pipelined commands (more than two in one read) are where these
        # servers go wrong; log-on and its probes see a sound server.
        self.batch = len(lines)
        if SCENARIO == "pipeline-drop" and len(lines) > 2:
            lines = lines[:1]
        if SCENARIO == "pipeline-reorder" and len(lines) > 2:
            replies = []
            for line in lines:
                self.out = []
                keep = self.handle(line)
                replies.append(b"".join(self.out))
                if not keep:
                    return False
            self.out = None
            self.send(b"".join(reversed(replies)))
            return True
        for line in lines:
            if not self.handle(line):
                return False
        return True

    def list_cp1251(self):
        # An old server: names in cp1251 bytes, and a folder that can only be
        # entered with exactly those bytes.
        folder = "\xc4\xee\xea"  # cp1251 bytes of a Cyrillic name, as latin-1
        self.send("150 Here comes the listing\r\n")
        data = self.open_data()
        if self.cwd == "/":
            data.sendall(b"drwxr-xr-x 2 0 0 4096 Dec 07 22:00 " + folder.encode("latin-1") + b"\r\n")
        elif self.cwd == "/" + folder:
            data.sendall(b"-rw-r--r-- 1 0 0 5 Dec 07 22:00 inner.txt\r\n")
        data.close()
        self.send("226 Done\r\n")

    def list_scan(self):
        self.serve_listing({"/": SCAN_TOP, "/x": SCAN_X}.get(self.cwd, b""))

    def run(self):
        if SCENARIO == "silent-greeting":
            time.sleep(30)
            return
        if SCENARIO == "parallel-busy":
            with shared_lock:
                full = shared["sessions"] >= 2
                shared["sessions"] += 0 if full else 1
            if full:
                return self.send("421 Too many connections from your address\r\n")
            try:
                return self.greet_and_serve()
            finally:
                with shared_lock:
                    shared["sessions"] -= 1
        self.greet_and_serve()

    def greet_and_serve(self):
        self.send("220 misbehaving test server\r\n")
        buf = b""
        while True:
            chunk = self.conn.recv(4096)
            if not chunk:
                return
            buf += chunk
            if PIPELINE:
                *lines, buf = buf.split(b"\r\n")
                if not self.handle_batch([line.decode("latin-1") for line in lines]):
                    return
                continue
            while b"\r\n" in buf:
                line, buf = buf.split(b"\r\n", 1)
                if not self.handle(line.decode("latin-1")):
                    return

    def handle(self, line):
        verb, _, arg = line.partition(" ")
        verb = verb.upper()
        if COMMAND_LOG:
            with open(COMMAND_LOG, "a") as log:
                log.write(verb + (" " + arg if verb in ("MLSD", "OPTS") and arg else "") + "\n")
        if verb == "USER":
            self.send("331 Password please\r\n")
        elif verb == "PASS":
            self.send("530 Login incorrect\r\n" if SCENARIO == "refuse-login" else "230 Welcome\r\n")
        elif verb == "FEAT" and SCENARIO == "stall-logon":
            time.sleep(30)  # logged on, and then silence
        elif verb == "AUTH" and SCENARIO == "tls":
            self.send("234 Proceed with negotiation.\r\n")
            ctx = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
            ctx.load_cert_chain(os.path.join(CERT_DIR, "cert.pem"), os.path.join(CERT_DIR, "key.pem"))
            self.conn = ctx.wrap_socket(self.conn, server_side=True)
        elif verb == "FEAT" and SCENARIO == "tls":
            self.send("211-Features:\r\n AUTH TLS\r\n PBSZ\r\n PROT\r\n211 End\r\n")
        elif verb == "FEAT" and MLSD:
            self.send("211-Features:\r\n EPSV\r\n MLST type*;size*;modify*;unique*;\r\n211 End\r\n")
        elif verb == "FEAT":
            # Inner lines that look like replies must not end the reply.
            self.send("211-Features:\r\n 226 not the end\r\n211-still inside\r\n UTF8\r\n211 End\r\n")
        elif verb in ("OPTS", "TYPE", "NOOP", "CLNT"):
            self.send("200 OK\r\n")
        elif verb == "CWD" and (PIPELINE or PARALLEL) and arg not in TREE:
            self.send("550 No such folder\r\n")
        elif verb == "CWD":
            self.cwd = arg
            if arg == "/x" and SCENARIO in BAD_CODES:
                self.send(BAD_CODES[SCENARIO])
            elif arg == "/x" and SCENARIO == "long-line":
                self.send("250-" + "a" * 200000)
            else:
                self.send("250 OK\r\n")
        elif verb == "PWD":
            self.send('257 "%s" is the current folder\r\n' % self.cwd.replace('"', '""'))
        elif verb == "STAT" and PIPELINE:
            self.stat(arg)
        elif verb == "EPSV" and SCENARIO == "parallel-mlsd-epsv-once" and epsv_refusal():
            self.send("425 No passive port free\r\n")
        elif verb == "EPSV":
            if SCENARIO in ("no-passive", "pasv-overflow"):
                self.send("502 EPSV not allowed here\r\n")
            else:
                self.send("500 no EPSV\r\n" if SCENARIO == "pasv-other" else self.passive(True))
        elif verb == "PASV":
            self.send("502 PASV not allowed here\r\n" if SCENARIO == "no-passive" else self.passive(False))
        elif verb == "EPRT":
            parts = arg.split(arg[0])
            self.active = (parts[2], int(parts[3]))
            self.pasv = None
            self.send("200 EPRT OK\r\n")
        elif verb == "LIST":
            self.do_list()
        elif verb == "MLSD" and MLSD:
            self.mlsd(arg)
        elif verb == "QUIT":
            self.send("221 Bye\r\n")
            return False
        else:
            self.send("502 Not implemented\r\n")
        return True


def serve(conn):
    try:
        Session(conn).run()
    except OSError:
        pass
    finally:
        conn.close()


def main():
    server = socket.socket(socket.AF_INET6 if ":" in HOST else socket.AF_INET)
    server.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    server.bind((HOST, PORT))
    server.listen(8)
    deadline = time.time() + 600  # never outlives a test run
    server.settimeout(1)
    while time.time() < deadline:
        try:
            conn, _ = server.accept()
        except socket.timeout:
            continue
        threading.Thread(target=serve, args=(conn,), daemon=True).start()



# endless-tree: every folder lists two new folders and a few files, at LIST
# and at MLSD alike, forever; no two listings are the same, so nothing can
# tell it from a real tree but its size. endless-tree-slow sends each listing
# a line at a time over about a second; endless-tree-huge adds 20,000 files
# to every folder; endless-tree-noisy adds lines no parser reads, so every
# folder gives the client something to log.
ENDLESS_TREE = SCENARIO.startswith("endless-tree")


def endless_entries(folder):
    depth = folder.strip("/").count("/") + 1 if folder.strip("/") else 0
    tag = "%08x" % zlib.crc32(folder.encode("latin-1"))
    files = 20000 if SCENARIO == "endless-tree-huge" else 3
    return ([("d", "n%d-%s-%s" % (depth, tag, side)) for side in "ab"]
            + [("f", "f%d-%s.txt" % (i, tag)) for i in range(files)])


def endless_body(folder, facts):
    out = []
    for kind, name in endless_entries(folder):
        if facts:
            path = folder.rstrip("/") + "/" + name
            out.append("type=%s;size=%d;modify=20261207220000;unique=%x; %s\r\n"
                       % ("dir" if kind == "d" else "file", len(name), zlib.crc32(path.encode("latin-1")), name))
        else:
            mode = "drwxr-xr-x" if kind == "d" else "-rw-r--r--"
            out.append("%s 2 0 0 %d Dec 07 22:00 %s\r\n" % (mode, len(name), name))
    if SCENARIO == "endless-tree-noisy":
        out += ["this is not a listing line\r\n", "neither is this one\r\n", "nor this\r\n"]
    return [line.encode("latin-1") for line in out]


def endless_send(session, folder, facts):
    session.send("150 Here comes the listing\r\n")
    data = session.open_data()
    lines = endless_body(folder, facts)
    if SCENARIO == "endless-tree-slow":
        for line in lines:
            data.sendall(line)
            time.sleep(1.0 / len(lines))
    else:
        data.sendall(b"".join(lines))
    data.close()
    session.send("226 Done\r\n")


def endless_handle(self, line, plain=Session.handle):
    verb, _, arg = line.partition(" ")
    verb = verb.upper()
    if verb == "FEAT":
        self.send("211-Features:\r\n EPSV\r\n MLST type*;size*;modify*;unique*;\r\n UTF8\r\n211 End\r\n")
    elif verb == "LIST":
        endless_send(self, self.cwd, False)
    elif verb == "MLSD":
        if self.pasv is None and self.active is None:
            self.send("425 Use EPSV first\r\n")
        else:
            endless_send(self, arg or self.cwd, True)
    else:
        return plain(self, line)
    if COMMAND_LOG:
        with open(COMMAND_LOG, "a") as log:
            log.write(verb + (" " + arg if verb == "MLSD" and arg else "") + "\n")
    return True


if ENDLESS_TREE:
    Session.handle = endless_handle

# --- Hostile names, loops and slow listings ---------------------------------
# "escape" lists with MLSD and resolves paths as a file system does, so a
# client that sent a listed "../../escape" would get another folder's
# contents. "loops" follows links: "self -> ." and "up -> .." list as the
# folders they lead to, with no fact that tells them apart. "deep" makes up
# a new folder in every folder, each listing unlike the ones above it. A
# scenario ending in "-slow" takes 0.2 s over every listing. These log each
# command line in full too, as "ARG " and the line, CR and LF as \r and \n.
ESCAPE_TREE = {
    "/": [("cdir", "."), ("pdir", ".."), ("dir", "../../escape"), ("dir", "a/b"), ("dir", ".."),
          ("dir", "cr\rname"), ("dir", "pub"), ("file", "readme")],
    "/pub": [("file", "inner.txt")],
    "/escape": [("file", "secret.txt")],
    "/a/b": [("file", "wrong.txt")],
}
# Every link leads to a folder above it; "/a/b" is an ordinary folder.
LOOP_TREE = {
    "/": [("d", "a"), ("f", "top.txt")],
    "/a": [("d", "self"), ("d", "up"), ("d", "b"), ("f", "in-a.txt")],
    "/a/b": [("f", "in-b.txt")],
}
LOOP_LINKS = {"self": ".", "up": ".."}
OWN = ("escape", "loops", "deep")
SLOW = SCENARIO.endswith("-slow")
if SCENARIO == "escape":
    MLSD = True


def resolved(path, links=None):
    # Path steps as a file system takes them: "..", "." and links.
    parts = []
    for step in path.split("/"):
        step = (links or {}).get(step, step)
        if step in ("", "."):
            continue
        if step == "..":
            parts = parts[:-1]
        else:
            parts.append(step)
    return "/" + "/".join(parts)


def escape_lines(folder):
    out = b""
    for kind, name in ESCAPE_TREE.get(resolved(folder), []):
        out += ("type=%s;size=5;modify=20261207220000; %s\r\n" % (kind, name)).encode("latin-1")
    return out


_plain_handle = Session.handle
_plain_do_list = Session.do_list
_plain_mlsd = Session.mlsd


def _handle(self, line):
    if COMMAND_LOG and SCENARIO in OWN:
        with open(COMMAND_LOG, "a") as log:
            log.write("ARG " + line.replace("\r", "\\r").replace("\n", "\\n") + "\n")
    if SLOW and line.partition(" ")[0].upper() in ("LIST", "MLSD", "STAT"):
        time.sleep(0.2)
    return _plain_handle(self, line)


def _do_list(self):
    if SCENARIO == "loops":
        return self.list_loops()
    if SCENARIO == "deep":
        depth = len([s for s in self.cwd.split("/") if s])
        return self.serve_listing(b"-rw-r--r-- 1 0 0 %d Dec 07 22:00 f\r\n"
                                  b"drwxr-xr-x 2 0 0 4096 Dec 07 22:00 d\r\n" % depth)
    return _plain_do_list(self)


def _list_loops(self):
    # As "ls -lL" shows them: a link to a folder is a folder.
    folder = resolved(self.cwd, LOOP_LINKS)
    self.serve_listing(b"".join(
        (b"drwxr-xr-x 2 0 0 4096 Dec 07 22:00 " if kind == "d" else b"-rw-r--r-- 1 0 0 3 Dec 07 22:00 ")
        + name.encode("latin-1") + b"\r\n" for kind, name in LOOP_TREE.get(folder, [])))


def _mlsd(self, arg):
    if SCENARIO != "escape":
        return _plain_mlsd(self, arg)
    if self.pasv is None and self.active is None:
        return self.send("425 Use EPSV first\r\n")
    self.serve_listing(escape_lines(arg if arg else self.cwd))


Session.handle = _handle
Session.do_list = _do_list
Session.list_loops = _list_loops
Session.mlsd = _mlsd


main()
