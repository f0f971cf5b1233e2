#!/usr/bin/env bash
# The scale row: generates a design of COUNT elements, then loads it, exports it, and imports
# the export's records into an empty design (once as it is, once saved), each step as its own
# process measured by GNU time. Prints a table of wall, user and system time and peak resident
# memory per step, and the size of the export's tree.
#
# Usage: scripts/scale-row.sh [--keep] [--no-save] [COUNT] [FOLDER]
#   --no-save  leaves out the import with a save (step 5), which needs the most memory and
#              room; on tmpfs, where the files are memory too, that lets 1,000,000 fit
#   COUNT   elements of the design (default 1000000)
#   FOLDER  where the design, drive C and the imported design go (default: a new folder under
#           $TMPDIR, else /var/tmp). It must be missing or empty; it is removed at the end
#           unless --keep is given.
#
# The space is checked before anything is written: 1,000,000 elements make about 850,000
# folders and 2.5 million files (4.2 GB of text), about 18 GB on a file system of 4 KiB blocks
# with the designs, and 3.4 million inodes; on tmpfs all of it is memory as well. Exit status: 0 the row ran;
# 1 wrong arguments or not enough room (nothing written); 2 a step failed (its output shown).
set -euo pipefail
caller="$PWD"
cd "$(dirname "$0")/.."

# Room per element, measured on generated designs (20,000 and 100,000 elements) with a margin:
# the tree's blocks and the two designs, the inodes of the tree, and the peak resident memory
# of the largest step (import and save).
# Without the save: the tree and the design only, and the import's peak.
bytes_per_element=22528
readonly inodes_per_element=4
memory_per_element=10240

usage() {
  echo "usage: scripts/scale-row.sh [--keep] [--no-save] [COUNT] [FOLDER]" >&2
  exit 1
}

keep=0
save=1
while [[ "${1:-}" == --* ]]; do
  case "$1" in
    --keep) keep=1 ;;
    --no-save)
      save=0
      bytes_per_element=14336
      memory_per_element=6144
      ;;
    *) usage ;;
  esac
  shift
done
(($# <= 2)) || usage
count="${1:-1000000}"
if [[ ! "$count" =~ ^[1-9][0-9]{0,8}$ ]]; then
  echo "scale-row: COUNT must be a whole number from 1 to 999999999, not \"$count\"" >&2
  usage
fi

# A relative FOLDER is taken from the caller's working folder.
given="${2:-}"
if [[ -n "$given" && "$given" != /* ]]; then given="$caller/$given"; fi

# --- Room: refuse before writing anything when the folder's file system can't hold the row.
base="${given:-${TMPDIR:-/var/tmp}}"
probe="$base"
while [[ ! -d "$probe" ]]; do probe="$(dirname "$probe")"; done
read -r avail_kib free_inodes fs_type < <(df --output=avail,iavail,fstype "$probe" | tail -1)
need_kib=$((count * bytes_per_element / 1024))
need_inodes=$((count * inodes_per_element))
need_memory_kib=$((count * memory_per_element / 1024))
memory_note="the steps' peak"
if [[ "$fs_type" == tmpfs ]]; then
  need_memory_kib=$((need_memory_kib + need_kib))
  memory_note="the steps' peak and the files on tmpfs"
fi
avail_memory_kib="$(awk '/^MemAvailable:/ { print $2 }' /proc/meminfo)"
refuse() {
  echo "scale-row: $count elements don't fit in $probe ($fs_type): $*" >&2
  exit 1
}
elsewhere="; give a FOLDER on a file system with more room"
((avail_kib >= need_kib)) ||
  refuse "about $((need_kib / 1048576 + 1)) GiB needed, $((avail_kib / 1048576)) GiB free$elsewhere"
# Some file systems report no inode count (0 of 0); only a real count is checked.
if [[ "$free_inodes" =~ ^[0-9]+$ ]] && ((free_inodes > 0)); then
  ((free_inodes >= need_inodes)) || refuse "about $need_inodes inodes needed, $free_inodes free$elsewhere"
fi
((avail_memory_kib >= need_memory_kib)) ||
  refuse "about $((need_memory_kib / 1048576 + 1)) GiB of memory needed ($memory_note)," \
    "$((avail_memory_kib / 1048576)) GiB available"

# --- The folder: a new one, or one the caller made empty; removed at the end unless kept.
if [[ -n "$given" ]]; then
  folder="$given"
  if [[ -e "$folder" ]]; then
    [[ -d "$folder" && -z "$(ls -A "$folder")" ]] ||
      { echo "scale-row: $folder exists and is not an empty folder" >&2; exit 1; }
  fi
  mkdir -p "$folder"
else
  folder="$(mktemp -d "$base/tolvane-scale.XXXXXX")"
fi
folder="$(cd "$folder" && pwd)"
finish() {
  if ((keep)); then
    echo "scale-row: kept $folder" >&2
  else
    echo "scale-row: removing $folder" >&2
    rm -rf "$folder"
  fi
}
trap finish EXIT

# --- The build, through the set-up (which installs GNU time too) when there is none yet; a
# configured build gets only what the row runs brought up to date.
if [[ -f build/build.ninja ]]; then
  if ! dpkg -s time >/dev/null 2>&1; then
    echo "scale-row: installing time" >&2
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -qq
    apt-get install -y -qq --no-install-recommends time >/dev/null
  fi
  cmake --build build -j"$(nproc)" --target tolvane-host tolvane tolvane-gendesign >&2
else
  scripts/setup.sh build >&2
fi

name="scale-$count"
design="$folder/$name.dgn"
drive_c="$folder/drive_c"
tree="$drive_c/Temp/$name"
empty='{ "models": [ { "name": "Default", "uorPerMeter": 10000 } ] }'
echo "$empty" >"$folder/empty.dgn"
echo "$empty" >"$folder/imported.dgn"

step_names=()
step_figures=()
# Runs one step as its own process under GNU time; its output goes to a log, shown when the
# step fails. Records "wall user system peak-KiB".
measure() {
  local label="$1" log="$folder/step-${#step_names[@]}.log" times="$folder/time.txt"
  shift
  echo "scale-row: $label" >&2
  if ! /usr/bin/time -f '%e %U %S %M' -o "$times" "$@" >"$log" 2>&1; then
    echo "scale-row: $label failed:" >&2
    tail -n 20 "$log" >&2
    exit 2
  fi
  step_names+=("$label")
  step_figures+=("$(tail -n 1 "$times")")
}

measure "1 generate" build/tolvane-gendesign "$design" "$count"
measure "2 load" build/tolvane-host --drive-c "$drive_c" "$design" exit
measure "3 load + export" build/tolvane-host --drive-c "$drive_c" "$design" "tolvane export"
grep -qx "Output to C:\\\\Temp\\\\$name" "$folder/step-2.log" ||
  { echo "scale-row: the export didn't report its folder:" >&2; cat "$folder/step-2.log" >&2; exit 2; }
read -r folders files bytes < <(find "$tree" -mindepth 1 -printf '%y %s\n' |
  awk '$1 == "d" { d++ } $1 == "f" { f++; b += $2 } END { printf "%d %d %.0f\n", d, f, b }')
disk_kib="$(du -sk "$tree" | cut -f1)"
measure "4 import" build/tolvane-host --drive-c "$drive_c" "$folder/empty.dgn" \
  "tolvane import C:\\Temp\\$name"
if ((save)); then
  measure "5 import + save" build/tolvane-host --drive-c "$drive_c" --save "$folder/imported.dgn" \
    "tolvane import C:\\Temp\\$name"
  # Each element of a saved design is one line of its own.
  imported="$(grep -c '"type": "mesh"' "$folder/imported.dgn" || true)"
  ((imported == folders)) ||
    { echo "scale-row: the saved design holds $imported meshes, the export $folders" >&2; exit 2; }
fi

# --- The table, in the README's form.
mib() { awk -v k="$1" 'BEGIN { printf "%.0f", k / 1024 }'; }
echo
echo "Scale row: $count elements in $folder ($fs_type), $(nproc) cores, load average $(cut -d' ' -f1-3 /proc/loadavg)"
echo
echo "| step | wall | user | system | peak RSS |"
echo "|---|---|---|---|---|"
for i in "${!step_names[@]}"; do
  read -r wall user system peak <<<"${step_figures[$i]}"
  echo "| ${step_names[$i]} | $wall s | $user s | $system s | $(mib "$peak") MiB |"
done
read -r wall2 user2 system2 _ <<<"${step_figures[1]}"
read -r wall3 user3 system3 _ <<<"${step_figures[2]}"
read -r wall4 _ _ _ <<<"${step_figures[3]}"
awk -v w="$wall3" -v u="$user3" -v s="$system3" -v w0="$wall2" -v u0="$user2" -v s0="$system2" \
  'BEGIN { printf "\nExport alone (step 3 less step 2): %.2f s wall, %.2f s user, %.2f s system\n",
           w - w0, u - u0, s - s0 }'
if ((save)); then
  read -r wall5 _ _ _ <<<"${step_figures[4]}"
  awk -v a="$wall5" -v b="$wall4" \
    'BEGIN { printf "Saving the imported design (step 5 less step 4): %.2f s wall\n", a - b }'
fi
saved=""
if ((save)); then
  saved="; the saved design holds $imported meshes ($(($(stat -c %s "$folder/imported.dgn") / 1048576)) MiB)"
fi
echo "The export: $count elements in the design, $folders exported ($folders folders, $files files," \
  "$bytes bytes, $(mib "$disk_kib") MiB on disk)$saved."
