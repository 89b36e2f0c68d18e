#!/usr/bin/env bash
# Runs a Windows program under Wine for CTest. Wine's exit status is the program's; a crash
# that reached Wine's debugger (its backtrace goes to standard output) fails the run even when
# the exit status would pass it.
set -uo pipefail
export WINEDEBUG=${WINEDEBUG:--all}
wine=${WINE:-wine}

output=$(mktemp)
trap 'rm -f "$output"' EXIT
"$wine" "$@" >"$output"
status=$?
cat "$output"
if grep -a -q -E '^(Unhandled exception|wine: Unhandled|Backtrace:)' "$output"; then
  echo "wine-run: the program crashed (Wine's debugger report above)"
  exit 125
fi
exit "$status"
