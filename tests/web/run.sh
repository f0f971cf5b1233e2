#!/usr/bin/env bash
# The web checks: the glTF validator on the glb of the sample's export and of a generated
# design's export, then the viewer in headless Chromium. Installs what it needs when missing
# (Debian's chromium and Node.js; the npm packages pinned in package-lock.json).
# Usage: tests/web/run.sh BUILD_DIR
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
source_dir="$(cd "$here/../.." && pwd)"
build_dir="$(cd "${1:?usage: tests/web/run.sh BUILD_DIR}" && pwd)"

missing=()
command -v chromium >/dev/null || missing+=(chromium)
command -v node >/dev/null || missing+=(nodejs)
command -v npm >/dev/null || missing+=(npm)
if ((${#missing[@]})); then
  echo "web tests: installing ${missing[*]}" >&2
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi
# playwright-core as pinned needs Node.js 20 or later.
if (($(node -p 'process.versions.node.split(".")[0]') < 20)); then
  echo "web tests: Node.js $(node --version) is too old; 20 or later is needed" >&2
  exit 1
fi
if [[ ! -d "$here/node_modules/playwright-core" || ! -d "$here/node_modules/gltf-validator" ||
      "$here/package-lock.json" -nt "$here/node_modules/.package-lock.json" ]]; then
  (cd "$here" && npm ci --no-audit --no-fund --loglevel=error)
fi

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

# exportGlb DESIGN NAME: exports the design into a drive C of its own and converts it.
exportGlb() {
  "$build_dir/tolvane-host" --drive-c "$work/c-$2" "$1" "tolvane export" >/dev/null 2>"$work/$2.log" ||
    { cat "$work/$2.log" >&2; return 1; }
  "$build_dir/tolvane-gltf" "$work/c-$2/Temp/$2" "$work/$2.glb"
}

exportGlb "$source_dir/samples/Site.dgn" Site
"$build_dir/tolvane-gendesign" "$work/Generated.dgn" 500 >/dev/null
exportGlb "$work/Generated.dgn" Generated

node "$here/validate.mjs" "$work/Site.glb" "$work/Generated.glb"
VIEWER_DIR="$build_dir/viewer" MODEL="$work/Site.glb" EXPORT_DIR="$work/c-Site/Temp/Site" \
  SCREENSHOT="${TOLVANE_WEB_SCREENSHOT:-}" node "$here/viewer_test.mjs"
