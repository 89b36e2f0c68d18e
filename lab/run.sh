#!/usr/bin/env bash
# lab/run.sh STATE_DIR CMD [ARGS...]: runs CMD inside the lab (its network, its /etc with the lab
# hosts and "hosts: files") as the lab administrator's client: USER and PASSWD are what Samba's
# client libraries read when no credentials are given. Exit status and output are CMD's own.
set -euo pipefail
lab_dir=$(cd "$(dirname "$0")" && pwd -P)
# shellcheck source=lab/lib.sh
source "$lab_dir/lib.sh"

state=$(lab_state_dir "${1:-}")
shift
(($#)) || lab_die "usage: lab/run.sh STATE_DIR CMD [ARGS...]"
pid=$(lab_holder_pid "$state") || lab_die "no lab running for $state"
export USER=$LAB_USER PASSWD=$LAB_PASSWORD LAB_STATE=$state
# setns() into a mount namespace moves the working directory to its root: keep the caller's.
exec nsenter -t "$pid" -n -m --wd="$PWD" -- "$@"
