#!/usr/bin/env bash
# Wall time of the main job against lab PC PC01 (resolve, ping, identity and domain, read and
# rewrite both Winlogon values), done by cairnmark and by the Samba command-line tools an
# administrator would script instead, measured side by side with hyperfine inside the lab.
# Before every run PC01's values are set back to OLDDOM, so both really write.
#
#   bash bench/lab_vs_samba_tools.sh [RUNS]     (root; builds nothing: run tools/demo.sh or
#                                                tools/test.sh first; CAIRNMARK_BUILD_DIR=build)
set -euo pipefail
cd "$(dirname "$0")/.."
here=$(pwd -P)

# The Samba-tools version of the job, run by hyperfine inside the lab (USER/PASSWD from run.sh).
if [[ ${1:-} == --samba-tools-job ]]; then
  key='HKLM\SOFTWARE\Lab\Winlogon'
  creds=$USER%$PASSWD
  address=$(getent hosts pc01 | cut -d' ' -f1)
  ping -c1 -W2 "$address" >/dev/null
  rpcclient -U "$creds" -c 'wkssvc_wkstagetinfo 102' pc01 >/dev/null
  rpcclient -U "$creds" -c 'srvinfo' pc01 >/dev/null
  for value in DefaultDomainName AltDefaultDomainName; do
    net rpc registry getvalue "$key" "$value" -S pc01 -U "$creds" >/dev/null
    net rpc registry setvalue "$key" "$value" sz NEWDOM -S pc01 -U "$creds" >/dev/null
  done
  exit 0
fi

runs=${1:-30}
build=$(cd "${CAIRNMARK_BUILD_DIR:-build}" && pwd -P)
binary=$build/cairnmark-labkey
[[ -x $binary && -f $build/cairnmark-samba.so ]] ||
  { echo "build $binary and cairnmark-samba.so first (bash tools/demo.sh)" >&2; exit 1; }
command -v hyperfine >/dev/null || { echo "hyperfine is missing (tools/install-deps.sh)" >&2; exit 1; }

# A lab that the caller already runs (CAIRNMARK_LAB_STATE) is used as it is; otherwise one is
# started here and stopped at the end.
if [[ -n ${CAIRNMARK_LAB_STATE:-} ]]; then
  state=$CAIRNMARK_LAB_STATE
else
  state=$(mktemp -d /tmp/cairnmark-bench.XXXXXX)
  trap 'bash lab/stop.sh "$state" >/dev/null || true; rm -rf "$state"' EXIT
  trap 'exit 130' INT TERM
  bash lab/start.sh "$state" --without-domains
fi

# Both must leave PC01's (lab-key) values at NEWDOM, or the comparison is void.
for job in "$binary /M pc01 /T newdom /P /S /Q" "bash $here/bench/lab_vs_samba_tools.sh --samba-tools-job"; do
  bash lab/reseed.sh "$state" PC01
  # shellcheck disable=SC2086  # the job is a command line
  bash lab/run.sh "$state" $job >/dev/null
  for value in DefaultDomainName AltDefaultDomainName; do
    [[ $(bash lab/getvalue.sh "$state" PC01 lab "$value") == NEWDOM ]] ||
      { echo "job did not set $value: $job" >&2; exit 1; }
  done
done

bash lab/run.sh "$state" hyperfine --runs "$runs" --warmup 3 \
  ${CAIRNMARK_BENCH_JSON:+--export-json "$CAIRNMARK_BENCH_JSON"} \
  --prepare "bash $here/lab/reseed.sh $state PC01" \
  --command-name 'cairnmark /M pc01 /T newdom /P /S' "$binary /M pc01 /T newdom /P /S /Q" \
  --command-name 'Samba tools: getent, ping, rpcclient x2, net rpc registry x4' \
  "bash $here/bench/lab_vs_samba_tools.sh --samba-tools-job"
