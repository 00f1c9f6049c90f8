#!/usr/bin/env bash
# tovrin submit on a real Slurm cluster: one node, this machine, started here and stopped at the end
# whatever happens. A 12-frame 8-bit sequence in chunks of 4 must come out byte-identical to a local
# render; after two outputs and one task's log are removed, submitting again renders just those two
# frames; a frame that cannot be read fails exactly its task.
#
#   slurm_cluster_test.sh TOOL PLUGIN WORKDIR CLUSTER_SCRIPT
#
# Exits 77 (skipped) where the Slurm daemons cannot start.
set -euo pipefail
tool=$1 plugin=$2 work=$3 cluster_script=$4
cluster=$work/cluster
wait_seconds=240

stop_cluster() { bash "$cluster_script" stop "$cluster" >/dev/null 2>&1 || true; }
trap stop_cluster EXIT
trap 'exit 130' INT TERM

stop_cluster # what a killed earlier run may have left
rm -rf "$work"
mkdir -p "$work"/{in,bad-in,farm,bad,local,state}
if ! bash "$cluster_script" start "$cluster" >"$work/start.log" 2>&1; then
    echo "SKIPPED: the Slurm daemons cannot start here:"
    cat "$work/start.log"
    exit 77
fi
export SLURM_CONF=$cluster/slurm.conf XDG_STATE_HOME=$work/state TOVRIN_PLUGIN=$plugin

fail() {
    echo "FAIL: $*" >&2
    local f
    for f in "$work"/farm/*.log "$work"/bad/*.log "$cluster"/log/slurm*.log; do
        [[ -f $f ]] && { echo "--- $f" && tail -n 12 "$f"; } >&2
    done
    exit 1
}

# Waits until the job has left the queue, then prints "TASK STATE EXITCODE" per array task.
wait_job() {
    local id=$1 i
    for ((i = 0; i < wait_seconds * 2; i++)); do
        [[ -z $(squeue --noheader --jobs="$id" --format=%i 2>/dev/null) ]] && break
        sleep 0.5
    done
    [[ -z $(squeue --noheader --jobs="$id" --format=%i) ]] || fail "job $id still queued after ${wait_seconds}s"
    scontrol --oneliner show job "$id" |
        sed -E 's/.*ArrayTaskId=([0-9]+).* JobState=([A-Z_]+).* ExitCode=([0-9]+):.*/\1 \2 \3/' | sort -n
}

frame() { printf '%s/%s.%04d.png' "$1" "$2" "$3"; }

# Twelve 8-bit frames with hard edges and partial alpha, each its own.
for f in $(seq 1 12); do
    oiiotool --pattern "checker:width=$((2 + f)):height=3:color1=0.9,0.3,0.1,1:color2=0.1,0.2,0.8,0.5" \
        48x32 4 -d uint8 -o "$(frame "$work/in" frame "$f")"
done
settings=(-s "Blur Amount=3" -s "Blur Repeat Num=2")
submit() { # INPUT_FOLDER OUTPUT_FOLDER
    "$tool" submit "$1/frame.####.png" -o "$2/shot.####.png" --frames 1-12 --chunk 4 --cpus-per-task 1 \
        "${settings[@]}" -q
}

# The files record the command line that made them, so the farm's and the local frames differ there alone.
same_pixels() { idiff -q -a -fail 0 -warn 0 "$1" "$2" >/dev/null; }

# The whole sequence, and the same frames rendered here.
id=$(submit "$work/in" "$work/farm") || fail "tovrin submit failed"
[[ $id =~ ^[0-9]+$ ]] || fail "tovrin submit printed \"$id\", not a job id"
"$tool" render "$work/in/frame.####.png" -o "$work/local/shot.####.png" --frames 1-12 "${settings[@]}" -q ||
    fail "the local render failed"
states=$(wait_job "$id")
[[ $states == $'0 COMPLETED 0\n1 COMPLETED 0\n2 COMPLETED 0' ]] || fail "job $id ended as: $states"
for f in $(seq 1 12); do
    same_pixels "$(frame "$work/farm" shot "$f")" "$(frame "$work/local" shot "$f")" || fail "frame $f differs"
done
grep -qx "FRAME 6 done $(frame "$work/farm" shot 6)" "$work/farm/shot.${id}_1.log" ||
    fail "task 1's log lacks frame 6"
status=$("$tool" submit --status "$id") || fail "tovrin submit --status failed"
grep -qx "done: 12 frames" <<<"$status" || fail "status: $status"

# Two outputs and one task's log go; submitting again renders those two frames and nothing else.
declare -A before
for f in $(seq 1 12); do before[$f]=$(stat -c '%i %y' "$(frame "$work/farm" shot "$f")"); done
rm "$(frame "$work/farm" shot 2)" "$(frame "$work/farm" shot 7)" "$work/farm/shot.${id}_0.log"
status=$("$tool" submit --status "$id") || fail "tovrin submit --status failed"
grep -qx "pending: 2 frames (2,7)" <<<"$status" || fail "status after removing frames 2 and 7: $status"

# Meanwhile, a sequence whose frame 6 is not an image.
cp "$work"/in/*.png "$work/bad-in/"
echo "not an image" >"$(frame "$work/bad-in" frame 6)"
again=$(submit "$work/in" "$work/farm") || fail "submitting again failed"
bad=$(submit "$work/bad-in" "$work/bad") || fail "submitting the bad sequence failed"

states=$(wait_job "$again")
[[ $states == $'0 COMPLETED 0\n1 COMPLETED 0\n2 COMPLETED 0' ]] || fail "job $again ended as: $states"
rendered=$(cat "$work/farm/shot.${again}"_*.log | grep -E '^FRAME [0-9]+ done' | cut -d' ' -f2 | sort -n | xargs)
[[ $rendered == "2 7" ]] || fail "submitting again rendered frames \"$rendered\", not 2 and 7"
for f in $(seq 1 12); do
    same_pixels "$(frame "$work/farm" shot "$f")" "$(frame "$work/local" shot "$f")" || fail "frame $f differs"
    [[ $f == 2 || $f == 7 ]] && continue
    [[ $(stat -c '%i %y' "$(frame "$work/farm" shot "$f")") == "${before[$f]}" ]] ||
        fail "frame $f was written again"
done

states=$(wait_job "$bad")
[[ $states == $'0 COMPLETED 0\n1 FAILED 3\n2 COMPLETED 0' ]] || fail "job $bad ended as: $states"
status=$("$tool" submit --status "$bad") || fail "tovrin submit --status failed"
grep -qx "failed: 1 frame (6)" <<<"$status" || fail "status of the bad sequence: $status"
grep -qx "task 1, frames 5-8: failed (exit 3)" <<<"$status" || fail "status of the bad sequence: $status"
for f in 1 2 3 4 5 7 8 9 10 11 12; do
    [[ -f $(frame "$work/bad" shot "$f") ]] || fail "frame $f of the bad sequence is missing"
done

echo "PASS: jobs $id, $again and $bad"
