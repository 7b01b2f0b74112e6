#!/usr/bin/env bash
# The layering of the tree, checked: which folder's code may include which
# folder's headers. Each line of the table below is a folder and the folders
# it may use besides itself; a folder not named in an include's row, or an
# include of a folder the table does not know, fails the check with the file
# and line. Arrows point one way, so a row never names a folder above it.
#
# A program's main.cpp is where the layers are composed: it may include any
# of them. The ground floor, model/, also may not reach the operating system: it
# includes only standard C++ headers that make no system calls.
#
# Usage: scripts/check-layers.sh [tree]   (default: this repository)
# Exit status 0 when every include keeps to the table, 1 otherwise.
set -euo pipefail

tree="${1:-$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)}"

# folder          may include (besides itself)
layers='
model
lettering         model
display           model
device            display lettering model
serial            device display lettering model
emulator          lettering model
emulator/qt       emulator lettering model
commands          display model
app               commands device serial display model
devices           app device serial display model
app/qt            app commands device display model
app/win32         app commands display display/com model
display/com       display model
device/com        device display display/com model
run               app commands device serial emulator display display/com model
'

# Standard headers the model may not use: threads, files, streams, signals.
model_forbidden='thread|mutex|shared_mutex|condition_variable|future|stop_token|semaphore|latch|barrier|filesystem|fstream|iostream|cstdio|csignal|ctime|random|locale'

cd "$tree"
status=0

# The table's folder for a path: the longest folder of the table it lies in.
folder_of() {
  local path="$1" best="" f
  while read -r f _; do
    [ -n "$f" ] || continue
    if [[ "$path" == "$f/"* ]] && ((${#f} > ${#best})); then best="$f"; fi
  done <<<"$layers"
  printf '%s' "$best"
}

allowed() {  # allowed FROM TO
  [ "$1" = "$2" ] && return 0
  local f rest
  while read -r f rest; do
    if [ "$f" = "$1" ]; then
      [[ " $rest " == *" $2 "* ]] && return 0
      return 1
    fi
  done <<<"$layers"
  return 1
}

while IFS= read -r file; do
  from="$(folder_of "$file")"
  [ -n "$from" ] || continue  # tests, benchmarks, fuzz targets compose freely
  [ "$(basename "$file")" != main.cpp ] || continue
  while IFS=: read -r line text; do
    if [[ "$text" =~ ^[[:space:]]*#[[:space:]]*include[[:space:]]*\"([^\"]+)\" ]]; then
      header="${BASH_REMATCH[1]}"
      [[ "$header" == */* ]] || continue  # a file beside this one
      to="$(folder_of "$header")"
      if [ -z "$to" ]; then
        echo "$file:$line: $from may not include \"$header\" (a folder the layering table does not know)" >&2
        status=1
      elif ! allowed "$from" "$to"; then
        echo "$file:$line: $from may not include $to (\"$header\"): see the table in scripts/check-layers.sh" >&2
        status=1
      fi
    elif [ "$from" = model ] && [[ "$text" =~ ^[[:space:]]*#[[:space:]]*include[[:space:]]*\<([^\>]+)\> ]]; then
      header="${BASH_REMATCH[1]}"
      if [[ "$header" == *.h || "$header" =~ ^($model_forbidden)$ ]]; then
        echo "$file:$line: model may not include <$header>: the model makes no system calls" >&2
        status=1
      fi
    fi
  done < <(grep -n '#[[:space:]]*include' "$file" || true)
done < <(git ls-files '*.cpp' '*.h' '*.inc' 2>/dev/null || find . -name '*.cpp' -o -name '*.h' -o -name '*.inc' | sed 's|^\./||')

if [ "$status" -eq 0 ]; then echo "check-layers: every include keeps to the layering table"; fi
exit "$status"
