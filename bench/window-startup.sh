#!/usr/bin/env bash
# How long orvconverter takes from launch until its window is painted: started
# in an empty folder, and in a folder of 20,000 .ORV files (the difference is
# the time the file list takes to show them). Runs under Xvfb when no display
# is set. Usage: bench/window-startup.sh [BUILD_DIR] [RUNS]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
runs=${2:-5}
app=$(realpath "$build/app/orvconverter")

if [[ -z ${DISPLAY:-} ]]; then
    exec xvfb-run -a -s "-screen 0 800x600x24" "$0" "$build" "$runs"
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/empty" "$work/many"
(cd "$work/many" && for i in $(seq -w 1 20000); do : >"DOC$i.ORV"; done)

# ORV_STARTUP_PROBE makes the program print the time since the launch stamp
# once its window is painted, and quit.
measure() {
    local folder=$1 label=$2 times=()
    for ((run = 0; run < runs; run++)); do
        times+=("$(cd "$folder" && ORV_STARTUP_PROBE=$(date +%s%N) "$app" 2>&1 |
            sed -n 's/.*window shown \([0-9.]*\) ms.*/\1/p')")
    done
    printf '%-28s %s ms (runs: %s)\n' "$label" \
        "$(printf '%s\n' "${times[@]}" | sort -n | sed -n "$(((runs + 1) / 2))p")" "${times[*]}"
}

echo "median of $runs, launch to window painted"
measure "$work/empty" "empty folder"
measure "$work/many" "20,000 .ORV files"
