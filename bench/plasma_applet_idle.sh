#!/usr/bin/env bash
# Prints the Plasma applet's figures over a full idle minute: processes it
# starts while nothing changes (aim: 0), and `ip addr` -> its label (median of
# 20). Runs the applet's integration test with a 60 s idle span. Needs root
# and plasmoidviewer. Usage: bench/plasma_applet_idle.sh [build-dir]
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
build=${1:-build}
for tool in orbalenstatus orbalenstatus-defaults orbalenstatus-query; do
  [ -x "$build/bin/$tool" ] || { echo "build the target $tool first" >&2; exit 1; }
done
ORBALEN_APPLET_IDLE_SECONDS=60 python3 tests/integration/shells/plasma_applet_test.py \
  "$build/bin/orbalenstatus" "$build/bin/orbalenstatus-defaults" \
  tests/integration/mail/smtp_test_server.py "$build/bin/orbalenstatus-query" \
  src/shells/plasma/package "$build/test-artifacts" 2>&1 |
  grep -E '^(ip addr|processes started)|FAIL|Error|skipped'
