#!/usr/bin/python3
"""Real CalDAV servers for the tests: Radicale (over http or https) or Xandikos on 127.0.0.1, or
Python's plain web server as one that is no CalDAV server; a free port and a storage of their own
in a temporary folder, stopped by their pid.

As a program: `servers.py radicale|radicale-tls|xandikos|plain [USER PASSWORD]` prints the base URL
(for radicale-tls, then a space and the server's certificate) on one line once it answers, and
stops the server when its standard input closes or it gets SIGTERM.
As a module: `with Server("radicale", "anna", "pw") as server: server.url`."""

import os
import shutil
import signal
import socket
import subprocess
import sys
import tempfile
import threading
import time


def free_port():
    with socket.socket() as probe:
        probe.bind(("127.0.0.1", 0))
        return probe.getsockname()[1]


class Server:
    def __init__(self, kind, user="velmora", password="secret"):
        self.kind, self.user, self.password = kind, user, password
        self.folder = tempfile.mkdtemp(prefix=f"velmora-{kind}-")
        self.port = free_port()
        self.tls = kind == "radicale-tls"
        self.url = f"{'https' if self.tls else 'http'}://127.0.0.1:{self.port}/"
        self.certificate = os.path.join(self.folder, "cert.pem")
        self.process = None

    def command(self):
        if self.kind == "plain":
            # A web server that is no CalDAV server: it answers 501 to PROPFIND.
            return [sys.executable, "-m", "http.server", "--bind", "127.0.0.1", "-d", self.folder, str(self.port)]
        if self.kind == "xandikos":
            # Xandikos has no authentication of its own; its principal is /user/.
            return ["xandikos", "-d", self.folder, "--defaults", "-l", "127.0.0.1", "-p", str(self.port)]
        users = os.path.join(self.folder, "users")
        with open(users, "w", encoding="utf-8") as out:
            out.write(f"{self.user}:{self.password}\n")
        server = f"hosts = 127.0.0.1:{self.port}\n"
        if self.tls:
            # A certificate of its own, which the tests then give as the CA to trust.
            key = os.path.join(self.folder, "key.pem")
            subprocess.run(["openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "2", "-subj",
                            "/CN=127.0.0.1", "-addext", "subjectAltName=IP:127.0.0.1", "-keyout", key, "-out",
                            self.certificate], check=True, capture_output=True)
            server += f"ssl = True\ncertificate = {self.certificate}\nkey = {key}\n"
        config = os.path.join(self.folder, "config")
        with open(config, "w", encoding="utf-8") as out:
            out.write(f"[server]\n{server}"
                      f"[auth]\ntype = htpasswd\nhtpasswd_filename = {users}\nhtpasswd_encryption = plain\n"
                      f"[storage]\nfilesystem_folder = {os.path.join(self.folder, 'collections')}\n"
                      "[rights]\ntype = owner_only\n[logging]\nlevel = warning\n")
        return ["radicale", "--config", config]

    def __enter__(self):
        self.process = subprocess.Popen(self.command(), stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                                        stderr=open(os.path.join(self.folder, "log"), "w", encoding="utf-8"))
        deadline = time.monotonic() + 20
        while time.monotonic() < deadline:
            if self.process.poll() is not None:
                raise RuntimeError(f"{self.kind} ended at start: " + open(os.path.join(self.folder, "log")).read())
            try:
                socket.create_connection(("127.0.0.1", self.port), timeout=1).close()
                return self
            except OSError:
                time.sleep(0.05)
        self.stop()
        raise RuntimeError(f"{self.kind} did not answer within 20 s")

    def stop(self):
        # A SIGTERM now would cut this short and leave the server running.
        if threading.current_thread() is threading.main_thread():
            signal.signal(signal.SIGTERM, signal.SIG_IGN)
        if self.process is not None and self.process.poll() is None:
            os.kill(self.process.pid, signal.SIGTERM)
            try:
                self.process.wait(timeout=10)
            except subprocess.TimeoutExpired:
                os.kill(self.process.pid, signal.SIGKILL)
                self.process.wait()
        shutil.rmtree(self.folder, ignore_errors=True)

    def __exit__(self, *_):
        self.stop()


def main():
    kind = sys.argv[1]
    credentials = sys.argv[2:4] if len(sys.argv) >= 4 else ["velmora", "secret"]
    with Server(kind, *credentials) as server:
        signal.signal(signal.SIGTERM, lambda *_: sys.exit(0))
        print(server.url + (" " + server.certificate if server.tls else ""), flush=True)
        sys.stdin.read()


if __name__ == "__main__":
    main()
