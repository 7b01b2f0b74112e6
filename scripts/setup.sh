#!/usr/bin/env bash
# Installs what the project needs on Debian 12 (as root) and builds it.
# Usage: scripts/setup.sh [build-dir] [extra cmake arguments...]
#        scripts/setup.sh --packages-only     (installs, builds nothing)
# Only packages that are missing are installed; the package lists are read
# once, and only when something is missing. LDT_EXTRA_PACKAGES adds more.
set -euo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${1:-$here/build}"
shift || true

# What each package is for:
#   cmake make g++          the build
#   qt6-base-dev            Qt 6 Widgets for the window, QtTest for its tests, platform plugins
#   libgtest-dev            GoogleTest for the Qt-free libraries' tests
#   xvfb xauth              an X server without a screen, for the tests that need real X
#   imagemagick             `import`, to take screenshots of the window under Xvfb
#   x11vnc                  (console.sh on a machine without a display, and its test) shows the window over VNC
#   libserialport-dev       serial displays on real serial and USB-serial ports
#   libtomlplusplus-dev     toml++, to read the device configuration files
#   xfonts-base             the misc-fixed 5x7 bitmap font: user characters and the virtual display's dots
#   libfreetype-dev         FreeType, to read that font
#   libicu-dev              ICU's transliterators, for letters no page or user character shows
packages=(cmake make g++ qt6-base-dev libgtest-dev xvfb xauth imagemagick x11vnc libserialport-dev libtomlplusplus-dev
          xfonts-base libfreetype-dev libicu-dev ${LDT_EXTRA_PACKAGES:-})

"$here/scripts/install-packages.sh" setup "${packages[@]}"
[ "$build" = --packages-only ] && exit 0

cmake -S "$here" -B "$build" "$@" >/dev/null
cmake --build "$build" -j"$(nproc)"
