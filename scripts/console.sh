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
# LDT_CONSOLE_BIN=<folder> runs the programs already built there (a build
# folder, or a folder holding TQN730Test and ldt-virtual-display, such as
# /usr/bin) instead of building them.
#
# Started as root through sudo, only the installation of packages (and the
# build, when the invoking user may not write this folder) runs as root: the
# windows, their X server and the VNC server run as the invoking user.
#
# With no display attached, both windows run on a private X server (Xvfb,
# reachable only with a cookie in a private file) and are shown over VNC on a
# Unix socket in the user's private runtime folder: only that user (and root)
# can connect, nothing listens on the network, and no other user can take the
# name first. From another machine, reach it through an SSH tunnel to the
# socket. The script stops with a message if the VNC server does not start so.
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
build="$here/build-console"

# Builds the console into its own folder, so that switching between this
# and the tests never reconfigures either.
build_console() {
  if [ -n "${LDT_CONSOLE_BIN:-}" ] || [ -n "${LDT_CONSOLE_BUILT:-}" ]; then return 0; fi
  "$here/scripts/setup.sh" "$build" -DLDT_BUILD_TESTS=OFF -DLDT_BUILD_BENCH=OFF
}

# Root through sudo: packages as root, then this script again as the user.
if [ "$(id -u)" -eq 0 ] && [ -n "${SUDO_UID:-}" ] && [ "${SUDO_UID}" != 0 ]; then
  "$here/scripts/setup.sh" --packages-only
  user="$(id -nu "$SUDO_UID")"
  home="$(getent passwd "$SUDO_UID" | cut -d: -f6)"
  built=""
  if ! setpriv --reuid="$SUDO_UID" --regid="$SUDO_GID" --init-groups test -r "$here/scripts/console.sh"; then
    echo "console: $user may not read $here; put the project where $user can read it" >&2
    exit 1
  fi
  if [ -z "${LDT_CONSOLE_BIN:-}" ] && ! setpriv --reuid="$SUDO_UID" --regid="$SUDO_GID" --init-groups \
      sh -c 'mkdir -p "$1" 2>/dev/null && test -w "$1"' sh "$build"; then
    echo "console: $user may not write $build: building as root, running as $user"
    build_console
    built=1
  fi
  echo "console: running the windows as $user (uid $SUDO_UID), not as root"
  vars=(HOME="$home" USER="$user" LOGNAME="$user" PATH="$PATH" TERM="${TERM:-dumb}" LANG="${LANG:-C.UTF-8}")
  for name in DISPLAY WAYLAND_DISPLAY XAUTHORITY QT_QPA_PLATFORM LDT_DEVICE_CONFIG LDT_CONSOLE_BIN; do
    [ -n "${!name:-}" ] && vars+=("$name=${!name}")
  done
  # The user's own runtime folder, when it is theirs and private.
  runtime="${XDG_RUNTIME_DIR:-/run/user/$SUDO_UID}"
  if [ "$(stat -c %u:%a "$runtime" 2>/dev/null)" = "$SUDO_UID:700" ]; then vars+=(XDG_RUNTIME_DIR="$runtime"); fi
  [ -n "$built" ] && vars+=(LDT_CONSOLE_BUILT=1)
  cd /
  exec setpriv --reuid="$SUDO_UID" --regid="$SUDO_GID" --init-groups \
    env -i "${vars[@]}" bash "$here/scripts/console.sh" "$@"
fi

build_console
bin_console="$build/app/TQN730Test"
bin_virtual="$build/emulator/ldt-virtual-display"
if [ -n "${LDT_CONSOLE_BIN:-}" ]; then
  bin_console="$LDT_CONSOLE_BIN/TQN730Test"
  bin_virtual="$LDT_CONSOLE_BIN/ldt-virtual-display"
  [ -x "$bin_console" ] || bin_console="$LDT_CONSOLE_BIN/app/TQN730Test"
  [ -x "$bin_virtual" ] || bin_virtual="$LDT_CONSOLE_BIN/emulator/ldt-virtual-display"
fi
for program in "$bin_console" "$bin_virtual"; do
  if [ ! -x "$program" ]; then
    echo "console: $program is missing or may not be run by $(id -nu)" >&2
    exit 1
  fi
done

# A private folder for this run (cookie, VNC socket, configuration), inside
# the user's runtime folder when there is a private one.
runtime="${XDG_RUNTIME_DIR:-}"
made_runtime=""
if [ -z "$runtime" ] || [ "$(stat -c %u:%a "$runtime" 2>/dev/null)" != "$(id -u):700" ]; then
  runtime="$(mktemp -d /tmp/ldt-runtime.XXXXXX)"
  made_runtime="$runtime"
fi
export XDG_RUNTIME_DIR="$runtime"
run="$(mktemp -d "$runtime/ldt-console.XXXXXX")"

pids=()
# Stops what was started, the last first: the virtual display must end
# (removing its link) while its X server is still there.
cleanup() {
  for ((i = ${#pids[@]} - 1; i >= 0; i--)); do
    kill "${pids[i]}" 2>/dev/null || true
    wait "${pids[i]}" 2>/dev/null || true
  done
  rm -rf "$run"
  [ -n "$made_runtime" ] && rm -rf "$made_runtime"
  return 0
}
trap cleanup EXIT
trap 'exit 130' INT TERM HUP

# Whether a process holds a listening TCP socket (IPv4 or IPv6).
listens_on_tcp() {
  local listening link fd
  listening="$(awk '$4 == "0A" { print $10 }' /proc/net/tcp /proc/net/tcp6 2>/dev/null)"
  for fd in /proc/"$1"/fd/*; do
    link="$(readlink "$fd" 2>/dev/null)" || continue
    [[ "$link" == socket:\[*\] ]] || continue
    link="${link#socket:[}"
    grep -qxF "${link%]}" <<<"$listening" && return 0
  done
  return 1
}

where=()
if ((headless)); then
  # The first free display number from :90 on; the cookie in a private file.
  n=90
  while [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ]; do n=$((n + 1)); done
  export XAUTHORITY="$run/Xauthority"
  (umask 077 && : >"$XAUTHORITY")
  xauth -q -f "$XAUTHORITY" add ":$n" . "$(mcookie)"
  Xvfb ":$n" -auth "$XAUTHORITY" -nolisten tcp -screen 0 1280x1024x24 >"$run/Xvfb.log" 2>&1 &
  pids+=($!)
  for _ in $(seq 50); do [ -S "/tmp/.X11-unix/X$n" ] && break; sleep 0.1; done
  if [ ! -S "/tmp/.X11-unix/X$n" ]; then
    echo "console: the private X server did not start:" >&2
    cat "$run/Xvfb.log" >&2
    exit 1
  fi
  export DISPLAY=":$n"
  socket="$run/vnc.sock"
  # The socket only: no TCP port, neither IPv4 (-rfbport 0) nor IPv6 (-no6
  # -noipv6), which this x11vnc would otherwise open on 5900 by itself.
  x11vnc -display ":$n" -auth "$XAUTHORITY" -unixsock "$socket" -rfbport 0 -no6 -noipv6 -localhost \
    -forever -shared -nopw -quiet -o "$run/x11vnc.log" >/dev/null 2>&1 &
  pids+=($!)
  for _ in $(seq 100); do [ -S "$socket" ] && break; kill -0 "${pids[-1]}" 2>/dev/null || break; sleep 0.1; done
  if [ ! -S "$socket" ] || ! kill -0 "${pids[-1]}" 2>/dev/null; then
    echo "console: the VNC server did not start on the private socket $socket; its log:" >&2
    cat "$run/x11vnc.log" >&2 2>/dev/null || true
    exit 1
  fi
  if listens_on_tcp "${pids[-1]}"; then
    echo "console: the VNC server listens on a TCP port as well as on $socket; stopping" >&2
    exit 1
  fi
  # No window manager places windows here: the console centres itself on
  # the screen, the panel goes in the room above it.
  where=(--position 196,0)
  echo "console: no display found; the windows are shown over VNC on the socket $socket"
  echo "console: only $(id -nu) (and root) may connect: on this machine, vncviewer $socket (TigerVNC);"
  echo "console: from another machine, ssh -L 5900:$socket $(id -nu)@$(hostname), then a VNC viewer on localhost:5900"
fi

if ((virtual)); then
  link="$run/ldt-virtual-display"
  config="$run/devices.toml"
  # It says "link ..." once its pty is served; until then, or if it ends
  # (say another one serves that link already), the console must not start.
  started="$run/virtual-display.out"
  "$bin_virtual" --link "$link" --command-set DM-D --baud 9600 "${where[@]}" \
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
  (umask 077 && cat >"$config" <<TOML
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
  )
  export LDT_DEVICE_CONFIG="$config"
  echo "console: virtual display on $link; \"TQN730\" is wired to it through $config"
fi

status=0
"$bin_console" || status=$?
exit $status
