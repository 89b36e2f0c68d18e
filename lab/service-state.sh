#!/usr/bin/env bash
# lab/service-state.sh STATE_DIR PC: the state of a regsvc PC's RemoteRegistry service, as its
# service manager last wrote it, one JSON object: state (stopped, start_pending, running,
# stop_pending), start_type (auto, manual, disabled), and how many starts, trigger starts and
# stops it has seen.
set -euo pipefail
lab_dir=$(cd "$(dirname "$0")" && pwd -P)
# shellcheck source=lab/lib.sh
source "$lab_dir/lib.sh"

state=$(lab_state_dir "${1:-}")
[[ -n ${2:-} ]] || lab_die "usage: lab/service-state.sh STATE_DIR PC"
pid=$(lab_holder_pid "$state") || lab_die "no lab running for $state"
cat "/proc/$pid/root$LAB_ROOT/pcs/${2^^}/service.json"
