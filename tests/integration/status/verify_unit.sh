#!/usr/bin/env bash
# systemd-analyze verify accepts the user service and rates its sandbox safe
# (the copy that runs the built program, so the program it names exists).
# Exits 77 (skipped) only where systemd-analyze is not installed.
set -euo pipefail
unit=$1
if ! command -v systemd-analyze >/dev/null; then
  echo "skipped: systemd-analyze is not installed"
  exit 77
fi
# The user manager it models wants a runtime folder.
runtime=$(mktemp -d)
trap 'rm -rf "$runtime"' EXIT
# verify reports some faults without failing: any word about the unit is one.
if ! out=$(XDG_RUNTIME_DIR=$runtime systemd-analyze --user verify "$unit" 2>&1) ||
  grep -qF "$(basename "$unit")" <<<"$out"; then
  echo "$out"
  exit 1
fi
# Its sandbox keeps the exposure systemd rates below 3.0 ("OK").
XDG_RUNTIME_DIR=$runtime systemd-analyze security --user --offline=yes --threshold=30 "$unit" | tail -1
echo "verified $unit"
