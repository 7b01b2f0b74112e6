#!/usr/bin/env bash
# Installs what is missing, builds, and starts the console TQN730Test with the
# virtual display beside it: the console's default display "TQN730" is wired
# through a temporary device configuration to the serial service object on
# the virtual display's pseudo-terminal, so text sent from the console appears
# on the panel through the same bytes a real pole display receives. The
# virtual display stops when the console ends.
#
# Usage: scripts/console.sh [--no-virtual-display]
#   --no-virtual-display   the console alone, on the device configuration
#                          files (if any) and the built-in simulated displays
#
# With no display attached, both windows run on a private X server (Xvfb) and
# are shown over VNC on localhost:5900 only; from another machine reach it
# through an SSH tunnel, so the console is never open to the network.
set -euo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
virtual=1
for arg in "$@"; do
  case "$arg" in
    --no-virtual-display) virtual=0 ;;
    *) echo "console: unknown argument \"$arg\" (only --no-virtual-display)" >&2; exit 2 ;;
  esac
done
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

pids=()
config=""
# Stops what was started, the last first: the virtual display must end
# (removing its link) while its X server is still there.
cleanup() {
  for ((i = ${#pids[@]} - 1; i >= 0; i--)); do
    kill "${pids[i]}" 2>/dev/null || true
    wait "${pids[i]}" 2>/dev/null || true
  done
  [ -n "$config" ] && rm -f "$config" "$config.start"
  return 0
}
trap cleanup EXIT

where=()
if ((headless)); then
  # The first free display number from :90 on.
  n=90
  while [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ]; do n=$((n + 1)); done
  Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
  pids+=($!)
  for _ in $(seq 50); do [ -e "/tmp/.X11-unix/X$n" ] && break; sleep 0.1; done
  x11vnc -display ":$n" -localhost -rfbport 5900 -forever -shared -nopw -quiet >/dev/null 2>&1 &
  pids+=($!)
  export DISPLAY=":$n"
  # No window manager places windows here: the console centres itself on
  # the screen, the panel goes in the room above it.
  where=(--position 196,0)
  echo "console: no display found; the windows are shown over VNC at localhost:5900"
  echo "console: from another machine: ssh -L 5900:localhost:5900 $(hostname), then a VNC viewer on localhost:5900"
fi

if ((virtual)); then
  link="$XDG_RUNTIME_DIR/ldt-virtual-display"
  config="$(mktemp "$XDG_RUNTIME_DIR/devices.XXXXXX.toml")"
  # It says "link ..." once its pty is served; until then, or if it ends
  # (say another one serves that link already), the console must not start.
  started="$config.start"
  "$here/build-console/emulator/ldt-virtual-display" --link "$link" --command-set DM-D --baud 9600 "${where[@]}" \
    > >(tee "$started") 2>&1 &
  pids+=($!)
  for _ in $(seq 100); do
    grep -q "^ldt-virtual-display: link " "$started" 2>/dev/null && break
    kill -0 "${pids[-1]}" 2>/dev/null || break
    sleep 0.1
  done
  if ! grep -q "^ldt-virtual-display: link " "$started" 2>/dev/null; then
    sleep 0.2  # let tee show its message
    echo "console: the virtual display did not start; see its message above" >&2
    exit 1
  fi
  cat >"$config" <<TOML
# Written by scripts/console.sh for this run: the console's default display
# on the virtual display's pseudo-terminal.
[devices."TQN730"]
service = "serial"
port = "$link"
baud = 9600
command-set = "DM-D"
rows = 2
columns = 20
TOML
  export LDT_DEVICE_CONFIG="$config"
  echo "console: virtual display on $link; \"TQN730\" is wired to it through $config"
fi

status=0
"$here/build-console/app/TQN730Test" || status=$?
exit $status
