#!/usr/bin/env bash
# Builds Tolvane and exports the sample design: every drawn element of samples/Site.dgn and
# of its reference attachments becomes a folder of JSON records. The records go to drive C
# of the stand-in host, here the local folder out/drive_c (the shell names it at the end).
set -euo pipefail
cd "$(dirname "$0")"
scripts/setup.sh build
mkdir -p out/drive_c
build/tolvane-host --drive-c out/drive_c samples/Site.dgn "tolvane export"
echo "records: $(pwd)/out/drive_c/Temp/Site" >&2
