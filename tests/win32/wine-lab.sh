#!/usr/bin/env bash
# Runs a command inside a private Wine lab (as root):
#   - new network, mount, UTS and PID namespaces, only the loopback interface up;
#   - a host name of its own, set before the wineserver starts, so it is Wine's computer name;
#   - a private /etc (an overlay) with its own hosts file and `hosts: files`, so no lookup can
#     reach the machine's name servers;
#   - an nft rule that drops everything arriving for the lab's "down" address, so an echo
#     request to it is sent without error and simply never answered;
#   - a fresh Wine prefix served by one persistent wineserver.
#
#   tests/win32/wine-lab.sh COMMAND [ARG...]
#
# Afterwards the prefix and the lab's scratch directory are removed, and every process started
# in the lab has ended with it (this script's inner half is the PID namespace's init).
set -euo pipefail

# The lab's names; the tests read them from the environment.
export CAIRN_WINE_LAB_HOST=winlab01   # the lab's own host name: Wine's computer name WINLAB01
export CAIRN_WINE_LAB_DOWN=127.0.0.99 # a loopback address whose packets nft drops

if [[ ${1:-} != --inside ]]; then
  scratch=$(mktemp -d /tmp/cairn-wine-lab.XXXXXX)
  cleanup() {
    # A wineserver that did not get to clean up leaves its socket directory, named after the
    # prefix's device and inode, under /tmp/.wine-UID.
    if [[ -d $scratch/prefix ]]; then
      rm -rf "/tmp/.wine-$(id -u)/$(printf 'server-%x-%x' \
        "$(stat -c %d "$scratch/prefix")" "$(stat -c %i "$scratch/prefix")")"
    fi
    rm -rf "$scratch"
  }
  trap cleanup EXIT
  mkdir "$scratch/prefix" "$scratch/etc"
  status=0
  unshare --net --mount --uts --pid --fork --mount-proc --propagation private \
    bash "$0" --inside "$scratch" "$@" || status=$?
  exit "$status"
fi

shift
scratch=$1
shift

ip link set lo up
hostname "$CAIRN_WINE_LAB_HOST"

# A private /etc: an overlay over the real one, so everything else Wine and the C library read
# there stays as it is. The overlay's layers live on a tmpfs of this mount namespace.
mount -t tmpfs cairn-lab "$scratch/etc"
mkdir "$scratch/etc/upper" "$scratch/etc/work"
mount -t overlay cairn-lab-etc \
  -o "lowerdir=/etc,upperdir=$scratch/etc/upper,workdir=$scratch/etc/work" /etc
cat >/etc/hosts <<HOSTS
127.0.0.1 localhost
127.0.1.1 $CAIRN_WINE_LAB_HOST
127.0.0.2 pc02
127.0.0.3 pc03.lab.example pc03
$CAIRN_WINE_LAB_DOWN pcdown
HOSTS
printf 'hosts: files\n' >/etc/nsswitch.conf
printf '' >/etc/resolv.conf

nft -f - <<NFT
table ip cairn_lab {
  chain input {
    type filter hook input priority 0; policy accept;
    ip daddr $CAIRN_WINE_LAB_DOWN drop
  }
}
NFT

export WINEPREFIX=$scratch/prefix WINEDEBUG=-all WINEARCH=win64
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
