#!/usr/bin/python3
"""An SMTP server (aiosmtpd) on an ephemeral 127.0.0.1 port for the mail tests,
run until killed. Prints "PORT <n>", then one JSON line per event before its
reply: "auth", "mail", "message" and, when silent, "connect". Modes: plain,
starttls (required), tls, silent (never greets), drop (hangs up after EHLO).
"""

import argparse
import asyncio
import json
import logging
import ssl
import warnings

from aiosmtpd.smtp import SMTP, AuthResult

p = argparse.ArgumentParser()
p.add_argument("--mode", default="plain", choices=["plain", "starttls", "tls", "silent", "drop"])
p.add_argument("--certs", help="folder with trusted.pem/.key and untrusted.pem/.key")
p.add_argument("--untrusted", action="store_true", help="present the untrusted certificate")
p.add_argument("--user", help="user:password; makes AUTH required")
p.add_argument("--only-mechanism", help="offer this AUTH mechanism alone")
for flag in ("--refuse-rcpt", "--raw-refusal"):  # the last refuses DATA in non-UTF-8
    p.add_argument(flag, action="store_true")
args = p.parse_args()
# The tests read what matters from stdout; tracebacks of refused handshakes are noise.
logging.disable(logging.CRITICAL)
warnings.simplefilter("ignore")


def record(entry):
    print(json.dumps(entry), flush=True)


class Handler:
    async def handle_MAIL(self, server, session, envelope, address, mail_options):
        record({"event": "mail"})
        envelope.mail_from = address
        return "250 OK"

    async def handle_RCPT(self, server, session, envelope, address, rcpt_options):
        if args.refuse_rcpt:
            return "550 5.1.1 <%s>: Recipient address rejected" % address
        envelope.rcpt_tos.append(address)
        return "250 OK"

    async def handle_DATA(self, server, session, envelope):
        record({"event": "message", "mail_from": envelope.mail_from,
                "rcpt_tos": envelope.rcpt_tos, "tls": session.ssl is not None or args.mode == "tls",
                "helo": session.host_name, "content": envelope.original_content.decode("latin-1")})
        return "250 Message accepted for delivery"


class RawRefusalSMTP(SMTP):
    async def smtp_DATA(self, arg):
        if not self.envelope.rcpt_tos:
            return await super().smtp_DATA(arg)
        await self.push("354 End data with <CR><LF>.<CR><LF>")
        while (await self._reader.readline()) not in (b".\r\n", b".\n", b""):
            pass
        self._writer.write(b"554 \xff\xfe refused\r\n")
        self._set_post_data_state()


def authenticator(server, session, envelope, mechanism, auth_data):
    record({"event": "auth", "mechanism": mechanism})
    ok = "%s:%s" % (auth_data.login.decode(), auth_data.password.decode()) == args.user
    # A refusal must leave handled=False, or the server sends no reply.
    return AuthResult(success=ok, handled=False)


def tls_context():
    name = "%s/%s" % (args.certs, "untrusted" if args.untrusted else "trusted")
    ctx = ssl.create_default_context(ssl.Purpose.CLIENT_AUTH)
    ctx.load_cert_chain(name + ".pem", name + ".key")
    return ctx


async def raw_client(reader, writer):
    if args.mode == "silent":
        record({"event": "connect"})
        return await reader.read()
    writer.write(b"220 localhost ESMTP about to hang up\r\n")
    await reader.readline()
    writer.transport.abort()


async def main():
    loop = asyncio.get_running_loop()
    if args.mode in ("silent", "drop"):
        server = await asyncio.start_server(raw_client, "127.0.0.1", 0)
    else:
        kwargs = {"hostname": "localhost", "ident": "test server"}
        if args.mode == "starttls":
            kwargs.update(tls_context=tls_context(), require_starttls=True)
        if args.user:
            kwargs.update(authenticator=authenticator, auth_required=True, auth_require_tls=False)
        if args.only_mechanism:
            kwargs["auth_exclude_mechanism"] = {"PLAIN", "LOGIN"} - {args.only_mechanism}
        server = await loop.create_server(
            lambda: (RawRefusalSMTP if args.raw_refusal else SMTP)(Handler(), **kwargs),
            "127.0.0.1", 0, ssl=tls_context() if args.mode == "tls" else None)
    print("PORT %d" % server.sockets[0].getsockname()[1], flush=True)
    await loop.create_future()


asyncio.run(main())
