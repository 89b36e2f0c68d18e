# shellcheck shell=bash
# The lab's Active Directory part, sourced by lab/setup-inside.sh (which provides write_conf,
# write_seed, wait_for and log): a Samba domain controller per lab domain and the lab PCs joined
# to them. Everything runs inside the lab's namespaces; the controllers' DNS and KDC listen only
# on their loopback addresses there.
#
# Every domain machine (controller or member) runs a winbindd, and Samba's daemons find their
# winbindd at a fixed socket directory (/run/samba/winbindd) whatever smb.conf says. So each
# machine's daemons run in a mount namespace of their own, a child of the lab's, with a private
# tmpfs there; they stay in the lab's network namespace, where lab/stop.sh finds them.

# The Kerberos and resolver set-up of the lab's /etc: each realm's KDC is its controller, named
# in krb5.conf (no DNS lookups for realms or KDCs). Samba finds a domain's controllers by DNS
# (SRV records), so the resolver asks the first controller, which forwards what is not its own
# zone to the next one (see dns_forwarder).
write_domain_etc() {
  local host name addr kind domain first=''
  {
    echo "[libdefaults]"
    echo "    default_realm = $(lab_realm NEWDOM)"
    echo "    dns_lookup_realm = false"
    echo "    dns_lookup_kdc = false"
    # Without KRB5CCNAME a lab ticket goes to the lab's tmpfs, never to the machine's default
    # cache, and a client that ignores KRB5CCNAME finds no ticket there.
    echo "    default_ccache_name = FILE:$LAB_ROOT/krb5cc_%{uid}"
    echo "[realms]"
    for host in "${LAB_HOSTS[@]}"; do
      read -r name addr kind <<<"$host"
      [[ $kind == dc:* ]] || continue
      domain=${kind#dc:}
      echo "    $(lab_realm "$domain") = {"
      echo "        kdc = ${name,,}.${domain,,}.$LAB_DNS_SUFFIX"
      echo "        admin_server = ${name,,}.${domain,,}.$LAB_DNS_SUFFIX"
      echo "    }"
    done
  } >/etc/krb5.conf
  for host in "${LAB_HOSTS[@]}"; do
    read -r name addr kind <<<"$host"
    [[ $kind == dc:* && -z $first ]] && first=$addr
  done
  echo "nameserver ${first:-127.0.0.1}" >/etc/resolv.conf
  # The domain administrator as members map it (RID 500 from the id-mapping base).
  echo "$LAB_DOMAIN_ADMIN_UNIX:x:$((LAB_IDMAP_BASE + 500)):$((LAB_IDMAP_BASE + 513)):domain administrator:/nonexistent:/usr/sbin/nologin" \
    >>/etc/passwd
  echo "$LAB_DOMAIN_ADMIN_UNIX:!:20000:0:99999:7:::" >>/etc/shadow
  mkdir -p /run/samba/winbindd
}

# in_own_mounts CMD...: runs CMD in a child mount namespace whose /run/samba/winbindd is a private
# tmpfs (winbindd insists on mode 0755 there).
in_own_mounts() {
  # shellcheck disable=SC2016  # $@ belongs to the inner shell
  unshare --mount --propagation private -- \
    sh -c 'mount -t tmpfs -o mode=0755 lab-winbindd /run/samba/winbindd && exec "$@"' own "$@"
}

# dns_forwarder NAME: the controller after NAME in LAB_HOSTS, to which NAME's DNS server forwards
# the names it does not serve; none for the last one.
dns_forwarder() {
  local host name addr kind seen=0
  for host in "${LAB_HOSTS[@]}"; do
    read -r name addr kind <<<"$host"
    [[ $kind == dc:* ]] || continue
    ((seen)) && echo "$addr" && return 0
    [[ $name == "$1" ]] && seen=1
  done
  return 0
}

# The domain administrator's ticket cache of a domain, filled once its controller answers.
domain_ccache() { # DOMAIN
  echo "$LAB_ROOT/dcs/krb5cc.${1^^}"
}

# Provisions a domain controller and starts it; returns once its KDC issues tickets.
start_dc() { # NAME DOMAIN ADDRESS
  local name=$1 domain=$2 addr=$3 dir="$LAB_ROOT/dcs/$1" realm
  realm=$(lab_realm "$domain")
  mkdir -p "$dir/pid" "$dir/log" "$dir/ncalrpc"
  # Services a one-controller lab does not use (replication, consistency checker, DNS
  # self-registration, NetBIOS, WINS, NTP signing) stay off, and so does TLS: generating its
  # key takes seconds of CPU at the first start. One worker per service is plenty.
  samba-tool domain provision --targetdir="$dir" --realm="$realm" --domain="$domain" \
    --server-role=dc --dns-backend=SAMBA_INTERNAL --host-name="$name" --host-ip="$addr" \
    --adminpass="$LAB_PASSWORD" \
    --option="interfaces = $addr" --option="bind interfaces only = yes" \
    --option="disable netbios = yes" --option="pid directory = $dir/pid" \
    --option="ncalrpc dir = $dir/ncalrpc" --option="log file = $dir/log/samba.log" \
    --option="max log size = 0" \
    --option="server services = -kcc -drepl -dnsupdate -nbt -wrepl -ntp_signd" \
    --option="tls enabled = no" --option="prefork children = 1" \
    >"$dir/log/provision.log" 2>&1 || {
    tail -n 20 "$dir/log/provision.log" >&2
    return 1
  }
  # Provisioning took a forwarder from the machine's resolver: the lab's DNS stays in the lab.
  local forwarder
  forwarder=$(dns_forwarder "$name")
  sed -i '/^[[:space:]]*dns forwarder =/d' "$dir/etc/smb.conf"
  [[ -z $forwarder ]] || sed -i "s/^\[global\]\$/&\n\tdns forwarder = $forwarder/" "$dir/etc/smb.conf"
  log "$name provisioned"
  in_own_mounts samba -D -s "$dir/etc/smb.conf" </dev/null >>"$dir/log/daemons.log" 2>&1
  wait_for "$dir/pid/samba.pid" "$name: samba pid file"
  local ccache
  ccache=$(domain_ccache "$domain")
  local deadline=$((SECONDS + 60))
  while ((SECONDS < deadline)); do
    if printf '%s\n' "$LAB_PASSWORD" |
      KRB5CCNAME=FILE:$ccache kinit "$LAB_DOMAIN_ADMIN@$realm" >/dev/null 2>&1; then
      log "$name issues tickets"
      return 0
    fi
    sleep 0.1
  done
  echo "$name: the KDC of $realm issues no tickets" >&2
  return 1
}

# Joins one PC to its domain (the controller must answer) and starts its winbindd and smbd.
start_member() { # NAME KIND ADDRESSES
  local name=$1 kind=$2 addrs=$3 dir="$LAB_ROOT/pcs/$1" domain=${2#*:} conf dc_name dc_fqdn
  conf=$dir/smb.conf
  read -r dc_name _ <<<"$(lab_dc "$domain")"
  dc_fqdn=${dc_name,,}.${domain,,}.$LAB_DNS_SUFFIX
  mkdir -p "$dir"/{lock,state,cache,private,binddns,pid,ncalrpc,usershares,log}
  chmod 0700 "$dir/private"
  local hardening=()
  case $kind in
    sealed:*) hardening=("server signing = mandatory" "server smb encrypt = required") ;;
    # "ntlm auth" only governs local accounts (a member passes domain logons on to its
    # controller); switching the NTLMSSP mechanism off leaves SPNEGO only Kerberos to offer.
    krbonly:*) hardening=("gensec:ntlmssp = no") ;;
  esac
  # Later lines win: the member role replaces write_conf's standalone one. The hardening comes
  # after the join, which reads the same file as a client's configuration (without NTLMSSP it
  # could not log on to the controller).
  write_conf "$name" "$domain" "$addrs" "$dir" \
    "server role = member server" "security = ads" "realm = $(lab_realm "$domain")" \
    "password server = $dc_fqdn" \
    "idmap config * : backend = tdb" "idmap config * : range = 3000-7999" \
    "idmap config $domain : backend = rid" \
    "idmap config $domain : range = $LAB_IDMAP_BASE-$((LAB_IDMAP_BASE + 99999))" >"$conf"
  # The controller's LDAP server answers some seconds after its KDC, more on a busy machine.
  local joined=0 deadline=$((SECONDS + 60))
  while ((SECONDS < deadline)); do
    if net ads join -s "$conf" -U "$LAB_DOMAIN_ADMIN%$LAB_PASSWORD" --no-dns-updates \
      >>"$dir/log/join.log" 2>&1; then
      joined=1
      break
    fi
    sleep 0.25
  done
  ((joined)) || {
    tail -n 5 "$dir/log/join.log" >&2
    echo "$name could not join $domain" >&2
    return 1
  }
  log "$name joined $domain"
  ((${#hardening[@]} == 0)) || printf '   %s\n' "${hardening[@]}" >>"$conf"
  write_seed "$name" >"$dir/seed.reg"
  net -s "$conf" registry import "$dir/seed.reg" >/dev/null
  # shellcheck disable=SC2016  # $1 belongs to the inner shell
  in_own_mounts sh -c 'winbindd -D -s "$1" && smbd -D -s "$1"' member "$conf" \
    </dev/null >>"$dir/log/daemons.log" 2>&1
  wait_for "$dir/pid/winbindd.pid" "$name: winbindd pid file"
  wait_for "$dir/pid/smbd.pid" "$name: smbd pid file"
}
