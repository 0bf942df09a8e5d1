#!/usr/bin/env bash
# Builds the Debian package (binary only, unsigned) from the files git knows,
# in a copy of the tree under OUTDIR (default build-deb/), and prints the
# path of the .deb it made there.
#   package.sh [--no-deps] [OUTDIR]
# --no-deps skips installing the build packages (the caller has them).
# DEB_BUILD_OPTIONS defaults to no tests, no debug-symbol package and one job
# per core.
set -euo pipefail
deps=1
if [ "${1:-}" = "--no-deps" ]; then
  deps=0
  shift
fi
out=$(realpath -m "${1:-$(dirname "${BASH_SOURCE[0]}")/../build-deb}")
cd "$(dirname "${BASH_SOURCE[0]}")/.."

if [ "$deps" = 1 ]; then
  bash scripts/install-deps.sh build package
fi

# The package's version is the project's: a release bumps both.
project=$(sed -n 's/^project(OrbalenStatus VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
package=$(dpkg-parsechangelog -l debian/changelog -S Version)
if [ "$project" != "$package" ]; then
  echo "package: debian/changelog says $package, CMakeLists.txt says $project" >&2
  exit 1
fi

stage="$out/orbalenstatus-$package"
rm -rf "$stage"
mkdir -p "$stage"
# Files deleted but not yet committed are still listed: skipped.
git ls-files -z -co --exclude-standard | while IFS= read -r -d '' file; do
  if [ -e "$file" ]; then printf '%s\0' "$file"; fi
done | tar -c --null -T - | tar -x -C "$stage"
echo "package: building in $stage (log: $out/build.log)" >&2

export DEB_BUILD_OPTIONS=${DEB_BUILD_OPTIONS:-"nocheck noautodbgsym parallel=$(nproc)"}
(cd "$stage" && dpkg-buildpackage -b -us -uc) >"$out/build.log" 2>&1 || {
  tail -n 40 "$out/build.log" >&2
  echo "package: dpkg-buildpackage failed; the whole log is $out/build.log" >&2
  exit 1
}
rm -rf "$stage"
arch=$(dpkg-architecture -qDEB_HOST_ARCH)
echo "$out/orbalenstatus_${package}_${arch}.deb"
