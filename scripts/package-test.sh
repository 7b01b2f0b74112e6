#!/usr/bin/env bash
# Checks the Debian package as a user gets it: its control data and
# contents, then installs it (as root, with apt-get, which fetches nothing
# here as the build has every dependency), starts the installed console
# offscreen, the installed virtual display headless and ldt-run's conformance
# pack against the built-in display, removes the package
# again and checks that nothing of it is left.
# Usage: scripts/package-test.sh <package.deb>
set -euo pipefail

deb="$(realpath "$1")"
fail() { echo "package-test: $*" >&2; exit 1; }
if dpkg-query -W -f='${Status}' linedisplaytest 2>/dev/null | grep -q "install ok installed"; then
  fail "linedisplaytest is installed on this machine already; not touching it"
fi

# Control data: the dependencies are computed from the programs' libraries.
depends="$(dpkg-deb -f "$deb" Depends)"
for lib in libqt6widgets6 libserialport0 libtomlplusplus3 libfreetype6 libicu72 libstdc++6; do
  grep -q "$lib" <<<"$depends" || fail "Depends lacks $lib: $depends"
done
# The 5x7 font is read at run time; an X font package is recommended, not depended on.
grep -q xfonts-base <<<"$(dpkg-deb -f "$deb" Recommends)" || fail "Recommends lacks xfonts-base"
[ "$(dpkg-deb -f "$deb" Package)" = linedisplaytest ] || fail "wrong package name"

# Contents.
mapfile -t files < <(dpkg-deb -c "$deb" | awk '{ print $6 }' | sed 's|^\./|/|' | grep -v '/$')
for f in /usr/bin/TQN730Test /usr/bin/ldt-virtual-display /usr/bin/ldt-devices /usr/bin/ldt-run \
         /usr/share/man/man1/TQN730Test.1.gz /usr/share/man/man1/ldt-virtual-display.1.gz \
         /usr/share/man/man1/ldt-devices.1.gz /usr/share/man/man1/ldt-run.1.gz \
         /usr/share/doc/linedisplaytest/README.md.gz \
         /usr/share/applications/linedisplaytest.desktop /usr/share/applications/ldt-virtual-display.desktop \
         /usr/share/icons/hicolor/48x48/apps/linedisplaytest.png \
         /usr/share/icons/hicolor/256x256/apps/ldt-virtual-display.png \
         /usr/share/doc/linedisplaytest/copyright /usr/share/doc/linedisplaytest/changelog.gz \
         /usr/share/doc/linedisplaytest/examples/devices.toml \
         /usr/share/doc/linedisplaytest/examples/60-linedisplaytest.rules; do
  # A here-string, not a pipe: grep -q quits at the first match, and under
  # pipefail the writer's broken pipe would read as a missing file.
  grep -qxF "$f" <<<"$(printf '%s\n' "${files[@]}")" || fail "the package lacks $f"
done

removed=0
cleanup() {
  if ((!removed)); then apt-get purge -y -qq linedisplaytest >/dev/null 2>&1 || true; fi
  rm -rf "$work"
}
work="$(mktemp -d)"
chmod 700 "$work"
trap cleanup EXIT
DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "$deb" >/dev/null

# The installed console starts and is still running two seconds later.
status=0
XDG_RUNTIME_DIR="$work" QT_QPA_PLATFORM=offscreen QT_ACCESSIBILITY=0 timeout 2 /usr/bin/TQN730Test \
  >"$work/console.out" 2>&1 || status=$?
[ "$status" -eq 124 ] || { cat "$work/console.out" >&2; fail "the installed console ended with status $status"; }

# The installed virtual display serves its link and shows what reaches it.
/usr/bin/ldt-virtual-display --headless --link "$work/display" >"$work/display.out" 2>&1 &
pid=$!
for _ in $(seq 50); do [ -L "$work/display" ] && break; sleep 0.1; done
[ -L "$work/display" ] || { cat "$work/display.out" >&2; fail "the installed virtual display made no link"; }
printf 'Installed' >"$work/display"
for _ in $(seq 50); do grep -q '^|Installed' "$work/display.out" && break; sleep 0.1; done
# The installed ldt-devices finds it.
/usr/bin/ldt-devices list >"$work/list.out" 2>&1 || { cat "$work/list.out" >&2; fail "the installed ldt-devices list failed"; }
grep -qF "  $work/display -> /dev/pts/" "$work/list.out" || { cat "$work/list.out" >&2; fail "ldt-devices list did not list the virtual display"; }
kill -TERM "$pid"
wait "$pid" || fail "the installed virtual display ended badly"
grep -q '^|Installed' "$work/display.out" || { cat "$work/display.out" >&2; fail "the text did not show"; }

# The installed ldt-run judges the built-in display by its pack.
XDG_RUNTIME_DIR="$work" /usr/bin/ldt-run --conformance TQN730 --quiet >"$work/run.out" 2>&1 ||
  { cat "$work/run.out" >&2; fail "the installed ldt-run found the built-in display wanting"; }
tail -1 "$work/run.out" | grep -q ' passed, 0 failed$' || { cat "$work/run.out" >&2; fail "ldt-run's last line"; }

# Removed, nothing of it is left.
apt-get purge -y -qq linedisplaytest >/dev/null
removed=1
dpkg-query -W linedisplaytest >/dev/null 2>&1 && fail "the package is still known to dpkg"
for f in "${files[@]}" /usr/share/doc/linedisplaytest; do
  [ -e "$f" ] && fail "$f is left after removal"
done
echo "package-test: $(basename "$deb") installs, runs and removes cleanly"
