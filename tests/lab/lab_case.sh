#!/usr/bin/env bash
# tests/lab/lab_case.sh STATE_DIR CASES_FILE CASE CAIRNMARK CAIRNMARK_LABKEY
#
# Runs one case of CASES_FILE inside the running lab and checks what a batch file and a person
# would see: the exit code, the exact bytes on standard output (CR LF line ends), an empty
# standard error, and, read back on the lab PC itself, the Winlogon values afterwards.
#
# A case is a block that starts with "=== NAME" and holds these lines:
#   binary: real | labkey     real: rewrites the Winlogon key; labkey: the writable stand-in
#   reseed: PC                before the run, give PC's Winlogon values their start data
#   set: PC real|lab|policy NAME DATA   then store DATA in a value
#   In DATA and TEXT, {C*N} stands for N copies of the character C.
#   run: ARGS...              the command line (split at blanks)
#   env: NAME=VALUE           run with this environment variable (e.g. other credentials)
#   kinit: PRINCIPAL [SECONDS]   run with a Kerberos ticket only: PRINCIPAL's ticket (lab
#                             password) in a private cache named by KRB5CCNAME, without USER and
#                             PASSWD; with SECONDS the ticket lives that long, and the run
#                             starts once it has expired
#   silent-kdc: DOMAIN        the domain's KDC drops every packet during the run (after kinit)
#   exit: CODE
#   max-seconds: N            the run must end within N seconds
#   >TEXT                     one expected line of standard output, TEXT exactly (no line: none)
#   value: PC real|lab|policy NAME DATA   afterwards the value holds DATA ("-": does not exist)
#   service: PC STATE START_TYPE   afterwards PC's RemoteRegistry (a regsvc PC) is in STATE with
#                             START_TYPE, as its service manager says (lab/service-state.sh)
set -euo pipefail
(($# == 5)) || { echo "usage: $0 STATE_DIR CASES_FILE CASE CAIRNMARK CAIRNMARK_LABKEY" >&2; exit 2; }
state=$1 cases=$2 name=$3
lab=$(cd "$(dirname "$0")/../../lab" && pwd -P)
# shellcheck source=lab/lib.sh
source "$lab/lib.sh"
declare -A binaries=([real]=$4 [labkey]=$5)

binary='' exit_code='' max_seconds=60 found=0
args=() environment=() kinit=() reseed=() settings=() expected_lines=() values=() services=()
silent_kdc=''
in_case=0
while IFS= read -r line || [[ -n $line ]]; do
  if [[ $line == "=== "* ]]; then
    ((in_case)) && break
    [[ $line =~ ^===\ +(.*)$ && ${BASH_REMATCH[1]} == "$name" ]] && in_case=1 found=1
    continue
  fi
  ((in_case)) || continue
  case $line in
    'binary: '*) binary=${line#binary: } ;;
    'reseed: '*) reseed+=("${line#reseed: }") ;;
    'set: '*) settings+=("${line#set: }") ;;
    'run: '*) read -r -a args <<<"${line#run: }" ;;
    'env: '*) environment+=("${line#env: }") ;;
    'kinit: '*) read -r -a kinit <<<"${line#kinit: }" ;;
    'silent-kdc: '*) silent_kdc=${line#silent-kdc: } ;;
    'exit: '*) exit_code=${line#exit: } ;;
    'max-seconds: '*) max_seconds=${line#max-seconds: } ;;
    '>'*) expected_lines+=("${line#>}") ;;
    'value: '*) values+=("${line#value: }") ;;
    'service: '*) services+=("${line#service: }") ;;
    '' | '#'*) ;;
    *) echo "case $name: cannot read: $line" >&2; exit 2 ;;
  esac
done <"$cases"
((found)) || { echo "no case $name in $cases" >&2; exit 2; }
[[ -n ${binaries[$binary]:-} && -n $exit_code ]] || { echo "case $name: binary or exit missing" >&2; exit 2; }

# {C*N} stands for N copies of C, so that long data and the lines showing it stay readable.
expand() {
  local text=$1
  while [[ $text =~ ^(.*)\{(.)\*([0-9]+)\}(.*)$ ]]; do
    text=${BASH_REMATCH[1]}$(printf "%${BASH_REMATCH[3]}s" '' | tr ' ' "${BASH_REMATCH[2]}")${BASH_REMATCH[4]}
  done
  printf '%s' "$text"
}

for pc in "${reseed[@]}"; do bash "$lab/reseed.sh" "$state" "$pc"; done
for setting in "${settings[@]}"; do
  read -r pc key value_name data <<<"$setting"
  bash "$lab/setvalue.sh" "$state" "$pc" "$key" "$value_name" "$(expand "$data")"
done

work=$(mktemp -d)
cleanup() {
  [[ -z $silent_kdc ]] || bash "$lab/silence-kdc.sh" "$state" "$silent_kdc" off
  rm -rf "$work"
}
trap cleanup EXIT

if ((${#kinit[@]})); then
  ccache=FILE:$work/krb5cc
  lifetime=()
  ((${#kinit[@]} < 2)) || lifetime=(-l "${kinit[1]}s")
  printf '%s\n' "$LAB_PASSWORD" | bash "$lab/run.sh" "$state" env KRB5CCNAME="$ccache" \
    kinit "${lifetime[@]}" "${kinit[0]}" >/dev/null
  if ((${#kinit[@]} >= 2)); then
    for _ in $(seq 100); do
      bash "$lab/run.sh" "$state" env KRB5CCNAME="$ccache" klist -s || break
      sleep 0.1
    done
  fi
  environment=(-u USER -u PASSWD KRB5CCNAME="$ccache" "${environment[@]}")
fi
[[ -z $silent_kdc ]] || bash "$lab/silence-kdc.sh" "$state" "$silent_kdc" on
expected=$work/expected
: >"$expected"
for text in "${expected_lines[@]}"; do printf '%s\r\n' "$(expand "$text")" >>"$expected"; done

echo "run: ${environment[*]} ${binaries[$binary]##*/} ${args[*]}"
started=$(date +%s%N)
status=0
bash "$lab/run.sh" "$state" env "${environment[@]}" "${binaries[$binary]}" "${args[@]}" \
  >"$work/stdout" 2>"$work/stderr" ||
  status=$?
elapsed_ms=$((($(date +%s%N) - started) / 1000000))
echo "exit $status after $elapsed_ms ms"

failed=0
fail() {
  echo "FAIL: $*"
  failed=1
}
((status == exit_code)) || fail "exit code $status, expected $exit_code"
if ! cmp -s "$expected" "$work/stdout"; then
  fail "standard output differs (expected, then actual; ^M is CR):"
  cat -A "$expected" | sed 's/^/  want| /'
  cat -A "$work/stdout" | sed 's/^/  got | /'
fi
[[ ! -s $work/stderr ]] || { fail "standard error is not empty:"; sed 's/^/  | /' "$work/stderr"; }
((elapsed_ms <= max_seconds * 1000)) || fail "took $elapsed_ms ms, bound is $max_seconds s"

for value in "${values[@]}"; do
  read -r pc key value_name want <<<"$value"
  got=$(bash "$lab/getvalue.sh" "$state" "$pc" "$key" "$value_name") || got=-
  want=$(expand "$want")
  [[ $got == "$want" ]] || fail "$pc $key $value_name holds '$got', expected '$want'"
done
for service in "${services[@]}"; do
  read -r pc want_state want_type <<<"$service"
  got=$(bash "$lab/service-state.sh" "$state" "$pc" |
    /usr/bin/python3 -c 'import json, sys; s = json.load(sys.stdin); print(s["state"], s["start_type"])')
  [[ $got == "$want_state $want_type" ]] || fail "$pc's service is '$got', expected '$want_state $want_type'"
done
exit "$failed"
