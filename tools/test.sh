#!/usr/bin/env bash
# The whole test suite: installs what is missing, builds, and runs every test with CTest.
# Run as root on Debian 12 (the end-to-end tests make private network namespaces).
set -euo pipefail
cd "$(dirname "$0")/.."

bash tools/install-deps.sh test

# The sanitizer build's suppressions (tools/lsan.supp) name the loader's functions, which only its
# debug symbols give; without them its leaks surface late, as failures of every lab test.
loader_id=$(readelf -n /lib64/ld-linux-x86-64.so.2 | awk '/Build ID/ {print $3}')
[[ -s /usr/lib/debug/.build-id/${loader_id:0:2}/${loader_id:2}.debug ]] || {
  echo "test: the loader's debug symbols are missing, so tools/lsan.supp cannot name its own" \
    "allocations (install libc6-dbg: bash tools/install-deps.sh test)" >&2
  exit 1
}

jobs=$(nproc)

# Linux build: unit tests, transcript tests, the fault-injection sweep, end-to-end tests of the
# real binary, the lab tests against real Samba PCs, and the Debian package (built, checked by
# lintian, installed and run inside the lab, removed).
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBUILD_TESTING=ON >/dev/null
cmake --build build -j"$jobs"
ctest --test-dir build --output-on-failure -j"$jobs" --timeout 300

# The same suite, lab tests included, built with AddressSanitizer, UndefinedBehaviorSanitizer and LeakSanitizer. Every
# report fails its test (the end-to-end tests demand an empty standard error). use_tls=0: GCC 12's
# leak checker crashes reading the dynamic TLS of the resolver's NSS modules on glibc 2.36.
cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=Debug -DCAIRNMARK_SANITIZE=ON -DBUILD_TESTING=ON >/dev/null
cmake --build build-asan -j"$jobs"
ASAN_OPTIONS=detect_leaks=1:abort_on_error=0 LSAN_OPTIONS=use_tls=0:print_suppressions=0:suppressions=$PWD/tools/lsan.supp \
  UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  ctest --test-dir build-asan --output-on-failure -j"$jobs" --timeout 300

# Fuzz smoke run: each libFuzzer target for 30 seconds from its seed corpus.
bash tools/fuzz.sh 30

# Windows build: the same suite and the Win32 backends, cross-built and run under Wine; then the
# zip made from that build.
if [[ -f tools/test-windows.sh ]]; then
  bash tools/test-windows.sh
  (cd build-win && cpack -G ZIP >/dev/null && echo "Windows zip: $(ls ./*.zip)")
fi
