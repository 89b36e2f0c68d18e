#!/usr/bin/env bash
# The Windows side of the test suite: installs the cross compiler and Wine when missing,
# cross-builds cairnmark.exe and every test for x86_64 Windows into build-win/, and runs that
# build's CTest under Wine inside a private lab (tests/win32/wine-lab.sh: private network,
# mount, UTS and PID namespaces, a private hosts file, a fresh Wine prefix removed afterwards).
# Run as root on Debian 12.
set -euo pipefail
cd "$(dirname "$0")/.."

bash tools/install-deps.sh

# Two jobs at most: the machine's cores are shared.
jobs=$(($(nproc) < 2 ? $(nproc) : 2))
started=$SECONDS

cmake -S . -B build-win -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build-win -j"$jobs"
built=$SECONDS

# The whole CTest run shares one lab, one prefix and one persistent wineserver.
bash tests/win32/wine-lab.sh \
  ctest --test-dir build-win --output-on-failure -j"$jobs" --timeout 300

echo "Windows build: $((built - started)) s; tests under Wine: $((SECONDS - built)) s"
