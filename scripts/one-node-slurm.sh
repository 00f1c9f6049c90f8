#!/usr/bin/env bash
# A Slurm cluster of one node (this machine, as "localhost") for trying `tovrin submit` and for its
# integration test. Everything it keeps lives in DIR: the munge key and socket, slurm.conf, the
# controller's state, the node's spool, pid files and logs. It needs no systemd and no cgroups, and runs
# as root on a plain Debian 12 machine (packages slurm-wlm and munge).
#
#   bash scripts/one-node-slurm.sh start DIR   # prints the line that points Slurm's commands at it
#   bash scripts/one-node-slurm.sh stop DIR    # cancels its jobs, stops its daemons
#
# start exits with 3 when a program is missing and 4 when a daemon does not come up (its log is shown);
# either way nothing is left running.
set -uo pipefail

usage() {
    echo "usage: $0 start|stop DIR" >&2
    exit 2
}
(($# == 2)) || usage
action=$1
dir=$(realpath -m "$2")
conf=$dir/slurm.conf
slurm() { SLURM_CONF=$conf "$@"; }

alive() { [[ -n ${1:-} ]] && kill -0 "$1" 2>/dev/null; }

pid_of() { [[ -s $1 ]] && cat "$1"; }

# The cluster's Slurm processes (their working folder is its log folder: slurmd and the controller
# start there, and job steps inherit it) and everything they started.
cluster_pids() {
    local p comm stat found=() more=1
    local -A parent
    for p in /proc/[0-9]*; do
        p=${p#/proc/}
        stat=$(cat "/proc/$p/stat" 2>/dev/null) || continue
        stat=${stat##*) } # after the command's name, which may hold spaces
        parent[$p]=${stat#* }
        parent[$p]=${parent[$p]%% *}
        comm=$(cat "/proc/$p/comm" 2>/dev/null) || continue
        case $comm in
        slurmctld | slurmscriptd | slurmd | slurmstepd)
            [[ $(readlink "/proc/$p/cwd" 2>/dev/null) == "$dir/log" ]] && found+=("$p")
            ;;
        esac
    done
    # Their descendants: job scripts and what they run.
    while ((more)); do
        more=0
        for p in "${!parent[@]}"; do
            [[ " ${found[*]} " != *" $p "* && " ${found[*]} " == *" ${parent[$p]} "* ]] || continue
            found+=("$p")
            more=1
        done
    done
    echo "${found[@]}"
}

wait_gone() { # PID SECONDS
    local i
    for ((i = 0; i < $2 * 10; i++)); do
        alive "$1" || return 0
        sleep 0.1
    done
    return 1
}

stop() {
    [[ -d $dir ]] || return 0
    if [[ -f $conf ]] && alive "$(pid_of "$dir/slurmctld.pid")"; then
        slurm scancel --full --quiet --user="$(id -un)" >/dev/null 2>&1
        local i
        for ((i = 0; i < 100; i++)); do
            [[ -z $(slurm squeue -h -o %i 2>/dev/null) ]] && break
            sleep 0.1
        done
        slurm scontrol shutdown >/dev/null 2>&1
    fi
    local f p
    for f in slurmd slurmctld; do
        p=$(pid_of "$dir/$f.pid")
        alive "$p" && { wait_gone "$p" 10 || kill -KILL "$p" 2>/dev/null; }
    done
    for p in $(cluster_pids); do
        kill -KILL "$p" 2>/dev/null
    done
    p=$(pid_of "$dir/munge/munged.pid")
    if alive "$p"; then
        kill -TERM "$p" 2>/dev/null
        wait_gone "$p" 5 || kill -KILL "$p" 2>/dev/null
    fi
    rm -f "$dir"/*.pid "$dir/munge/munged.pid"
    if [[ -s $dir/munge/socket-folder ]]; then
        rm -rf "$(cat "$dir/munge/socket-folder")"
        rm -f "$dir/munge/socket-folder"
    fi
    return 0
}

# A TCP port on the loopback interface that nothing listens on.
free_port() {
    local port
    for ((port = $1; port < $1 + 200; port++)); do
        (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null || {
            echo "$port"
            return 0
        }
    done
    return 1
}

fail_start() { # EXIT MESSAGE [LOG]
    echo "one-node-slurm: $2" >&2
    [[ -n ${3:-} && -f $3 ]] && tail -n 20 "$3" >&2
    stop
    exit "$1"
}

start() {
    local tool
    for tool in munged mungekey slurmctld slurmd sbatch squeue scontrol sinfo scancel; do
        command -v "$tool" >/dev/null ||
            fail_start 3 "$tool is missing: apt-get install slurm-wlm munge"
    done
    stop
    rm -rf "$dir"
    mkdir -p "$dir"/{munge,state,spool,log} || fail_start 3 "cannot make $dir"
    # munged insists on a socket folder that everyone can enter and a key only its owner reads.
    chmod 755 "$dir" "$dir/munge"
    mungekey --create --keyfile="$dir/munge/munge.key" || fail_start 4 "mungekey failed"
    chmod 600 "$dir/munge/munge.key"
    local socket=$dir/munge/munge.socket
    if ((${#socket} > 100)); then # a Unix socket's path holds 108 bytes at most
        socket=$(mktemp -d /tmp/tovrin-munge.XXXXXX)/munge.socket
        chmod 755 "$(dirname "$socket")"
        dirname "$socket" >"$dir/munge/socket-folder"
    fi
    # --force: munged refuses folders that others may not enter or may write to anywhere above DIR (a
    # home folder, a CI checkout); this cluster's clients are the same user on the same machine.
    munged --force --socket="$socket" --key-file="$dir/munge/munge.key" \
        --pid-file="$dir/munge/munged.pid" --log-file="$dir/log/munged.log" \
        --seed-file="$dir/munge/munged.seed" ||
        fail_start 4 "munged did not start" "$dir/log/munged.log"

    local ctldPort dPort
    { ctldPort=$(free_port 26817) && dPort=$(free_port $((ctldPort + 1))); } ||
        fail_start 4 "no free port for the daemons"
    # The node as slurmd sees this machine, so that it does not take the node out of service.
    local hardware
    hardware=$(slurmd -C 2>/dev/null | head -n 1 |
        grep -oE 'CPUs=[0-9]+ Boards=[0-9]+ SocketsPerBoard=[0-9]+ CoresPerSocket=[0-9]+ ThreadsPerCore=[0-9]+')
    [[ -n $hardware ]] || hardware="CPUs=$(nproc)"
    cat >"$conf" <<EOF
# One node, this machine; written by scripts/one-node-slurm.sh.
ClusterName=tovrin-one-node
SlurmctldHost=localhost(127.0.0.1)
SlurmUser=$(id -un)
SlurmdUser=$(id -un)
SlurmctldPort=$ctldPort
SlurmdPort=$dPort
AuthType=auth/munge
CredType=cred/munge
AuthInfo=socket=$socket
StateSaveLocation=$dir/state
SlurmdSpoolDir=$dir/spool
SlurmctldPidFile=$dir/slurmctld.pid
SlurmdPidFile=$dir/slurmd.pid
SlurmctldLogFile=$dir/log/slurmctld.log
SlurmdLogFile=$dir/log/slurmd.log
# No cgroups and no accounting: processes are tracked through /proc.
ProctrackType=proctrack/linuxproc
TaskPlugin=task/none
JobAcctGatherType=jobacct_gather/none
AccountingStorageType=accounting_storage/none
JobCompType=jobcomp/none
MpiDefault=none
MailProg=/bin/true
SelectType=select/cons_tres
SelectTypeParameters=CR_CPU
ReturnToService=2
SchedulerParameters=sched_interval=2
NodeName=localhost NodeAddr=127.0.0.1 $hardware State=UNKNOWN
PartitionName=local Nodes=localhost Default=YES MaxTime=INFINITE State=UP
EOF
    SLURM_CONF="$conf" slurmctld -i ||
        fail_start 4 "slurmctld did not start" "$dir/log/slurmctld.log"
    SLURM_CONF="$conf" slurmd -N localhost ||
        fail_start 4 "slurmd did not start" "$dir/log/slurmd.log"

    local i state=
    for ((i = 0; i < 300; i++)); do
        state=$(slurm sinfo -h -n localhost -o %t 2>/dev/null)
        [[ $state == idle ]] && break
        sleep 0.1
    done
    [[ $state == idle ]] ||
        fail_start 4 "the node did not become idle (state: ${state:-unknown})" "$dir/log/slurmd.log"
    echo "export SLURM_CONF=$conf"
}

case $action in
start) start ;;
stop) stop ;;
*) usage ;;
esac
