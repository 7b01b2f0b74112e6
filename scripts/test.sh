#!/usr/bin/env bash
# Installs what is missing, builds everything, and runs every test: the
# Qt-free libraries' GoogleTest suites, the window's QtTest suites offscreen,
# and the tests that need a real X server under an Xvfb that CTest starts.
# Then the Windows part (scripts/windows.sh: cross-compiled 64- and 32-bit,
# the 64-bit tests under Wine), unless LDT_SKIP_WINDOWS=1. Then the same
# again in a sanitizer build (AddressSanitizer and UndefinedBehaviorSanitizer),
# unless LDT_SKIP_SANITIZE=1.
set -euo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
export XDG_RUNTIME_DIR="${XDG_RUNTIME_DIR:-$(mktemp -d)}"
chmod 700 "$XDG_RUNTIME_DIR"
export QT_ACCESSIBILITY=0

"$here/scripts/setup.sh" "$here/build" -DLDT_BUILD_BENCH=ON
(cd "$here/build" && ctest --output-on-failure -j2 --timeout 300)

if [ "${LDT_SKIP_WINDOWS:-0}" != 1 ]; then
  echo "== Windows build, tested under Wine"
  "$here/scripts/windows.sh"
fi

if [ "${LDT_SKIP_SANITIZE:-0}" != 1 ]; then
  echo "== sanitizer build"
  "$here/scripts/setup.sh" "$here/build-asan" -DLDT_SANITIZE=ON -DLDT_BUILD_BENCH=OFF
  (cd "$here/build-asan" && ASAN_OPTIONS=detect_leaks=1 LSAN_OPTIONS="suppressions=$here/tests/lsan.supp" ctest --output-on-failure -j2 --timeout 600)
fi
