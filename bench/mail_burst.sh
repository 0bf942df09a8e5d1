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
  exec 3>&- 2>/dev/null || true
  [ -n "$server" ] && { wait "$server" 2>/dev/null || kill "$server" 2>/dev/null || true; }
  rm -rf "$tmp"
}
trap cleanup EXIT

# The server runs until its stdin (our fd 3) closes.
mkfifo "$tmp/in"
/usr/bin/python3 tests/integration/mail/smtp_test_server.py --mode plain \
  --record "$tmp/record.jsonl" <"$tmp/in" >"$tmp/port" 2>"$tmp/server.log" &
server=$!
exec 3>"$tmp/in"
for _ in $(seq 100); do
  grep -q '^PORT ' "$tmp/port" 2>/dev/null && break
  sleep 0.1
done
port=$(awk '/^PORT /{print $2}' "$tmp/port")
[ -n "$port" ] || { echo "test SMTP server did not start" >&2; cat "$tmp/server.log" >&2; exit 1; }

timeout 120 "$probe" "$port" "$count"
echo "received by the server: $(grep -c '"event": "message"' "$tmp/record.jsonl" || true)"
