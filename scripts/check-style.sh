#!/usr/bin/env bash
# Static checks: fails on any include against the layering table
# (scripts/check-layers.sh), on any tracked C++ file that clang-format would
# change, and on any clang-tidy finding in the project's own code
# (.clang-tidy; only the project's headers are looked at). clang-tidy reads the compilation
# database of a normal build and runs on both cores.
# Usage: scripts/check-style.sh [build folder with compile_commands.json]
# (scripts/format.sh fixes the formatting.)
set -euo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${1:-$here/build}"
LDT_EXTRA_PACKAGES="clang-format-14 clang-tidy-14 ${LDT_EXTRA_PACKAGES:-}" "$here/scripts/setup.sh" "$build" \
  -DCMAKE_EXPORT_COMPILE_COMMANDS=ON >/dev/null
cd "$here"
status=0

"$here/scripts/check-layers.sh" "$here" || status=1

unformatted=()
while IFS= read -r -d '' f; do
  clang-format-14 --dry-run --Werror "$f" >/dev/null 2>&1 || unformatted+=("$f")
done < <(git ls-files -z '*.cpp' '*.h')
if ((${#unformatted[@]})); then
  echo "check-style: ${#unformatted[@]} files are not formatted (run scripts/format.sh):" >&2
  printf '  %s\n' "${unformatted[@]}" >&2
  status=1
fi

# Our own sources only (not the files CMake and Qt's moc generate).
if ! run-clang-tidy-14 -quiet -j2 -p "$build" "^$here/(app|bench|commands|device|devices|display|lettering|model|tests|serial|emulator|packaging|run)/.*\.cpp$" \
    > "$build/clang-tidy.log" 2>&1; then
  grep -E "(warning|error):" "$build/clang-tidy.log" | sort -u >&2 || cat "$build/clang-tidy.log" >&2
  echo "check-style: clang-tidy found problems (full output: $build/clang-tidy.log)" >&2
  status=1
fi
exit "$status"
