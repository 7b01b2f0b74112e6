#!/usr/bin/env bash
# Builds the Debian package linedisplaytest_<version>_amd64.deb with CPack
# from a Release build in build-package/, and checks it with lintian (any
# error fails). Prints the package's path last.
# Usage: scripts/package.sh
# scripts/package-test.sh then installs, runs and removes it.
set -euo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="$here/build-package"
# What each package is for: dpkg-dev computes the dependencies from the
# programs' shared libraries (dpkg-shlibdeps); lintian checks the package.
LDT_EXTRA_PACKAGES="dpkg-dev lintian ${LDT_EXTRA_PACKAGES:-}" "$here/scripts/setup.sh" "$build" \
  -DCMAKE_BUILD_TYPE=Release -DLDT_BUILD_TESTS=OFF -DLDT_BUILD_BENCH=OFF \
  -DCMAKE_CXX_FLAGS="-D_FORTIFY_SOURCE=2 -fstack-protector-strong" \
  -DCMAKE_EXE_LINKER_FLAGS="-Wl,-z,relro -Wl,-z,now"
rm -f "$build"/linedisplaytest_*.deb
(cd "$build" && cpack --config CPackConfig.cmake >/dev/null)
deb="$(ls "$build"/linedisplaytest_*_amd64.deb)"
# Errors fail; warnings are shown. A package not built by a Debian source
# package has no source to check, and its binaries are statically linked to
# the project's own libraries on purpose.
lintian --fail-on error --tag-display-limit 0 "$deb" 2>&1 | grep -v "^running with root privileges" >&2 || true
lintian --fail-on error --tag-display-limit 0 "$deb" >/dev/null 2>&1
echo "$deb"
