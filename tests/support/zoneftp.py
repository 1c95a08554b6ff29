#!/usr/bin/python3
"""pyftpdlib serving a folder with ls times in the server's own zone.

Usage: zoneftp.py PORT ROOT LOG [--no-mlsd] [--no-stat]. Run it with TZ set to
the zone the server keeps (for example TZ=Asia/Kolkata). ls lines (LIST and
STAT) then print local times, as most servers on the internet do, while MLSD
and MDTM stay in UTC. --no-mlsd drops MLSD and MLST from FEAT and the
commands; --no-stat refuses STAT with a path. Each command's verb and
argument go to LOG, one a line. Listens on 127.0.0.1 only.
"""
import os
import stat
import sys
import time

from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.filesystems import AbstractedFS
from pyftpdlib.handlers import FTPHandler
from pyftpdlib.servers import FTPServer

port, root, log = int(sys.argv[1]), sys.argv[2], sys.argv[3]
flags = set(sys.argv[4:])
SIX_MONTHS = 180 * 24 * 3600


class LocalLsFS(AbstractedFS):
    """ls lines as ls prints them: local time, the year for older files."""

    def format_list(self, basedir, listing, ignore_err=True):
        now = time.time()
        for name in listing:
            path = os.path.join(basedir, name)
            try:
                st = os.lstat(path)
            except OSError:
                if ignore_err:
                    continue
                raise
            local = time.localtime(st.st_mtime)
            if now - st.st_mtime > SIX_MONTHS:
                when = time.strftime("%b %d  %Y", local)
            else:
                when = time.strftime("%b %d %H:%M", local)
            line = "%s %3d %-8s %-8s %8d %s %s" % (stat.filemode(st.st_mode), st.st_nlink, "owner", "group",
                                                   st.st_size, when, name)
            if stat.S_ISLNK(st.st_mode):
                line += " -> " + os.readlink(path)
            yield (line + "\r\n").encode("utf8", self.cmd_channel.unicode_errors)


class Handler(FTPHandler):
    abstracted_fs = LocalLsFS
    proto_cmds = dict(FTPHandler.proto_cmds)
    if "--no-mlsd" in flags:
        del proto_cmds["MLSD"]
        del proto_cmds["MLST"]

    def pre_process_command(self, line, cmd, arg):
        with open(log, "a") as f:
            f.write(line + "\n")
        return FTPHandler.pre_process_command(self, line, cmd, arg)

    def ftp_STAT(self, path):
        if path and "--no-stat" in flags:
            self.respond("550 Not here.")
            return None
        return FTPHandler.ftp_STAT(self, path)


authorizer = DummyAuthorizer()
authorizer.add_anonymous(root)
Handler.authorizer = authorizer
FTPServer(("127.0.0.1", port), Handler).serve_forever()
