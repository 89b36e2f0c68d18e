#!/usr/bin/env bash
# tests/lab/lab_selfcheck.sh STATE_DIR: checks with Samba's own tools, not with cairnmark, that
# each lab host behaves as the lab cases assume, so that a failing case points at cairnmark and
# not at the lab.
set -euo pipefail
(($# == 1)) || { echo "usage: $0 STATE_DIR" >&2; exit 2; }
state=$1
lab=$(cd "$(dirname "$0")/../../lab" && pwd -P)

failed=0
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export new=FILE:$work/newdom.krb5cc old=FILE:$work/olddom.krb5cc
check() { # DESCRIPTION COMMAND...: passes when COMMAND succeeds
  local what=$1
  shift
  if bash "$lab/run.sh" "$state" bash -c "$*" >/dev/null 2>&1; then
    echo "ok   $what"
  else
    echo "FAIL $what"
    failed=1
  fi
}

# shellcheck disable=SC2016  # expanded inside the lab by bash -c
{
  check "names resolve through the lab's hosts file only" \
    '[[ $(getent hosts pc01) == "127.0.10.1 "* && $(getent hosts pc10) == "127.0.10.10 "* ]] &&
     ! getent hosts pc11 && ! getent hosts debian.org'
  check "PC01 answers ICMP echo, PC05 and PC10 do not" \
    'ping -c1 -W1 127.0.10.1 && ! ping -c1 -W1 127.0.10.5 && ! ping -c1 -W1 127.0.10.10'
  check "PC04 refuses connections at once" \
    'timeout 1 bash -c "</dev/tcp/127.0.10.4/445"; [[ $? == 1 ]]'
  check "PC05 lets a connection hang" \
    'timeout 1 bash -c "</dev/tcp/127.0.10.5/445"; [[ $? == 124 ]]'
  for pair in PC01:PC01 PC02:PC02 PC03:PC01 PC06:PC06 PC07:PC07 PC08:PC08 PC09:PC09; do
    host=${pair%%:*} answer=${pair#*:}
    check "$host answers srvsvc as $answer" \
      "rpcclient -c srvinfo ${host,,} | grep -q '^[[:space:]]*${answer}[[:space:]]'"
  done
  check "PC01 is in NEWDOM, PC02 in OLDDOM" \
    'rpcclient -c lsaquery pc01 | grep -qx "Domain Name: NEWDOM" &&
     rpcclient -c lsaquery pc02 | grep -qx "Domain Name: OLDDOM"'
  check "PC01 serves winreg, PC06 does not" \
    'net rpc registry enumerate "HKLM\SOFTWARE" -S pc01 -U "$USER%$PASSWD" &&
     ! net rpc registry enumerate "HKLM\SOFTWARE" -S pc06 -U "$USER%$PASSWD"'
  check "the lab user is no administrator" \
    '! USER=labuser rpcclient -c "wkssvc_wkstagetinfo 102" pc01 && rpcclient -c "wkssvc_wkstagetinfo 102" pc01'

  # The domains: tickets from each KDC (got once, into the private caches $new and $old); each
  # member takes its domain's ticket under its own name only; PC14 and PC15 refuse what the
  # cases say they refuse.
  check "NEWDC and OLDDC issue tickets to their administrators" \
    'echo "$PASSWD" | KRB5CCNAME=$new kinit administrator@NEWDOM.LAB.EXAMPLE &&
     echo "$PASSWD" | KRB5CCNAME=$old kinit administrator@OLDDOM.LAB.EXAMPLE'
  krb='krb() { local cc=$1; shift; KRB5CCNAME=$cc rpcclient --use-kerberos=required -N "$@"; };'
  check "PC12, PC14, PC15 take NEWDOM's ticket, PC13 OLDDOM's; PC16 (PC12 by another name) none" \
    "$krb"' for pc in pc12 pc14 pc15; do krb $new -c srvinfo $pc || exit 1; done &&
     krb $old -c srvinfo pc13 && ! krb $new -c srvinfo pc13 && ! krb $new -c srvinfo pc16'
  check "PC12 reports NEWDOM from its join, PC13 OLDDOM" \
    "$krb"' krb $new -c lsaquery pc12 | grep -qx "Domain Name: NEWDOM" &&
     krb $old -c lsaquery pc13 | grep -qx "Domain Name: OLDDOM"'
  check "PC15 refuses an NTLM logon of the domain administrator, PC12 takes it" \
    'ntlm() { rpcclient --use-kerberos=disabled -U "NEWDOM\administrator%$PASSWD" -c srvinfo "$1"; }
     ntlm pc12 && ! ntlm pc15'
  check "PC14 refuses a session without encryption (SMB 2.1), PC12 takes it" \
    'smb21() { KRB5CCNAME=$new smbclient --use-kerberos=required -N -m SMB2_10 -c exit "//$1/IPC\$"; }
     smb21 pc12 && ! smb21 pc14'
  check "PC09 serves the logon-domain policy over winreg to the lab administrator" \
    'net rpc registry getvalue -S pc09 -U "$USER%$PASSWD" \
       "HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\Policies\System" DefaultLogonDomain |
     grep -q "Value *= \"OLDDOM\""'
  check "PC12 serves the logon-domain policy over winreg" \
    'KRB5CCNAME=$new net rpc registry getvalue --use-kerberos=required -S pc12 \
       "HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\Policies\System" DefaultLogonDomain |
     grep -q "Value *= \"OLDDOM\""'
}

for expect in "PC01 real DefaultDomainName OLDDOM" "PC07 real DefaultDomainName -" \
  "PC07 lab DefaultDomainName -" "PC08 real AltDefaultDomainName -" \
  "PC08 real DefaultDomainName NEWDOM" "PC09 real DefaultDomainName NewDom" \
  "PC09 policy DefaultLogonDomain OLDDOM" "PC12 policy DefaultLogonDomain OLDDOM"; do
  read -r pc key name want <<<"$expect"
  got=$(bash "$lab/getvalue.sh" "$state" "$pc" "$key" "$name") || got=-
  if [[ $got == "$want" ]]; then echo "ok   $expect"; else echo "FAIL $expect (holds '$got')"; failed=1; fi
done
exit "$failed"
