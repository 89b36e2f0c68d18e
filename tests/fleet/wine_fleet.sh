#!/usr/bin/env bash
# tests/fleet/wine_fleet.sh FLEET_EXE: cairnmark-fleet.exe under Wine, inside the private lab of
# tests/win32/wine-lab.sh: worker processes, records and the summary of the Windows build.
# Under Wine only the local computer answers the workstation query, and the server query never
# succeeds; the lab's hosts file names pc02 (nothing answers) and pcdown (drops everything).
set -euo pipefail
if [[ -z ${CAIRN_WINE_LAB_HOST:-} ]]; then
  echo "skipped: needs the private lab of tests/win32/wine-lab.sh"
  exit 77
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
printf '%s\npc02\nnosuch\n; a comment\n300.1.1.1\npcdown\n' "$CAIRN_WINE_LAB_HOST" >"$work/list"
status=0
WINEDEBUG=-all wine "$1" --domain "$CAIRN_WINE_LAB_HOST" --ping --csv "$work/r.csv" \
  "$work/list" >"$work/out" 2>&1 || status=$?
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
((status == 1)) || fail "exit status $status, expected 1: $(cat "$work/out")"
while read -r pc want; do
  got=$(awk -F, -v pc="$pc" 'NR > 1 && $1 == pc { print $4 "|" $5 "|" $6 "|" $7 }' "$work/r.csv")
  [[ $got == "$want" ]] || fail "$pc: got '$got', expected '$want'"
done <<EOF_CASES
$CAIRN_WINE_LAB_HOST 2|rpc-failure|NetServerGetInfo|124
pc02 2|rpc-failure|NetWkstaGetInfo|124
nosuch 1|not-resolved|gethostbyname|11001
300.1.1.1 99|bad-value||
pcdown 1|no-echo-reply|IcmpSendEcho|11010
EOF_CASES
grep -q '^5 PCs checked' "$work/out" || fail "summary: $(head -1 "$work/out")"
((failures == 0))
