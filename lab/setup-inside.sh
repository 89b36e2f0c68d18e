#!/usr/bin/env bash
# Run by lab/start.sh inside the lab's fresh network and mount namespaces: builds the private
# view of the machine, then starts every lab PC and waits until each answers an RPC.
set -euo pipefail
lab_dir=$(cd "$(dirname "$0")" && pwd -P)
# shellcheck source=lab/lib.sh
source "$lab_dir/lib.sh"
# shellcheck source=lab/domain.sh
source "$lab_dir/domain.sh"

log() { echo "[$(date +%T.%N | cut -c1-12)] $*"; }

# Without the domains (lab/start.sh --without-domains) the lab has only its standalone PCs.
if [[ ${LAB_WITHOUT_DOMAINS:-} == 1 ]]; then
  declare -A in_domain=()
  for host in "${LAB_HOSTS[@]}"; do
    read -r name addr kind <<<"$host"
    [[ $kind == @(dc|member|sealed|krbonly):* ]] && in_domain[$name]=1
  done
  standalone=()
  for host in "${LAB_HOSTS[@]}"; do
    read -r name addr kind <<<"$host"
    [[ -n ${in_domain[$name]:-} || -n ${in_domain[${kind#alias:}]:-} ]] || standalone+=("$host")
  done
  LAB_HOSTS=("${standalone[@]}")
fi

# --- The private view: tmpfs where Samba's helpers write regardless of smb.conf, and an
# overlay over the whole /etc (the host may replace single files, which would drop a bind mount).
for dir in /var/log/samba /run/samba /var/lib/samba /var/cache/samba; do
  mkdir -p "$dir"
  mount -t tmpfs -o mode=0755 lab-samba "$dir"
done
mkdir -p /var/lib/samba/private /var/lib/samba/usershares "$LAB_ROOT/pcs"
mkdir -m 0700 "$LAB_ROOT/etc" "$LAB_ROOT/etc/upper" "$LAB_ROOT/etc/work"
mount -t overlay lab-etc -o "lowerdir=/etc,upperdir=$LAB_ROOT/etc/upper,workdir=$LAB_ROOT/etc/work" /etc

{
  echo "127.0.0.1 localhost"
  for host in "${LAB_HOSTS[@]}"; do
    read -r name addr kind <<<"$host"
    # A domain controller is also known by its DNS name, as Kerberos and LDAP ask for it.
    if [[ $kind == dc:* ]]; then
      d=${kind#dc:}
      echo "$addr ${name,,}.${d,,}.$LAB_DNS_SUFFIX ${name,,}"
    else
      echo "$addr ${name,,}"
    fi
  done
} >/etc/hosts
cat >/etc/nsswitch.conf <<'EOF'
passwd: files
group: files
shadow: files
hosts: files
networks: files
protocols: files
services: files
EOF
echo "$LAB_USER:x:$LAB_UID:$LAB_GID:lab administrator:/nonexistent:/usr/sbin/nologin" >>/etc/passwd
echo "$LAB_GROUP:x:$LAB_GID:$LAB_USER" >>/etc/group
echo "$LAB_USER:!:20000:0:99999:7:::" >>/etc/shadow
echo "$LAB_PLAIN_USER:x:$LAB_PLAIN_UID:$LAB_PLAIN_UID:lab user:/nonexistent:/usr/sbin/nologin" >>/etc/passwd
echo "$LAB_PLAIN_USER:x:$LAB_PLAIN_UID:" >>/etc/group
echo "$LAB_PLAIN_USER:!:20000:0:99999:7:::" >>/etc/shadow
# Samba's command-line clients read this; cairnmark's backend needs no smb.conf at all.
mkdir -p /etc/samba
cat >/etc/samba/smb.conf <<'EOF'
[global]
   workgroup = LABCLIENT
   name resolve order = host
   log file = /var/log/samba/log.%m
   client min protocol = SMB2
EOF
write_domain_etc

# --- Network: the lab addresses on loopback, and the misbehaving hosts' packet filter.
ip link set lo up
drop='' noecho='' nowinreg=''
for host in "${LAB_HOSTS[@]}"; do
  read -r name addr kind <<<"$host"
  ip addr add "$addr/32" dev lo
  case $kind in
    drop) drop+="${drop:+, }$addr" ;;
    noecho) noecho+="${noecho:+, }$addr" ;;
    nowinreg:* | regsvc:*) nowinreg+="${nowinreg:+, }$addr" ;;
  esac
done
{
  echo "table inet lab {"
  echo "  chain input {"
  echo "    type filter hook input priority 0; policy accept;"
  [[ -n $drop ]] && echo "    ip daddr { $drop } drop"
  [[ -n $noecho ]] && echo "    ip daddr { $noecho } icmp type echo-request drop"
  # A PC without winreg serves its pipes from a standalone samba-dcerpcd, which also offers
  # winreg over TCP: only SMB may reach it.
  [[ -n $nowinreg ]] && echo "    ip daddr { $nowinreg } tcp dport != 445 ct state new reject with tcp reset"
  echo "  }"
  echo "}"
} >"$LAB_ROOT/lab.nft"
nft -f "$LAB_ROOT/lab.nft"

# --- The PCs.
write_conf() { # NAME WORKGROUP ADDRESSES DIR [extra lines...]
  local name=$1 workgroup=$2 addrs=$3 dir=$4
  shift 4
  cat <<EOF
[global]
   netbios name = $name
   workgroup = $workgroup
   server role = standalone server
   interfaces = $addrs
   bind interfaces only = yes
   smb ports = 445
   disable netbios = yes
   load printers = no
   printcap name = /dev/null
   disable spoolss = yes
   lock directory = $dir/lock
   state directory = $dir/state
   cache directory = $dir/cache
   private dir = $dir/private
   binddns dir = $dir/binddns
   pid directory = $dir/pid
   ncalrpc dir = $dir/ncalrpc
   usershare path = $dir/usershares
   log file = $dir/log/log.%m
   max log size = 0
   log level = 1
   passdb backend = tdbsam:$dir/private/passdb.tdb
   smb passwd file = $dir/private/smbpasswd
EOF
  printf '   %s\n' "$@"
}

# A .reg file for "net registry import"; Samba drops the last value without the final blank line.
write_seed() { # NAME
  local key last="" which value data
  echo "Windows Registry Editor Version 5.00"
  while IFS='|' read -r which value data; do
    [[ -n $which ]] || continue
    key=$(lab_winlogon_key "$which")
    [[ $key == "$last" ]] || printf '\n[%s]\n' "$key"
    last=$key
    printf '"%s"="%s"\n' "$value" "$data"
  done < <(lab_seed "$1")
  echo
}

# Prepares one PC's private state (users, Administrators, registry) and starts its daemons.
start_pc() { # NAME KIND ADDRESSES
  local name=$1 kind=$2 addrs=$3 dir="$LAB_ROOT/pcs/$1" conf
  conf=$dir/smb.conf
  mkdir -p "$dir"/{lock,state,cache,private,binddns,pid,ncalrpc,usershares,log}
  chmod 0700 "$dir/private"
  case $kind in
    smbd:*) write_conf "$name" "${kind#*:}" "$addrs" "$dir" >"$conf" ;;
    nowinreg:* | regsvc:*)
      # smbd finds its pipes in its own socket directory, where every pipe of the standalone
      # samba-dcerpcd but winreg is linked; "rpc start on demand helpers = no" keeps smbd from
      # starting a complete samba-dcerpcd of its own.
      mkdir -m 0700 "$dir/ncalrpc-smbd" "$dir/ncalrpc-smbd/np"
      write_conf "$name" "${kind#*:}" "$addrs" "$dir" "rpc start on demand helpers = no" \
        >"$dir/dcerpcd.conf"
      write_conf "$name" "${kind#*:}" "$addrs" "$dir" "rpc start on demand helpers = no" \
        "ncalrpc dir = $dir/ncalrpc-smbd" >"$conf"
      ;;
  esac
  local user
  for user in "$LAB_USER" "$LAB_PLAIN_USER"; do
    printf '%s\n%s\n' "$LAB_PASSWORD" "$LAB_PASSWORD" | smbpasswd -c "$conf" -s -a "$user" >/dev/null
  done
  net -s "$conf" groupmap add sid=S-1-5-32-544 unixgroup="$LAB_GROUP" type=builtin \
    ntgroup=Administrators >/dev/null
  write_seed "$name" >"$dir/seed.reg"
  net -s "$conf" registry import "$dir/seed.reg" >/dev/null
  if [[ $kind == @(nowinreg|regsvc):* ]]; then
    /usr/libexec/samba/samba-dcerpcd -D -s "$dir/dcerpcd.conf" \
      /usr/libexec/samba/rpcd_{classic,lsad,winreg} \
      </dev/null >>"$dir/log/daemons.log" 2>&1
    # Link each pipe once it is bound (smbd looks a pipe up when a client opens it).
    local pipe
    for pipe in $(nowinreg_pipes); do
      [[ $kind == regsvc:* && $pipe == svcctl ]] && continue
      wait_for "$dir/ncalrpc/np/$pipe" "$name: samba-dcerpcd pipe $pipe"
      ln -s "$dir/ncalrpc/np/$pipe" "$dir/ncalrpc-smbd/np/$pipe"
    done
  fi
  local preload=''
  if [[ $kind == regsvc:* ]]; then
    # The service manager owns svcctl and winreg; smbd reports its refused winreg opens as
    # Windows does (lab/pipe-not-available.c).
    wait_for "$dir/ncalrpc/np/winreg" "$name: samba-dcerpcd pipe winreg"
    local settings
    read -ra settings <<<"$(lab_service_manager "$name")"
    /usr/bin/python3 "$lab_dir/service-manager.py" --np-dir "$dir/ncalrpc-smbd/np" \
      --winreg-socket "$dir/ncalrpc/np/winreg" --state-file "$dir/service.json" \
      --pid-file "$dir/pid/service-manager.pid" "${settings[@]}" \
      </dev/null >>"$dir/log/service-manager.log" 2>&1 &
    wait_for "$dir/service.json" "$name: service manager"
    wait_for "$dir/ncalrpc-smbd/np/svcctl" "$name: service manager's svcctl"
    preload=$LAB_ROOT/pipe-not-available.so
  fi
  LD_PRELOAD=$preload smbd -D -s "$conf" </dev/null >>"$dir/log/daemons.log" 2>&1
  wait_for "$dir/pid/smbd.pid" "$name: smbd pid file"
}

# The pipes a PC without winreg still offers: all that rpcd_classic and rpcd_lsad serve.
nowinreg_pipes() {
  local rpcd
  for rpcd in classic lsad; do
    "/usr/libexec/samba/rpcd_$rpcd" --list-interfaces
  done | sed -n 's/^ *ncacn_np:\[\\pipe\\\(.*\)\]$/\1/p' | tr '[:upper:]' '[:lower:]' | sort -u
}

wait_for() { # PATH WHAT: up to 10 s
  for _ in $(seq 500); do
    [[ -e $1 ]] && return 0
    sleep 0.02
  done
  echo "timed out waiting for $2 ($1)" >&2
  return 1
}

# A real RPC answer (srvsvc NetrServerGetInfo), not an open port: smbd starts samba-dcerpcd on
# the first pipe it is asked for, a few hundred milliseconds after its socket is up. A domain
# member is asked by name with its domain administrator's ticket (the only logon every member
# takes), and needs longer: its winbindd has to reach the controller first.
wait_rpc() { # NAME ADDRESS [DOMAIN]
  local credentials=(-U "$LAB_USER%$LAB_PASSWORD") target=$2 tries=20 ccache=''
  if (($# == 3)); then
    credentials=(--use-kerberos=required -N)
    target=${1,,} tries=100 ccache=$(domain_ccache "$3")
  fi
  for _ in $(seq "$tries"); do
    if KRB5CCNAME=FILE:${ccache:-/nonexistent} timeout 2 rpcclient -s /etc/samba/smb.conf \
      "${credentials[@]}" -c srvinfo "$target" >/dev/null 2>&1; then
      log "$1 answers"
      return 0
    fi
    sleep 0.1
  done
  echo "$1 ($2) gave no RPC answer" >&2
  return 1
}

# Waits for the background jobs PIDS...; fails if any of them failed.
wait_all() {
  local pid failed=0
  for pid in "$@"; do wait "$pid" || failed=1; done
  return "$failed"
}

log "namespace ready"
gcc -shared -fPIC -O2 -o "$LAB_ROOT/pipe-not-available.so" "$lab_dir/pipe-not-available.c" -ldl
declare -A addrs_of=() kind_of=()
for host in "${LAB_HOSTS[@]}"; do
  read -r name addr kind <<<"$host"
  kind_of[$name]=$kind
  case $kind in
    smbd:* | nowinreg:* | regsvc:* | member:* | sealed:* | krbonly:*)
      addrs_of[$name]+="${addrs_of[$name]:+ }$addr"
      ;;
    alias:*) addrs_of[${kind#*:}]+=" $addr" ;;
  esac
done
# The controllers' provisioning takes the longest, so it starts first; the standalone PCs start
# beside it, the members once their controller answers.
pids=()
for host in "${LAB_HOSTS[@]}"; do
  read -r name addr kind <<<"$host"
  case $kind in
    dc:*) start_dc "$name" "${kind#dc:}" "$addr" & ;;
    smbd:* | nowinreg:* | regsvc:*) start_pc "$name" "$kind" "${addrs_of[$name]}" & ;;
    *) continue ;;
  esac
  pids+=($!)
done
wait_all "${pids[@]}"
log "daemons and domain controllers started"
pids=()
for host in "${LAB_HOSTS[@]}"; do
  read -r name addr kind <<<"$host"
  case $kind in
    member:* | sealed:* | krbonly:*) start_member "$name" "$kind" "${addrs_of[$name]}" & ;;
    *) continue ;;
  esac
  pids+=($!)
done
wait_all "${pids[@]}"
log "members joined"
pids=()
for host in "${LAB_HOSTS[@]}"; do
  read -r name addr kind <<<"$host"
  case $kind in
    smbd:* | nowinreg:* | regsvc:*) wait_rpc "$name" "$addr" & ;;
    alias:*)
      # An alias of a member cannot be asked with a ticket (the domain does not know that
      # name); its smbd is the member's, which is asked under its own name.
      [[ ${kind_of[${kind#alias:}]} == smbd:* ]] || continue
      wait_rpc "$name" "$addr" &
      ;;
    member:* | sealed:* | krbonly:*) wait_rpc "$name" "$addr" "${kind#*:}" & ;;
    *) continue ;;
  esac
  pids+=($!)
done
wait_all "${pids[@]}"
log "every PC answers"
