#!/usr/bin/env bash
# lab/setvalue.sh STATE_DIR PC real|lab VALUE_NAME DATA: stores DATA as a REG_SZ Winlogon value on
# the lab PC itself, with "net registry" (lab/reseed.sh puts the start data back).
set -euo pipefail
lab_dir=$(cd "$(dirname "$0")" && pwd -P)
# shellcheck source=lab/lib.sh
source "$lab_dir/lib.sh"

state=$(lab_state_dir "${1:-}")
(($# == 5)) || lab_die "usage: lab/setvalue.sh STATE_DIR PC real|lab VALUE_NAME DATA"
key=$(lab_winlogon_key "$3")
conf=$(lab_pc_conf "$state" "$2")
lab_enter "$state" net -s "$conf" registry setvalue "$key" "$4" sz "$5" >/dev/null
