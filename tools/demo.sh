#!/usr/bin/env bash
# The main job against the lab: installs what is missing, builds, starts the lab's Samba PCs,
# runs cairnmark /M pc01 /T newdom /P /S /V and two failing cases, shows the Winlogon values
# before and after, and stops the lab again (also when interrupted). Run as root on Debian 12.
# CAIRNMARK_BUILD_DIR picks the build directory (default: build).
set -euo pipefail
cd "$(dirname "$0")/.."
build=${CAIRNMARK_BUILD_DIR:-build}

# Only what the demo needs: the build tools, Samba and the lab's network tools; the test suite's
# Wine, cross compiler and clang are left out (tools/test.sh installs them).
bash tools/install-deps.sh demo
echo "== Building ($build)"
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBUILD_TESTING=OFF >/dev/null
cmake --build "$build" -j"$(nproc)" --target cairnmark cairnmark-labkey cairnmark-fleet-labkey >/dev/null
[[ -f $build/cairnmark-samba.so ]] ||
  echo "note: $build/cairnmark-samba.so was not built (samba-dev missing?): remote checks will fail"

state=$(mktemp -d /tmp/cairnmark-lab.XXXXXX)
cleanup() {
  echo "== Stopping the lab"
  bash lab/stop.sh "$state" || true
  rm -rf "$state"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

echo "== Starting the lab"
bash lab/start.sh "$state" --without-domains

# Winlogon values of PC01 as the PC itself stores them, read locally with "net registry".
show_values() {
  local key name data
  for key in real lab; do
    for name in DefaultDomainName AltDefaultDomainName; do
      data=$(bash lab/getvalue.sh "$state" PC01 "$key" "$name") || data='(none)'
      printf '   %-4s %-21s %s\n' "$key" "$name" "$data"
    done
  done
}

run() { # BINARY ARGS...: shows the command line, its output and its exit code
  local binary=$1 status=0
  shift
  echo "\$ ${binary##*/} $*"
  bash lab/run.sh "$state" "$binary" "$@" | tr -d '\r' || status=$?
  echo "   exit code $status"
}

cat <<'EOF'

The lab PCs: PC01 is in NEWDOM with both Winlogon values OLDDOM. Samba refuses every write under
...\Windows NT\CurrentVersion, so the main job runs the lab-key build (cairnmark-labkey), which
rewrites HKLM\SOFTWARE\Lab\Winlogon ("lab" below) instead of the real key ("real" below).

== PC01 before
EOF
show_values
echo
echo "== The main job"
run "$build/cairnmark-labkey" /M pc01 /T newdom /P /S /V
echo
echo "== PC01 after"
show_values
echo
echo "== Failing cases"
run "$build/cairnmark" /M pc02 /T newdom /P /S /V
run "$build/cairnmark" /M pc01 /T newdom /P /S /V
echo "   (the shipped build rewrites the real key, which Samba refuses: exit code 64)"
echo
echo "== Many PCs at once: every lab PC, a record and a reason each"
bash lab/reseed.sh "$state" pc01
printf 'pc%s\n' 01 02 03 04 05 06 07 08 09 10 11 >"$state/pcs.txt"
run "$build/cairnmark-fleet-labkey" --domain newdom --ping --set-default --csv "$state/results.csv" \
  "$state/pcs.txt"
awk -F, '{ printf "   %-6s %-9s %-21s %-35s %s\n", $1, $4, $5, $6, $8 }' "$state/results.csv"
echo
