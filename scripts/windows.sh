#!/usr/bin/env bash
# The Windows part, in one command: installs what is missing, cross-compiles
# TQN730Test.exe, ldt-run.exe and the stand-in COM server for 64-bit Windows
# (build-win64, with the tests) and for 32-bit Windows (build-win32, programs
# only), then runs the 64-bit tests under Wine, inside one xvfb-run for the
# windows, and the conformance pack with the 32-bit ldt-run.exe against the
# 32-bit stand-in under Wine's 32-bit part; both must give the counts of the
# Linux run against the built-in control (build/run/ldt-run, when built).
# The programs: build-win64/app/win32/TQN730Test.exe, build-win32/app/win32/TQN730Test.exe,
# build-win64/run/ldt-run.exe, build-win32/run/ldt-run.exe.
set -euo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"

# What each package is for:
#   g++-mingw-w64-x86-64-posix mingw-w64-x86-64-dev   64-bit Windows compiler and headers (posix threads)
#   g++-mingw-w64-i686-posix                          32-bit Windows compiler, for 32-bit controls
#   wine wine64 fonts-wine                            running and testing the 64-bit build here
#   wine32:i386                                       Wine's 32-bit part, for the 32-bit build (the
#                                                     i386 architecture is added to dpkg for it)
#   googletest                                        GoogleTest's sources, built for Windows
#   cmake make xvfb xauth                             the build, and an X server for the windows
packages=(cmake make g++-mingw-w64-x86-64-posix mingw-w64-x86-64-dev g++-mingw-w64-i686-posix
          wine wine64 fonts-wine wine32:i386 googletest xvfb xauth)
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  if [ "$(id -u)" -ne 0 ]; then
    echo "windows: Wine's 32-bit part needs dpkg's i386 architecture; run as root" >&2
    exit 1
  fi
  dpkg --add-architecture i386
  apt-get update -qq
fi
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

# The conformance pack through the stand-in COM server, per device: the
# 64-bit and the 32-bit ldt-run.exe (each with the stand-in of its bitness,
# in a prefix of its own) and, when it is built, the Linux ldt-run against
# the built-in control; "N skipped / N passed, N failed" must agree.
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
counts() { tr -d '\r' | tail -n 2 | tr '\n' ' '; }
prefix32="$here/build-win32/wineprefix"
WINEARCH=win32 "$here/scripts/wine-prefix.sh" "$prefix32" >/dev/null
WINEARCH=win32 WINEPREFIX="$prefix32" wine regsvr32 /s "Z:$here/build-win32/device/com/device_com.dll" </dev/null >/dev/null 2>&1
devices="$(WINEARCH=win32 WINEPREFIX="$prefix32" wine "$here/build-win32/run/ldt-run.exe" --list-devices </dev/null 2>/dev/null | tr -d '\r')"
# The Linux run claims the built-in display names, which are per network
# namespace: in a private one where it can, so as not to meet other runs.
private=()
if unshare -n true 2>/dev/null; then private=(unshare -n); fi
for device in $devices; do
  c64="$(WINEARCH=win64 WINEPREFIX="$here/build-win64/wineprefix" \
    wine "$here/build-win64/run/ldt-run.exe" --conformance "$device" --quiet </dev/null 2>/dev/null | counts)"
  c32="$(WINEARCH=win32 WINEPREFIX="$prefix32" \
    wine "$here/build-win32/run/ldt-run.exe" --conformance "$device" --quiet </dev/null 2>/dev/null | counts)"
  linux="(not built)"
  if [ -x "$here/build/run/ldt-run" ]; then
    linux="$("${private[@]}" "$here/build/run/ldt-run" --conformance "$device" --quiet </dev/null 2>/dev/null | counts)"
  fi
  echo "windows: conformance $device: 64-bit: $c64| 32-bit: $c32| Linux: $linux"
  if [ "$c64" != "$c32" ] || [[ "$c64" != *" passed, 0 failed "* ]] ||
     { [ "$linux" != "(not built)" ] && [ "$linux" != "$c64" ]; }; then
    echo "windows: the conformance counts of $device differ or something failed" >&2
    status=1
  fi
done
exit $status
