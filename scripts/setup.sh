#!/usr/bin/env bash
# Installs the Debian packages that the build needs (only those missing), then configures
# and builds. Usage: scripts/setup.sh [BUILD_DIR] [extra cmake arguments...]
# TOLVANE_SANITIZE=ON builds with AddressSanitizer and UndefinedBehaviorSanitizer,
# TOLVANE_SANITIZE=thread with ThreadSanitizer.
# Warnings are errors here, as in CI; TOLVANE_WERROR=OFF turns that off. A plain cmake build
# of a user never makes them errors.
# TOLVANE_TARGETS="a b" builds only those targets (and what they need).
# TOLVANE_WEB_TESTS=ON (or OFF) adds (or drops) the web checks of tests/web/run.sh in ctest.
set -euo pipefail
cd "$(dirname "$0")/.."

# time: GNU time, which scripts/scale-row.sh measures each step with.
packages=(cmake ninja-build g++ pkg-config binutils libjsoncpp-dev libgtest-dev libgmock-dev
          libbenchmark-dev libtinygltf-dev libjs-three time locales)
missing=()
for package in "${packages[@]}"; do
  dpkg -s "$package" >/dev/null 2>&1 || missing+=("$package")
done
if ((${#missing[@]})); then
  echo "setup: installing ${missing[*]}" >&2
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

# The tests run the export under locales whose encodings aren't UTF-8 as well.
if [[ -z "${TOLVANE_TARGETS:-}" ]] && { ! locale -a 2>/dev/null | grep -qx 'de_DE.iso88591' ||
                                       ! locale -a 2>/dev/null | grep -qx 'ru_RU.cp1251'; }; then
  echo "setup: making the locales de_DE.ISO-8859-1 and ru_RU.CP1251" >&2
  localedef -i de_DE -f ISO-8859-1 de_DE.ISO-8859-1
  localedef -i ru_RU -f CP1251 ru_RU.CP1251
fi

build_dir="${1:-build}"
shift || true
sanitize="${TOLVANE_SANITIZE:-OFF}"
benchmarks=ON
[[ "$sanitize" != OFF ]] && benchmarks=OFF  # benchmarks mean nothing under the sanitizers
web=()
[[ -n "${TOLVANE_WEB_TESTS:-}" ]] && web=(-DTOLVANE_WEB_TESTS="$TOLVANE_WEB_TESTS")
cmake -S . -B "$build_dir" -G Ninja -DTOLVANE_SANITIZE="$sanitize" -DTOLVANE_BENCHMARKS="$benchmarks" \
  -DCMAKE_COMPILE_WARNING_AS_ERROR="${TOLVANE_WERROR:-ON}" "${web[@]}" "$@" >/dev/null
# TOLVANE_TARGETS names the targets to build (all when unset).
targets=()
for target in ${TOLVANE_TARGETS:-}; do targets+=(--target "$target"); done
cmake --build "$build_dir" -j"$(nproc)" "${targets[@]}"
