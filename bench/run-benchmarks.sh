#!/usr/bin/env bash
# Times orvconv --all against the floor (bench/floor.c: read, one table pass,
# memcpy and write of the same output sizes) followed by one sync of its file
# system, as orvconv puts every output on the disk before it counts it
# written, on generated sources, all in one run so that the ratios share the
# machine's mood:
#   - one large text-like source, and peak memory (also with one long line);
#   - the same with the Unicode text too (--all -U), against a floor that
#     writes a fourth output of its size;
#   - 20,000 small sources (1 to 8 KiB) with -j1, per file;
#   - linear growth, 8 times the size, text-like and break-only;
#   - -jN against the floor split over N processes (when orvconv has --jobs);
#   - one source of each size from 64 KiB to 32 MiB;
#   - one process per small document, as a tool that runs a command per
#     file would, against the floor run once per document too;
#   - the large source again with each SIMD target this processor has
#     forced in turn (ORV_SIMD_TARGET, a testing aid orvconv honours).
# Every timed run works on a fresh copy of its sources on a place of its
# own: as root a new ext4 without a journal in a loop file, dropped whole
# after the run; elsewhere a new folder, with nothing deleted while timing
# (on ext4 without a journal, creating files stays slow for a while after
# mass deletion, and a folder that many runs have filled slows them all).
#   bench/run-benchmarks.sh [--micro | --targets | --unicode]
#                          --micro also runs the Google Benchmark and the
#                          kernels alone (bench/kernel_speed); --targets
#                          times only the large source on each target;
#                          --unicode only the large source with --all -U
# ORV_BENCH_RUNS sets the runs per figure (default 5; medians are reported),
# ORV_SWEEP_RUNS those per size of the sweep (default 15), whose runs are
# short and vary more.
set -euo pipefail
cd "$(dirname "$0")/.."

build="build-bench"
data=bench/data
runs=${ORV_BENCH_RUNS:-5}
sweepRuns=${ORV_SWEEP_RUNS:-15}
sweepSizes=(64K 256K 1M 2M 4M 8M 32M)
smallCount=20000
perProcessCount=500

if [[ ! -x /usr/bin/time ]]; then
    echo "run-benchmarks: /usr/bin/time is missing (scripts/setup installs it)" >&2
    exit 1
fi

cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DORV_GUI=OFF -DORV_BENCH=ON -DORV_TESTS=OFF >/dev/null
cmake --build "$build" -j2 >/dev/null
floor=$build/bench/floor

mkdir -p "$data"
[[ -f $data/text-96M.ORV ]] || "$build"/bench/make_source 96M "$data"/text-96M.ORV
[[ -f $data/text-12M.ORV ]] || "$build"/bench/make_source 12M "$data"/text-12M.ORV
[[ -f $data/breaks-96M.ORV ]] || "$build"/bench/make_source --breaks-only 96M "$data"/breaks-96M.ORV
[[ -f $data/breaks-12M.ORV ]] || "$build"/bench/make_source --breaks-only 12M "$data"/breaks-12M.ORV
# The text without its break bytes: one 96 MiB line.
[[ -f $data/line-96M.ORV ]] || tr -d '\003\372\374\376' <"$data"/text-96M.ORV >"$data"/line-96M.ORV
for size in "${sweepSizes[@]}"; do
    [[ -f $data/text-$size.ORV ]] || "$build"/bench/make_source "$size" "$data/text-$size.ORV"
done
if [[ ! -d $data/small ]]; then
    mkdir "$data"/small.tmp
    "$build"/bench/make_source --many "$smallCount" "$data"/small.tmp
    mv "$data"/small.tmp "$data"/small
fi

work=$(mktemp -d "$PWD/$data/work.XXXXXX")
cpuLog=$(mktemp)
trap 'rm -rf "$work" "$cpuLog"' EXIT

# orvconv when it converts; otherwise the conversion command through our own
# driver, so the core can be timed before its front end exists.
"$build"/bench/make_source 4K "$work"/probe.ORV
converter=("$build"/cli/orvconv --all)
if ! "${converter[@]}" "$work"/probe.ORV 2>/dev/null || [[ ! -f $work/probe.ORV.rtf ]]; then
    echo "run-benchmarks: orvconv does not convert yet; timing bench/convert_driver" >&2
    converter=("$build"/bench/convert_driver)
fi
jobs=()
if "$build"/cli/orvconv --help 2>/dev/null | grep -q -- --jobs; then
    jobs=(-j1)
fi
cores=$(nproc)

# One run of a command: prints "wall cpu rssKiB", wall and cpu (user +
# system) in seconds.
measure() {
    local start end
    start=$(date +%s%N)
    /usr/bin/time -f '%U %S %M' -o "$cpuLog" "$@"
    end=$(date +%s%N)
    awk -v ns=$((end - start)) '{ printf "%.4f %.3f %d\n", ns / 1e9, $1 + $2, $3 }' "$cpuLog"
}

median() { printf '%s\n' "$@" | sort -g | sed -n "$((($# + 1) / 2))p"; }
largest() { printf '%s\n' "$@" | sort -g | tail -n 1; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f\n", a / b }'; }
verdict() { awk -v v="$1" -v t="$2" 'BEGIN { print (v <= t ? "ok" : "MISSED") }'; }

# The floor's list for converted sources: "TXT ACC RTF PATH" for each, with
# the sizes orvconv wrote and PATH the same name under another folder; where
# a Unicode text was written too, "TXT ACC RTF +UNI PATH".
floorList() {
    local converted=$1 target=$2
    (cd "$converted" && shopt -s nullglob &&
        printf '%s\0' *.ORV.txt *.ORV.acc *.ORV.rtf *.ORV.utf8.txt | xargs -0 stat -c '%s %n') |
        awk -v to="$target" '{
            name = substr($0, length($1) + 2)
            if (name ~ /\.utf8\.txt$/) {
                base = substr(name, 1, length(name) - 9); kind = "uni"
            } else {
                base = substr(name, 1, length(name) - 4); kind = substr(name, length(name) - 2)
            }
            size[base, kind] = $1
            if (!(base in seen)) { seen[base] = 1; order[++n] = base }
        }
        END { for (i = 1; i <= n; i++) { b = order[i]
            print size[b, "txt"], size[b, "acc"], size[b, "rtf"] \
                (((b, "uni") in size) ? " +" size[b, "uni"] : ""), to "/" b } }'
}

# The floor over lists at once, one process each.
floorParallel() {
    local list pids=()
    for list in "$@"; do
        "$floor" "$list" &
        pids+=($!)
    done
    for pid in "${pids[@]}"; do
        wait "$pid"
    done
}

# Every timed run gets a place of its own: as root, a new ext4 file system
# without a journal (like this machine's) in a loop file, so that no run
# inherits what earlier ones left in the directories, the inode tables or
# the write-back queue, and a place is dropped whole, deleting no files.
# Elsewhere a new folder on the disk, and nothing deleted while timing.
loopPlaces=false
if [[ $(id -u) == 0 ]] && command -v mkfs.ext4 >/dev/null && losetup -f >/dev/null 2>&1; then
    loopPlaces=true
fi
# Makes $1 an empty folder on a place of its own, holding a copy of the
# sources $2 (a file, or a folder's *.ORV).
freshPlace() {
    local dir=$1 set=$2
    mkdir -p "$dir"
    if $loopPlaces; then
        truncate -s 4G "$dir.img"
        mkfs.ext4 -q -F -O ^has_journal "$dir.img"
        mount -o loop "$dir.img" "$dir"
    fi
    if [[ -d $set ]]; then
        cp "$set"/*.ORV "$dir"/
    else
        cp "$set" "$dir"/
    fi
    sync
}
dropPlace() {
    if $loopPlaces; then
        umount "$1"
        rm -f "$1.img"
        rmdir "$1"
    fi
}
dropAllPlaces() {
    local target
    findmnt -rn -o TARGET | { grep "^$work/" || true; } | while read -r target; do
        umount "$target"
    done
    rm -rf "$work" "$cpuLog"
}
trap dropAllPlaces EXIT

# One timed run of the converter on a fresh place $1 holding a copy of the
# sources $2 (a file, or a folder's *.ORV), with its extra arguments after
# the sizes file $3; prints "wall cpu rssKiB". The first run notes the sizes
# it wrote in $3, for the floor.
runConverter() {
    local dir=$1 set=$2 sizes=$3
    shift 3
    freshPlace "$dir"/conv "$set"
    local sources=("$dir"/conv/*.ORV)
    if [[ -d $set ]] && ((${#jobs[@]})); then
        # Many sources go in as a list file, as the floor gets its own:
        # passing 20,000 names on a command line costs bash itself a
        # tenth of a second, which would be timed as the converter's.
        printf '%s\0' "${sources[@]}" >"$dir"/sources
        sources=(--null --files-from="$dir"/sources)
    fi
    measure "${converter[@]}" "$@" "${sources[@]}"
    [[ -f $sizes ]] || floorList "$dir"/conv @TARGET@ >"$sizes"
    dropPlace "$dir"/conv
}

# One timed run of the floor on a fresh place $1 holding a copy of $2,
# writing the sizes in $3, its list split over $4 processes; prints "wall
# cpu rssKiB".
runFloor() {
    local dir=$1 set=$2 sizes=$3 split=$4 i lists=()
    awk -v to="$dir/floor" '{ i = index($0, "@TARGET@")
        print substr($0, 1, i - 1) to substr($0, i + 8) }' "$sizes" >"$dir"/list
    for ((i = 0; i < split; i++)); do
        awk -v n="$split" -v i="$i" 'NR % n == i' "$dir"/list >"$dir/list.$i"
        lists+=("$dir/list.$i")
    done
    freshPlace "$dir"/floor "$set"
    # Then one sync of the place: what orvconv's own flushes stand against.
    if ((split == 1)); then
        measure bash -c "$floor"' "$1" && sync -f "$2"' _ "$dir"/list "$dir"/floor
    else
        measure bash -c "$(declare -f floorParallel); floor=$floor"'
            floorParallel "${@:2}" && sync -f "$1"' _ "$dir"/floor "${lists[@]}"
    fi
    dropPlace "$dir"/floor
}

# Times the converter and the floor on a set of sources ($1: a file or a
# folder), each run on fresh places, with the converter's extra arguments
# after the label. From the second run on, every other run times the floor
# first, so that neither always inherits what the other left in the
# machine. Sets convWall convCpu convRss floorWall (medians; the RSS is the
# largest seen).
timePair() {
    local set=$1 label=$2
    shift 2
    local walls=() cpus=() rsses=() fWalls=() run dir wall cpu rss
    local sizes=$work/$label.sizes
    for ((run = 0; run < runs; run++)); do
        dir=$work/$label-$run
        mkdir -p "$dir"
        if ((run % 2 == 1)); then
            read -r wall cpu rss <<<"$(runFloor "$dir" "$set" "$sizes" 1)"
            fWalls+=("$wall")
        fi
        read -r wall cpu rss <<<"$(runConverter "$dir" "$set" "$sizes" "$@")"
        walls+=("$wall") cpus+=("$cpu") rsses+=("$rss")
        if ((run % 2 == 0)); then
            read -r wall cpu rss <<<"$(runFloor "$dir" "$set" "$sizes" 1)"
            fWalls+=("$wall")
        fi
        # A few large outputs left in the cache would crowd out the next runs'
        # writes; removing them is cheap, unlike removing many small files.
        if [[ ! -d $set ]] && ! $loopPlaces; then
            rm -rf "$dir"
            sync
        fi
    done
    convWall=$(median "${walls[@]}")
    convCpu=$(median "${cpus[@]}")
    convRss=$(largest "${rsses[@]}")
    floorWall=$(median "${fWalls[@]}")
}

# The small sources: in every run the converter with -j1 and with -jN, and
# the floor on one list and on N, back to back (in reverse order every other
# run), so that a run's ratios compare times taken within a minute of each
# other. This machine's speed drifts over minutes; besides the ratios of
# the medians, the medians of each run's own ratios are reported. Sets
# smallWall smallCpu smallFloor smallFloorCpu parallelWall parallelFloor
# smallRunRatio shareRunMedian.
timeSmall() {
    local sizes=$work/small.sizes run dir step wall cpu rss steps
    local -A times cpuTimes
    for ((run = 0; run < runs; run++)); do
        dir=$work/small-$run
        mkdir -p "$dir"/one "$dir"/many
        steps=(c1 f1)
        ((${#jobs[@]})) && steps+=(cN fN)
        if ((run % 2 == 1)); then
            mapfile -t steps < <(printf '%s\n' "${steps[@]}" | tac)
        fi
        for step in "${steps[@]}"; do
            case $step in
            c1) read -r wall cpu rss <<<"$(runConverter "$dir"/one "$data"/small "$sizes" "${jobs[@]}")" ;;
            f1) read -r wall cpu rss <<<"$(runFloor "$dir"/one "$data"/small "$sizes" 1)" ;;
            cN) read -r wall cpu rss <<<"$(runConverter "$dir"/many "$data"/small "$sizes" "-j$cores")" ;;
            fN) read -r wall cpu rss <<<"$(runFloor "$dir"/many "$data"/small "$sizes" "$cores")" ;;
            esac
            times[$step]+=" $wall" cpuTimes[$step]+=" $cpu"
        done
    done
    # shellcheck disable=SC2046,SC2086 # the lists are numbers
    {
        smallWall=$(median ${times[c1]}) smallCpu=$(median ${cpuTimes[c1]})
        smallFloor=$(median ${times[f1]}) smallFloorCpu=$(median ${cpuTimes[f1]})
        smallRunRatio=$(median $(paste -d' ' <(printf '%s\n' ${times[c1]}) \
            <(printf '%s\n' ${times[f1]}) | awk '{ printf "%.2f\n", $1 / $2 }'))
        if ((${#jobs[@]})); then
            parallelWall=$(median ${times[cN]}) parallelFloor=$(median ${times[fN]})
            shareRunMedian=$(median $(paste -d' ' <(printf '%s\n' ${times[c1]}) \
                <(printf '%s\n' ${times[cN]}) <(printf '%s\n' ${times[f1]}) \
                <(printf '%s\n' ${times[fN]}) | awk '{ c = $1 / $2; f = $3 / $4
                    if (f > 1) printf "%.2f\n", (c - 1) / (f - 1); else print "nan" }'))
        fi
    }
}

# One source of each size, each against the floor with its sync. Sets
# sweepWall sweepFloor sweepRatio.
declare -A sweepWall sweepFloor sweepRatio
timeSweep() {
    local runs=$sweepRuns size
    for size in "${sweepSizes[@]}"; do
        timePair "$data/text-$size.ORV" "sweep-$size"
        sweepWall[$size]=$convWall sweepFloor[$size]=$floorWall
        sweepRatio[$size]=$(ratio "$convWall" "$floorWall")
    done
}

# One process per small document: the first $perProcessCount small sources,
# the converter started once for each, and the floor once for each with a
# list of one line. What this times is mostly starting a process, so the
# converter runs with --no-sync and the floor without its sync. Alternated
# as timePair does; sets perProcessWall perProcessFloor perProcessRunRatio.
timePerProcess() {
    local dir run wall cpu rss walls=() fWalls=() ratios=() steps step
    local set=$work/per-process-set
    mkdir -p "$set"
    local sources=("$data"/small/*.ORV)
    cp -- "${sources[@]:0:perProcessCount}" "$set"/
    for ((run = 0; run < runs; run++)); do
        dir=$work/per-process-$run
        mkdir -p "$dir"
        steps=(c f)
        if ((run % 2 == 1)); then
            steps=(f c)
        fi
        for step in "${steps[@]}"; do
            if [[ $step == c ]]; then
                freshPlace "$dir"/conv "$set"
                read -r wall cpu rss <<<"$(measure bash -c 'converter=$1; shift
                    for source; do "$converter" --all --no-sync "$source" || exit; done' \
                    _ "$build"/cli/orvconv "$dir"/conv/*.ORV)"
                walls+=("$wall")
                [[ -f $work/per-process.sizes ]] ||
                    floorList "$dir"/conv @TARGET@ >"$work"/per-process.sizes
                dropPlace "$dir"/conv
            else
                [[ -f $work/per-process.sizes ]] || continue
                freshPlace "$dir"/floor "$set"
                mkdir -p "$dir"/lists
                awk -v to="$dir/floor" -v lists="$dir/lists" '{ i = index($0, "@TARGET@")
                    print substr($0, 1, i - 1) to substr($0, i + 8) > (lists "/" NR) }' \
                    "$work"/per-process.sizes
                read -r wall cpu rss <<<"$(measure bash -c 'floor=$1; shift
                    for list; do "$floor" "$list" || exit; done' _ "$floor" "$dir"/lists/*)"
                fWalls+=("$wall")
                dropPlace "$dir"/floor
            fi
        done
        if ((${#walls[@]} == ${#fWalls[@]})); then
            ratios+=("$(ratio "${walls[-1]}" "${fWalls[-1]}")")
        fi
    done
    perProcessWall=$(median "${walls[@]}")
    perProcessFloor=$(median "${fWalls[@]}")
    perProcessRunRatio=$(median "${ratios[@]}")
}

# Warm cache: every source read once before anything is timed.
cat "$data"/*.ORV "$data"/small/*.ORV >/dev/null

row() { printf '%-44s %11s %11s %7s %7s %s\n' "$@"; }
report() {
    row "$1" "$2" "$3" "$4" "$5" "$(verdict "$4" "$5")"
}

# The large source with each SIMD target forced in turn, best first; sets
# targetWall targetCpu targetFloor targetRatio.
declare -A targetWall targetCpu targetFloor targetRatio
mapfile -t kernelTargets < <("$build"/bench/kernel_speed --targets)
timeTargets() {
    local target
    for target in "${kernelTargets[@]}"; do
        export ORV_SIMD_TARGET=$target
        timePair "$data/text-96M.ORV" "text-96M-$target"
        unset ORV_SIMD_TARGET
        targetWall[$target]=$convWall targetCpu[$target]=$convCpu targetFloor[$target]=$floorWall
        targetRatio[$target]=$(ratio "$convWall" "$floorWall")
    done
}
reportTargets() {
    local target
    echo
    echo "${converter[*]} on text-like 96M with each kernel target forced; medians of $runs runs"
    row "kernel target, wall time" converter floor ratio target ""
    for target in "${kernelTargets[@]}"; do
        report "$target (cpu ${targetCpu[$target]}s)" "${targetWall[$target]}s" \
            "${targetFloor[$target]}s" "${targetRatio[$target]}" \
            "$([[ $target == baseline ]] && echo 1.50 || echo 1.25)"
    done
}
if [[ ${1:-} == --targets ]]; then
    timeTargets
    reportTargets
    exit 0
fi

# The large source with the fourth output too; sets unicodeWall unicodeCpu
# unicodeRss unicodeFloor.
timeUnicode() {
    timePair "$data/text-96M.ORV" text-96M-unicode -U
    unicodeWall=$convWall unicodeCpu=$convCpu unicodeRss=$convRss unicodeFloor=$floorWall
}
reportUnicode() {
    report "text-like 96M -U, wall time (floor: 4 outputs)" "${unicodeWall}s" "${unicodeFloor}s" \
        "$(ratio "$unicodeWall" "$unicodeFloor")" 1.25
    row "text-like 96M -U, cpu time (user+sys)" "${unicodeCpu}s" "" "" "" ""
    report "text-like 96M -U, peak RSS (MiB)" "$(MiB "$unicodeRss")" "" \
        "$(awk -v k="$unicodeRss" 'BEGIN { printf "%.1f", k / 1024 }')" 16
}
MiB() { awk -v k="$1" 'BEGIN { printf "%.1fM", k / 1024 }'; }
if [[ ${1:-} == --unicode ]]; then
    timeUnicode
    echo
    echo "${converter[*]} -U against bench/floor and one sync; medians of $runs runs, warm cache, $cores cores"
    row measure converter floor ratio target ""
    reportUnicode
    exit 0
fi

declare -A wall cpu rss fwall
for source in text-96M text-12M breaks-96M breaks-12M line-96M; do
    timePair "$data/$source.ORV" "$source"
    wall[$source]=$convWall cpu[$source]=$convCpu rss[$source]=$convRss fwall[$source]=$floorWall
done
timeUnicode
timeSmall
timeSweep
timePerProcess
timeTargets

perFile() { awk -v s="$1" -v n="$smallCount" 'BEGIN { printf "%.0fus", s / n * 1e6 }'; }

echo
echo "${converter[*]} against bench/floor and one sync; medians of $runs runs, warm cache, $cores cores"
row measure converter floor ratio target ""
report "text-like 96M, wall time" "${wall[text-96M]}s" "${fwall[text-96M]}s" \
    "$(ratio "${wall[text-96M]}" "${fwall[text-96M]}")" 1.25
row "text-like 96M, cpu time (user+sys)" "${cpu[text-96M]}s" "" "" "" ""
for source in text-96M breaks-96M line-96M; do
    report "$source, peak RSS (MiB)" "$(MiB "${rss[$source]}")" "" \
        "$(awk -v k="${rss[$source]}" 'BEGIN { printf "%.1f", k / 1024 }')" 16
done
reportUnicode
report "$smallCount small sources${jobs[*]:+ ${jobs[*]}}, wall per file" "$(perFile "$smallWall")" \
    "$(perFile "$smallFloor")" "$(ratio "$smallWall" "$smallFloor")" 1.25
row "  median of the runs' own ratios" "" "" "$smallRunRatio" "" ""
row "$smallCount small sources, cpu per file" "$(perFile "$smallCpu")" \
    "$(perFile "$smallFloorCpu")" "" "" ""
# 8 times the size may cost 9 times the time, or as much more as the floor
# itself costs when write-back of large outputs makes it grow faster.
for shape in text breaks; do
    growth=$(ratio "${wall[$shape-96M]}" "${wall[$shape-12M]}")
    floorGrowth=$(ratio "${fwall[$shape-96M]}" "${fwall[$shape-12M]}")
    report "$shape 96M / 12M, wall time" "$growth" "$floorGrowth" "$growth" \
        "$(awk -v f="$floorGrowth" 'BEGIN { printf "%.2f", (f > 9 ? f : 9) }')"
done
row "break-only 96M, wall time" "${wall[breaks-96M]}s" "${fwall[breaks-96M]}s" \
    "$(ratio "${wall[breaks-96M]}" "${fwall[breaks-96M]}")" "" ""
row "one 96M line, wall time" "${wall[line-96M]}s" "${fwall[line-96M]}s" \
    "$(ratio "${wall[line-96M]}" "${fwall[line-96M]}")" "" ""
if ((${#jobs[@]})); then
    convGain=$(ratio "$smallWall" "$parallelWall")
    floorGain=$(ratio "$smallFloor" "$parallelFloor")
    # -j1 already names one group on a second thread while it writes the
    # next, so what -jN gains on top says little; what counts is how near
    # the floor split over as many processes a batch of N jobs comes.
    report "$smallCount small sources -j$cores, wall per file" "$(perFile "$parallelWall")" \
        "$(perFile "$parallelFloor")" "$(ratio "$parallelWall" "$parallelFloor")" 1.25
    row "  -j$cores gain over -j1 (floor: $cores processes)" "${convGain}x" "${floorGain}x" "" "" ""
    if awk -v f="$floorGain" 'BEGIN { exit !(f > 1) }'; then
        share=$(awk -v c="$convGain" -v f="$floorGain" 'BEGIN { printf "%.2f", (c - 1) / (f - 1) }')
        row "  share of the floor's gain" "" "" "$share" "" ""
        row "  median of the runs' own shares" "" "" "$shareRunMedian" "" ""
    fi
else
    row "-jN against the floor on N processes" "" "" "" "" "skipped: orvconv has no --jobs"
fi

echo
echo "${converter[*]} on one source of each size against bench/floor and one sync; medians of $sweepRuns runs"
row "source size, wall time" converter floor ratio target ""
for size in "${sweepSizes[@]}"; do
    report "text-like $size" "${sweepWall[$size]}s" "${sweepFloor[$size]}s" "${sweepRatio[$size]}" 1.25
done
echo
echo "one process per document, --no-sync, against the floor once per document; medians of $runs runs"
row measure converter floor ratio target ""
report "$perProcessCount small sources, wall per process" "$(awk -v s="$perProcessWall" \
    -v n="$perProcessCount" 'BEGIN { printf "%.0fus", s / n * 1e6 }')" "$(awk \
    -v s="$perProcessFloor" -v n="$perProcessCount" 'BEGIN { printf "%.0fus", s / n * 1e6 }')" \
    "$(ratio "$perProcessWall" "$perProcessFloor")" 1.25
row "  median of the runs' own ratios" "" "" "$perProcessRunRatio" "" ""

reportTargets

if [[ ${1:-} == --micro ]]; then
    echo
    "$build"/bench/conversion_benchmarks
    echo
    "$build"/bench/kernel_speed
fi
