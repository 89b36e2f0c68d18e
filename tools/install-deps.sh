#!/usr/bin/env bash
# Installs what Cairnmark needs on Debian 12, by need; safe to run again: it only asks apt for
# packages that are missing.
#   bash tools/install-deps.sh demo    build the Linux programs and run them against the lab
#   bash tools/install-deps.sh test    also everything the whole test suite needs (the default)
#   bash tools/install-deps.sh bench   the demo's set and what the benchmarks measure with
set -euo pipefail

need=${1:-test}
# Each set holds everything its script runs, so that it works on a machine that has nothing else;
# the comments name the script that needs each package.
demo=(
  # tools/demo.sh, bench/ and tools/test.sh: the Linux build, its man pages and the fleet
  # command's libraries
  cmake g++ make pkg-config pandoc libcli11-dev nlohmann-json3-dev
  # the same: the Samba backend module (cairnmark-samba.so), Samba's DCE/RPC client
  samba-dev
  # lab/start.sh --without-domains (tools/demo.sh, bench/): the standalone Samba PCs (smbd,
  # samba-dcerpcd), net and smbpasswd to set them up, rpcclient to wait for them, and the
  # namespaces, addresses and packet filter they live in
  samba samba-common-bin smbclient iproute2 nftables util-linux
  # lab/start.sh: the lab PCs' service manager (lab/service-manager.py; its smbd's preloaded
  # library is built with the g++ package's gcc)
  python3-samba
)
case $need in
  demo) packages=("${demo[@]}") ;;
  test)
    packages=("${demo[@]}"
      # tools/test.sh: the unit tests
      googletest libgtest-dev
      # tools/test.sh's sanitizer build: the loader's function names (its own file is stripped),
      # without which tools/lsan.supp cannot name the loader's allocations it suppresses
      libc6-dbg
      # lab/start.sh without --without-domains (the lab tests of tools/test.sh): Samba's domain
      # controller (provisioning data, directory modules, the file server modules its shares
      # use), winbindd for the members, and MIT Kerberos' kinit and klist for the Kerberos cases
      samba-ad-provision samba-dsdb-modules samba-vfs-modules winbind krb5-user
      # tools/test.sh: the README's multi-site recipe
      parallel
      # tools/fuzz.sh: libFuzzer targets built with clang
      clang libclang-rt-14-dev
      # tools/test-windows.sh: the Windows build, tested under Wine
      g++-mingw-w64-x86-64-posix wine wine64
      # tools/test.sh: the fleet command's HTML page, loaded in a real browser
      chromium
      # tools/test.sh: the Debian package, built by CPack, checked by lintian, its man pages by
      # groff and man
      dpkg-dev file lintian groff-base man-db
    )
    ;;
  bench)
    packages=("${demo[@]}"
      # bench/: the timings, the Samba tools' side of the comparison (ping; rpcclient and net
      # come with the demo's set) and the summaries
      hyperfine iputils-ping python3
      # bench/run.sh: the size of the Release Windows exe
      g++-mingw-w64-x86-64-posix
    )
    ;;
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
