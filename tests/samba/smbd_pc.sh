#!/usr/bin/env bash
# Starts a standalone smbd in the private network (tests/e2e/private_net.sh) for the transport's
# tests: it listens at 127.0.0.1:445 when this returns, keeps all its state under DIR (its PID in
# DIR/pid/smbd.pid), knows the local account root with PASSWORD, and offers every pipe of a
# the pipes of a default Samba, started on demand.
#   tests/samba/smbd_pc.sh DIR PASSWORD
set -euo pipefail
dir=$1 password=$2
# Samba's helpers write here whatever smb.conf says; these mounts end with the namespace.
for shared in /run/samba /var/lib/samba /var/cache/samba /var/log/samba; do
  mkdir -p "$shared"
  mount -t tmpfs cairnmark-samba "$shared"
done
mkdir -p "$dir"/{lock,state,cache,private,binddns,pid,ncalrpc,log}
chmod 0700 "$dir/private"
cat >"$dir/smb.conf" <<CONF
[global]
   netbios name = CAIRNPC
   server role = standalone server
   interfaces = 127.0.0.1
   bind interfaces only = yes
   smb ports = 445
   disable netbios = yes
   load printers = no
   disable spoolss = yes
   lock directory = $dir/lock
   state directory = $dir/state
   cache directory = $dir/cache
   private dir = $dir/private
   binddns dir = $dir/binddns
   pid directory = $dir/pid
   ncalrpc dir = $dir/ncalrpc
   log file = $dir/log/log.%m
   passdb backend = tdbsam:$dir/private/passdb.tdb
CONF
printf '%s\n%s\n' "$password" "$password" | smbpasswd -c "$dir/smb.conf" -s -a root >/dev/null
# root in Administrators, which wkssvc asks of a caller for level 102.
net -s "$dir/smb.conf" groupmap add sid=S-1-5-32-544 unixgroup=root type=builtin \
  ntgroup=Administrators >/dev/null
smbd -D -s "$dir/smb.conf" </dev/null >"$dir/log/smbd.out" 2>&1
for _ in {1..100}; do
  (exec 3<>/dev/tcp/127.0.0.1/445) 2>/dev/null && exit 0
  sleep 0.05
done
echo "smbd did not listen within 5 s" >&2
exit 1
