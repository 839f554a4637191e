#!/usr/bin/env bash
# Times a whole conversion (orvconv --all) against three plain copies of the
# same source and measures its peak memory, on generated sources under
# bench/data/. Builds build-bench/ first and removes every output it made.
#   bench/run-benchmarks.sh [--micro]   --micro also runs the Google Benchmark
set -euo pipefail
cd "$(dirname "$0")/.."

build="build-bench"
data=bench/data
runs=3
textSize=96M
breakSmall=12M
breakLarge=96M

if [[ ! -x /usr/bin/time ]]; then
    echo "run-benchmarks: /usr/bin/time is missing (scripts/setup installs it)" >&2
    exit 1
fi

cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DORV_GUI=OFF -DORV_BENCH=ON -DORV_TESTS=OFF >/dev/null
cmake --build "$build" -j2 >/dev/null

mkdir -p "$data"
text=$data/text-$textSize.ORV
small=$data/breaks-$breakSmall.ORV
large=$data/breaks-$breakLarge.ORV
[[ -f $text ]] || "$build"/bench/make_source "$textSize" "$text"
[[ -f $small ]] || "$build"/bench/make_source --breaks-only "$breakSmall" "$small"
[[ -f $large ]] || "$build"/bench/make_source --breaks-only "$breakLarge" "$large"

cpuLog=$(mktemp)
removeOutputs() {
    for f in "$@"; do
        rm -f "$f.txt" "$f.acc" "$f.rtf"
    done
    rm -f "$data"/copy-a "$data"/copy-b "$data"/copy-c
    # Deleting on a discard-mounted disk costs later writes; settle it first.
    sync
}
trap 'removeOutputs "$text" "$small" "$large" "$data/probe.ORV"; rm -f "$data/probe.ORV" "$cpuLog"' EXIT

# orvconv when it converts; otherwise the conversion command through our own
# driver, so the core can be timed before its front end exists.
"$build"/bench/make_source 4K "$data"/probe.ORV
converter=("$build"/cli/orvconv --all)
if ! "${converter[@]}" "$data"/probe.ORV 2>/dev/null || [[ ! -f $data/probe.ORV.rtf ]]; then
    echo "run-benchmarks: orvconv does not convert yet; timing bench/convert_driver" >&2
    converter=("$build"/bench/convert_driver)
fi
# shellcheck disable=SC2016 # the copies expand their own arguments
copyThree=(sh -c 'cat "$0" >"$1"; cat "$0" >"$2"; cat "$0" >"$3"')

# One run of a command: prints "wall cpu" in seconds, cpu = user + system.
measure() {
    local start end
    start=$(date +%s%N)
    /usr/bin/time -f '%U %S' -o "$cpuLog" "$@"
    end=$(date +%s%N)
    awk -v ns=$((end - start)) '{ printf "%.3f %.2f\n", ns / 1e9, $1 + $2 }' "$cpuLog"
}

median() { printf '%s\n' "$@" | sort -g | sed -n "$((($# + 1) / 2))p"; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f\n", a / b }'; }
verdict() { awk -v v="$1" -v t="$2" 'BEGIN { print (v <= t ? "ok" : "MISSED") }'; }

# Median "wall cpu" of the copies (copy) or the conversion (convert) of a
# source; outputs are removed before every run so no run pays for another's.
timeRuns() {
    local kind=$1 src=$2 walls=() cpus=() wall cpu
    for ((i = 0; i < runs; i++)); do
        removeOutputs "$src"
        if [[ $kind == copy ]]; then
            read -r wall cpu < <(measure "${copyThree[@]}" "$src" "$data"/copy-{a,b,c})
        else
            read -r wall cpu < <(measure "${converter[@]}" "$src")
        fi
        walls+=("$wall")
        cpus+=("$cpu")
    done
    removeOutputs "$src"
    echo "$(median "${walls[@]}") $(median "${cpus[@]}")"
}

# Warm cache: every source read once before anything is timed.
cat "$text" "$small" "$large" >/dev/null

read -r copyWall copyCpu < <(timeRuns copy "$text")
read -r convWall convCpu < <(timeRuns convert "$text")

removeOutputs "$text"
rssKiB=$(/usr/bin/time -f %M "${converter[@]}" "$text" 2>&1 >/dev/null | tail -n 1)
removeOutputs "$text"
sourceKiB=$(($(stat -c %s "$text") / 1024))

read -r smallWall smallCpu < <(timeRuns convert "$small")
read -r largeWall largeCpu < <(timeRuns convert "$large")
read -r smallCopyWall _ < <(timeRuns copy "$small")
read -r largeCopyWall _ < <(timeRuns copy "$large")

row() { printf '%-40s %11s %11s %7s %7s %s\n' "$@"; }
echo
echo "${converter[*]} against three plain copies; medians of $runs runs, warm cache"
row measure converter copies ratio target ""
row "text-like $textSize, wall time" "${convWall}s" "${copyWall}s" \
    "$(ratio "$convWall" "$copyWall")" 1.25 "$(verdict "$(ratio "$convWall" "$copyWall")" 1.25)"
row "text-like $textSize, cpu time (user+sys)" "${convCpu}s" "${copyCpu}s" "" "" ""
row "text-like $textSize, peak RSS / source" "$((rssKiB / 1024))M" "$((sourceKiB / 1024))M" \
    "$(ratio "$rssKiB" "$sourceKiB")" 2.5 "$(verdict "$(ratio "$rssKiB" "$sourceKiB")" 2.5)"
row "break-only $breakSmall, wall time" "${smallWall}s" "${smallCopyWall}s" \
    "$(ratio "$smallWall" "$smallCopyWall")" "" ""
row "break-only $breakLarge, wall time" "${largeWall}s" "${largeCopyWall}s" \
    "$(ratio "$largeWall" "$largeCopyWall")" "" ""
row "break-only $breakLarge / $breakSmall, wall time" "" "" "$(ratio "$largeWall" "$smallWall")" 9 \
    "$(verdict "$(ratio "$largeWall" "$smallWall")" 9)"
row "break-only $breakLarge / $breakSmall, cpu time" "${largeCpu}s" "${smallCpu}s" \
    "$(ratio "$largeCpu" "$smallCpu")" 9 "$(verdict "$(ratio "$largeCpu" "$smallCpu")" 9)"

if [[ ${1:-} == --micro ]]; then
    echo
    "$build"/bench/conversion_benchmarks
fi
