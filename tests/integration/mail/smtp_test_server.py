#!/usr/bin/python3
"""A local SMTP server for the mail tests, built on Debian's aiosmtpd.

Listens on 127.0.0.1 (an ephemeral port unless --port is given), prints
"PORT <n>" on stdout once it accepts connections, and appends one JSON line
per event to --record: {"event": "auth", "mechanism": ...} for every AUTH
attempt and {"event": "message", ...} for every message accepted.
It runs until stdin is closed (the test holds its end open) or it is killed.

Modes:
  plain      no TLS offered
  starttls   STARTTLS offered and required before any mail
  tls        TLS from the first byte (the implicit-TLS port's role)
  silent     accepts connections and never greets
  drop       greets, reads one command and closes the connection
"""

import argparse
import asyncio
import json
import ssl
import sys

from aiosmtpd.smtp import SMTP, AuthResult


def parse_args():
    p = argparse.ArgumentParser()
    p.add_argument("--mode", default="plain",
                   choices=["plain", "starttls", "tls", "silent", "drop"])
    p.add_argument("--port", type=int, default=0)
    p.add_argument("--cert")
    p.add_argument("--key")
    p.add_argument("--record", required=True)
    p.add_argument("--user", help="user:password; makes AUTH required")
    p.add_argument("--refuse-rcpt", action="store_true")
    p.add_argument("--refuse-message", action="store_true")
    p.add_argument("--raw-refusal", action="store_true",
                   help="refuse the message with a reply that is not UTF-8")
    return p.parse_args()


class Recorder:
    def __init__(self, path):
        self.path = path

    def write(self, entry):
        with open(self.path, "a", encoding="utf-8") as f:
            f.write(json.dumps(entry) + "\n")


class Handler:
    def __init__(self, args, recorder):
        self.args = args
        self.recorder = recorder

    async def handle_RCPT(self, server, session, envelope, address, rcpt_options):
        if self.args.refuse_rcpt:
            return "550 5.1.1 <%s>: Recipient address rejected" % address
        envelope.rcpt_tos.append(address)
        return "250 OK"

    async def handle_DATA(self, server, session, envelope):
        if self.args.refuse_message:
            return "554 5.6.0 Message content rejected"
        self.recorder.write({
            "event": "message",
            "mail_from": envelope.mail_from,
            "rcpt_tos": envelope.rcpt_tos,
            "tls": session.ssl is not None or self.args.mode == "tls",
            "authenticated": bool(session.authenticated),
            "content": envelope.original_content.decode("latin-1"),
        })
        return "250 Message accepted for delivery"


class RawRefusalSMTP(SMTP):
    """Answers DATA's end with a reply whose text is not valid UTF-8."""

    async def smtp_DATA(self, arg):
        if not self.envelope.rcpt_tos:
            return await super().smtp_DATA(arg)
        await self.push("354 End data with <CR><LF>.<CR><LF>")
        while True:
            line = await self._reader.readline()
            if line in (b".\r\n", b".\n", b""):
                break
        self._writer.write(b"554 \xff\xfe refused\r\n")
        await self._writer.drain()
        self._set_post_data_state()


def make_authenticator(args, recorder):
    user, _, password = args.user.partition(":")

    def authenticator(server, session, envelope, mechanism, auth_data):
        recorder.write({"event": "auth", "mechanism": mechanism})
        ok = (auth_data.login.decode() == user and auth_data.password.decode() == password)
        # A refusal must leave handled=False, or the server sends no reply.
        return AuthResult(success=ok, handled=False)

    return authenticator


def tls_context(args):
    ctx = ssl.create_default_context(ssl.Purpose.CLIENT_AUTH)
    ctx.load_cert_chain(args.cert, args.key)
    return ctx


async def silent_client(reader, writer):
    await reader.read()  # hold the connection, say nothing
    writer.close()


async def dropping_client(reader, writer):
    writer.write(b"220 localhost ESMTP about to drop\r\n")
    await writer.drain()
    await reader.readline()
    writer.transport.abort()


async def main():
    args = parse_args()
    recorder = Recorder(args.record)
    loop = asyncio.get_running_loop()

    if args.mode in ("silent", "drop"):
        client = silent_client if args.mode == "silent" else dropping_client
        server = await asyncio.start_server(client, "127.0.0.1", args.port)
    else:
        kwargs = {"hostname": "localhost", "ident": "test server"}
        if args.mode == "starttls":
            kwargs.update(tls_context=tls_context(args), require_starttls=True)
        if args.user:
            kwargs.update(authenticator=make_authenticator(args, recorder),
                          auth_required=True, auth_require_tls=False)
        handler = Handler(args, recorder)
        smtp_class = RawRefusalSMTP if args.raw_refusal else SMTP
        server = await loop.create_server(
            lambda: smtp_class(handler, **kwargs), "127.0.0.1", args.port,
            ssl=tls_context(args) if args.mode == "tls" else None)

    port = server.sockets[0].getsockname()[1]
    print("PORT %d" % port, flush=True)
    # Serve until the test closes our stdin.
    await loop.run_in_executor(None, sys.stdin.read)
    server.close()


if __name__ == "__main__":
    asyncio.run(main())
