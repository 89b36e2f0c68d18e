#!/usr/bin/env bash
# The README's sample batch file, run by Wine's cmd over PCs of the private network: what counts
# is the errorlevel it records for each, every code read when its line runs.
#   batch.sh CAIRNMARK.EXE
set -uo pipefail
[[ ${CAIRNMARK_PRIVATE_NET:-} == 1 ]] || { echo "skipped: needs tests/win32/wine-lab.sh" && exit 77; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
awk '/^## Windows build/ { section = 1 } section && /^```bat/ { body = 1; next }
     body && /^```/ { exit } body { printf "%s\r\n", $0 }' "$(dirname "$0")/../../README.md" \
  >"$work/check.bat"
cp "$1" "$work/cairnmark.exe"
printf '; PCs\r\npc01\r\nnosuchpc\r\nabcdefghijklmnopq\r\n' >"$work/pcs.txt"
(cd "$work" && wine cmd /c check.bat)
printf 'pc,errorlevel\r\npc01,2\r\nnosuchpc,1\r\nabcdefghijklmnopq,99\r\n' | cmp - "$work/results.csv"
