#!/usr/bin/env bash
# Runs a command inside a private network and mount namespace made for it: only the loopback
# interface, a private /etc (overlay) whose hosts file names the test hosts and whose nsswitch
# says `hosts: files`, and a firewall rule that swallows echo requests to the silent host.
# Nothing can leave the machine and no lookup can reach a real DNS server.
set -euo pipefail

if [[ "${CAIRNMARK_PRIVATE_NET:-}" != 1 ]]; then
  exec env CAIRNMARK_PRIVATE_NET=1 unshare --net --mount --fork -- "$0" "$@"
fi

ip link set lo up
# The scratch tmpfs exists only in this mount namespace; /mnt is just a place to hang it.
mount -t tmpfs cairnmark-scratch /mnt
mkdir /mnt/upper /mnt/work
mount -t overlay cairnmark-etc -o lowerdir=/etc,upperdir=/mnt/upper,workdir=/mnt/work /etc
cat >/etc/hosts <<'HOSTS'
127.0.0.1 localhost
127.0.0.2 pc01.lab.test pc01
127.0.0.9 silent.lab.test silent
0.0.0.0 zero
HOSTS
# A reverse-lookup name nobody should trust: an escape sequence and a bell inside it.
printf '127.0.0.3 bad\033]0;owned\007name\n' >>/etc/hosts
sed -i 's/^hosts:.*/hosts: files/' /etc/nsswitch.conf
grep -q '^hosts:' /etc/nsswitch.conf || echo 'hosts: files' >>/etc/nsswitch.conf
nft -f - <<'RULES'
table inet cairnmark_e2e {
  chain input {
    type filter hook input priority 0;
    ip daddr 127.0.0.9 icmp type echo-request drop
  }
}
RULES
exec "$@"
