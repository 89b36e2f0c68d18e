#!/usr/bin/env bash
# lab/start.sh STATE_DIR [--without-domains]: starts the lab PCs and returns once every one of them
# answers an RPC. --without-domains leaves out the domain controllers and their members (the
# Kerberos cases need them; the standalone PCs start in a fraction of the time).
# STATE_DIR receives the holder's pid, the namespace's id and the start-up log; the PCs' own
# files live on a tmpfs inside the lab's namespace. lab/stop.sh STATE_DIR undoes it all, also
# after a start that failed half-way.
set -euo pipefail
lab_dir=$(cd "$(dirname "$0")" && pwd -P)
# shellcheck source=lab/lib.sh
source "$lab_dir/lib.sh"

state=$(lab_state_dir "${1:-}")
case ${2:-} in
  '') export LAB_WITHOUT_DOMAINS=0 ;;
  --without-domains) export LAB_WITHOUT_DOMAINS=1 ;;
  *) lab_die "usage: lab/start.sh STATE_DIR [--without-domains]" ;;
esac
# What an earlier lab of this STATE_DIR left (a run that was killed before its stop) goes first.
if [[ -e $state/holder.pid || -e $state/netns.id ]]; then
  echo "lab: stopping the earlier lab of $state first" >&2
  bash "$lab_dir/stop.sh" "$state" >&2
fi
# Only what this lab's mode runs: the standalone PCs need Samba's file server and client tools
# (the demo's packages); the domains also need the controller, winbindd and kinit, which only the
# test suite's packages bring.
tools=(smbd net smbpasswd rpcclient nft ip unshare nsenter setsid timeout gcc)
need='demo'
if ((!LAB_WITHOUT_DOMAINS)); then
  tools+=(samba samba-tool winbindd kinit)
  need='test'
fi
for tool in "${tools[@]}"; do
  command -v "$tool" >/dev/null || lab_die "$tool is missing (bash tools/install-deps.sh $need)"
done
[[ -x /usr/libexec/samba/samba-dcerpcd ]] || lab_die "samba-dcerpcd is missing (bash tools/install-deps.sh $need)"
/usr/bin/python3 -c 'import samba.dcerpc.svcctl' 2>/dev/null ||
  lab_die "python3-samba is missing (bash tools/install-deps.sh $need)"
# Provisioning a controller needs the schema data and the directory modules, which are packages
# of their own: without them samba-tool fails late, with a Python trace deep in the start-up log.
if ((!LAB_WITHOUT_DOMAINS)); then
  [[ -d /usr/share/samba/setup/ad-schema ]] ||
    lab_die "Samba's provisioning data is missing (bash tools/install-deps.sh test)"
  compgen -G '/usr/lib/*/samba/ldb/samba_dsdb.so' >/dev/null ||
    lab_die "Samba's directory modules are missing (bash tools/install-deps.sh test)"
fi

rm -f "$state/holder.pid" "$state/netns.id" "$state/lab.log"

# The holder owns the lab's network and mount namespaces (private mount propagation, so no
# mount made inside reaches the machine); its own session keeps it out of the caller's signals.
# shellcheck disable=SC2016  # $$ and $1 belong to the holder's shell
setsid -f unshare --net --mount --propagation private -- \
  sh -c 'echo $$ >"$1.tmp" && mv "$1.tmp" "$1" && exec sleep infinity' holder "$state/holder.pid" \
  </dev/null >/dev/null 2>&1
for _ in $(seq 100); do
  [[ -s $state/holder.pid ]] && break
  sleep 0.02
done
[[ -s $state/holder.pid ]] || lab_die "namespace holder did not start"
readlink "/proc/$(<"$state/holder.pid")/ns/net" >"$state/netns.id"

started=$(date +%s%N)
if ! lab_enter "$state" bash "$lab_dir/setup-inside.sh" >>"$state/lab.log" 2>&1; then
  tail -n 30 "$state/lab.log" >&2
  lab_die "start failed (log: $state/lab.log); run lab/stop.sh $state"
fi
echo "lab: started in $((($(date +%s%N) - started) / 1000000)) ms ($state)"
