#!/usr/bin/env bash
# Installs what Cairnmark needs on Debian 12, by need; safe to run again: it only asks apt for
# packages that are missing.
#   bash tools/install-deps.sh demo    build the Linux programs and run them against the lab
#   bash tools/install-deps.sh test    also everything the whole test suite needs (the default)
#   bash tools/install-deps.sh bench   the demo's set and what the benchmarks measure with
set -euo pipefail

need=${1:-test}
demo=(
  # the Linux build, its man pages and the fleet command's libraries
  cmake g++ make pkg-config pandoc libcli11-dev nlohmann-json3-dev
  # the Samba backend module (cairnmark-samba.so): Samba's DCE/RPC client
  samba-dev
  # the lab (lab/): Samba PCs in private network namespaces, and Samba's client tools
  samba smbclient iproute2 nftables util-linux iputils-ping
)
case $need in
  demo) packages=("${demo[@]}") ;;
  test)
    packages=("${demo[@]}"
      googletest libgtest-dev
      # the lab's Active Directory domains (lab/domain.sh): Samba's domain controller (provisioning
      # data, directory modules, the file server modules its shares use), winbindd for the
      # members, and MIT Kerberos' kinit and klist for the Kerberos lab cases
      samba-ad-provision samba-dsdb-modules samba-vfs-modules winbind krb5-user
      # sanitizers and fuzzing
      clang libclang-rt-14-dev
      # the Windows build, tested under Wine (tools/test-windows.sh)
      g++-mingw-w64-x86-64-posix wine wine64
      # the fleet command's HTML page, loaded in a real browser
      chromium
      # the Debian package: built by CPack, checked by lintian, its man pages by groff and man
      dpkg-dev file lintian groff-base man-db
    )
    ;;
  bench) packages=("${demo[@]}" hyperfine g++-mingw-w64-x86-64-posix) ;;
  *)
    echo "usage: $0 [demo | test | bench]" >&2
    exit 2
    ;;
esac

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
