#!/usr/bin/env bash
# Runs a command in a private network: new network, mount, UTS and PID namespaces with only the
# loopback interface, the host name cairnlab, a private /etc (an overlay) whose hosts file names
# the test hosts and whose nsswitch says `hosts: files`, and a firewall rule that swallows echo
# requests to the silent host. Nothing leaves the machine, no lookup reaches a real name server,
# and every process started inside ends with the command.
#   tests/e2e/private_net.sh COMMAND [ARG...]
set -euo pipefail
if [[ ${CAIRNMARK_PRIVATE_NET:-} != 1 ]]; then
  exec env CAIRNMARK_PRIVATE_NET=1 \
    unshare --net --mount --uts --pid --fork --kill-child --mount-proc -- "$0" "$@"
fi
ip link set lo up
hostname cairnlab
mount -t tmpfs cairnmark-scratch /mnt
mkdir /mnt/upper /mnt/work
mount -t overlay cairnmark-etc -o lowerdir=/etc,upperdir=/mnt/upper,workdir=/mnt/work /etc
# pc01: nothing listens there; 127.0.0.77 has no name.
printf '%s\n' '127.0.0.1 localhost' '127.0.0.2 pc01.lab.test pc01' '127.0.0.9 silent' \
  '127.0.1.1 cairnlab' >/etc/hosts
sed -i 's/^hosts:.*/hosts: files/' /etc/nsswitch.conf
nft 'add table inet cairnmark_e2e; add chain inet cairnmark_e2e input { type filter hook input priority 0; };
  add rule inet cairnmark_e2e input ip daddr 127.0.0.9 icmp type echo-request drop'
"$@"
