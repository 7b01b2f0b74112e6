#!/usr/bin/env bash
# The layering check on a small tree of its own: includes that keep to the
# table pass; an include against the direction of the layers, one of a
# folder the table does not know, and a system header in the model each
# fail, named by file and line. Then the real tree must pass.
# Usage: check_layers_test.sh <repository root>
set -uo pipefail
root="$1"
check="$root/scripts/check-layers.sh"
tree="$(mktemp -d)"
trap 'rm -rf "$tree"' EXIT
mkdir -p "$tree/model" "$tree/display" "$tree/app"
printf '#include "model/Utf.h"\n#include <vector>\n' >"$tree/model/Good.h"
printf '#include "model/Utf.h"\n' >"$tree/display/Good.h"
printf '#include "app/qt/Step1.h"\n' >"$tree/app/main.cpp"  # composition is free
bash "$check" "$tree" >/dev/null || { echo "FAIL: a sound tree was refused"; exit 1; }

printf '// up the layers\n#include "device/Registry.h"\n' >"$tree/model/Bad.h"
printf '#include "nowhere/Thing.h"\n' >"$tree/display/Lost.h"
printf '#include <string>\n#include <unistd.h>\n#include <thread>\n' >"$tree/model/System.cpp"
out="$(bash "$check" "$tree" 2>&1)" && { echo "FAIL: wrong includes passed"; exit 1; }
for expected in 'model/Bad.h:2: model may not include device' 'display/Lost.h:1: display may not include "nowhere/Thing.h"' \
                'model/System.cpp:2: model may not include <unistd.h>' 'model/System.cpp:3: model may not include <thread>'; do
  grep -qF "$expected" <<<"$out" || { echo "FAIL: no \"$expected\" in:"; echo "$out"; exit 1; }
done
[ "$(grep -c 'may not' <<<"$out")" -eq 4 ] || { echo "FAIL: more than the four wrong includes:"; echo "$out"; exit 1; }

bash "$check" "$root" || { echo "FAIL: the repository breaks its own layering"; exit 1; }
echo "PASS"
