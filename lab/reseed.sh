#!/usr/bin/env bash
# lab/reseed.sh STATE_DIR PC: gives a lab PC's Winlogon values back the data it started with
# (values it started without are left as they are), and a PC with a service manager its service
# as it started.
set -euo pipefail
lab_dir=$(cd "$(dirname "$0")" && pwd -P)
# shellcheck source=lab/lib.sh
source "$lab_dir/lib.sh"

state=$(lab_state_dir "${1:-}")
(($# == 2)) || lab_die "usage: lab/reseed.sh STATE_DIR PC"
dir=$LAB_ROOT/pcs/${2^^}
lab_enter "$state" test -f "$dir/seed.reg" || lab_die "no lab PC ${2^^}"
lab_enter "$state" net -s "$dir/smb.conf" registry import "$dir/seed.reg" >/dev/null
if lab_enter "$state" test -s "$dir/pid/service-manager.pid"; then
  before=$(lab_enter "$state" stat -c %i "$dir/service.json" 2>/dev/null || true)
  lab_enter "$state" sh -c 'kill -HUP "$(cat "$1")"' sh "$dir/pid/service-manager.pid"
  # The service manager replaces its state file (a new inode) once the service is back.
  for _ in $(seq 100); do
    [[ $(lab_enter "$state" stat -c %i "$dir/service.json" 2>/dev/null) != "$before" ]] && break
    sleep 0.02
  done
fi
