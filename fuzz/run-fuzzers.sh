#!/usr/bin/env bash
# Runs the libFuzzer targets of a fuzz build (cmake --preset linux-fuzz) for a bounded time each, two at a
# time, starting from the committed corpus and the generated seeds.
#
#   fuzz/run-fuzzers.sh [--seconds N | --runs N] [--build DIR] [TARGET...]
#
# TARGET is a name such as ini or image_read (default: every target). New inputs go to DIR/fuzz/work/TARGET,
# and an input that fails to DIR/fuzz/findings/TARGET/ (copy it into fuzz/corpus/TARGET/ as regression-* once
# the fault is fixed). Each run's last statistics line (executions, speed, memory) is printed; the exit
# code is 1 when any target found something.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

seconds=45
runs=
build=build/linux-fuzz
targets=()
while (($#)); do
    case $1 in
    --seconds) seconds=$2; shift 2 ;;
    --runs) runs=$2; shift 2 ;;
    --build) build=$2; shift 2 ;;
    -*) echo "run-fuzzers.sh: unknown option $1" >&2; exit 2 ;;
    *) targets+=("$1"); shift ;;
    esac
done
((${#targets[@]})) || targets=(ini frame_pattern preset stored_defaults frame_list sequence_data render image_read)

# The longest input worth trying, per target: settings files and presets of a kilobyte or a few, names and
# lists of a few hundred bytes, pictures of a few tens of kilobytes.
declare -A max_len=([ini]=1024 [stored_defaults]=1024 [frame_pattern]=300 [frame_list]=256 [preset]=8192 [sequence_data]=256 [render]=4096 [image_read]=65536)
# One allocation larger than this is a finding. OpenEXR sets aside a header attribute's declared size (up to
# 2 GB of address space, left untouched) before it finds the file too short; the image reader allows that.
declare -A malloc_limit=([image_read]=2049)

export LSAN_OPTIONS="suppressions=$root/scripts/lsan.supp"
export TOVRIN_PLUGIN="$root/$build/plugin/Tovrin.so"

run_one() {
    local name=$1
    local program="$build/fuzz/fuzz_$name"
    local work="$build/fuzz/work/$name" findings="$build/fuzz/findings/$name"
    local log="$build/fuzz/work/$name.log"
    [[ -x $program ]] || { echo "run-fuzzers.sh: no $program; build the linux-fuzz preset first" >&2; return 2; }
    mkdir -p "$work" "$findings"
    local args=(-timeout=20 -rss_limit_mb=2560 -malloc_limit_mb="${malloc_limit[$name]:-1024}"
        -max_len="${max_len[$name]:-4096}"
        -print_final_stats=1 -artifact_prefix="$findings/")
    if [[ -n $runs ]]; then args+=(-runs="$runs"); else args+=(-max_total_time="$seconds"); fi
    # The stored defaults are INI text too: that target shares the INI words.
    local words=$name
    [[ $name == stored_defaults ]] && words=ini
    [[ -f fuzz/dict/$words.dict ]] && args+=(-dict="fuzz/dict/$words.dict")
    local seeds=(fuzz/corpus/"$name")
    [[ -d $build/fuzz/seeds/$name ]] && seeds+=("$build/fuzz/seeds/$name")
    local status=0
    "$program" "${args[@]}" "$work" "${seeds[@]}" >"$log" 2>&1 || status=$?
    local stats
    stats=$(grep -E '^stat::(number_of_executed_units|average_exec_per_sec|peak_rss_mb)' "$log" |
        sed 's/^stat:://' | tr '\n' ' ')
    if ((status)); then
        echo "fuzz_$name: FAILED (exit $status): $stats; log $log, inputs in $findings"
        grep -E 'ERROR|fuzz check failed|SUMMARY|Test unit written' "$log" | head -5 | sed 's/^/  /'
        return 1
    fi
    echo "fuzz_$name: $stats"
}

failed=0
pids=()
for name in "${targets[@]}"; do
    run_one "$name" &
    pids+=($!)
    # Two at a time: the machines have two cores.
    if ((${#pids[@]} == 2)); then
        wait "${pids[0]}" || failed=1
        pids=("${pids[1]}")
    fi
done
for pid in "${pids[@]}"; do
    wait "$pid" || failed=1
done
exit $failed
