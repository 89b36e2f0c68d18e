#!/usr/bin/env bash
# lab/getvalue.sh STATE_DIR PC real|lab VALUE_NAME: prints the data of a Winlogon value as the
# lab PC stores it (read locally from its registry, not over the network), or exits 1 when the
# value does not exist. "real" is the Winlogon key itself, "lab" the writable stand-in.
set -euo pipefail
lab_dir=$(cd "$(dirname "$0")" && pwd -P)
# shellcheck source=lab/lib.sh
source "$lab_dir/lib.sh"

state=$(lab_state_dir "${1:-}")
(($# == 4)) || lab_die "usage: lab/getvalue.sh STATE_DIR PC real|lab VALUE_NAME"
pc=${2^^}
case $3 in
  real) key=$REAL_KEY ;;
  lab) key=$LAB_KEY ;;
  *) lab_die "key must be real or lab, not $3" ;;
esac
conf=$LAB_ROOT/pcs/$pc/smb.conf
lab_enter "$state" test -f "$conf" || lab_die "no lab PC $pc"
out=$(lab_enter "$state" net -s "$conf" registry getvalue "$key" "$4" 2>/dev/null) || exit 1
sed -n 's/^Value *= "\(.*\)"$/\1/p' <<<"$out"
