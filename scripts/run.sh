#!/usr/bin/env bash
# Sets up a fresh Debian machine, builds OrbalenStatus and starts it.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
bash scripts/install-deps.sh
bash scripts/build.sh
if [ -x build/bin/orbalenstatus ]; then
  exec build/bin/orbalenstatus "$@"
fi
echo "Built the libraries and tools in build/bin; the desktop program is not part of this build yet."
