#!/usr/bin/env bash
# Installs the Debian packages of the named lists (scripts/packages/NAME.txt)
# that are not yet installed:
#   install-deps.sh runtime build        what scripts/run.sh needs
#   install-deps.sh build package        what scripts/package.sh needs
#   install-deps.sh runtime build test package   what scripts/test.sh needs
# Without a name it installs every list. Idempotent and non-interactive; runs
# as root or through sudo.
set -euo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
lists=("$@")
if [ ${#lists[@]} -eq 0 ]; then
  lists=(runtime build test package)
fi

wanted=()
for list in "${lists[@]}"; do
  file="$here/packages/$list.txt"
  if [ ! -f "$file" ]; then
    echo "install-deps: no package list '$list' (have: $(cd "$here/packages" && ls | sed 's/\.txt$//' | tr '\n' ' '))" >&2
    exit 2
  fi
  mapfile -t -O ${#wanted[@]} wanted < <(sed -e 's/#.*//' -e 's/[[:space:]]//g' "$file" | grep -v '^$')
done

missing=()
for pkg in "${wanted[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$pkg")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  echo "install-deps: all ${#wanted[@]} packages of ${lists[*]} present"
  exit 0
fi

sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then
  sudo_cmd=(sudo)
fi

echo "install-deps: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update -qq
# Other package tools may hold the lock for a while (unattended upgrades).
"${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends -o DPkg::Lock::Timeout=300 "${missing[@]}"
