#!/usr/bin/env bash
# Prints how 20 notification e-mails sent at once fare against a local
# aiosmtpd server: how many arrived, the total time and the longest stall of
# the main loop meanwhile. Usage: bench/mail_burst.sh [build-dir] [count]
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
build=${1:-build}
count=${2:-20}
probe="$build/bin/mail_burst_probe"
[ -x "$probe" ] || { echo "build the target mail_burst_probe first ($probe)" >&2; exit 1; }

tmp=$(mktemp -d)
server=""
cleanup() {
  [ -n "$server" ] && { kill "$server" 2>/dev/null; wait "$server" 2>/dev/null || true; }
  rm -rf "$tmp"
}
trap cleanup EXIT

# The server prints "PORT n", then one JSON line per message it accepts.
/usr/bin/python3 tests/integration/mail/smtp_test_server.py --mode plain \
  >"$tmp/out" 2>"$tmp/server.log" &
server=$!
for _ in $(seq 100); do
  grep -q '^PORT ' "$tmp/out" 2>/dev/null && break
  sleep 0.1
done
port=$(awk '/^PORT /{print $2}' "$tmp/out")
[ -n "$port" ] || { echo "test SMTP server did not start" >&2; cat "$tmp/server.log" >&2; exit 1; }

timeout 120 "$probe" "$port" "$count"
echo "received by the server: $(grep -c '"event": "message"' "$tmp/out" || true)"
