#!/usr/bin/env bash
# How soon the window shows and its first key scan ends, and the most memory the process holds, for this
# build of the window program and, when given, another build of it (say, one from before PKCS#11 tokens) run
# in turn on the same machine. Each run starts the program off screen with bench's startup probe preloaded,
# in a folder of its own with no virtual keys, on the PKCS#11 modules p11-kit registers (here: the ones that
# hold no token), and ends it 1.5 s after its first scan. Prints the median of each figure.
#
# Usage: bench/startup_compare.sh [OTHER_PROGRAM] [RUNS]   RUNS runs of each (15 by default). Build first
# (scripts/build.sh); BUILD_DIR may point elsewhere.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
bin=${BUILD_DIR:-$here/build}/bin
other=${1:-}
runs=${2:-15}
probe=$bin/libstartup_probe.so
[ -f "$probe" ] || { echo "startup_compare: $probe is missing; build first" >&2; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# One run of `program`: its probe line.
run_once() {
    local home="$work/home"
    rm -rf "$home" && mkdir -p "$home"
    HOME="$home" XDG_DATA_HOME="$home/data" XDG_CONFIG_HOME="$home/config" XDG_RUNTIME_DIR="$work" \
        QT_QPA_PLATFORM=offscreen LD_PRELOAD="$probe" timeout 20 "$1" 2>/dev/null | grep '^shown' || true
}

# The median of the numbers on standard input.
median() {
    sort -n | awk '{ v[NR] = $1 } END { if (NR == 0) print "?"; else print v[int((NR + 1) / 2)] }'
}

declare -A lines
programs=("$bin/PellorZuAdmin")
[ -n "$other" ] && programs+=("$other")
for program in "${programs[@]}"; do run_once "$program" >/dev/null; done # warm the caches
for ((i = 0; i < runs; i++)); do
    for program in "${programs[@]}"; do lines[$program]+="$(run_once "$program")"$'\n'; done
done
for program in "${programs[@]}"; do
    text=${lines[$program]}
    shown=$(grep -o 'shown [0-9.]*' <<<"$text" | awk '{ print $2 }' | median)
    scan=$(grep -o 'ended [0-9.]*' <<<"$text" | awk '{ print $2 }' | median)
    memory=$(grep -o 'memory *[0-9]*' <<<"$text" | awk '{ print $2 }' | median)
    printf '%s\n  window shown %s ms, first scan ended %s ms, peak memory %.1f MiB (median of %d runs)\n' \
        "$program" "$shown" "$scan" "$(awk -v k="$memory" 'BEGIN { print k / 1024 }')" "$runs"
done
