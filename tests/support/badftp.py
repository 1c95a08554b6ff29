#!/usr/bin/python3
"""A deliberately misbehaving FTP server for the client's tests.

Usage: badftp.py PORT SCENARIO. Listens on 127.0.0.1 only; each scenario
breaks one rule the way servers on the internet do.
"""
import socket
import sys
import threading
import time

PORT = int(sys.argv[1])
SCENARIO = sys.argv[2]

GOOD = (b"-rw-r--r--    1 0        0              10 Dec 07 22:00 good.txt\r\n"
        b"drwxr-xr-x    2 0        0            4096 Jan  1  2000 sub dir\r\n")

# scan-bad-lines: a tree a whole scan can walk, with lines no parser reads.
SCAN_TOP = (b"-rw-r--r--    1 0        0              10 Dec 07 22:00 good.txt\r\n"
            b"drwxr-xr-x    2 0        0            4096 Dec 07 22:00 x\r\n")
SCAN_X = (b"-rw-r--r--    1 0        0               5 Dec 07 22:00 inner.txt\r\n"
          b"this is not a listing line\r\n"
          b"neither is this one\r\n"
          b"total 1\r\n")


def listing():
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

    def send(self, text):
        self.conn.sendall(text.encode("latin-1") if isinstance(text, str) else text)

    def open_data(self):
        if self.pasv is not None:
            data, _ = self.pasv.accept()
            return data
        host, port = self.active
        if host != "127.0.0.1":
            raise RuntimeError("refusing to connect elsewhere")
        return socket.create_connection((host, port))

    def passive(self, extended):
        self.pasv = socket.socket()
        self.pasv.bind(("127.0.0.1", 0))
        self.pasv.listen(1)
        port = self.pasv.getsockname()[1]
        if extended:
            return "229 Entering Extended Passive Mode (|||%d|)\r\n" % port
        # pasv-other names an address that is not ours: a client must ignore it.
        addr = "10,255,255,1" if SCENARIO == "pasv-other" else "127,0,0,1"
        return "227 Entering Passive Mode (%s,%d,%d)\r\n" % (addr, port // 256, port % 256)

    def do_list(self):
        if SCENARIO == "cp1251":
            return self.list_cp1251()
        if SCENARIO == "scan-bad-lines":
            return self.list_scan()
        # The scenario plays in folder "x" only, so log-on and its probes at
        # the top level see a well-behaved server.
        if self.cwd != "/x":
            self.send("150 Here comes the listing\r\n")
            data = self.open_data()
            data.sendall(GOOD)
            data.close()
            return self.send("226 Done\r\n")
        if SCENARIO == "list450":
            return self.send("450 No files found\r\n")
        self.send("150 Here comes the listing\r\n")
        data = self.open_data()
        if SCENARIO == "cut":
            data.sendall(GOOD[:-10])
            data.close()
            return self.send("426 Connection closed; transfer aborted.\r\n")
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
        self.send("150 Here comes the listing\r\n")
        data = self.open_data()
        data.sendall({"/": SCAN_TOP, "/x": SCAN_X}.get(self.cwd, b""))
        data.close()
        self.send("226 Done\r\n")

    def run(self):
        if SCENARIO == "silent-greeting":
            time.sleep(30)
            return
        self.send("220 misbehaving test server\r\n")
        buf = b""
        while True:
            chunk = self.conn.recv(4096)
            if not chunk:
                return
            buf += chunk
            while b"\r\n" in buf:
                line, buf = buf.split(b"\r\n", 1)
                if not self.handle(line.decode("latin-1")):
                    return

    def handle(self, line):
        verb, _, arg = line.partition(" ")
        verb = verb.upper()
        if verb == "USER":
            self.send("331 Password please\r\n")
        elif verb == "PASS":
            self.send("530 Login incorrect\r\n" if SCENARIO == "refuse-login" else "230 Welcome\r\n")
        elif verb == "FEAT":
            # Inner lines that look like replies must not end the reply.
            self.send("211-Features:\r\n 226 not the end\r\n211-still inside\r\n UTF8\r\n211 End\r\n")
        elif verb in ("OPTS", "TYPE", "NOOP", "CLNT"):
            self.send("200 OK\r\n")
        elif verb == "CWD":
            self.cwd = arg
            self.send("250 OK\r\n")
        elif verb == "EPSV":
            self.send("500 no EPSV\r\n" if SCENARIO == "pasv-other" else self.passive(True))
        elif verb == "PASV":
            self.send(self.passive(False))
        elif verb == "EPRT":
            parts = arg.split(arg[0])
            self.active = (parts[2], int(parts[3]))
            self.send("200 EPRT OK\r\n")
        elif verb == "LIST":
            self.do_list()
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
    server = socket.socket()
    server.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    server.bind(("127.0.0.1", PORT))
    server.listen(8)
    deadline = time.time() + 600  # never outlives a test run
    server.settimeout(1)
    while time.time() < deadline:
        try:
            conn, _ = server.accept()
        except socket.timeout:
            continue
        threading.Thread(target=serve, args=(conn,), daemon=True).start()


main()
