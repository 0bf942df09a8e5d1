#!/usr/bin/env bash
# Removes what the last `cmake --install BUILD` put in place, as listed in
# BUILD/install_manifest.txt (default build/), and the program's own data
# folders when they are left empty. Settings and the event log are the user's
# and stay. Run it as the user who installed (sudo for /usr/local), with the
# same DESTDIR if one was given to the install (the manifest leaves it out).
#   uninstall.sh [BUILD | MANIFEST]
set -euo pipefail
manifest=${1:-"$(dirname "${BASH_SOURCE[0]}")/../build"}
if [ -d "$manifest" ]; then
  manifest="$manifest/install_manifest.txt"
fi
if [ ! -f "$manifest" ]; then
  echo "uninstall: no $manifest: nothing was installed from that build folder" >&2
  exit 1
fi

removed=0
folders=()
# The manifest's last line has no newline.
while IFS= read -r file || [ -n "$file" ]; do
  file="${DESTDIR:-}$file"
  if [ -e "$file" ] || [ -L "$file" ]; then
    rm -f -- "$file"
    removed=$((removed + 1))
  fi
  folders+=("$(dirname -- "$file")")
done <"$manifest"

# Then the program's own folders (share/orbalenstatus/...) once empty, from
# the deepest up; shared folders such as the icon theme's stay.
while IFS= read -r folder; do
  while [[ $folder == */orbalenstatus/* || $folder == */orbalenstatus ]] &&
    rmdir -- "$folder" 2>/dev/null; do
    folder=$(dirname -- "$folder")
  done
done < <(printf '%s\n' "${folders[@]}" | sort -ru)
echo "uninstall: removed $removed files listed in $manifest"
