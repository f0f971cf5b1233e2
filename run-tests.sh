#!/usr/bin/env bash
# Builds Tolvane and runs its tests. TOLVANE_BUILD names the build folder (default build);
# TOLVANE_SANITIZE=ON builds and tests with AddressSanitizer and UndefinedBehaviorSanitizer,
# TOLVANE_SANITIZE=thread with ThreadSanitizer.
set -euo pipefail
cd "$(dirname "$0")"
build_dir="${TOLVANE_BUILD:-build}"
scripts/setup.sh "$build_dir"
ctest --test-dir "$build_dir" --output-on-failure -j"$(nproc)"
