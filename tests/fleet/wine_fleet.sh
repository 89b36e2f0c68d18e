#!/usr/bin/env bash
# tests/fleet/wine_fleet.sh FLEET_EXE: cairnmark-fleet.exe under Wine, inside the private network
# of tests/win32/wine-lab.sh: worker processes, records and the summary of the Windows build,
# and a worker stopped at its deadline that still tells its step and address.
# Under Wine only the local computer (cairnlab) answers the workstation query, and the server
# query never succeeds; pc01 is a name where nothing answers, silent swallows echo requests.
set -euo pipefail
if [[ ${CAIRN_WINE_LAB:-} != 1 ]]; then
  echo "skipped: needs the private lab of tests/win32/wine-lab.sh"
  exit 77
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
printf 'cairnlab\npc01\nnosuch\n; a comment\n300.1.1.1\nsilent\n' >"$work/list"
status=0
WINEDEBUG=-all wine "$1" --domain cairnlab --ping --csv "$work/r.csv" \
  "$work/list" >"$work/out" 2>&1 || status=$?
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
((status == 1)) || fail "exit status $status, expected 1: $(cat "$work/out")"
while read -r pc want; do
  got=$(awk -F, -v pc="$pc" 'NR > 1 && $1 == pc { print $4 "|" $5 "|" $6 "|" $7 }' "$work/r.csv")
  [[ $got == "$want" ]] || fail "$pc: got '$got', expected '$want'"
done <<EOF_CASES
cairnlab 2|rpc-failure|NetServerGetInfo|124
pc01 2|rpc-failure|NetWkstaGetInfo|124
nosuch 1|not-resolved|gethostbyname|11001
300.1.1.1 99|bad-value||
silent 1|no-echo-reply|IcmpSendEcho|11010
EOF_CASES
grep -q '^5 PCs checked' "$work/out" || fail "summary: $(head -1 "$work/out")"
# A worker stopped at its deadline inside its echo request still reports that step and the address.
WINEDEBUG=-all wine "$1" --domain cairnlab --ping --deadline 1 --quiet --pc silent \
  --csv "$work/d.csv" >/dev/null 2>&1 || true
got=$(awk -F, 'NR == 2 { print $3 "|" $5 "|" $6 "|" $7 }' "$work/d.csv")
[[ $got == "127.0.0.9|stopped-at-deadline|IcmpSendEcho|" ]] || fail "stopped worker: '$got'"
((failures == 0))
