#!/usr/bin/env bash
# Installs what is missing, builds, and starts the console TQN730Test on its
# built-in simulated display.
#
# With no display attached, the window runs on a private X server (Xvfb) and
# is shown over VNC on localhost:5900 only; from another machine reach it
# through an SSH tunnel, so the console is never open to the network.
set -euo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
headless=0
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
  headless=1
  export LDT_EXTRA_PACKAGES="x11vnc"
fi
# Its own build folder, so that switching between this and the tests never
# reconfigures either.
"$here/scripts/setup.sh" "$here/build-console" -DLDT_BUILD_TESTS=OFF -DLDT_BUILD_BENCH=OFF

export XDG_RUNTIME_DIR="${XDG_RUNTIME_DIR:-$(mktemp -d)}"
chmod 700 "$XDG_RUNTIME_DIR"
if ((headless)); then
  # The first free display number from :90 on.
  n=90
  while [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ]; do n=$((n + 1)); done
  Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
  xvfb=$!
  trap 'kill $xvfb ${vnc:-} 2>/dev/null || true' EXIT
  for _ in $(seq 50); do [ -e "/tmp/.X11-unix/X$n" ] && break; sleep 0.1; done
  x11vnc -display ":$n" -localhost -rfbport 5900 -forever -shared -nopw -quiet >/dev/null 2>&1 &
  vnc=$!
  export DISPLAY=":$n"
  echo "console: no display found; the window is shown over VNC at localhost:5900"
  echo "console: from another machine: ssh -L 5900:localhost:5900 $(hostname), then a VNC viewer on localhost:5900"
  "$here/build-console/app/TQN730Test"
  exit $?
fi
exec "$here/build-console/app/TQN730Test"
