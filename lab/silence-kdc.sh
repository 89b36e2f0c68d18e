#!/usr/bin/env bash
# lab/silence-kdc.sh STATE_DIR DOMAIN on|off: makes the KDC of a lab domain drop every packet
# to its port 88 (TCP and UDP), as the KDC of a site that went down does, or answer again. The
# drop is on input, so a client's connect waits for an answer instead of failing at once. The
# controller's other services (LDAP, DNS, SMB) keep answering.
set -euo pipefail
lab_dir=$(cd "$(dirname "$0")" && pwd -P)
# shellcheck source=lab/lib.sh
source "$lab_dir/lib.sh"

state=$(lab_state_dir "${1:-}")
(($# == 3)) || lab_die "usage: lab/silence-kdc.sh STATE_DIR DOMAIN on|off"
read -r _ addr <<<"$(lab_dc "$2")"
table=silent_kdc_${2,,}
case $3 in
  on)
    lab_enter "$state" nft -f - <<NFT
table inet $table {
  chain input {
    type filter hook input priority -10;
    ip daddr $addr tcp dport 88 drop
    ip daddr $addr udp dport 88 drop
  }
}
NFT
    ;;
  off) lab_enter "$state" nft delete table inet "$table" 2>/dev/null || true ;;
  *) lab_die "on or off, not $3" ;;
esac
