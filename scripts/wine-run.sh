#!/usr/bin/env bash
# Runs one Windows program under Wine for CTest (the cross builds'
# CMAKE_CROSSCOMPILING_EMULATOR) and returns its exit status.
#
# Wine's helper processes (wineserver, services.exe, ...) inherit the
# program's output and keep it open for seconds after the program ends, and
# CTest would wait for them. So the program writes into files, which are
# printed once Wine itself has returned: the program's output on stdout,
# its error stream (with anything Wine says) on stderr. WINEPREFIX comes
# from the test's environment.
set -u
out="$(mktemp)"
err="$(mktemp)"
trap 'rm -f "$out" "$err"' EXIT
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEARCH="${WINEARCH:-win64}"
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"  # no Mono or Gecko prompts
wine "$@" </dev/null >"$out" 2>"$err"
status=$?
cat "$out"
cat "$err" >&2
exit $status
