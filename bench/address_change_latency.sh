#!/usr/bin/env bash
# Prints the latency from `ip addr add` to the address change callback
# (median and maximum over 50 changes), measured in a network namespace of
# its own. Needs root. Usage: bench/address_change_latency.sh [build-dir]
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
build=${1:-build}
probe="$build/bin/address_change_probe"
[ -x "$probe" ] || { echo "build the target address_change_probe first ($probe)" >&2; exit 1; }

ns="orbalen-bench-$$"
trap 'ip netns del "$ns" 2>/dev/null || true' EXIT
ip netns add "$ns"
ip -n "$ns" link add v0 type veth peer name p0
ip -n "$ns" link set v0 up
ip -n "$ns" link set p0 up
timeout 120 ip netns exec "$ns" "$probe" v0 50
