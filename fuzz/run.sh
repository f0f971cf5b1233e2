#!/usr/bin/env bash
# Builds the differential fuzz target of the geometry record reader (clang, libFuzzer, with
# AddressSanitizer and UndefinedBehaviorSanitizer) and runs it for SECONDS (default 60),
# starting from the checked-in corpus, which it leaves unchanged.
# Usage: fuzz/run.sh [SECONDS]; TOLVANE_FUZZ_BUILD names the build folder (default build-fuzz).
# A difference from Json::Reader aborts the run with the text that shows it (crash-* file).
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-60}"

packages=(clang libclang-rt-14-dev cmake ninja-build pkg-config libjsoncpp-dev libgtest-dev
          libgmock-dev libbenchmark-dev)
missing=()
for package in "${packages[@]}"; do
  dpkg -s "$package" >/dev/null 2>&1 || missing+=("$package")
done
if ((${#missing[@]})); then
  echo "fuzz: installing ${missing[*]}" >&2
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

build_dir="${TOLVANE_FUZZ_BUILD:-build-fuzz}"
CC=clang CXX=clang++ cmake -S . -B "$build_dir" -G Ninja -DTOLVANE_FUZZ=ON \
  -DTOLVANE_BENCHMARKS=OFF >/dev/null
cmake --build "$build_dir" --target geo_reader_fuzz -j2

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
"$build_dir/geo_reader_fuzz" -max_total_time="$seconds" -print_final_stats=1 \
  -dict=fuzz/geo.dict -max_len=4096 "$work" fuzz/corpus/geo
