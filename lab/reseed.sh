#!/usr/bin/env bash
# lab/reseed.sh STATE_DIR PC: gives a lab PC's Winlogon values back the data it started with
# (values it started without are left as they are).
set -euo pipefail
lab_dir=$(cd "$(dirname "$0")" && pwd -P)
# shellcheck source=lab/lib.sh
source "$lab_dir/lib.sh"

state=$(lab_state_dir "${1:-}")
(($# == 2)) || lab_die "usage: lab/reseed.sh STATE_DIR PC"
dir=$LAB_ROOT/pcs/${2^^}
lab_enter "$state" test -f "$dir/seed.reg" || lab_die "no lab PC ${2^^}"
lab_enter "$state" net -s "$dir/smb.conf" registry import "$dir/seed.reg" >/dev/null
