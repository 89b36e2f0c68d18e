#!/usr/bin/env bash
# Installs what building and testing Cairnmark needs on Debian 12. Safe to run again: it only
# asks apt for packages that are missing.
set -euo pipefail

packages=(
  # Linux build and unit tests
  cmake g++ make googletest libgtest-dev
  # end-to-end tests in private namespaces
  iproute2 nftables util-linux iputils-ping
  samba smbclient  # the lab's Samba PCs (lab/) and Samba's client tools that check them
  # the lab's Active Directory domains (lab/domain.sh): Samba's domain controller (provisioning
  # data, directory modules, the file server modules its shares use), winbindd for the members,
  # and MIT Kerberos' kinit and klist for the Kerberos lab cases
  samba-ad-provision samba-dsdb-modules samba-vfs-modules winbind krb5-user
  # the Samba backend module (cairnmark-samba.so): Samba's DCE/RPC client and pkg-config
  samba-dev pkg-config
  # fuzzing and sanitizers
  clang libclang-rt-14-dev
  # benchmarks
  hyperfine
  # Windows build, tested under Wine (tools/test-windows.sh)
  g++-mingw-w64-x86-64-posix wine wine64
)

missing=()
for package in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' ||
    missing+=("$package")
done
if ((${#missing[@]})); then
  echo "Installing: ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi
