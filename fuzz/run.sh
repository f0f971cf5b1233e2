#!/usr/bin/env bash
# Builds the fuzz targets (clang, libFuzzer, with AddressSanitizer and
# UndefinedBehaviorSanitizer) and runs each in turn, sharing SECONDS (default 60) between
# them, starting from its checked-in corpus (fuzz/corpus/<name>, with the dictionary
# fuzz/<name>.dict where there is one), which it leaves unchanged:
#   geo_reader     (geo) the fast geometry record reader against Json::Reader
#   design_loader  the design loader: both readers agree; a written design loads as itself
#   record_import  the import of one geometry record (with geo.dict); the design saved after it
#                  loads again
#   keyin_message  the key-in table parser and matcher, and the message formatter
# Usage: fuzz/run.sh [SECONDS] [TARGET...] (every target when none is named);
# TOLVANE_FUZZ_BUILD names the build folder (default build-fuzz).
# An input that fails its check aborts the run with what went wrong (crash-* file); the
# script then exits non-zero.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-60}"
shift || true
targets=("$@")
((${#targets[@]})) || targets=(geo_reader design_loader record_import keyin_message)

packages=(clang libclang-rt-14-dev cmake ninja-build pkg-config libjsoncpp-dev libgtest-dev
          libgmock-dev libbenchmark-dev libtinygltf-dev)
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
build_targets=()
for target in "${targets[@]}"; do build_targets+=(--target "${target}_fuzz"); done
cmake --build "$build_dir" "${build_targets[@]}" -j2

each=$((seconds / ${#targets[@]}))
((each > 0)) || each=1
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
for target in "${targets[@]}"; do
  name="$target"
  [[ "$target" == geo_reader ]] && name=geo
  echo "fuzz: $target for $each s" >&2
  mkdir -p "$work/$name"
  options=(-max_total_time="$each" -print_final_stats=1 -max_len=4096)
  dict="$name"
  [[ "$target" == record_import ]] && dict=geo  # its input is a geometry record too
  [[ -f "fuzz/$dict.dict" ]] && options+=(-dict="fuzz/$dict.dict")
  "$build_dir/${target}_fuzz" "${options[@]}" "$work/$name" "fuzz/corpus/$name"
done
