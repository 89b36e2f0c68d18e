#!/usr/bin/env bash
# tests/samba/module_boundary.sh MODULE: the Samba module's boundary is its one C entry point, and
# the module brings no C++ runtime of its own into the programs that load it.
set -euo pipefail
module=$1
exports=$(nm -D --defined-only "$module" | awk '{ print $NF }')
[[ $exports == cairnmarkSambaModule ]] || { echo "exports: $exports"; exit 1; }
if objdump -p "$module" | grep -E 'NEEDED +lib(stdc\+\+|c\+\+)'; then exit 1; fi
