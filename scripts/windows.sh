#!/usr/bin/env bash
# The Windows part, in one command: installs what is missing, cross-compiles
# TQN730Test.exe and the stand-in COM server for 64-bit Windows (build-win64,
# with the tests) and for 32-bit Windows (build-win32, programs only), then
# runs the 64-bit tests under Wine, inside one xvfb-run for the windows.
# The programs: build-win64/app/win32/TQN730Test.exe, build-win32/app/win32/TQN730Test.exe.
set -euo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"

# What each package is for:
#   g++-mingw-w64-x86-64-posix mingw-w64-x86-64-dev   64-bit Windows compiler and headers (posix threads)
#   g++-mingw-w64-i686-posix                          32-bit Windows compiler, for 32-bit controls
#   wine wine64 fonts-wine                            running and testing the 64-bit build here
#   googletest                                        GoogleTest's sources, built for Windows
#   cmake make xvfb xauth                             the build, and an X server for the windows
packages=(cmake make g++-mingw-w64-x86-64-posix mingw-w64-x86-64-dev g++-mingw-w64-i686-posix
          wine wine64 fonts-wine googletest xvfb xauth)
"$here/scripts/install-packages.sh" windows "${packages[@]}"

jobs="$(nproc)"
# Release: no debug information, which makes MinGW's objects and links slow;
# unity builds: each library compiled as one unit, about a third less
# compile time, as this part has a time budget in CI.
fast=(-DCMAKE_BUILD_TYPE=Release -DCMAKE_UNITY_BUILD=ON)
cmake -S "$here" -B "$here/build-win64" -DCMAKE_TOOLCHAIN_FILE="$here/cmake/mingw-w64-x86_64.cmake" \
      "${fast[@]}" >/dev/null
cmake --build "$here/build-win64" -j"$jobs"

# The 32-bit build compiles while the 64-bit tests mostly wait on Wine.
cmake -S "$here" -B "$here/build-win32" -DCMAKE_TOOLCHAIN_FILE="$here/cmake/mingw-w64-i686.cmake" \
      "${fast[@]}" -DLDT_BUILD_TESTS=OFF >/dev/null
cmake --build "$here/build-win32" -j"$jobs" >"$here/build-win32/build.log" 2>&1 &
win32=$!

# One X server for the whole run: a wineserver started without DISPLAY
# would refuse windows to every later test.
status=0
xvfb-run -a -s "-screen 0 1280x1024x24" \
  ctest --test-dir "$here/build-win64" --output-on-failure --timeout 300 || status=$?

if ! wait "$win32"; then
  cat "$here/build-win32/build.log" >&2
  echo "windows: the 32-bit build failed" >&2
  exit 1
fi
echo "windows: 32-bit build done (build-win32/app/win32/TQN730Test.exe)"
exit $status
