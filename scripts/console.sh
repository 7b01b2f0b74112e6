#!/usr/bin/env bash
# Installs what is missing, builds, and starts the console TQN730Test on its
# built-in simulated display. With no display attached, the window is served
# over VNC on port 5900 instead, so any VNC viewer can show it.
set -euo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
"$here/scripts/setup.sh" "$here/build" -DLDT_BUILD_TESTS=OFF -DLDT_BUILD_BENCH=OFF

export XDG_RUNTIME_DIR="${XDG_RUNTIME_DIR:-$(mktemp -d)}"
chmod 700 "$XDG_RUNTIME_DIR"
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
  echo "console: no display found; serving the window over VNC at localhost:5900 (Ctrl-C ends it)"
  export QT_QPA_PLATFORM="vnc:size=1280x1024:port=5900"
fi
exec "$here/build/app/TQN730Test"
