#!/usr/bin/env python3
"""bench/pss_peak.py PID: samples the proportional set size of PID and all its descendants every
0.1 s until PID is gone, then prints the peak sum in MiB. The proportional set size splits each
shared page among the processes that map it, so the sum is what the process group costs the
machine, not the resident size of every forked worker counted again."""
import os
import sys
import time


def descendants(root):
    children = {}
    for name in os.listdir("/proc"):
        if not name.isdigit():
            continue
        try:
            with open(f"/proc/{name}/stat") as stat:
                parent = int(stat.read().rsplit(")", 1)[1].split()[1])
        except (OSError, IndexError, ValueError):
            continue
        children.setdefault(parent, []).append(int(name))
    found, todo = [], [root]
    while todo:
        pid = todo.pop()
        found.append(pid)
        todo.extend(children.get(pid, []))
    return found


def pss_kib(pid):
    try:
        with open(f"/proc/{pid}/smaps_rollup") as rollup:
            for line in rollup:
                if line.startswith("Pss:"):
                    return int(line.split()[1])
    except OSError:
        pass
    return 0


root = int(sys.argv[1])
peak = 0
while os.path.exists(f"/proc/{root}"):
    peak = max(peak, sum(pss_kib(pid) for pid in descendants(root)))
    time.sleep(0.1)
print(f"{peak / 1024:.0f}")
