#!/usr/bin/env bash
# The whole test suite: installs what is missing, builds, and runs every test with CTest.
# Run as root on Debian 12 (the end-to-end tests make private network namespaces).
set -euo pipefail
cd "$(dirname "$0")/.."

bash tools/install-deps.sh

jobs=$(nproc)

# Linux build: unit tests, transcript tests and end-to-end tests of the real binary.
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"$jobs"
ctest --test-dir build --output-on-failure -j"$jobs" --timeout 300

# Lab tests against real Samba PCs run inside the Linux build's CTest run above.

# Windows build: the same suite and the Win32 backends, cross-built and run under Wine.
if [[ -f tools/test-windows.sh ]]; then
  bash tools/test-windows.sh
fi
