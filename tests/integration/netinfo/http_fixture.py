"""Loopback web server for the page fetch tests; prints its port, then serves."""
import collections
import http.server
import time

PAGES = {
    "/refused": (429, b"<html><body>Current IP Address: 10.0.0.1</body></html>"),
    "/plain": (200, b"<html><body>nothing to see</body></html>"),
    "/error": (500, b"server error body"),
    "/empty": (200, b""),
    "/huge-declared": (200, b"x" * (8 * 1024 * 1024)),
}
# How many GETs each path had, for the tests that count attempts.
HITS = collections.Counter()


class Handler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"

    def log_message(self, *args):
        pass

    def reply(self, status, body, length=True):
        self.send_response(status)
        if length:
            self.send_header("Content-Length", str(len(body)))
        self.send_header("Connection", "close")
        self.end_headers()
        try:
            for _ in range(1 if length else 64):
                self.wfile.write(body)
        except OSError:
            pass  # the client gave up, as the size tests expect

    def do_GET(self):
        agent = self.headers.get("User-Agent", "")
        HITS[self.path] += 1  # counted with the query, served without it
        path = self.path.split("?")[0]
        if path in PAGES:
            self.reply(*PAGES[path])
        elif path.startswith("/hits/"):
            self.reply(200, str(HITS[self.path[len("/hits"):]]).encode())
        elif path == "/silent":
            time.sleep(30)
        elif path == "/huge-streamed":
            self.reply(200, b"y" * (1024 * 1024), length=False)
        elif path == "/browser-only" and "Safari" in agent:
            self.reply(200, ("%s|%s" % (agent, self.headers.get("Cache-Control", ""))).encode())
        elif path == "/browser-only":
            self.close_connection = True  # plain clients get no reply at all
        else:
            self.reply(404, b"not found")


server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Handler)
print(server.server_address[1], flush=True)
server.serve_forever()
