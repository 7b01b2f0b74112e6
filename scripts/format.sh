#!/usr/bin/env bash
# Formats every tracked C++ file in place with the committed .clang-format.
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$here"
git ls-files -z '*.cpp' '*.h' | xargs -0 clang-format-14 -i
