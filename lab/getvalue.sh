#!/usr/bin/env bash
# lab/getvalue.sh STATE_DIR PC real|lab|policy VALUE_NAME: prints the data of a value as the lab
# PC stores it (read locally from its registry, not over the network), or exits 1 when the value
# does not exist. "real" is the Winlogon key itself, "lab" the writable stand-in, "policy" the
# logon-domain policy's key.
set -euo pipefail
lab_dir=$(cd "$(dirname "$0")" && pwd -P)
# shellcheck source=lab/lib.sh
source "$lab_dir/lib.sh"

state=$(lab_state_dir "${1:-}")
(($# == 4)) || lab_die "usage: lab/getvalue.sh STATE_DIR PC real|lab|policy VALUE_NAME"
key=$(lab_winlogon_key "$3")
conf=$(lab_pc_conf "$state" "$2")
out=$(lab_enter "$state" net -s "$conf" registry getvalue "$key" "$4" 2>/dev/null) || exit 1
sed -n 's/^Value *= "\(.*\)"$/\1/p' <<<"$out"
