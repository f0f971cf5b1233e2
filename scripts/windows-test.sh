#!/usr/bin/env bash
# Cross-builds everything for 64-bit Windows with Debian's mingw-w64 and runs the whole test
# suite under Wine. Installs what it needs (Debian packages, and the Debian source packages
# of jsoncpp and tinygltf) when missing. Warnings are errors, as in the Linux developer build
# (TOLVANE_WERROR=OFF turns that off). Ends with ctest's summary.
# Usage: scripts/windows-test.sh [--build-only] [BUILD_DIR]   (default build-windows)
set -euo pipefail
cd "$(dirname "$0")/.."
build_only=false
if [[ "${1:-}" == --build-only ]]; then
  build_only=true
  shift
fi
build_dir="${1:-build-windows}"
sources="$PWD/$build_dir/sources"

packages=(cmake ninja-build g++-mingw-w64-x86-64-posix wine wine64 dpkg-dev libgtest-dev
          libgmock-dev nlohmann-json3-dev libstb-dev)
missing=()
for package in "${packages[@]}"; do
  dpkg -s "$package" >/dev/null 2>&1 || missing+=("$package")
done
export DEBIAN_FRONTEND=noninteractive
if ((${#missing[@]})); then
  echo "windows-test: installing ${missing[*]}" >&2
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

# The sources of jsoncpp and tinygltf, as Debian packages them.
if ! ls -d "$sources"/libjsoncpp-* "$sources"/tinygltf-* >/dev/null 2>&1; then
  if ! apt-get source --print-uris -qq libjsoncpp >/dev/null 2>&1; then
    echo "windows-test: adding Debian's source lists" >&2
    sed 's/^Types: deb$/Types: deb-src/' /etc/apt/sources.list.d/debian.sources \
      > /etc/apt/sources.list.d/tolvane-debian-src.sources
    apt-get update -qq
  fi
  mkdir -p "$sources"
  (cd "$sources" && apt-get source -qq libjsoncpp tinygltf >/dev/null 2>&1)
fi
# The header-only libraries that tinygltf builds with, apart from the Linux headers.
mkdir -p "$sources/include"
cp -r /usr/include/nlohmann /usr/include/stb "$sources/include/"

# Wine's own folder, made once, quietly.
export WINEDEBUG=-all
[[ -d "${WINEPREFIX:-$HOME/.wine}" ]] || wineboot -i >/dev/null 2>&1 || true

cmake -S . -B "$build_dir" -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
  -DTOLVANE_WINDOWS_SOURCES="$sources" -DTOLVANE_BENCHMARKS=OFF \
  -DCMAKE_COMPILE_WARNING_AS_ERROR="${TOLVANE_WERROR:-ON}" >/dev/null
cmake --build "$build_dir" -j"$(nproc)"
$build_only && exit 0
# Under Wine a test takes several times its Linux time: the limit is generous. Wine now and
# then fails to start a test's process at all (no output, a few milliseconds); a test that
# fails runs once more, and ctest's summary names every test that failed both times.
ctest --test-dir "$build_dir" --output-on-failure --timeout 600 --repeat until-pass:2 \
  -j"$(nproc)"
