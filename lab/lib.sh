# shellcheck shell=bash disable=SC2034  # the settings are read by the scripts that source this
# Shared by lab/start.sh, lab/run.sh and lab/stop.sh (sourced, not run).
#
# The lab is one network and mount namespace held open by a sleeping holder process. Every lab
# PC is an smbd bound to its own loopback address inside that namespace; the clients (run.sh)
# live in the same namespace, so nothing outside it can reach a lab address and no name lookup
# made there leaves the private /etc (nsswitch "hosts: files").

# The lab administrator, a member of BUILTIN\Administrators on every lab PC.
LAB_USER=labadmin
LAB_GROUP=labadmins
LAB_PASSWORD='Lab-Pass-1'
LAB_UID=61000
LAB_GID=61000
# A lab user without administrator rights (same password): what a PC refuses to tell.
LAB_PLAIN_USER=labuser
LAB_PLAIN_UID=61001

# Where the lab PCs keep their configuration, state and pid files: a tmpfs that exists only in
# the lab's mount namespace (so it needs no clean-up, and the PCs' users can reach it whatever
# STATE_DIR's permissions). From outside: /proc/<holder pid>/root$LAB_ROOT.
LAB_ROOT=/run/samba/lab

# Registry keys under HKEY_LOCAL_MACHINE: the real Winlogon key (Samba refuses writes there) and
# the writable stand-in that the lab-key build of cairnmark rewrites.
REAL_KEY='HKEY_LOCAL_MACHINE\SOFTWARE\Microsoft\Windows NT\CurrentVersion\Winlogon'
LAB_KEY='HKEY_LOCAL_MACHINE\SOFTWARE\Lab\Winlogon'
# Where the "Assign a default domain for logon" group policy stores its value (DefaultLogonDomain).
POLICY_KEY='HKEY_LOCAL_MACHINE\SOFTWARE\Microsoft\Windows\CurrentVersion\Policies\System'

# The lab's Active Directory domains. Domain DOMAIN has the realm DOMAIN.LAB.EXAMPLE (DNS domain
# domain.lab.example), one domain controller (a host of kind dc:DOMAIN) and the domain
# administrator "administrator" with the lab password.
LAB_DNS_SUFFIX=lab.example
LAB_DOMAIN_ADMIN=administrator
# Every member maps its domain's accounts to unix ids by RID from this base, so that the domain
# administrator (RID 500) is the same lab-only unix account on every member.
LAB_IDMAP_BASE=100000
LAB_DOMAIN_ADMIN_UNIX=domadmin

# Lab hosts: name, address, what answers there. The name is the only way tests address a host.
#   smbd:WORKGROUP       an smbd whose NetBIOS name is the host name
#   alias:PCNN           another address of PCNN's smbd (answers with PCNN's computer name)
#   nowinreg:WORKGROUP   an smbd whose winreg pipe is missing
#   regsvc:WORKGROUP     an smbd whose RemoteRegistry service is played by lab/service-manager.py
#                        (its settings: lab_service_manager), state in lab/service-state.sh
#   refused              resolves, nothing listens
#   drop                 every packet to it is dropped
#   noecho               ICMP echo requests to it are dropped, nothing listens
#   dc:DOMAIN            the domain controller of DOMAIN (Samba AD: KDC, LDAP, DNS, SMB)
#   member:DOMAIN        an smbd joined to DOMAIN (security = ads, with its own winbindd)
#   sealed:DOMAIN        a member that requires SMB signing and encryption
#   krbonly:DOMAIN       a member that refuses NTLM: only Kerberos logons
LAB_HOSTS=(
  "PC01 127.0.10.1 smbd:NEWDOM"
  "PC02 127.0.10.2 smbd:OLDDOM"
  "PC03 127.0.10.3 alias:PC01"
  "PC04 127.0.10.4 refused"
  "PC05 127.0.10.5 drop"
  "PC06 127.0.10.6 nowinreg:NEWDOM"
  "PC07 127.0.10.7 smbd:NEWDOM"
  "PC08 127.0.10.8 smbd:NEWDOM"
  "PC09 127.0.10.9 smbd:NEWDOM"
  "PC10 127.0.10.10 noecho"
  "PC12 127.0.10.12 member:NEWDOM"
  "PC13 127.0.10.13 member:OLDDOM"
  "PC14 127.0.10.14 sealed:NEWDOM"
  "PC15 127.0.10.15 krbonly:NEWDOM"
  "PC16 127.0.10.16 alias:PC12"
  "PC17 127.0.10.17 regsvc:NEWDOM"
  "PC18 127.0.10.18 regsvc:NEWDOM"
  "PC19 127.0.10.19 regsvc:NEWDOM"
  "PC20 127.0.10.20 regsvc:NEWDOM"
  "PC23 127.0.10.23 regsvc:NEWDOM"
  "PC24 127.0.10.24 regsvc:NEWDOM"
  "NEWDC 127.0.10.21 dc:NEWDOM"
  "OLDDC 127.0.10.22 dc:OLDDOM"
)

# Registry values each smbd PC starts with, as "KEY|VALUE NAME|DATA"; KEY is real or lab (the
# Winlogon keys) or policy. A key with no values listed is not created. Absent values and keys
# are the point of PC07 and PC08: PC07 has no lab key at all. PC09 (values already right) and the
# member PC12 also carry the logon-domain policy, set to the domain they are leaving: there the
# policy, not the values, decides what the logon screen offers.
lab_seed() {
  case "$1" in
    PC12)
      printf '%s\n' "real|DefaultDomainName|OLDDOM" "real|AltDefaultDomainName|OLDDOM" \
        "lab|DefaultDomainName|OLDDOM" "lab|AltDefaultDomainName|OLDDOM" \
        "policy|DefaultLogonDomain|OLDDOM"
      ;;
    PC01 | PC02 | PC13 | PC14 | PC15 | PC17 | PC18 | PC19 | PC20 | PC23 | PC24)
      printf '%s\n' "real|DefaultDomainName|OLDDOM" "real|AltDefaultDomainName|OLDDOM" \
        "lab|DefaultDomainName|OLDDOM" "lab|AltDefaultDomainName|OLDDOM"
      ;;
    PC07) printf '%s\n' "real|AltDefaultDomainName|OLDDOM" ;;
    PC08) printf '%s\n' "real|DefaultDomainName|NEWDOM" "lab|DefaultDomainName|NEWDOM" ;;
    PC09)
      printf '%s\n' "real|DefaultDomainName|NewDom" "real|AltDefaultDomainName|newDOM" \
        "lab|DefaultDomainName|NewDom" "lab|AltDefaultDomainName|newDOM" \
        "policy|DefaultLogonDomain|OLDDOM"
      ;;
    *) ;;
  esac
}

# The settings of a regsvc PC's service manager (lab/service-manager.py --help): PC17 Manual and
# stopped with a trigger start, PC18 Disabled, PC19 a slow start (3 s pending), PC20 the
# service's control rights refused to the administrator, PC23 a start that fails (back to
# stopped), PC24 already running. lab/reseed.sh puts a service back as it started.
lab_service_manager() {
  case "$1" in
    PC17) echo "--start-type manual --state stopped --trigger --start-ms 1500" ;;
    PC18) echo "--start-type disabled --state stopped --trigger" ;;
    PC19) echo "--start-type manual --state stopped --trigger --start-ms 3000" ;;
    PC20) echo "--start-type disabled --state stopped --refuse-control" ;;
    PC23) echo "--start-type manual --state stopped --start-fails" ;;
    PC24) echo "--start-type manual --state running --trigger" ;;
    *) lab_die "$1 has no service manager" ;;
  esac
}

lab_die() {
  echo "lab: $*" >&2
  exit 1
}

# Makes STATE_DIR absolute; every path handed to Samba must be, or it falls back to /etc/samba.
lab_state_dir() {
  [[ $# -ge 1 && -n $1 ]] || lab_die "usage: $(basename "$0") STATE_DIR ..."
  mkdir -p "$1"
  (cd "$1" && pwd -P)
}

# The holder's pid if it is still the process that holds the lab's namespaces.
lab_holder_pid() {
  local state=$1 pid
  [[ -s $state/holder.pid && -s $state/netns.id ]] || return 1
  pid=$(<"$state/holder.pid")
  [[ $(readlink "/proc/$pid/ns/net" 2>/dev/null) == "$(<"$state/netns.id")" ]] || return 1
  echo "$pid"
}

lab_enter() {
  local state=$1 pid
  shift
  pid=$(lab_holder_pid "$state") || lab_die "no lab running for $state"
  nsenter -t "$pid" -n -m -- "$@"
}

# lab_winlogon_key real|lab|policy: the registry path of the real Winlogon key, of its writable
# stand-in, or of the logon-domain policy's key.
lab_winlogon_key() {
  case $1 in
    real) echo "$REAL_KEY" ;;
    lab) echo "$LAB_KEY" ;;
    policy) echo "$POLICY_KEY" ;;
    *) lab_die "key must be real, lab or policy, not $1" ;;
  esac
}

# lab_realm DOMAIN: the Kerberos realm of a lab domain.
lab_realm() {
  echo "${1^^}.${LAB_DNS_SUFFIX^^}"
}

# lab_dc DOMAIN: "NAME ADDRESS" of the domain's controller.
lab_dc() {
  local host name addr kind
  for host in "${LAB_HOSTS[@]}"; do
    read -r name addr kind <<<"$host"
    [[ $kind == "dc:${1^^}" ]] && echo "$name $addr" && return 0
  done
  lab_die "no domain controller for ${1^^}"
}

# lab_pc_conf STATE_DIR PC: the smb.conf of a running lab PC, for "net -s".
lab_pc_conf() {
  local conf=$LAB_ROOT/pcs/${2^^}/smb.conf
  lab_enter "$1" test -f "$conf" || lab_die "no lab PC ${2^^}"
  echo "$conf"
}
