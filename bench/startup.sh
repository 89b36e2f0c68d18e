#!/usr/bin/env bash
# Start-up cost: the usage path and a command-line error of build/cairnmark, timed with hyperfine
# against a static C program that only exits. Prints the mean times and the ratios.
set -euo pipefail
cd "$(dirname "$0")/.."

binary=${CAIRNMARK_BINARY:-build/cairnmark}
[[ -x $binary ]] || { echo "build first: $binary is missing" >&2; exit 1; }
command -v hyperfine >/dev/null || { echo "hyperfine is missing (apt-get install hyperfine)" >&2; exit 1; }

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
printf 'int main(void) { return 0; }\n' >"$scratch/exit.c"
cc -O2 -static -o "$scratch/exit" "$scratch/exit.c"

json=${CAIRNMARK_BENCH_JSON:-$scratch/times.json}
hyperfine -N --warmup 20 --runs "${RUNS:-300}" -i --export-json "$json" \
  -n 'static C exit' "$scratch/exit" \
  -n 'cairnmark /?' "$binary /?" \
  -n 'cairnmark /Q /V error' "$binary /M pc01 /T newdom /V /Q" >/dev/null

python3 - "$json" <<'PY'
import json, sys
results = json.load(open(sys.argv[1]))["results"]
base = results[0]["median"]
base_min = results[0]["min"]
for r in results:
    print(f"{r['command']:<24} median {r['median'] * 1e3:7.3f} ms   ratio {r['median'] / base:5.2f}   min {r['min'] * 1e3:7.3f} ms   ratio {r['min'] / base_min:5.2f}")
PY
