#!/usr/bin/env bash
# Installs what is missing, builds everything, and runs every test: the
# Qt-free libraries' GoogleTest suites, the window's QtTest suites offscreen,
# the tests that need a real X server under an Xvfb that CTest starts, and
# the short soak test. Then, each skippable:
#   static checks      formatting and clang-tidy (LDT_SKIP_STYLE=1 skips)
#   Debian package     scripts/package.sh builds it and checks it with lintian,
#                      scripts/package-test.sh installs, runs and removes it
#                      (LDT_SKIP_PACKAGE=1)
#   fuzzing            each fuzz target for a fixed number of inputs (LDT_SKIP_FUZZ=1)
#   Windows            scripts/windows.sh: cross-compiled 64- and 32-bit, the
#                      64-bit tests under Wine (LDT_SKIP_WINDOWS=1)
#   sanitizer build    the whole suite again in a Debug build with AddressSanitizer,
#                      UndefinedBehaviorSanitizer and leak checking (LDT_SKIP_SANITIZE=1)
# Any failure, and any sanitizer report even from a child process whose exit
# status a test does not look at, fails the run. Each stage prints its time.
set -euo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
export XDG_RUNTIME_DIR="${XDG_RUNTIME_DIR:-$(mktemp -d)}"
chmod 700 "$XDG_RUNTIME_DIR"
export QT_ACCESSIBILITY=0

stage() {
  local name="$1"; shift
  echo "== $name"
  local start=$SECONDS
  "$@"
  echo "== $name: $((SECONDS - start)) s"
}

normal() {
  "$here/scripts/setup.sh" "$here/build" -DLDT_BUILD_BENCH=ON -DCMAKE_EXPORT_COMPILE_COMMANDS=ON
  (cd "$here/build" && ctest --output-on-failure -j2 --timeout 300)
}

sanitized() {
  "$here/scripts/setup.sh" "$here/build-asan" -DCMAKE_BUILD_TYPE=Debug -DLDT_SANITIZE=ON -DLDT_BUILD_BENCH=OFF
  # Reports go to files as well as failing the process, so that a report in
  # a child process (a claim holder, the program started under `timeout`)
  # cannot pass unseen.
  local reports="$here/build-asan/sanitizer-reports"
  rm -rf "$reports" && mkdir -p "$reports"
  local status=0
  (cd "$here/build-asan" &&
    ASAN_OPTIONS="detect_leaks=1:halt_on_error=1:abort_on_error=0:log_path=$reports/asan" \
    UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1:log_path=$reports/ubsan" \
    LSAN_OPTIONS="suppressions=$here/tests/lsan.supp:print_suppressions=0" \
    ctest --output-on-failure -j2 --timeout 600) || status=$?
  if compgen -G "$reports/*" >/dev/null; then
    echo "sanitizer reports:" >&2
    cat "$reports"/* >&2
    return 1
  fi
  return "$status"
}

stage "build and test" normal
if [ "${LDT_SKIP_STYLE:-0}" != 1 ]; then stage "static checks" "$here/scripts/check-style.sh" "$here/build"; fi
package() {
  local deb
  # Shown through a copy of the descriptor, not by opening /dev/stderr: that
  # would truncate a log file the run's standard error is redirected to.
  deb="$("$here/scripts/package.sh" | tee >(cat >&2) | tail -n 1)"
  "$here/scripts/package-test.sh" "$deb"
}
if [ "${LDT_SKIP_PACKAGE:-0}" != 1 ]; then stage "Debian package" package; fi
if [ "${LDT_SKIP_FUZZ:-0}" != 1 ]; then stage "fuzzing" "$here/scripts/fuzz.sh"; fi
if [ "${LDT_SKIP_WINDOWS:-0}" != 1 ]; then stage "Windows build, tested under Wine" "$here/scripts/windows.sh"; fi
if [ "${LDT_SKIP_SANITIZE:-0}" != 1 ]; then stage "sanitizer build" sanitized; fi
