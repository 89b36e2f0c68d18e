#!/usr/bin/env bash
# Runs a command with Wine ready inside the private network of tests/e2e/private_net.sh (whose
# host name, CAIRNLAB, is Wine's computer name): a fresh Wine prefix served by one persistent
# wineserver. Everything Wine makes, its server's socket directory included (Debian's wineserver
# keeps that under $TMPDIR), lands in one scratch directory that goes afterwards, and every
# process of the lab ends with it.
#   tests/win32/wine-lab.sh COMMAND [ARG...]
set -euo pipefail
if [[ ${CAIRN_WINE_LAB:-} != 1 ]]; then
  scratch=$(mktemp -d /tmp/cairn-wine-lab.XXXXXX)
  trap 'rm -rf "$scratch"' EXIT
  CAIRN_WINE_LAB=1 TMPDIR=$scratch "$(dirname "$0")/../e2e/private_net.sh" bash "$0" "$@"
  exit 0
fi
export WINEPREFIX=$TMPDIR/prefix WINEDEBUG=-all WINEARCH=win64
mkdir "$WINEPREFIX"
# Headless: no display, and no dialog may wait for one.
unset DISPLAY WAYLAND_DISPLAY
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
# The server first: once one runs for the prefix, another cannot be made persistent.
wineserver -p
wine wineboot --init >/dev/null 2>&1
status=0
"$@" || status=$?
wineserver -k
wineserver -w || true
exit "$status"
