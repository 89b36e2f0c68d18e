#!/usr/bin/env bash
# End-to-end runs of cairnmark.exe under Wine, inside the private lab of wine-lab.sh: every byte
# of standard output and the exit status, as a batch file would see them.
#
#   e2e.sh GROUP CAIRNMARK_EXE CONSOLE_PROBE_EXE
#
# The lab's hosts file: 127.0.1.1 is the lab host (Wine's computer name), pc02 is 127.0.0.2,
# pc03.lab.example is 127.0.0.3, pcdown (127.0.0.99) never answers. Exit code 77 = skipped.
set -uo pipefail

group=$1
cairnmark=$2
probe=$3

if [[ -z ${CAIRN_WINE_LAB_HOST:-} ]]; then
  echo "skipped: needs the private lab of tests/win32/wine-lab.sh"
  exit 77
fi
lab=${CAIRN_WINE_LAB_HOST^^}
export WINEDEBUG=-all

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
failures=0
cases=0

# expect NAME EXPECTED_STATUS EXPECTED_OUTPUT(printf format) PROGRAM [ARG...]
expect() {
  local name=$1 status=$2 format=$3 program=$4
  shift 4
  cases=$((cases + 1))
  # The expected output is a printf format, so that CR, LF and BEL read as they are written.
  # shellcheck disable=SC2059
  printf "$format" >"$scratch/expected"
  local started=$SECONDS actual=0
  wine "$program" "$@" >"$scratch/actual" 2>"$scratch/stderr" </dev/null || actual=$?
  local problems=()
  # A crash that reached Wine's debugger prints its report to standard output.
  if grep -a -q -E 'Unhandled exception|Backtrace:|wine: Unhandled' "$scratch/actual"; then
    problems+=("crashed (Wine's debugger report in the output)")
  fi
  [[ $actual == "$status" ]] || problems+=("exit status $actual, expected $status")
  cmp -s "$scratch/expected" "$scratch/actual" || problems+=("output differs")
  [[ -s $scratch/stderr ]] && problems+=("wrote to standard error")
  if ((${#problems[@]})); then
    failures=$((failures + 1))
    echo "FAIL $group/$name: ${problems[*]} ($((SECONDS - started)) s)"
    echo "  arguments: $*"
    echo "  expected:"; od -c "$scratch/expected" | sed 's/^/    /'
    echo "  actual:"; od -c "$scratch/actual" | sed 's/^/    /'
    [[ -s $scratch/stderr ]] && sed 's/^/  stderr: /' "$scratch/stderr"
  else
    echo "ok   $group/$name ($((SECONDS - started)) s)"
  fi
}

usage='\r\nUse Cairnmark to verify that a remote PC is in the target domain.\r\n\r\n'
usage+='Cairnmark /M {NetBIOS_Name | IP_Address} /T TARGET_DOMAIN \r\n'
usage+='               [/I] [/S] [/P] [/V | /Q]\r\n\r\n'
usage+='Verifies that a remote PC is in the target domain specified with the /T switch.\r\n'
usage+='Use the /S switch if you want to set the default domain name value to the\r\n'
usage+='target domain. Exits with error code 0 if all goes well.\r\n\r\n'
usage+='/M (required): Specify the host to check\r\n'
usage+='/T (required): Specify the TARGET domain we are migrating to\r\n'
usage+='/S (optional): Set default domain to target domain for next logon\r\n'
usage+='/I (optional): Ignore NetBIOS name mismatch\r\n'
usage+='/P (optional): Ping host to verify online\r\n'
usage+='/V (optional): Verbose: Shows additional information (leading ! in output)\r\n'
usage+='/Q (optional): Quiet: Set errorlevel but display nothing (except syntax errors)\r\n\r\n'
usage+='NOTE: The use of the /S switch does not stop someone from manually selecting\r\n'
usage+='another domain. It simply sets the default. Also, host and domain names should\r\n'
usage+='be NetBIOS names. If a FQDN is passed it will be truncated to the leftmost\r\n'
usage+='label up to the first 15 characters.\r\n\r\n'
usage+='Comments and suggestions are welcome by e-mail: cairnmark-maintainers@example.org\r\n'

serverFailed=' - Can not access. NetServerGetInfo call failed.\r\n'
workstationFailed=' - Can not access. NetWkstaGetInfo called failed.\r\n'
serverRetry=' ! Retrying NetServerGetInfo call...\r\n'
workstationRetry=' ! Retrying NetWkstaGetInfo call...\r\n'

case $group in
  usage)
    expect NoArguments 9 "$usage" "$cairnmark"
    expect HelpSwitch 9 "$usage" "$cairnmark" /M pc02 /T dom /?
    expect UnexpectedItem 9 "\r\n\a/X was unexpected.\r\n$usage" "$cairnmark" /M pc02 /T dom /X
    expect QuietWithVerbose 99 \
      'ERROR: /Q and /V switches can not be used at the same time. Pick one.\r\n' \
      "$cairnmark" -q /M pc02 /T dom -v
    expect DomainTooLong 99 \
      'ERROR: /T: Invalid NetBIOS domain name (must be 15 characters or less).\r\n' \
      "$cairnmark" /M pc02 /T abcdefghijklmnop /Q
    expect HostLabelTooLong 99 \
      'ERROR: /M: Invalid NetBIOS hostname (must be 15 characters or less).\r\n' \
      "$cairnmark" /M abcdefghijklmnop.lab.example /T dom
    expect AddressOfThreeFields 99 'ERROR: /M: Invalid IP Address. Please check format.\r\n' \
      "$cairnmark" /M 127.0.1 /T dom
    # Wine hands the argument back quoted; the blank inside the host value is refused.
    expect BlankInHostValue 9 "$usage" "$cairnmark" /M "pc 02" /T dom
    ;;
  command-line)
    # GetCommandLineA as Wine builds it from the arguments of a Linux command: the program
    # first, then each argument, quoted where it holds a blank or a quote or is empty.
    export CAIRN_PROBE_MODE=tail
    expect PlainArguments 0 '[/M pc02 /T dom /P]' "$probe" /M pc02 /T dom /P
    expect ArgumentWithBlank 0 '[/M "pc 02" /T dom]' "$probe" /M "pc 02" /T dom
    expect EmptyArgument 0 '[/M "" /T dom]' "$probe" /M "" /T dom
    expect NoArguments 0 '[]' "$probe"
    unset CAIRN_PROBE_MODE
    ;;
  resolution)
    expect NameOfThisComputer 2 " + Resolved hostname to: 127.0.1.1\r\n$serverFailed" \
      "$cairnmark" /M "$CAIRN_WINE_LAB_HOST" /T dom
    expect QualifiedNameCutToItsLabel 2 " + Resolved hostname to: 127.0.0.2\r\n$workstationFailed" \
      "$cairnmark" /M pc02.lab.example /T dom
    expect AddressOfThisComputer 2 " + Resolved IP address to: $lab\r\n$serverFailed" \
      "$cairnmark" /M 127.000.001.001 /T dom
    expect AddressZeroIsThisComputer 2 " + Resolved IP address to: $lab\r\n$serverFailed" \
      "$cairnmark" /M 0.0.0.0 /T dom
    expect QualifiedNameOfAddressKeptWhole 2 \
      " + Resolved IP address to: PC03.LAB.EXAMPLE\r\n$workstationRetry$workstationFailed" \
      "$cairnmark" /M 127.0.0.3 /T dom /V
    expect UnknownName 1 ' - Could not resolve hostname to IP Address.\r\n' \
      "$cairnmark" /M nosuchpc /T dom
    expect AddressWithoutName 1 ' - Could not resolve IP Address to hostname.\r\n' \
      "$cairnmark" /M 127.0.0.77 /T dom
    expect UnknownNameQuiet 1 '' "$cairnmark" /M nosuchpc /T dom /Q
    ;;
  ping)
    expect HostUp 2 \
      " + Resolved hostname to: 127.0.0.2\r\n + Host UP. Successfully pinged: 127.0.0.2\r\n$workstationFailed" \
      "$cairnmark" /M pc02 /T dom /P
    started=$SECONDS
    expect HostDown 1 \
      ' + Resolved hostname to: 127.0.0.99\r\n ! Second knock...\r\n - Host DOWN. Could not ping: 127.0.0.99\r\n' \
      "$cairnmark" /M pcdown /T dom /P /V
    # Two attempts of 2 s each, nothing else waits.
    if ((SECONDS - started < 3 || SECONDS - started > 8)); then
      echo "FAIL ping/HostDown took $((SECONDS - started)) s, expected about 4"
      failures=$((failures + 1))
    fi
    expect HostDownQuiet 1 '' "$cairnmark" /M 127.0.0.99 /T dom /P /Q
    ;;
  identity)
    # Wine answers NetWkstaGetInfo level 102 for its own computer but never NetServerGetInfo
    # level 102, so a run on the local name ends at the server query: Wine stops it there.
    expect LocalName 2 \
      " + Resolved hostname to: 127.0.1.1\r\n + Host UP. Successfully pinged: 127.0.1.1\r\n$serverFailed" \
      "$cairnmark" /M "$CAIRN_WINE_LAB_HOST" /T "$CAIRN_WINE_LAB_HOST" /P /S
    expect LocalNameVerbose 2 " + Resolved hostname to: 127.0.1.1\r\n$serverRetry$serverFailed" \
      "$cairnmark" /M "$lab" /T dom /I /V
    expect LocalNameQuiet 2 '' "$cairnmark" /M "$lab" /T dom /S /Q
    ;;
  crash)
    # A crash in a run is an exit code, never a debugger report; the probe crashes on purpose.
    CAIRN_PROBE_MODE=fault expect GuardedFault 255 'before\r\n' "$probe"
    CAIRN_PROBE_MODE=throw expect EscapedException 255 'before\r\n' "$probe"
    # Without the guard Wine's debugger reports the crash; the CTest runner must fail on it.
    cases=$((cases + 1))
    status=0
    CAIRN_PROBE_MODE=unguarded-fault "$(dirname "$0")/../../cmake/wine-run.sh" "$probe" \
      >"$scratch/unguarded" 2>&1 || status=$?
    if [[ $status == 125 ]] && grep -q 'wine-run: the program crashed' "$scratch/unguarded"; then
      echo "ok   crash/UnguardedFaultFailsTheRunner"
    else
      echo "FAIL crash/UnguardedFaultFailsTheRunner: status $status"
      sed 's/^/    /' "$scratch/unguarded" | head -20
      failures=$((failures + 1))
    fi
    ;;
  batch)
    # The README's sample batch file, run by Wine's cmd over a list of lab PCs: what counts is
    # the errorlevel it records for each (cmd's own status is the last run's).
    cases=$((cases + 1))
    readme=$(dirname "$0")/../../README.md
    mkdir "$scratch/batch"
    awk '/^## Windows build/ { section = 1 } section && /^```bat/ { body = 1; next }
         body && /^```/ { exit } body { printf "%s\r\n", $0 }' "$readme" >"$scratch/batch/check.bat"
    cp "$cairnmark" "$scratch/batch/cairnmark.exe"
    printf '; lab PCs\r\npc02\r\nnosuchpc\r\n127.0.0.77\r\n%s\r\nabcdefghijklmnopq\r\n' \
      "$CAIRN_WINE_LAB_HOST" >"$scratch/batch/pcs.txt"
    printf 'pc,errorlevel\r\npc02,2\r\nnosuchpc,1\r\n127.0.0.77,1\r\n%s,2\r\nabcdefghijklmnopq,99\r\n' \
      "$CAIRN_WINE_LAB_HOST" >"$scratch/expected"
    status=0
    (cd "$scratch/batch" && wine cmd /c check.bat >"$scratch/actual" 2>&1) || status=$?
    if [[ ! -s $scratch/batch/check.bat ]]; then
      echo "FAIL batch/SampleBatchFile: no bat block under \"## Windows build\" in README.md"
      failures=$((failures + 1))
    elif cmp -s "$scratch/expected" "$scratch/batch/results.csv"; then
      echo "ok   batch/SampleBatchFile"
    else
      echo "FAIL batch/SampleBatchFile: cmd status $status"
      sed 's/^/  output: /' "$scratch/actual"
      echo "  expected:"; od -c "$scratch/expected" | sed 's/^/    /'
      echo "  results.csv:"; od -c "$scratch/batch/results.csv" 2>&1 | sed 's/^/    /'
      failures=$((failures + 1))
    fi
    ;;
  *)
    echo "unknown group $group"
    exit 2
    ;;
esac

echo "$group: $((cases - failures)) of $cases cases passed"
((failures == 0))
