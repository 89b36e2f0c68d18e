#!/usr/bin/env bash
# lab/service-set.sh STATE_DIR PC auto|manual|disabled [start]: sets the start type of a regsvc
# PC's RemoteRegistry service, and with "start" starts it and waits until it runs, as an
# administrator would with the service control tools of Windows: over the PC's \pipe\svcctl as
# the lab administrator, so that the service manager sees the same calls as from any client.
# Tests use it to give a lab PC a service other than the one it starts with (a slow start that
# is also Disabled); lab/reseed.sh puts the service back.
set -euo pipefail
lab_dir=$(cd "$(dirname "$0")" && pwd -P)
# shellcheck source=lab/lib.sh
source "$lab_dir/lib.sh"

state=$(lab_state_dir "${1:-}")
if ! (($# == 3 || $# == 4)) || [[ $3 != @(auto|manual|disabled) || ${4:-start} != start ]]; then
  lab_die "usage: lab/service-set.sh STATE_DIR PC auto|manual|disabled [start]"
fi
bash "$lab_dir/run.sh" "$state" /usr/bin/python3 - "${2,,}" "$3" "${4:-}" <<'PYTHON'
import os, struct, sys, time
from samba import ndr
from samba.credentials import Credentials
from samba.dcerpc import svcctl
from samba.param import LoadParm

pc, start_type, start = sys.argv[1], {"auto": 2, "manual": 3, "disabled": 4}[sys.argv[2]], sys.argv[3]
lp = LoadParm()
lp.load_default()
credentials = Credentials()
credentials.guess(lp)
credentials.set_username(os.environ["USER"])
credentials.set_password(os.environ["PASSWD"])
conn = svcctl.svcctl(f"ncacn_np:{pc}[\\pipe\\svcctl]", lp, credentials)
service = conn.OpenServiceW(conn.OpenSCManagerW(pc, None, 0xF003F), "RemoteRegistry", 0xF01FF)
# python3-samba's ChangeServiceConfigW wants every optional field: the stub is built by hand,
# every field "no change" but the start type.
stub = ndr.ndr_pack(service) + struct.pack("<3I", 0xFFFFFFFF, start_type, 0xFFFFFFFF) + bytes(36)
result = struct.unpack("<I", conn.request(11, stub)[-4:])[0]
if result:
    sys.exit(f"ChangeServiceConfigW: error {result}")
if start:
    conn.StartServiceW(service, [])
    for _ in range(100):  # 10 s at most: the slowest lab PC takes 3 s
        if conn.QueryServiceStatus(service).state == 4:  # SERVICE_RUNNING
            break
        time.sleep(0.1)
    else:
        sys.exit("the service did not reach RUNNING within 10 s")
PYTHON
