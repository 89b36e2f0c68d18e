#!/usr/bin/env bash
# The real binary of either build in the private network of private_net.sh: the handful of runs
# that show the layers are wired together and the backends work against the real system, each
# held to every byte of standard output, its exit status, a silent standard error and its time.
#   e2e.sh linux CAIRNMARK | e2e.sh wine CAIRNMARK.EXE (run by wine)
set -uo pipefail
[[ ${CAIRNMARK_PRIVATE_NET:-} == 1 ]] || { echo "skipped: needs private_net.sh" && exit 77; }
build=$1 program=$2 launcher=${1/linux/} failures=0 work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# [min=MS] [max=MS] expect STATUS OUTPUT ARG...: OUTPUT as a printf format (@usage: usage text)
# shellcheck disable=SC2059,SC2155
expect() {
  local status=$1 format=$2 actual=0 started=$(date +%s%N) problems=()
  shift 2
  printf "${format%@usage}" >"$work/expected"
  [[ $format != *@usage ]] || cat "$(dirname "$0")/../usage.txt" >>"$work/expected"
  $launcher "$program" "$@" >"$work/out" 2>"$work/err" </dev/null || actual=$?
  local ms=$((($(date +%s%N) - started) / 1000000))
  ((actual == status)) || problems+=("exit status $actual")
  cmp -s "$work/expected" "$work/out" || problems+=("output: $(od -c "$work/out")")
  [[ ! -s $work/err ]] || problems+=("standard error: $(cat "$work/err")")
  ((ms >= ${min:-0} && ms <= ${max:-20000})) || problems+=("took $ms ms")
  echo "${problems[*]:-ok}: $* ($ms ms)"
  failures=$((failures + ${#problems[@]}))
}

up=' + Host UP. Successfully pinged: 127.0.0.2\r\n'
no=' - Can not access. NetWkstaGetInfo called failed.\r\n'
expect 9 @usage /M "pc 01" /T newdom
min=1000 max=3000 expect 9 '\r\n\a/X was unexpected.\r\n@usage' /M pc01 /T newdom /x
expect 1 ' - Could not resolve hostname to IP Address.\r\n' /M nohost /T newdom
expect 2 " + Resolved hostname to: 127.0.0.2\r\n$up$no" /M pc01 /T newdom /P
# Admitted to ping sockets, the probes that follow take their first choice, not a raw socket.
echo '0 2147483647' >/proc/sys/net/ipv4/ping_group_range
expect 2 " + Resolved IP address to: PC01.LAB.TEST\r\n$up ! Retrying NetWkstaGetInfo call...\r\n$no" \
  /M 127.000.0.2 /T newdom /P /V
min=3900 max=6000 expect 1 ' + Resolved hostname to: 127.0.0.9\r\n ! Second knock...\r\n'\
' - Host DOWN. Could not ping: 127.0.0.9\r\n' /M silent /T newdom /P /V
# The local computer: Wine answers its workstation query, but never a server query.
[[ $build == wine ]] && no=' - Can not access. NetServerGetInfo call failed.\r\n'
expect 2 " + Resolved IP address to: CAIRNLAB\r\n$no" /M 0.0.0.0 /T newdom
if [[ $build == linux ]]; then
  # A closed standard output costs the lines, never the exit code.
  "$program" /M nohost /T newdom >&- 2>&-
  [[ $? == 1 ]] || { echo "closed standard output: wrong exit status" && failures=$((failures + 1)); }
fi
echo "$failures problems"
((failures == 0))
