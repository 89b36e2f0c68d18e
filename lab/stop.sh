#!/usr/bin/env bash
# lab/stop.sh STATE_DIR: stops every process the lab started, by pid, and with the last of them
# the lab's namespaces and every mount made in them. Safe after a failed or partial start and
# when run twice.
set -euo pipefail
lab_dir=$(cd "$(dirname "$0")" && pwd -P)
# shellcheck source=lab/lib.sh
source "$lab_dir/lib.sh"

state=$(lab_state_dir "${1:-}")
netns=''
[[ -s $state/netns.id ]] && netns=$(<"$state/netns.id")
holder=''
[[ -s $state/holder.pid ]] && holder=$(<"$state/holder.pid")

# Every process in the lab's network namespace was started by the lab (or by run.sh in it).
lab_processes() {
  [[ -n $netns ]] || return 0
  # One find over all of /proc: a readlink per process would take half a second per sweep.
  find /proc -mindepth 3 -maxdepth 3 -path '/proc/[0-9]*/ns/net' -printf '%h %l\n' 2>/dev/null |
    awk -v netns="$netns" -v holder="$holder" '$2 == netns { split($1, p, "/"); if (p[3] != holder) print p[3] }'
}

# TERM the daemons named in their pid files first: smbd, then samba-dcerpcd (which is not smbd's
# child and outlives it), a member's winbindd, and a domain controller's samba (whose own smbd
# and winbindd are its children).
for dir in "/proc/$holder/root$LAB_ROOT"/{pcs,dcs}/*/pid; do
  for daemon in smbd samba-dcerpcd winbindd samba; do
    [[ -s $dir/$daemon.pid ]] || continue
    pid=$(<"$dir/$daemon.pid")
    if [[ -n $netns && $(readlink "/proc/$pid/ns/net" 2>/dev/null) == "$netns" ]]; then
      kill -TERM "$pid" 2>/dev/null || true
    fi
  done
done

# Then whatever is left in the namespace (smbd's and samba-dcerpcd's workers, clients): TERM,
# and KILL what has not gone after two seconds.
gone_within_2s() {
  for _ in $(seq 100); do
    mapfile -t left < <(lab_processes)
    ((${#left[@]})) || return 0
    sleep 0.02
  done
  return 1
}
for signal in TERM KILL; do
  gone_within_2s && break
  kill "-$signal" "${left[@]}" 2>/dev/null || true
done
gone_within_2s || lab_die "processes still in the lab namespace: ${left[*]}"

# Last the holder: with it go the namespaces and their mounts (/etc overlay, tmpfs).
if [[ -n $holder && -n $netns && $(readlink "/proc/$holder/ns/net" 2>/dev/null) == "$netns" ]]; then
  kill -TERM "$holder" 2>/dev/null || true
  # Its namespaces go when it exits, before its parent (init) reaps it: a zombie counts as gone.
  for _ in $(seq 100); do
    state_letter=$(awk '{ print $3 }' "/proc/$holder/stat" 2>/dev/null) || break
    [[ -n $state_letter && $state_letter != Z ]] || break
    sleep 0.02
  done
fi

rm -f "$state/holder.pid" "$state/netns.id"
echo "lab: stopped ($state)"
