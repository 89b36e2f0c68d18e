#!/usr/bin/env bash
# tests/fleet/lab_services.sh GROUP STATE_DIR FLEET: cairnmark-fleet (the lab-key build) against
# the lab PCs whose RemoteRegistry service the lab's service manager plays. Every case reads the
# service afterwards on the PC itself (lab/service-state.sh), never from the records.
#   table      each service PC with --start-registry --set-default, and each without
#              --start-registry: the record, the service as left, the value on the PC; nothing
#              left pending in the journal
#   deadline   a worker that hangs while a start is pending, ended at the PC's deadline: the
#              fleet puts the PC back, and nothing is left pending in the journal
#   interrupt  Ctrl-C (SIGINT to the process group) while a start is pending: put back, and
#              nothing left pending in the journal beside the records
#   crash      SIGKILL while a start is pending: to the worker alone, and the fleet puts the
#              PC back; to the whole run, and --restore-services from the journal beside the
#              records does; each leaves nothing pending; a journal that is no journal
# The interruptions use PC19 made Disabled (lab/service-set.sh): its start stays pending for 3 s,
# and a Disabled service must be both stopped and disabled again.
set -euo pipefail
group=$1 state=$2 fleet=$3
lab=$(cd "$(dirname "$0")/../../lab" && pwd -P)
work=$(mktemp -d)
service_pcs=(pc17 pc18 pc19 pc20 pc23 pc24)
listed=()
for pc in "${service_pcs[@]}"; do listed+=(--pc "$pc"); done
reseed_all() { for pc in "${service_pcs[@]}"; do bash "$lab/reseed.sh" "$state" "$pc"; done; }
trap 'reseed_all; rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
run() { bash "$lab/run.sh" "$state" "$@"; }

# The service as its manager last wrote it: state/start type/starts/trigger starts/stops.
service() {
  bash "$lab/service-state.sh" "$state" "$1" | python3 -c 'import json, sys
s = json.load(sys.stdin)
print("/".join(str(s[k]) for k in ("state", "start_type", "starts", "trigger_starts", "stops")))'
}
expect_service() { # PC WANT WHAT
  local got
  got=$(service "$1")
  [[ $got == "$2" ]] || fail "$3: $1's service is $got, expected $2"
}
# One line per record: pc exit_code reason registry_service_before registry_service_after, where
# a field never filled (null or empty) is "-".
records() {
  [[ -f $1 ]] || return 0
  python3 -c 'import json, sys
for line in open(sys.argv[1], encoding="utf-8"):
    r = json.loads(line)
    print(" ".join(str(r.get(k)) if r.get(k) not in (None, "") else "-" for k in
                   ("pc", "exit_code", "reason", "registry_service_before", "registry_service_after")))' "$1"
}
# Waits up to 5 s for the PC's start to be pending.
start_pending() {
  for _ in $(seq 100); do
    [[ $(service "$1") == start_pending/* ]] && return 0
    sleep 0.05
  done
  fail "$1's start never became pending: $(service "$1")"
  return 1
}
# A fleet run in a session of its own, so that the case can signal its whole process group as a
# terminal's Ctrl-C does; its pid, which leads that group, goes to runner.
run_detached() {
  setsid bash "$lab/run.sh" "$state" "$fleet" "$@" >"$work/out" 2>&1 &
  runner=$!
}
signal_group() { # SIGNAL PID
  [[ $(ps -o pgid= -p "$2" | tr -d ' ') == "$2" ]] || { fail "the run does not lead its group"; return 1; }
  kill "-$1" -- "-$2"
}
# A journal whose changes were all put back has nothing pending: a restore from it leaves alone
# the PC's service even when someone has since enabled and started it.
nothing_pending() { # JOURNAL PC
  local status=0 want
  bash "$lab/service-set.sh" "$state" "$2" manual start || { fail "$2 cannot be started"; return; }
  want=$(service "$2")
  run "$fleet" --restore-services "$1" >"$work/out" 2>&1 || status=$?
  ((status == 0)) || fail "restore from $1: exit $status: $(cat "$work/out")"
  expect_service "$2" "$want" "a restore from $1 with nothing pending"
}
slow_disabled() {
  bash "$lab/reseed.sh" "$state" pc19
  bash "$lab/service-set.sh" "$state" pc19 disabled
}

case $group in
  table)
    # pc, with (--start-registry) or without, exit code, reason, the service before and after as
    # recorded ("a,b": either), and on the PC afterwards: state/start type/starts/trigger
    # starts/stops, and its DefaultDomainName. A trigger start is the PC's own, left running as
    # Windows leaves it; a service the run started or enabled is stopped or disabled again.
    rows=(
      "pc17 with 0 ok - - running/manual/1/1/0 NEWDOM"
      "pc18 with 0 ok stopped/disabled stopped/disabled stopped/disabled/1/0/1 NEWDOM"
      "pc19 with 0 ok - - running/manual/1/1/0 NEWDOM"
      "pc20 with 16 service-control-denied -,stopped/disabled -,stopped/disabled stopped/disabled/0/0/0 OLDDOM"
      "pc23 with 16 service-start-failed stopped/manual stopped/manual stopped/manual/1/0/0 OLDDOM"
      "pc24 with 0 ok - - running/manual/0/0/0 NEWDOM"
      "pc17 without 0 ok - - running/manual/1/1/0 NEWDOM"
      "pc18 without 16 registry-service-disabled stopped/disabled -,stopped/disabled stopped/disabled/0/0/0 OLDDOM"
      "pc19 without 0 ok - - running/manual/1/1/0 NEWDOM"
      "pc20 without 16 registry-service-disabled stopped/disabled -,stopped/disabled stopped/disabled/0/0/0 OLDDOM"
      "pc23 without 16 registry-service-stopped stopped/manual -,stopped/manual stopped/manual/0/0/0 OLDDOM"
      "pc24 without 0 ok - - running/manual/0/0/0 NEWDOM"
    )
    for mode in with without; do
      reseed_all
      options=(--jsonl "$work/$mode.jsonl")
      [[ $mode == with ]] && options+=(--start-registry --journal "$work/journal")
      run "$fleet" --domain newdom --set-default --quiet --jobs 6 "${options[@]}" "${listed[@]}" \
        >/dev/null || true
      records "$work/$mode.jsonl" >"$work/$mode.records"
      for row in "${rows[@]}"; do
        read -r pc with code reason before after want value <<<"$row"
        [[ $with == "$mode" ]] || continue
        read -r _ got_code got_reason got_before got_after < <(grep "^$pc " "$work/$mode.records" || echo "- - no-record - -")
        [[ $got_code/$got_reason == "$code/$reason" && ,$before, == *",$got_before,"* &&
          ,$after, == *",$got_after,"* ]] ||
          fail "$pc $mode: recorded $got_code $got_reason $got_before $got_after, expected $code $reason $before $after"
        expect_service "$pc" "$want" "$pc $mode"
        got=$(bash "$lab/getvalue.sh" "$state" "$pc" lab DefaultDomainName)
        [[ $got == "$value" ]] || fail "$pc $mode: DefaultDomainName $got, expected $value"
      done
    done
    nothing_pending "$work/journal" pc18
    ;;
  deadline)
    # The worker stops answering mid-start (SIGSTOP, as a call that never returns): the fleet
    # ends it at the deadline and puts its PC back itself.
    slow_disabled
    run_detached --domain newdom --set-default --start-registry --deadline 4 --pc pc19 \
      --jsonl "$work/r.jsonl"
    if start_pending pc19; then
      workers=$(cat /proc/"$runner"/task/*/children)
      for worker in $workers; do kill -STOP "$worker"; done
    fi
    started=$SECONDS
    wait "$runner" || true
    ((SECONDS - started <= 20)) || fail "the run took $((SECONDS - started)) s after the start"
    read -r _ code reason _ < <(records "$work/r.jsonl")
    [[ $code/$reason == 2/stopped-at-deadline ]] ||
      fail "recorded $code $reason, expected 2 stopped-at-deadline: $(cat "$work/out")"
    expect_service pc19 stopped/disabled/1/0/1 deadline
    [[ $(service pc19) != stopped/disabled/* ]] || nothing_pending "$work/r.jsonl.journal" pc19
    ;;
  interrupt)
    slow_disabled
    run_detached --domain newdom --set-default --start-registry --pc pc19 --jsonl "$work/r.jsonl"
    start_pending pc19 && signal_group INT "$runner"
    status=0 && wait "$runner" || status=$?
    ((status == 130)) || fail "exit $status, expected 130: $(cat "$work/out")"
    expect_service pc19 stopped/disabled/1/0/1 Ctrl-C
    nothing_pending "$work/r.jsonl.journal" pc19
    ;;
  crash)
    # The worker alone killed: the fleet puts its PC back.
    slow_disabled
    run_detached --domain newdom --set-default --start-registry --pc pc19 --jsonl "$work/w.jsonl"
    if start_pending pc19; then
      workers=$(cat /proc/"$runner"/task/*/children)
      for worker in $workers; do kill -KILL "$worker"; done
    fi
    wait "$runner" || true
    expect_service pc19 stopped/disabled/1/0/1 "the worker killed"
    nothing_pending "$work/w.jsonl.journal" pc19
    # The whole run killed, as by a power cut: --restore-services puts the PC back.
    slow_disabled
    run_detached --domain newdom --set-default --start-registry --pc pc19 --jsonl "$work/r.jsonl"
    start_pending pc19 && signal_group KILL "$runner"
    wait "$runner" 2>/dev/null || true
    [[ $(service pc19) == @(start_pending|running)/manual/1/0/0 ]] ||
      fail "the killed run left the service $(service pc19), not enabled and starting"
    status=0 && run "$fleet" --restore-services "$work/r.jsonl.journal" >"$work/out" 2>&1 || status=$?
    ((status == 0)) || fail "restore: exit $status: $(cat "$work/out")"
    expect_service pc19 stopped/disabled/1/0/1 "restore after SIGKILL"
    nothing_pending "$work/r.jsonl.journal" pc19
    echo 'no journal' >"$work/bad"
    status=0 && run "$fleet" --restore-services "$work/bad" >/dev/null 2>&1 || status=$?
    ((status == 2)) || fail "a journal that is no journal: exit $status, expected 2"
    ;;
  *) echo "unknown group $group" >&2; exit 2 ;;
esac
((failures == 0))
