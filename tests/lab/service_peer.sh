#!/usr/bin/env bash
# tests/lab/service_peer.sh STATE_DIR: the lab's service manager (lab/service-manager.py) behaves
# as Windows' does, asked by Samba's own client (net rpc service) rather than by Cairnmark, so the
# peer is proven before Cairnmark's client relies on it. Each case puts the PC's service back as
# it started, runs the commands in turn (the last one's output must contain the text), and then
# waits for the state the service manager must settle in.
set -euo pipefail
(($# == 1)) || { echo "usage: $0 STATE_DIR" >&2; exit 2; }
state=$1
lab=$(cd "$(dirname "$0")/../../lab" && pwd -P)
# shellcheck source=lab/lib.sh
source "$lab/lib.sh"

# PC|USER|COMMANDS (;-separated net rpc service commands)|TEXT|STATE START_TYPE afterwards
cases=(
  "PC24|$LAB_USER|status|service is running|running manual"
  "PC24|$LAB_USER|start|WERR_SERVICE_ALREADY_RUNNING|running manual"
  "PC18|$LAB_USER|start|WERR_SERVICE_DISABLED|stopped disabled"
  "PC20|$LAB_USER|start|WERR_ACCESS_DENIED|stopped disabled"
  "PC17|$LAB_PLAIN_USER|start|WERR_ACCESS_DENIED|stopped manual"
  "PC17|$LAB_PLAIN_USER|status|Start Type           = 0x3|stopped manual"
  "PC17|$LAB_USER|start|.|running manual"
  "PC17|$LAB_USER|stop|WERR_SERVICE_NOT_ACTIVE|stopped manual"
  "PC24|$LAB_USER|stop|service is stop pending|stopped manual"
  "PC19|$LAB_USER|start;stop|WERR_SERVICE_CANNOT_ACCEPT_CTRL|running manual"
  "PC23|$LAB_USER|start|Failed to start service|stopped manual"
  "PC17|$LAB_USER|status NoSuchService|WERR_SERVICE_DOES_NOT_EXIST|stopped manual"
)

address_of() { # PC
  local host name addr kind
  for host in "${LAB_HOSTS[@]}"; do
    read -r name addr kind <<<"$host"
    [[ $name == "$1" ]] && echo "$addr" && return
  done
}

settled() { # PC WANT: up to 5 s
  local got
  for _ in $(seq 50); do
    got=$(bash "$lab/service-state.sh" "$state" "$1" |
      /usr/bin/python3 -c 'import json, sys; s = json.load(sys.stdin); print(s["state"], s["start_type"])')
    [[ $got == "$2" ]] && return 0
    sleep 0.1
  done
  echo "$got"
  return 1
}

failed=0
for row in "${cases[@]}"; do
  IFS='|' read -r pc user commands text want <<<"$row"
  bash "$lab/reseed.sh" "$state" "$pc"
  IFS=';' read -r -a steps <<<"$commands"
  for step in "${steps[@]}"; do
    read -r -a words <<<"$step"
    # net prints its errors on standard error and exits 255 for them: the text decides.
    out=$(bash "$lab/run.sh" "$state" net rpc service "${words[0]}" "${words[1]:-RemoteRegistry}" \
      -S "$(address_of "$pc")" -U "$user%$LAB_PASSWORD" 2>&1) || true
  done
  if [[ $out != *"$text"* ]]; then
    echo "FAIL: $row: output lacks '$text':"
    printf '%s\n' "$out" | sed 's/^/  | /'
    failed=1
  elif ! got=$(settled "$pc" "$want"); then
    echo "FAIL: $row: the service is '$got'"
    failed=1
  else
    echo "ok: $row"
  fi
done
# net has no command that changes a start type, and python3-samba's ChangeServiceConfigW cannot
# be called without dependencies: the call's stub is built by hand (every field "no change" but
# the start type, Manual) and sent through Samba's client.
bash "$lab/reseed.sh" "$state" PC18
bash "$lab/run.sh" "$state" /usr/bin/python3 - "$(address_of PC18)" "$LAB_USER" "$LAB_PASSWORD" <<'PYTHON'
import struct, sys
from samba import ndr
from samba.credentials import Credentials
from samba.dcerpc import svcctl
from samba.param import LoadParm
lp = LoadParm()
lp.load_default()
credentials = Credentials()
credentials.guess(lp)
credentials.set_username(sys.argv[2])
credentials.set_password(sys.argv[3])
conn = svcctl.svcctl(f"ncacn_np:{sys.argv[1]}[\\pipe\\svcctl]", lp, credentials)
service = conn.OpenServiceW(conn.OpenSCManagerW("x", None, 0xF003F), "RemoteRegistry", 0xF01FF)
stub = ndr.ndr_pack(service) + struct.pack("<3I", 0xFFFFFFFF, 3, 0xFFFFFFFF) + bytes(36)
sys.exit(0 if conn.request(11, stub)[-4:] == bytes(4) else 1)
PYTHON
if got=$(settled PC18 "stopped manual"); then
  echo "ok: PC18 ChangeServiceConfigW to Manual"
else
  echo "FAIL: PC18 ChangeServiceConfigW to Manual: the service is '$got'"
  failed=1
fi
exit "$failed"
