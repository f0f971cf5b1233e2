#!/usr/bin/env bash
# Builds Tolvane and exports the sample design: every drawn element of samples/Site.dgn and
# of its reference attachments becomes a folder of JSON records. The records go to drive C
# of the stand-in host, here the local folder out/drive_c (the shell names it at the end).
# The records then become one glTF binary, out/Site.glb, and the viewer's picture of it,
# out/Site.png (taken by headless Chromium, installed when missing).
set -euo pipefail
cd "$(dirname "$0")"
# Only what the sample needs: the shell, the add-in, the glTF tool and the viewer. The build's
# own lines go to out/build.log (shown when it fails); a package install is said beforehand.
mkdir -p out/drive_c
echo "run-sample: building the shell, the add-in, tolvane-gltf and the viewer (log: out/build.log)" >&2
TOLVANE_TARGETS="tolvane-host tolvane tolvane-gltf viewer" scripts/setup.sh build >out/build.log ||
  { tail -n 40 out/build.log >&2; echo "run-sample: the build failed; see out/build.log" >&2; exit 1; }
build/tolvane-host --drive-c out/drive_c samples/Site.dgn "tolvane export"
echo "records: $(pwd)/out/drive_c/Temp/Site" >&2

build/tolvane-gltf out/drive_c/Temp/Site out/Site.glb
echo "glTF: $(pwd)/out/Site.glb" >&2

if ! command -v chromium >/dev/null; then
  echo "run-sample: installing chromium for the viewer's screenshot" >&2
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends chromium >/dev/null
fi
# The page is read from the build folder and the model from out/, so file access between
# local files is allowed; the virtual time budget lets the page load and draw the model
# before the picture is taken. The profile is a fresh one, removed afterwards.
profile="$(mktemp -d)"
trap 'rm -rf "$profile"' EXIT
chromium --headless --no-sandbox --disable-gpu --use-angle=swiftshader --enable-unsafe-swiftshader \
  --disable-background-networking --disable-component-update --disable-sync --no-first-run \
  --user-data-dir="$profile" --allow-file-access-from-files --window-size=1280,800 \
  --virtual-time-budget=30000 --screenshot="$(pwd)/out/Site.png" \
  "file://$(pwd)/build/viewer/index.html?model=../../out/Site.glb" >out/chromium.log 2>&1 ||
  { echo "run-sample: the screenshot failed; see out/chromium.log" >&2; exit 1; }
echo "screenshot: $(pwd)/out/Site.png" >&2
echo "To look around in the viewer, serve this folder and open the page:" >&2
echo "  python3 -m http.server --bind 127.0.0.1 --directory '$(pwd)' 8000" >&2
echo "  http://127.0.0.1:8000/build/viewer/index.html?model=/out/Site.glb" >&2
