#!/usr/bin/env bash
# Builds the fuzz targets with clang and libFuzzer (build-fuzz/, the Qt-free
# libraries only, with AddressSanitizer and UndefinedBehaviorSanitizer) and
# runs each for a fixed number of inputs from its seeds in fuzz/corpus/.
# Usage: scripts/fuzz.sh [runs per target]     (default 50000; CI uses that)
# For a long hunt on one target, run it by hand, e.g.
#   build-fuzz/fuzz/fuzz_text_to_int32 -max_total_time=600 build-fuzz/fuzz/found/fuzz_text_to_int32 fuzz/corpus/fuzz_text_to_int32
set -euo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
runs="${1:-50000}"
LDT_EXTRA_PACKAGES="clang-14 libclang-rt-14-dev ${LDT_EXTRA_PACKAGES:-}" \
  "$here/scripts/setup.sh" "$here/build-fuzz" -DLDT_FUZZ=ON -DCMAKE_CXX_COMPILER=clang++-14 \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo -DLDT_FUZZ_RUNS="$runs"
(cd "$here/build-fuzz" && ctest --output-on-failure -j2 --timeout 600)
