#!/usr/bin/env bash
# Tests tolvane-batch against the real engines: a single-node Slurm (munged, slurmctld and
# slurmd started here, stopped by their PIDs at the end), GNU parallel, and the tool's own
# local workers. Each runs one batch of 21 designs: the sample in three folders, 17 generated
# designs of one name in folders of their own, and one design that fails to load. Checks, for
# each engine: every good design's tree is byte-identical to a direct tolvane-host export and
# its digest is sha256sum's; the failed design is reported and summary exits non-zero; after
# the design is mended, a rerun exports it alone (every other record unchanged).
# Usage: scripts/batch-test.sh [BUILD_DIR]   (default build; built here when the tools are
# missing). Installs slurmctld, slurmd, slurm-client, munge and parallel when missing. Runs as
# root, without systemd.
set -euo pipefail
cd "$(dirname "$0")/.."
started=$SECONDS
build="$(realpath -m "${1:-build}")"
if [[ ! -x "$build/tolvane-batch" || ! -x "$build/tolvane-host" || ! -x "$build/tolvane-gendesign" ]]; then
  TOLVANE_TARGETS="tolvane-batch tolvane-host tolvane tolvane-gendesign" scripts/setup.sh "$build"
fi
batch="$build/tolvane-batch"
host="$build/tolvane-host"

packages=(slurmctld slurmd slurm-client munge parallel)
missing=()
for package in "${packages[@]}"; do
  dpkg -s "$package" >/dev/null 2>&1 || missing+=("$package")
done
if ((${#missing[@]})); then
  echo "batch-test: installing ${missing[*]}" >&2
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

# In memory where it can be: some 60,000 files are made and removed, and a disk that other
# work shares can take minutes for that alone.
scratch=/dev/shm
[[ -d "$scratch" && -w "$scratch" ]] || scratch="${TMPDIR:-/tmp}"
work="$(mktemp -d "$scratch/tolvane-batch-test.XXXXXX")"
daemons=()  # the PIDs of the daemons started here, stopped at the end
finish() {
  local status=$?
  for pid in "${daemons[@]}"; do kill "$pid" 2>/dev/null || true; done
  for pid in "${daemons[@]}"; do
    for _ in $(seq 50); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
  done
  if ((status == 0)); then
    rm -rf "$work"
    echo "batch-test: passed in $((SECONDS - started)) s" >&2
  else
    echo "batch-test: FAILED; files kept in $work" >&2
  fi
}
trap finish EXIT
fail() { echo "batch-test: $*" >&2; exit 1; }

# --- The designs: 21 lines, the 20th the one that fails to load.
designs="$work/designs"
list="$work/list.txt"
: >"$list"
for n in 1 2 3; do
  mkdir -p "$designs/sample-$n"
  cp samples/Site.dgn samples/Walls.dgn "$designs/sample-$n/"
  echo "$designs/sample-$n/Site.dgn" >>"$list"
done
for n in $(seq 1 16); do
  mkdir -p "$designs/generated-$n"
  "$build/tolvane-gendesign" "$designs/generated-$n/Plan.dgn" $((20 + n * 37 % 300)) --seed "$n"
  echo "$designs/generated-$n/Plan.dgn" >>"$list"
done
mkdir -p "$designs/broken" "$designs/large"
echo '{ "models": [ { "name": "Default" } ' >"$designs/broken/Broken.dgn"
echo "$designs/broken/Broken.dgn" >>"$list"
"$build/tolvane-gendesign" "$designs/large/Plan.dgn" 3000 --seed 99
echo "$designs/large/Plan.dgn" >>"$list"
broken_index=20
count=$(wc -l <"$list")
break_design() { echo '{ "models": [ { "name": "Default" } ' >"$designs/broken/Broken.dgn"; }
mend_design() { cp samples/Walls.dgn "$designs/broken/Broken.dgn"; }

# What the tree of design N holds when exported directly: the reference.
direct_export() {  # INDEX DESIGN
  "$host" --drive-c "$work/direct/$1" "$2" "tolvane export" >/dev/null 2>&1 ||
    fail "the direct export of $2 failed"
}
for n in $(seq 1 "$count"); do
  ((n == broken_index)) || direct_export "$n" "$(sed -n "${n}p" "$list")"
done
echo "batch-test: $count designs made and exported directly in $((SECONDS - started)) s" >&2

design_folder() { printf '%s/designs/%06d' "$1" "$2"; }
digest_of() { (cd "$1" && find . -type f | LC_ALL=C sort | sed 's|^\./||' | xargs -d '\n' sha256sum | sha256sum | cut -c1-64); }

# Every good design's tree is the direct export's, byte for byte, and its record's digest is
# sha256sum's.
check_trees() {  # ROOT
  for n in $(seq 1 "$count"); do
    ((n == broken_index)) && continue
    local design stem folder
    design="$(sed -n "${n}p" "$list")"
    stem="$(basename "$design" .dgn)"
    folder="$(design_folder "$1" "$n")"
    diff -r "$work/direct/$n/Temp/$stem" "$folder/drive_c/Temp/$stem" >/dev/null ||
      fail "$1: design $n differs from its direct export"
    grep -q "\"digest\" : \"sha256:$(digest_of "$folder/drive_c/Temp/$stem")\"" "$folder/done.json" ||
      fail "$1: design $n's digest is not sha256sum's"
  done
}

records_of_others() {  # ROOT: the checksums of every completion record but the broken one's
  for n in $(seq 1 "$count"); do
    ((n == broken_index)) || sha256sum "$(design_folder "$1" "$n")/done.json"
  done
}

# One engine's round: the batch with the broken design, then again after mending it.
check_engine() {  # NAME ROOT COMMAND...
  local name="$1" root="$2"
  shift 2
  break_design
  local round_start=$SECONDS
  "$@" >"$work/$name-1.log" 2>&1 || true
  "$batch" summary --out "$root" >"$work/$name-summary.txt" && fail "$name: summary says all done"
  grep -q "^$count designs: $((count - 1)) done, 1 failed, 0 missing" "$work/$name-summary.txt" ||
    fail "$name: unexpected summary: $(cat "$work/$name-summary.txt")"
  grep -q "^failed $broken_index .*Broken.dgn: " "$work/$name-summary.txt" ||
    fail "$name: the broken design is not reported"
  check_trees "$root"
  local first=$((SECONDS - round_start))

  records_of_others "$root" >"$work/$name-records.txt"
  mend_design
  round_start=$SECONDS
  "$@" >"$work/$name-2.log" 2>&1 || true
  "$batch" summary --out "$root" >"$work/$name-summary.txt" ||
    fail "$name: not all done after the rerun: $(cat "$work/$name-summary.txt")"
  records_of_others "$root" | cmp -s - "$work/$name-records.txt" ||
    fail "$name: the rerun exported more than the mended design"
  rm -rf "$work/direct/$broken_index"
  direct_export "$broken_index" "$designs/broken/Broken.dgn"
  diff -r "$work/direct/$broken_index/Temp/Broken" \
    "$(design_folder "$root" "$broken_index")/drive_c/Temp/Broken" >/dev/null ||
    fail "$name: the mended design differs from its direct export"
  echo "batch-test: $name: $count designs in ${first} s, the mended one alone in $((SECONDS - round_start)) s: ok" >&2
}

# --- The tool's own workers, and GNU parallel on this machine (":" is the local host; on a
# --- cluster, -S names ssh hosts that share the output root).
check_engine run "$work/run" "$batch" run "$list" --out "$work/run" --jobs 2
parallel_batch() {
  "$batch" plan "$list" --out "$work/parallel" |
    parallel -S 2/: "$batch" run-one --out "$work/parallel" --index {}
  "$batch" summary --out "$work/parallel"
}
check_engine parallel "$work/parallel" parallel_batch

# --- A single-node Slurm. The settings that matter (see docs/batch.md): process tracking by
# --- /proc and no task plugin (the cgroup ones fail silently on kernels like CI's), consumable
# --- CPUs (else tasks run one at a time), no batch scheduling delay.
slurm="$work/slurm-node"
mkdir -p "$slurm/state" "$slurm/spool"
cat >"$slurm/slurm.conf" <<CONF
ClusterName=tolvane
SlurmctldHost=localhost
SlurmUser=root
SlurmdUser=root
AuthType=auth/munge
StateSaveLocation=$slurm/state
SlurmdSpoolDir=$slurm/spool
SlurmctldPidFile=$slurm/slurmctld.pid
SlurmdPidFile=$slurm/slurmd.pid
SlurmctldLogFile=$slurm/slurmctld.log
SlurmdLogFile=$slurm/slurmd.log
ProctrackType=proctrack/linuxproc
TaskPlugin=task/none
SelectType=select/cons_tres
SelectTypeParameters=CR_CPU
SchedulerParameters=batch_sched_delay=0
JobAcctGatherType=jobacct_gather/none
AccountingStorageType=accounting_storage/none
MpiDefault=none
ReturnToService=2
NodeName=localhost CPUs=$(nproc) State=UNKNOWN
PartitionName=batch Nodes=localhost Default=YES MaxTime=INFINITE State=UP
CONF
export SLURM_CONF="$slurm/slurm.conf"

if ! munge -n </dev/null 2>/dev/null | unmunge >/dev/null 2>&1; then
  install -d -o munge -g munge -m 0755 /run/munge
  [[ -s /etc/munge/munge.key ]] || mungekey --create --keyfile=/etc/munge/munge.key
  chown munge:munge /etc/munge/munge.key
  runuser -u munge -- /usr/sbin/munged
  for _ in $(seq 50); do [[ -s /run/munge/munged.pid ]] && break; sleep 0.1; done
  daemons+=("$(cat /run/munge/munged.pid)")
fi
slurmctld -D -c >"$slurm/slurmctld.out" 2>&1 &
daemons+=("$!")
slurmd -D -N localhost >"$slurm/slurmd.out" 2>&1 &
daemons+=("$!")
for _ in $(seq 150); do
  [[ "$(sinfo -h -N -o %T 2>/dev/null)" == idle ]] && break
  sleep 0.2
done
[[ "$(sinfo -h -N -o %T 2>/dev/null)" == idle ]] ||
  fail "the Slurm node did not come up: $(tail -n 5 "$slurm/slurmctld.log" "$slurm/slurmd.log" 2>&1)"
check_engine slurm "$work/slurm" "$batch" slurm "$list" --out "$work/slurm" --jobs 8

echo "batch-test: all checks passed in $((SECONDS - started)) s; stopping the daemons" >&2
