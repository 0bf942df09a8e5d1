#!/usr/bin/env bash
# Sets up a fresh Debian machine, builds OrbalenStatus and starts it. Without a
# desktop (no display, or no system tray) it runs headless and says so on
# stderr: it still watches the addresses, keeps its log and sends its e-mails.
# Stop it with Ctrl-C (or SIGTERM); options: --headless, --help, --version.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
bash scripts/install-deps.sh runtime build
# Only what runs: the tests and benchmarks need the test packages.
ORBALEN_BUILD_TESTS=OFF bash scripts/build.sh
exec build/bin/orbalenstatus "$@"
