#!/usr/bin/python3
"""A small anonymous, read-only FTP server on 127.0.0.1 for the tests, the demo and the screenshots.

    loopback-ftp.py --root DIR [--port 0] [--port-file F] [misbehaviour options]
    loopback-ftp.py --launcher [--port P] [--port-file F]

Once listening it writes the port it got to F (or prints it). The misbehaviour options let the
tests reproduce what a real file server may do to the copy:
  --drop-after BYTES     close each file's data connection after BYTES (the reply is 426)
  --rate BYTES_PER_SEC   send file data no faster than this (a transfer stays in flight)
  --silent               accept connections and never say a word (no banner)
  --no-mlsd              answer MLSD with 500, as older servers do (the client falls back to LIST)
  --extra-listing NAME   also list NAME, which is no real file ("dir:NAME" lists it as a folder);
                         repeatable

With --launcher it starts such servers for programs that cannot start one themselves (the Windows
tests under Wine): a client connects, sends the server's arguments as one line, a JSON list of
strings (--root and the options), and reads back one line, the new server's port (0 when it did
not come up). The server runs until the client closes the connection.
"""

import argparse
import json
import os
import socket
import subprocess
import sys
import tempfile
import threading
import time

from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.filesystems import AbstractedFS
from pyftpdlib.handlers import FTPHandler, ThrottledDTPHandler
from pyftpdlib.servers import FTPServer


def parse_arguments():
    parser = argparse.ArgumentParser(description="Loopback FTP server for the TOLA Utility's tests")
    parser.add_argument("--root")
    parser.add_argument("--launcher", action="store_true")
    parser.add_argument("--port", type=int, default=0)
    parser.add_argument("--port-file")
    parser.add_argument("--drop-after", type=int, default=0)
    parser.add_argument("--rate", type=int, default=0)
    parser.add_argument("--silent", action="store_true")
    parser.add_argument("--no-mlsd", action="store_true")
    parser.add_argument("--extra-listing", action="append", default=[])
    return parser.parse_args()


def announce(port, port_file):
    if port_file:
        # Written whole and then renamed, so a reader never sees half a number.
        with open(port_file + ".tmp", "w") as f:
            f.write("%d\n" % port)
        os.rename(port_file + ".tmp", port_file)
    else:
        print(port, flush=True)


def serve_silently(port, port_file):
    listener = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    listener.bind(("127.0.0.1", port))
    listener.listen(8)
    announce(listener.getsockname()[1], port_file)
    held = []
    while True:
        connection, _ = listener.accept()
        held.append(connection)  # kept open and never answered


def wait_for_port(port_file, child):
    """The port a started server announced, or 0 when it ended or took too long."""
    deadline = time.monotonic() + 10
    while time.monotonic() < deadline and child.poll() is None:
        try:
            with open(port_file) as f:
                return int(f.read().strip() or 0)
        except (OSError, ValueError):
            time.sleep(0.02)
    return 0


def serve_one_launch(connection):
    with connection:
        request = b""
        while not request.endswith(b"\n"):
            chunk = connection.recv(4096)
            if not chunk:
                return
            request += chunk
        try:
            arguments = [str(a) for a in json.loads(request.decode("utf8", "surrogateescape"))]
        except ValueError:
            connection.sendall(b"0\n")
            return
        with tempfile.TemporaryDirectory() as scratch:
            port_file = os.path.join(scratch, "port")
            child = subprocess.Popen([sys.executable, os.path.abspath(__file__), "--port", "0", "--port-file",
                                      port_file] + arguments, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL)
            try:
                connection.sendall(b"%d\n" % wait_for_port(port_file, child))
                while connection.recv(4096):
                    pass
            except OSError:
                pass
            finally:
                child.kill()
                child.wait()


def serve_launcher(port, port_file):
    listener = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    listener.bind(("127.0.0.1", port))
    listener.listen(8)
    announce(listener.getsockname()[1], port_file)
    while True:
        connection, _ = listener.accept()
        threading.Thread(target=serve_one_launch, args=(connection,), daemon=True).start()


def extra_entries(names):
    """(name, is_folder) for every --extra-listing."""
    return [(n[4:], True) if n.startswith("dir:") else (n, False) for n in names]


def make_filesystem(extras):
    fake = {name for name, _ in extras}

    class ListingFS(AbstractedFS):
        def listdir(self, path):
            return super().listdir(path) + [name for name, _ in extras]

        def format_list(self, basedir, listing, ignore_err=True):
            yield from super().format_list(basedir, [n for n in listing if n not in fake], ignore_err)
            for name, folder in extras:
                kind = "drwxr-xr-x" if folder else "-rw-r--r--"
                yield ("%s   1 owner    group         100 Jan 01 00:00 %s\r\n" % (kind, name)).encode(
                    "utf8", "surrogateescape")

        def format_mlsx(self, basedir, listing, perms, facts, ignore_err=True):
            yield from super().format_mlsx(basedir, [n for n in listing if n not in fake], perms, facts,
                                           ignore_err)
            for name, folder in extras:
                kind = "dir" if folder else "file"
                yield ("type=%s;size=100; %s\r\n" % (kind, name)).encode("utf8", "surrogateescape")

    return ListingFS


def make_data_handler(drop_after, rate):
    class DataHandler(ThrottledDTPHandler):
        write_limit = rate

        def send(self, data):
            if drop_after and self.cmd == "RETR":
                left = drop_after - self.tot_bytes_sent
                sent = super().send(data[:max(left, 0)]) if left > 0 else 0
                if self.tot_bytes_sent >= drop_after:
                    # With data still queued the handler answers 426, as a server that lost the
                    # transfer would.
                    self.handle_close()
                return sent
            return super().send(data)

    return DataHandler


def main():
    args = parse_arguments()
    if args.launcher:
        serve_launcher(args.port, args.port_file)
        return
    if not args.root:
        sys.exit("loopback-ftp.py: --root is required")
    if args.silent:
        serve_silently(args.port, args.port_file)
        return

    authorizer = DummyAuthorizer()
    authorizer.add_anonymous(os.path.abspath(args.root), perm="elr")

    class Handler(FTPHandler):
        pass

    Handler.authorizer = authorizer
    Handler.abstracted_fs = make_filesystem(extra_entries(args.extra_listing))
    Handler.dtp_handler = make_data_handler(args.drop_after, args.rate)
    Handler.banner = "Loopback file server ready."
    Handler.permit_foreign_addresses = False
    if args.no_mlsd:
        Handler.proto_cmds = {k: v for k, v in FTPHandler.proto_cmds.items() if k not in ("MLSD", "MLST")}

    server = FTPServer(("127.0.0.1", args.port), Handler)
    announce(server.socket.getsockname()[1], args.port_file)
    server.serve_forever(handle_exit=True)


if __name__ == "__main__":
    import logging
    logging.basicConfig(level=logging.WARNING, stream=sys.stderr)
    main()
