#!/usr/bin/env bash
# Makes a fresh Wine prefix for the Windows tests (about 10 s): 64-bit, or
# 32-bit with WINEARCH=win32 (Wine's 32-bit part, package wine32:i386).
# Usage: scripts/wine-prefix.sh <prefix>
set -euo pipefail
prefix="$1"
export WINEDEBUG=-all WINEARCH="${WINEARCH:-win64}" WINEDLLOVERRIDES="mscoree,mshtml="
rm -rf "$prefix"
log="$prefix.log"
# Output to a file: the helpers Wine starts would hold CTest's pipe open.
WINEPREFIX="$prefix" wine wineboot --init >"$log" 2>&1 </dev/null
# Without a window manager Wine draws the title bars itself.
WINEPREFIX="$prefix" wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >>"$log" 2>&1 </dev/null
WINEPREFIX="$prefix" wineserver -w
# Wine's own fonts, so text is drawn (and measured) with the faces Windows has.
mkdir -p "$prefix/drive_c/windows/Fonts"
cp /usr/share/wine/fonts/*.ttf "$prefix/drive_c/windows/Fonts/" 2>/dev/null || true
echo "wine prefix ready: $prefix"
