#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each for the given number of seconds
# (default 30, the smoke run CI makes). New inputs go to a scratch corpus; the seeds under
# fuzz/corpus/ are only read. A crash fails the script and leaves its input in build-fuzz/.
#   bash tools/fuzz.sh [seconds] [extra libFuzzer flags...]   e.g. bash tools/fuzz.sh 1800
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${1:-30}
shift || true

cmake -S . -B build-fuzz -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
  -DCAIRNMARK_FUZZ=ON -DBUILD_TESTING=OFF -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
targets=()
for corpus in fuzz/corpus/*/; do targets+=("$(basename "$corpus")_fuzzer"); done
cmake --build build-fuzz -j"$(nproc)" --target "${targets[@]}" >/dev/null

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
for corpus in fuzz/corpus/*/; do
  name=$(basename "$corpus")
  fuzzer=build-fuzz/fuzz/${name}_fuzzer
  mkdir -p "$scratch/$name"
  echo "== $name: ${seconds}s"
  status=0
  "$fuzzer" -max_total_time="$seconds" -print_final_stats=1 -artifact_prefix=build-fuzz/"$name"- \
    "$@" "$scratch/$name" "$corpus" >"$scratch/$name.log" 2>&1 || status=$?
  grep -E '^(Done|stat::number_of_executed_units|stat::average_exec_per_sec)' "$scratch/$name.log" || true
  if ((status != 0)); then
    tail -n 40 "$scratch/$name.log"
    echo "fuzzer $name failed with status $status" >&2
    exit 1
  fi
done
