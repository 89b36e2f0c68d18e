#!/usr/bin/env bash
# lab/setvalue.sh STATE_DIR PC real|lab|policy VALUE_NAME DATA: stores DATA as a REG_SZ value of
# the Winlogon key, its stand-in or the logon-domain policy's key on the lab PC itself, with "net
# registry" (lab/reseed.sh puts the start data back). The policy's key is made where it is
# missing; a missing Winlogon key stays missing (the set fails), as PC07 relies on.
set -euo pipefail
lab_dir=$(cd "$(dirname "$0")" && pwd -P)
# shellcheck source=lab/lib.sh
source "$lab_dir/lib.sh"

state=$(lab_state_dir "${1:-}")
(($# == 5)) || lab_die "usage: lab/setvalue.sh STATE_DIR PC real|lab|policy VALUE_NAME DATA"
key=$(lab_winlogon_key "$3")
conf=$(lab_pc_conf "$state" "$2")
[[ $3 != policy ]] || lab_enter "$state" net -s "$conf" registry createkey "$key" >/dev/null
lab_enter "$state" net -s "$conf" registry setvalue "$key" "$4" sz "$5" >/dev/null
