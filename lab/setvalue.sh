#!/usr/bin/env bash
# lab/setvalue.sh STATE_DIR PC real|lab VALUE_NAME DATA: stores DATA as a REG_SZ Winlogon value on
# the lab PC itself, with "net registry" (lab/reseed.sh puts the start data back).
set -euo pipefail
lab_dir=$(cd "$(dirname "$0")" && pwd -P)
# shellcheck source=lab/lib.sh
source "$lab_dir/lib.sh"

state=$(lab_state_dir "${1:-}")
(($# == 5)) || lab_die "usage: lab/setvalue.sh STATE_DIR PC real|lab VALUE_NAME DATA"
pc=${2^^}
case $3 in
  real) key=$REAL_KEY ;;
  lab) key=$LAB_KEY ;;
  *) lab_die "key must be real or lab, not $3" ;;
esac
conf=$LAB_ROOT/pcs/$pc/smb.conf
lab_enter "$state" test -f "$conf" || lab_die "no lab PC $pc"
lab_enter "$state" net -s "$conf" registry setvalue "$key" "$4" sz "$5" >/dev/null
