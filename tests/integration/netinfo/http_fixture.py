"""Loopback web server for the page fetch tests; prints its port, then serves."""
import http.server
import socketserver
import sys
import time

PAGES = {
    "/lookup": (200, b"<html><head><title>Current IP Check</title></head>"
                     b"<body>Current IP Address: 10.0.0.1</body></html>\r\n"),
    "/plain": (200, b"<html><body>nothing to see</body></html>"),
    "/latin1": (200, b"<html><body>caf\xe9</body></html>"),
    "/error": (500, b"server error body"),
    "/empty": (200, b""),
}


class Handler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"

    def log_message(self, *args):
        pass

    def send_body(self, status, body, length=True):
        self.send_response(status)
        self.send_header("Content-Type", "text/html")
        if length:
            self.send_header("Content-Length", str(len(body)))
        self.send_header("Connection", "close")
        self.end_headers()
        try:
            self.wfile.write(body)
        except OSError:
            pass  # the client gave up, as the size tests expect

    def do_GET(self):
        if self.path in PAGES:
            self.send_body(*PAGES[self.path])
        elif self.path == "/silent":
            time.sleep(30)
        elif self.path == "/huge-declared":
            self.send_body(200, b"x" * (8 * 1024 * 1024))
        elif self.path == "/huge-streamed":
            self.send_response(200)
            self.send_header("Connection", "close")
            self.end_headers()
            try:
                for _ in range(64):
                    self.wfile.write(b"y" * (1024 * 1024))
            except OSError:
                pass
        elif self.path == "/browser-only":
            # Plain clients get the connection closed without a reply.
            agent = self.headers.get("User-Agent", "")
            if "Safari" not in agent:
                self.close_connection = True
                return
            echo = "%s|%s" % (agent, self.headers.get("Cache-Control", ""))
            self.send_body(200, echo.encode())
        else:
            self.send_body(404, b"not found")


class Server(socketserver.ThreadingMixIn, http.server.HTTPServer):
    daemon_threads = True


server = Server(("127.0.0.1", 0), Handler)
print(server.server_address[1], flush=True)
server.serve_forever()
