#!/usr/bin/python3
"""A loopback proxy in front of a real server that breaks chosen requests the way networks and
servers do. `fault_proxy.py TARGET_URL` prints its own URL once it listens, and runs until its standard input
closes.

A fault is armed for the next request of a method: GET /__fault__?kind=K&method=PUT[&count=N][&seconds=S]
(for the next N requests of the method, 1 if not said).
Kinds: 412 (answered without forwarding), 500-after (forwarded, then answered 500), no-etag
(forwarded, the ETag header dropped), multistatus (forwarded, the status given inside a 207), slow
(waits S seconds, then forwards), cut (the connection closed without an answer), garbage (a 207 of
broken XML), huge (an endless 207), redirect (a 307 to the same path). GET /__fault__/log answers the requests forwarded so far, one
"METHOD PATH" a line; /__fault__/reset clears the log and the faults."""

import http.client
import http.server
import sys
import threading
import time
import urllib.parse

HOP_BY_HOP = {"connection", "keep-alive", "transfer-encoding", "content-length", "host", "te", "trailer",
              "upgrade", "proxy-connection"}


class Proxy(http.server.ThreadingHTTPServer):
    daemon_threads = True

    def __init__(self, target):
        super().__init__(("127.0.0.1", 0), Handler)
        parts = urllib.parse.urlsplit(target)
        self.target = (parts.hostname, parts.port or 80)
        self.faults, self.log, self.lock = {}, [], threading.Lock()


class Handler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"

    def log_message(self, *_):
        pass

    def answer(self, status, body=b"", headers=()):
        self.send_response(status)
        for name, value in headers:
            self.send_header(name, value)
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        self.wfile.write(body)

    def control(self):
        parts = urllib.parse.urlsplit(self.path)
        with self.server.lock:
            if parts.path == "/__fault__/log":
                return self.answer(200, "".join(line + "\n" for line in self.server.log).encode())
            if parts.path == "/__fault__/reset":
                self.server.log.clear()
                self.server.faults.clear()
                return self.answer(204)
            query = dict(urllib.parse.parse_qsl(parts.query))
            self.server.faults[query["method"]] = query
        return self.answer(204)

    def forward(self, body):
        connection = http.client.HTTPConnection(*self.server.target, timeout=60)
        headers = {k: v for k, v in self.headers.items() if k.lower() not in HOP_BY_HOP}
        headers["Host"] = "%s:%d" % self.server.target
        connection.request(self.command, self.path, body=body, headers=headers)
        response = connection.getresponse()
        data = response.read()
        kept = [(k, v) for k, v in response.getheaders() if k.lower() not in HOP_BY_HOP]
        connection.close()
        return response.status, data, kept

    def handle_any(self):
        if self.path.startswith("/__fault__"):
            return self.control()
        body = self.rfile.read(int(self.headers.get("Content-Length") or 0))
        with self.server.lock:
            fault = self.server.faults.get(self.command)
            if fault is not None:
                fault["count"] = str(int(fault.get("count", "1")) - 1)
                if fault["count"] == "0":
                    del self.server.faults[self.command]
            self.server.log.append(f"{self.command} {urllib.parse.urlsplit(self.path).path}")
        kind = fault["kind"] if fault else None
        if kind == "412":
            return self.answer(412)
        if kind == "redirect":
            return self.answer(307, headers=[("Location", self.path)])
        if kind == "cut":
            self.close_connection = True
            return None
        if kind == "garbage":
            return self.answer(207, b"<?xml version='1.0'?><d:multistatus xmlns:d='DAV:'><d:response>&oops;<",
                               [("Content-Type", "application/xml")])
        if kind == "huge":
            self.send_response(207)
            self.send_header("Content-Type", "application/xml")
            self.send_header("Connection", "close")
            self.end_headers()
            self.close_connection = True
            chunk = b"<d:response>" * 8192
            try:
                while True:
                    self.wfile.write(chunk)
            except OSError:
                return None
        if kind == "slow":
            time.sleep(float(fault.get("seconds", "5")))
        status, data, headers = self.forward(body)
        if kind == "500-after":
            return self.answer(500, b"Internal Server Error")
        if kind == "no-etag":
            headers = [(k, v) for k, v in headers if k.lower() != "etag"]
        if kind == "multistatus":
            inner = (f"<?xml version='1.0'?><d:multistatus xmlns:d='DAV:'><d:response><d:href>{self.path}</d:href>"
                     f"<d:status>HTTP/1.1 {status} X</d:status></d:response></d:multistatus>").encode()
            return self.answer(207, inner, [("Content-Type", "application/xml")])
        return self.answer(status, data, headers)

    def __getattr__(self, name):
        if name.startswith("do_"):
            return self.handle_any
        raise AttributeError(name)


def main():
    proxy = Proxy(sys.argv[1])
    print(f"http://127.0.0.1:{proxy.server_address[1]}/", flush=True)
    threading.Thread(target=proxy.serve_forever, daemon=True).start()
    sys.stdin.read()
    proxy.shutdown()


if __name__ == "__main__":
    main()
