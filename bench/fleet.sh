#!/usr/bin/env bash
# The fleet command against the lab, in one run: a list of 1,000 entries cycling through the lab
# PCs, one in ten of them PC05 (which drops everything), checked with /P /S by the lab-key build:
#   1. cairnmark-fleet --jobs 32;
#   2. the sequential loop of cairnmark(1)'s EXAMPLES over the single check;
#   3. xargs -P 32 over the single check.
# Then checks that every fleet record's exit code equals the single check's for that entry, and
# gives the peak memory of the whole fleet run (all its processes, through a memory cgroup).
# Run as root on Debian 12 after tools/install-deps.sh: bash bench/fleet.sh [ENTRIES]
#
# bash bench/fleet.sh silent: 1,024 distinct names of PC05 (which drops everything) at --jobs 256
# and 1024, without /P: wall time, silent PCs per second, CPU time (the command and all its
# workers), and in a second run of each the peak proportional set size of the process group.
# bash bench/fleet.sh live: 1,000 distinct names of PC01 with --ignore-name and no write, by
# cairnmark-fleet --jobs 32 and by xargs -P 32 over the single check: wall and CPU time.
# bash bench/fleet.sh services [PCS]: 100 (or PCS) PCs whose RemoteRegistry is not running,
# checked with --start-registry --set-default, half of them PC17 (a trigger start) and half PC18
# (Disabled), each beside the same PC checked with its service already running: wall and CPU
# time per PC, the time the service phase adds, and whether every record passed and every
# service was put back as found.
set -euo pipefail
cd "$(dirname "$0")/.."
mode=${1:-1000}
entries=$mode
[[ $mode == silent || $mode == live ]] && entries=1000
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"$(nproc)" --target cairnmark-labkey cairnmark-fleet-labkey >/dev/null
single=$PWD/build/cairnmark-labkey
fleet=$PWD/build/cairnmark-fleet-labkey

scratch=$(mktemp -d /tmp/cairnmark-fleet-bench.XXXXXX)
group=/sys/fs/cgroup/memory/cairnmark-fleet-bench-$$
cleanup() {
  [[ ! -d $group ]] || rmdir "$group" 2>/dev/null || true
  bash lab/stop.sh "$scratch/lab" >/dev/null 2>&1 || true
  rm -rf "$scratch"
}
trap cleanup EXIT
trap 'exit 130' INT TERM
mkdir "$scratch/lab"
bash lab/start.sh "$scratch/lab" --without-domains

# Wall time and CPU time (user + sys, the command and every process it waited for) of a run.
timed() { # LABEL COMMAND...: runs COMMAND inside the lab under /usr/bin/time
  local label=$1
  shift
  inside /usr/bin/time -f '%e %U %S' -o "$scratch/time" "$@" >/dev/null 2>&1 || true
  read -r wall user sys < <(tail -n 1 "$scratch/time")
  echo "$label $wall $(echo "$user + $sys" | bc)"
}
row() { # LABEL WALL CPU PCS [PSS]
  printf '| %s | %.1f s | %.0f | %.2f s | %.2f ms | %s |\n' "$1" "$2" "$(echo "$4 / $2" | bc -l)" \
    "$3" "$(echo "$3 * 1000 / $4" | bc -l)" "${5:--}"
}

now_ms() { echo $(($(date +%s%N) / 1000000)); }
inside() { bash lab/run.sh "$scratch/lab" "$@"; }

if [[ $mode == silent ]]; then
  for ((i = 1; i <= 1024; i++)); do echo "pc05.s$i"; done >"$scratch/silent"
  printf '\n| run | wall | PCs/s | CPU | CPU per PC | peak PSS |\n|---|---|---|---|---|---|\n'
  for jobs in 256 1024; do
    read -r _ wall cpu <<<"$(timed x "$fleet" --domain newdom --quiet --jobs "$jobs" "$scratch/silent")"
    inside "$fleet" --domain newdom --quiet --jobs "$jobs" "$scratch/silent" >/dev/null &
    sleep 0.2
    runner=$(pgrep -o -f "^$fleet --domain newdom --quiet --jobs $jobs ")
    pss=$(python3 bench/pss_peak.py "$runner")
    wait || true
    row "1,024 silent PCs, --jobs $jobs" "$wall" "$cpu" 1024 "$pss MiB"
  done
  exit 0
fi
if [[ $mode == live ]]; then
  for ((i = 1; i <= 1000; i++)); do echo "pc01.l$i"; done >"$scratch/live"
  printf '\n| run | wall | PCs/s | CPU | CPU per PC | peak PSS |\n|---|---|---|---|---|---|\n'
  read -r _ wall cpu <<<"$(timed x "$fleet" --domain newdom --quiet --ignore-name --jobs 32 "$scratch/live")"
  row "cairnmark-fleet --jobs 32" "$wall" "$cpu" 1000
  read -r _ wall cpu <<<"$(timed x sh -c 'xargs -P 32 -n 1 "$0" /T newdom /I /Q /M <"$1"' "$single" "$scratch/live")"
  row "xargs -P 32 over the single check" "$wall" "$cpu" 1000
  exit 0
fi

if [[ $mode == services ]]; then
  # The lab has one PC of each kind, and a service is the PC's own: two checks of the same PC at
  # once would start and stop it under each other, and a trigger-started service stays running
  # (as on Windows, until it idles out). So each PC is a run of its own after a reseed, the
  # service as the PC started (stopped) and then the same PC with its service started first
  # (running), alternately, so that the load of a shared machine falls on both alike.
  service() {
    bash lab/service-state.sh "$scratch/lab" "$1" |
      python3 -c 'import json, sys; s = json.load(sys.stdin); print(s["state"] + "/" + s["start_type"])'
  }
  for ((i = 1; i <= ${2:-100}; i++)); do
    pc=pc18
    ((i % 2)) && pc=pc17
    for found in stopped running; do
      bash lab/reseed.sh "$scratch/lab" "$pc"
      [[ $found == stopped ]] || bash lab/service-set.sh "$scratch/lab" "$pc" manual start
      before=$(service "$pc")
      rm -f "$scratch/r.jsonl" "$scratch/r.jsonl.journal"
      read -r _ wall cpu <<<"$(timed x "$fleet" --domain newdom --quiet --set-default \
        --start-registry --jsonl "$scratch/r.jsonl" --pc "$pc")"
      code=$(python3 -c 'import json, sys; print(json.load(open(sys.argv[1]))["exit_code"])' \
        "$scratch/r.jsonl" 2>/dev/null || echo none)
      # Put back as found: PC18 stopped and Disabled again; a trigger start is the PC's own.
      want=$before
      [[ $pc/$found == pc17/stopped ]] && want=running/manual
      echo "$pc $found $wall $cpu $code $([[ $(service "$pc") == "$want" ]] && echo 1 || echo 0)"
    done
  done >"$scratch/services"
  python3 - "$scratch/services" <<'PY'
import statistics, sys
runs = {}
for line in open(sys.argv[1]):
    pc, found, wall, cpu, code, restored = line.split()
    runs.setdefault((pc, found), []).append((float(wall), float(cpu), code == "0", restored == "1"))
names = {"pc17": "PC17, trigger start (1.5 s)", "pc18": "PC18, Disabled (start 0.5 s, stop 0.3 s)"}
print("\n| PCs | service found | wall per PC (median) | CPU per PC (median) | passed | put back |")
print("|---|---|---|---|---|---|")
for (pc, found), rows in sorted(runs.items()):
    print(f"| {len(rows)} x {names[pc]} | {found} | {statistics.median(r[0] for r in rows):.2f} s "
          f"| {statistics.median(r[1] for r in rows) * 1000:.0f} ms | {sum(r[2] for r in rows)} "
          f"| {sum(r[3] for r in rows)} |")
print("\n| PCs | wall added by the service phase (median) | CPU added (median) |\n|---|---|---|")
for pc in ("pc17", "pc18"):
    stopped, running = runs[(pc, "stopped")], runs[(pc, "running")]
    wall = statistics.median(s[0] - r[0] for s, r in zip(stopped, running))
    cpu = statistics.median(s[1] - r[1] for s, r in zip(stopped, running))
    print(f"| {names[pc]} | {wall:.2f} s | {cpu * 1000:.0f} ms |")
PY
  exit 0
fi

# Entry N names a lab PC with a label of its own after the dot ("pc01.e1"): the single check cuts
# it to the PC's name, and the fleet, which checks a name listed twice only once, checks each.
cycle=(pc01 pc02 pc03 pc04 pc06 pc07 pc08 pc09 pc11)
for ((i = 1; i <= entries; i++)); do
  if ((i % 10 == 0)); then pc=pc05; else pc=${cycle[i % 10 - 1]}; fi
  echo "$pc.e$i"
done >"$scratch/list"
echo "list: $entries entries, $(grep -c '^pc05\.' "$scratch/list") of them PC05"

echo "== 1. cairnmark-fleet --jobs 32"
bash lab/reseed.sh "$scratch/lab" pc01
cgroup=()
if [[ -d /sys/fs/cgroup/memory ]] && mkdir "$group" 2>/dev/null; then
  cgroup=(sh -c 'echo $$ >"$0/cgroup.procs" && exec "$@"' "$group")
fi
start=$(now_ms)
inside "${cgroup[@]}" "$fleet" --domain newdom --ping --set-default --quiet --jobs 32 \
  --csv "$scratch/fleet.csv" "$scratch/list" || true
fleet_ms=$(($(now_ms) - start))
peak="not measured (no cgroup v1 memory controller)"
[[ -z ${cgroup[*]} ]] || peak="$(($(cat "$group/memory.max_usage_in_bytes") / 1048576)) MiB"

echo "== 2. the sequential loop of cairnmark(1)'s EXAMPLES over the single check"
bash lab/reseed.sh "$scratch/lab" pc01
start=$(now_ms)
inside sh -c 'while read -r pc; do "$1" /M "$pc" /T newdom /P /S /Q; echo "$pc $?"; done <"$2"' \
  sh "$single" "$scratch/list" >"$scratch/loop.txt"
loop_ms=$(($(now_ms) - start))

echo "== 3. xargs -P 32 over the single check"
bash lab/reseed.sh "$scratch/lab" pc01
start=$(now_ms)
inside sh -c 'xargs -P 32 -n 1 sh -c '\''"$0" /M "$1" /T newdom /P /S /Q; echo "$1 $?"'\'' "$1" <"$2"' \
  sh "$single" "$scratch/list" >"$scratch/xargs.txt"
xargs_ms=$(($(now_ms) - start))

# Every record's exit code against the single check's in the loop.
mismatches=$(awk -F, 'NR > 1 { print $1 " " $4 }' "$scratch/fleet.csv" | sort |
  comm -3 - <(sort "$scratch/loop.txt") | wc -l)
records=$(($(wc -l <"$scratch/fleet.csv") - 1))

printf '\n| run | wall time | entries/s |\n|---|---|---|\n'
for row in "cairnmark-fleet --jobs 32:$fleet_ms" "sequential loop:$loop_ms" "xargs -P 32:$xargs_ms"; do
  ms=${row##*:}
  printf '| %s | %d.%03d s | %d |\n' "${row%:*}" $((ms / 1000)) $((ms % 1000)) $((entries * 1000 / ms))
done
echo
echo "fleet against the loop: $((loop_ms * 10 / fleet_ms / 10)).$((loop_ms * 10 / fleet_ms % 10))x faster (target: at least 20x)"
echo "fleet against xargs -P 32: $((xargs_ms * 100 / fleet_ms))% of the fleet's speed as time ratio (target: fleet no slower, >= 100%)"
echo "records: $records of $entries, exit codes differing from the single check: $mismatches"
echo "peak memory of the whole fleet run: $peak (target: under 200 MiB)"
