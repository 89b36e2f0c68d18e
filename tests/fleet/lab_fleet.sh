#!/usr/bin/env bash
# tests/fleet/lab_fleet.sh GROUP STATE_DIR FLEET: cairnmark-fleet (the lab-key build) against the
# running lab, through its command line and its record files only.
#   records      every lab PC once: each record's exit code, reason, step and status
#   credentials  a wrong password, an account without rights, the Samba module missing
#   ends         a check stopped at its deadline, and one that crashes: each with its address and
#                the step it was in
#   resume       a run interrupted with SIGINT halfway, then resumed: no PC twice, none missing
#   signals      SIGTERM and SIGHUP mid-run end it like Ctrl-C (exit 128 + signal, the running
#                checks recorded, the summary); after kill -9 no worker is left
#   html         the page in headless Chromium: one table row per PC
#   limits       --jobs 1024 over silent names under an open-file limit of 256: refused where
#                the hard limit is that low, raised where only the soft one is; no wrong verdict;
#                no process to spare: local-resources for every PC, and the summary says so
#   kerberos     a NEWDOM ticket only: the domain members, hardened PCs, the logon-domain policy;
#                no ticket, a password against the PC that refuses NTLM, and a silent KDC
#   diskfull     record files on a small tmpfs that fills mid-run: exit code, message, whole
#                lines; a torn last line; a resume on the freed disk completes both files
#   cells        a Winlogon value holding a formula and escape bytes: the CSV cell, the page's
#                cell and the JSON value
#   audit        --audit of every lab PC: each record, and every PC's values unchanged afterwards
#   restore      a --set-default wave, one PC changed by hand since, then --restore-from: --audit
#                changes nothing, the untouched PC gets its values back, the changed one and a
#                PC that now reports another name are left alone (values read on the PCs)
#   recipe       doc/multi-site.md's GNU parallel recipe over two halves of the list, run locally
#                (--sshlogin :): the merged report equals the report of one run over the whole list
set -euo pipefail
group=$1 state=$2 fleet=$3
here=$(cd "$(dirname "$0")" && pwd -P)
lab=$here/../../lab
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
run() { bash "$lab/run.sh" "$state" "$@"; }
# field CSV PC COLUMN: one field of a PC's row (lab values hold no commas or quotes).
field() { awk -F, -v pc="$2" -v col="$3" 'NR > 1 && $1 == pc { print $col }' "$1"; }

expect_record() { # CSV PC EXIT REASON STEP STATUS ("-": empty; "_" in STEP: a blank)
  local got want
  got="$(field "$1" "$2" 4)|$(field "$1" "$2" 5)|$(field "$1" "$2" 6)|$(field "$1" "$2" 7)"
  want="$3|$4|${5//_/ }|$6"
  want=${want//|-/|}
  [[ $got == "$want" ]] || fail "$2: got '$got', expected '$want'"
}
# The processes of the fleet binary started under PID: the fleet command first, then its workers.
tree() { echo "$1"; for p in $(cat /proc/"$1"/task/*/children 2>/dev/null); do tree "$p"; done; }
fleet_pids() {
  for p in $(tree "$1"); do [[ $(readlink "/proc/$p/exe") == "$(readlink -f "$fleet")" ]] && echo "$p"; done
}

case $group in
  records)
    grep -v '^#' "$here/lab_records.txt" | awk '{ print $1 }' | tr _ ' ' >"$work/list"
    printf '; a comment\n# another\nPC01\n' >>"$work/list"
    bash "$lab/reseed.sh" "$state" pc01
    status=0
    run "$fleet" --domain newdom --ping --set-default --jobs 16 --csv "$work/r.csv" \
      --html "$work/r.html" "$work/list" >"$work/out" || status=$?
    ((status == 1)) || fail "exit status $status, expected 1"
    while read -r pc code reason step st; do
      [[ $pc == '#'* ]] && continue
      expect_record "$work/r.csv" "${pc//_/ }" "$code" "$reason" "$step" "$st"
    done <"$here/lab_records.txt"
    (($(wc -l <"$work/r.csv") == 15)) || fail "$(wc -l <"$work/r.csv") lines, expected a header and 14 records"
    [[ $(field "$work/r.csv" pc01 9)/$(field "$work/r.csv" pc01 11) == OLDDOM/NEWDOM ]] ||
      fail "pc01 DefaultDomainName before/after: $(field "$work/r.csv" pc01 9)/$(field "$work/r.csv" pc01 11)"
    [[ $(bash "$lab/getvalue.sh" "$state" pc01 lab AltDefaultDomainName) == NEWDOM ]] ||
      fail "pc01 was not rewritten"
    grep -q '^  16      2  registry or Winlogon key could not be opened' "$work/out" || fail "summary: $(cat "$work/out")"
    [[ $(field "$work/r.csv" pc09 13) == OLDDOM ]] || fail "pc09's logon-domain policy: '$(field "$work/r.csv" pc09 13)'"
    grep -A1 '^1 PCs: policy overrides the Winlogon values' "$work/out" | grep -q '^  pc09$' ||
      fail "the summary does not list pc09's policy"
    ;;
  credentials)
    mkdir "$work/bin" && cp "$fleet" "$work/bin/"  # without the Samba module beside it
    for c in "PASSWD=wrong-password logon-failure $fleet" "USER=labuser access-denied $fleet" \
      "X=1 module-missing $work/bin/${fleet##*/}"; do
      read -r setting reason binary <<<"$c"
      run env "$setting" "$binary" --domain newdom --quiet --pc pc01 --csv "$work/$reason.csv" >/dev/null || true
      expect_record "$work/$reason.csv" pc01 2 "$reason" NetWkstaGetInfo "$(field "$work/$reason.csv" pc01 7)"
      [[ -n $(field "$work/$reason.csv" pc01 8) ]] || fail "$reason: no status name"
    done
    ;;
  ends)
    run "$fleet" --domain newdom --deadline 1 --pc pc05 --csv "$work/d.csv" >/dev/null || true
    # A check that did not finish still names the step it was in, and its address.
    expect_record "$work/d.csv" pc05 2 stopped-at-deadline NetWkstaGetInfo -
    [[ $(field "$work/d.csv" pc05 3) == 127.0.10.5 ]] || fail "stopped pc05: address '$(field "$work/d.csv" pc05 3)'"
    run "$fleet" --domain newdom --pc pc05 --pc pc02 --csv "$work/c.csv" >/dev/null &
    runner=$!
    for _ in $(seq 100); do  # the worker of pc05 is the one still running once pc02 is recorded
      sleep 0.05
      [[ $(wc -l <"$work/c.csv" 2>/dev/null || echo 0) == 2 ]] || continue
      for p in $(fleet_pids "$runner" | tail -n +2); do kill -SEGV "$p"; done
      break
    done
    wait "$runner" || true
    expect_record "$work/c.csv" pc05 255 crashed NetWkstaGetInfo -
    [[ $(field "$work/c.csv" pc05 3) == 127.0.10.5 ]] || fail "crashed pc05: address '$(field "$work/c.csv" pc05 3)'"
    expect_record "$work/c.csv" pc02 8 wrong-domain - -
    ;;
  resume)
    for pc in 01 02 03 04 05 06 07 08 09 10 11; do echo "pc$pc"; done >"$work/list"
    run "$fleet" --domain newdom --jobs 1 --jsonl "$work/r.jsonl" "$work/list" >"$work/out" &
    runner=$!
    for _ in $(seq 200); do  # interrupt while pc05 (about 4 s of silence) is being checked
      sleep 0.05
      (($(wc -l <"$work/r.jsonl" 2>/dev/null || echo 0) >= 4)) && break
    done
    sleep 0.5
    kill -INT "$(fleet_pids "$runner" | head -1)"
    status=0 && wait "$runner" || status=$?
    ((status == 130)) || fail "interrupted run: exit $status, expected 130"
    (($(wc -l <"$work/r.jsonl") == 5)) || fail "interrupted run recorded $(wc -l <"$work/r.jsonl") PCs, expected 5"
    status=0 && run "$fleet" --domain newdom --resume --jsonl "$work/r.jsonl" "$work/list" >"$work/out" || status=$?
    ((status == 1)) || fail "resumed run: exit $status"
    grep -q '^5 PCs skipped' "$work/out" || fail "resumed run: $(head -2 "$work/out")"
    listed=$(grep -o '"pc":"[^"]*"' "$work/r.jsonl" | sort | uniq -c | awk '$1 == 1' | wc -l)
    ((listed == 11 && $(wc -l <"$work/r.jsonl") == 11)) || fail "records after resume: $(grep -o '"pc":"[^"]*"' "$work/r.jsonl" | sort | uniq -c)"
    ;;
  signals)
    for i in $(seq 8); do echo "pc05.g$i"; done >"$work/list"
    # Fleet processes anywhere: after kill -9 the workers are nobody's children any more.
    anywhere() { for p in /proc/[0-9]*; do [[ $(readlink "$p/exe" 2>/dev/null) == "$(readlink -f "$fleet")" ]] && echo "${p#/proc/}"; done; true; }
    for signal in TERM:143 HUP:129 KILL:137; do
      name=${signal%:*} want=${signal#*:}
      rm -f "$work/s.csv"
      run "$fleet" --domain newdom --jobs 4 --csv "$work/s.csv" "$work/list" >"$work/out" &
      runner=$!
      for _ in $(seq 100); do  # until the first four silent PCs are being checked
        sleep 0.05
        (($(fleet_pids "$runner" | wc -l) == 5)) && break
      done
      kill "-$name" "$(fleet_pids "$runner" | head -1)"
      status=0 && wait "$runner" || status=$?
      ((status == want)) || fail "SIG$name: exit $status, expected $want"
      sleep 0.2
      [[ -z $(anywhere) ]] || fail "SIG$name: fleet processes left: $(anywhere)"
      [[ $name == KILL ]] && continue
      (($(wc -l <"$work/s.csv") == 5)) || fail "SIG$name: $(($(wc -l <"$work/s.csv") - 1)) records, expected the 4 running"
      grep -q '^4 PCs checked .*(interrupted' "$work/out" || fail "SIG$name: summary: $(head -1 "$work/out")"
    done
    ;;
  html)
    run "$fleet" --domain newdom --quiet --pc pc01 --pc pc02 --pc pc11 --html "$work/p.html" >/dev/null || true
    browser=(chromium --headless --no-sandbox --disable-gpu --disable-quic --no-first-run
      --disable-background-networking --disable-component-update --disable-sync
      --user-data-dir="$work/profile")
    "${browser[@]}" --dump-dom "file://$work/p.html" 2>/dev/null >"$work/dom"
    records() { sed -n '/<table id="records"/,/<\/table>/p' "$1" | grep -o "$2" | wc -l; }
    rows=$(records "$work/dom" '<tr[ >]')
    ((rows == 4)) || fail "the page shows $rows table rows, expected a header and 3 PCs"
    grep -q '<svg' "$work/dom" || fail "no chart on the page"
    for tile in '<b>1</b>passed' '<b>2</b>failed' '<b>1</b>not reached' '<b>0</b>policy overrides'; do
      grep -qF "$tile" "$work/dom" || fail "no tile $tile"
    done
    grep -qF '<td>wrong-domain</td><td>1</td><td>join the PC to the target domain first</td>' "$work/dom" ||
      fail "no next step for wrong-domain"
    # The filter, from the page address's fragment: only pc02's row stays shown.
    "${browser[@]}" --dump-dom "file://$work/p.html#PC02" 2>/dev/null >"$work/filtered"
    hidden=$(records "$work/filtered" '<tr[^>]* hidden=""')
    ((hidden == 2)) || fail "the filter hides $hidden rows, expected 2"
    "${browser[@]}" --screenshot="$work/p.png" --window-size=1200,800 "file://$work/p.html" 2>/dev/null
    [[ -s $work/p.png ]] || fail "no screenshot"
    [[ -z ${CAIRN_KEEP_SCREENSHOT:-} ]] || cp "$work/p.png" "$CAIRN_KEEP_SCREENSHOT"
    ;;
  limits)
    for i in $(seq 300); do echo "pc05.e$i"; done >"$work/silent"
    status=0
    run bash -c 'ulimit -n 256 && exec "$@"' limit "$fleet" --domain newdom --jobs 1024 \
      --csv "$work/hard.csv" "$work/silent" >"$work/out" 2>"$work/err" || status=$?
    ((status == 2)) || fail "under a hard limit of 256: exit $status, expected 2"
    grep -q 'ulimit -Hn) is 256' "$work/err" || fail "the refusal names no limit: $(cat "$work/err")"
    [[ ! -e $work/hard.csv ]] || fail "a refused run wrote records"
    status=0
    run bash -c 'ulimit -Sn 256 && exec "$@"' limit "$fleet" --domain newdom --jobs 1024 \
      --csv "$work/soft.csv" "$work/silent" >"$work/out" || status=$?
    ((status == 1)) || fail "under a soft limit of 256: exit $status, expected 1"
    verdicts=$(awk -F, 'NR > 1 { print $4 "/" $5 }' "$work/soft.csv" | sort | uniq -c | xargs)
    [[ $verdicts == "300 2/no-answer" ]] || fail "under a soft limit of 256: $verdicts"
    # An unprivileged user at its process limit: the fleet cannot fork a single worker. The user
    # runs a copy, since the build may lie where only root can reach (a checkout under /root).
    chmod 0755 "$work" && mkdir -m 0777 "$work/nobody"
    install -m 0755 "$fleet" "$work/nobody/fleet"
    run setpriv --reuid=65534 --regid=65534 --clear-groups bash -c 'ulimit -u 1 && exec "$@"' \
      limit "$work/nobody/fleet" --domain newdom --pc pc01 --pc pc05 --csv "$work/nobody/n.csv" \
      >"$work/out" 2>&1 || true
    for pc in pc01 pc05; do expect_record "$work/nobody/n.csv" "$pc" 2 local-resources fork 1450; done
    grep -q '^2 PCs without a verdict: this machine ran out of' "$work/out" || fail "summary: $(cat "$work/out")"
    ;;
  kerberos)
    ticket=(-u USER -u PASSWD KRB5CCNAME="FILE:$work/krb5cc")
    echo Lab-Pass-1 | run env "${ticket[@]}" kinit administrator@NEWDOM.LAB.EXAMPLE >/dev/null
    cp "$work/krb5cc" "$work/tgt"  # the ticket-granting ticket alone, before any service ticket
    for pc in pc12 pc14 pc15; do bash "$lab/reseed.sh" "$state" "$pc"; done
    run env "${ticket[@]}" "$fleet" --domain newdom --set-default --csv "$work/k.csv" \
      --pc pc12 --pc pc14 --pc pc15 --pc pc16 >"$work/out" || true
    for pc in pc12 pc14 pc15; do expect_record "$work/k.csv" "$pc" 0 ok - -; done
    expect_record "$work/k.csv" pc16 2 logon-failure NetWkstaGetInfo 1326
    [[ $(field "$work/k.csv" pc12 13) == OLDDOM ]] || fail "pc12's policy: '$(field "$work/k.csv" pc12 13)'"
    run env -u USER -u PASSWD KRB5CCNAME="FILE:$work/none" "$fleet" --domain newdom --pc pc12 \
      --csv "$work/n.csv" >/dev/null || true
    expect_record "$work/n.csv" pc12 2 logon-failure NetWkstaGetInfo 1326
    run env 'USER=NEWDOM\administrator' "$fleet" --domain newdom --pc pc15 --csv "$work/p.csv" >/dev/null || true
    expect_record "$work/p.csv" pc15 2 logon-failure NetWkstaGetInfo 1326
    trap 'bash "$lab/silence-kdc.sh" "$state" newdom off; rm -rf "$work"' EXIT
    bash "$lab/silence-kdc.sh" "$state" newdom on
    started=$SECONDS
    run env -u USER -u PASSWD KRB5CCNAME="FILE:$work/tgt" "$fleet" --domain newdom --pc pc12 \
      --csv "$work/s.csv" >/dev/null || true
    ((SECONDS - started <= 20)) || fail "a silent KDC took $((SECONDS - started)) s"
    expect_record "$work/s.csv" pc12 2 kdc-unreachable NetWkstaGetInfo 1311
    ;;
  diskfull)
    for i in $(seq -w 100); do echo "nosuch$i"; done >"$work/list"
    # The record files share a tmpfs of 64 KiB with a file that leaves them a few pages only;
    # the tmpfs lives as long as this script's private mount namespace.
    run unshare --mount bash -s "$fleet" "$work" <<'SCRIPT' >"$work/log" 2>&1 || fail "the run on a full disk: $(cat "$work/log")"
set -u
fleet=$1 work=$2
mkdir "$work/small" && mount -t tmpfs -o size=64k tmpfs "$work/small" || exit 1
head -c 49152 /dev/zero >"$work/small/filler"
files=(--csv "$work/small/r.csv" --jsonl "$work/small/r.jsonl")
status=0 && "$fleet" --domain newdom --jobs 4 "${files[@]}" "$work/list" >"$work/out1" 2>"$work/err1" || status=$?
echo "full=$status"
cp "$work/small/r.csv" "$work/small/r.jsonl" "$work/"
truncate -s -10 "$work/small/r.jsonl"  # a record torn in the middle
rm "$work/small/filler"
status=0 && "$fleet" --domain newdom --jobs 4 --resume "${files[@]}" "$work/list" >"$work/out2" 2>"$work/err2" || status=$?
echo "resumed=$status"
cp "$work/small/r.csv" "$work/r2.csv" && cp "$work/small/r.jsonl" "$work/r2.jsonl"
SCRIPT
    grep -qx full=3 "$work/log" || fail "full disk: $(cat "$work/log" "$work/out1" "$work/err1")"
    grep -q "^cairnmark-fleet: --.* $work/small/r\.[a-z]*: No space left on device; no new PC is started$" \
      "$work/err1" || fail "full disk, standard error: $(cat "$work/err1")"
    grep -q '^records incomplete' "$work/out1" || fail "full disk, summary: $(cat "$work/out1")"
    kept=$(($(wc -l <"$work/r.csv") - 1))
    ((kept > 0 && kept < 100 && $(wc -l <"$work/r.jsonl") == kept)) ||
      fail "full disk: $kept CSV records, $(wc -l <"$work/r.jsonl") JSON lines"
    [[ $(tail -c 1 "$work/r.csv" | od -An -c) == *'\n' && $(tail -c 1 "$work/r.jsonl" | od -An -c) == *'\n' ]] ||
      fail "full disk: a record file does not end with a whole line"
    grep -qx resumed=1 "$work/log" || fail "resume: $(cat "$work/log" "$work/err2")"
    python3 - "$work" <<'CHECK' || fail "resumed files"
import csv, json, sys
work = sys.argv[1]
jsonl = [json.loads(line)["pc"] for line in open(f"{work}/r2.jsonl", encoding="utf-8")]
rows = [row["pc"] for row in csv.DictReader(open(f"{work}/r2.csv", encoding="utf-8"))]
want = [f"nosuch{i:03}" for i in range(1, 101)]
for name, pcs in (("jsonl", jsonl), ("csv", rows)):
    if sorted(pcs) != want:
        sys.exit(f"{name}: {len(pcs)} records, {len(set(pcs))} PCs")
CHECK
    ;;
  cells)
    value='=HYPERLINK("http://x","OLDDOM")'$'\e''[31m'
    bash "$lab/setvalue.sh" "$state" pc01 lab DefaultDomainName "$value"
    run "$fleet" --domain newdom --quiet --set-default --pc pc01 --csv "$work/r.csv" \
      --jsonl "$work/r.jsonl" --html "$work/r.html" >/dev/null || true
    bash "$lab/reseed.sh" "$state" pc01
    upper='=HYPERLINK("HTTP://X","OLDDOM")'$'\e''[31M'
    python3 - "$work" "$upper" <<'CHECK' || fail "the formula value's cells"
import csv, html, json, sys
work, value = sys.argv[1], sys.argv[2]
safe = "'" + value.replace("\x1b", "?")
row = next(csv.DictReader(open(f"{work}/r.csv", encoding="utf-8", newline="")))
record = json.loads(open(f"{work}/r.jsonl", encoding="utf-8").read())
page = open(f"{work}/r.html", encoding="utf-8").read()
problems = []
if row["default_domain_before"] != safe: problems.append(f"CSV cell {row['default_domain_before']!r}")
if record["default_domain_before"] != value: problems.append(f"JSON value {record['default_domain_before']!r}")
if "<td>" + html.escape(safe).replace("&#x27;", "&#39;") + "</td>" not in page or "\x1b" in page: problems.append("page cell")
if "\x1b" in open(f"{work}/r.csv", encoding="utf-8").read(): problems.append("escape byte in the CSV")
sys.exit("; ".join(problems) or None)
CHECK
    ;;
  audit)
    grep -v '^#' "$here/lab_records.txt" | awk '{ print $1 }' | tr _ ' ' >"$work/list"
    echo pc17 >>"$work/list"  # a trigger start, which the audit waits for as --set-default does
    echo pc18 >>"$work/list"  # a disabled RemoteRegistry, read but never started
    for pc in pc01 pc17 pc18; do bash "$lab/reseed.sh" "$state" "$pc"; done
    values() { for pc in pc01 pc08 pc09; do for v in DefaultDomainName AltDefaultDomainName; do
      echo "$pc $v $(bash "$lab/getvalue.sh" "$state" "$pc" lab "$v" 2>&1)"; done; done; }
    values >"$work/before"
    run "$fleet" --domain newdom --audit --jobs 16 --csv "$work/r.csv" "$work/list" >"$work/out" || true
    values >"$work/after"
    diff "$work/before" "$work/after" >/dev/null || fail "values changed: $(diff "$work/before" "$work/after")"
    # pc, exit code, reason, DefaultDomainName before, offers: the first PCs of the records table.
    for want in pc01/0/ok/OLDDOM/NEWDOM pc02/8/wrong-domain// pc06/16/registry-unavailable// \
      pc07/16/key-missing// pc09/0/ok/NEWDOM/OLDDOM pc17/0/ok/OLDDOM/NEWDOM; do
      pc=${want%%/*}
      got="$pc/$(field "$work/r.csv" "$pc" 4)/$(field "$work/r.csv" "$pc" 5)/$(field "$work/r.csv" "$pc" 9)/$(field "$work/r.csv" "$pc" 16)"
      [[ $got == "$want" ]] || fail "got $got, expected $want"
    done
    [[ -z $(awk -F, 'NR > 1 && ($11 != "" || $12 != "")' "$work/r.csv") ]] || fail "an audit record has an after value"
    got=$(field "$work/r.csv" pc18 5)/$(field "$work/r.csv" pc18 18)
    [[ $got == registry-service-disabled/stopped/disabled ]] || fail "pc18: $got"
    got=$(bash "$lab/service-state.sh" "$state" PC18 | /usr/bin/python3 -c \
      'import json, sys; s = json.load(sys.stdin); print(s["state"], s["start_type"])')
    [[ $got == "stopped disabled" ]] || fail "pc18's service: $got"
    grep -q '^audit, nothing written: ' "$work/out" || fail "summary: $(cat "$work/out")"
    ;;
  restore)
    for pc in pc01 pc24; do bash "$lab/reseed.sh" "$state" "$pc"; done
    values() { for pc in pc01 pc24; do for v in DefaultDomainName AltDefaultDomainName; do
      echo "$pc $v $(bash "$lab/getvalue.sh" "$state" "$pc" lab "$v" 2>&1)"; done; done; }
    values >"$work/seeded"
    printf 'pc01\npc24\npc08\n' >"$work/list"
    run "$fleet" --domain newdom --set-default --jsonl "$work/wave.jsonl" "$work/list" >/dev/null || true
    bash "$lab/setvalue.sh" "$state" pc24 lab AltDefaultDomainName BYHAND
    # pc03 is served by PC01's smbd and reports its name: a record of it is never put back.
    sed -n 's/^{"pc":"pc01",/{"pc":"pc03",/p' "$work/wave.jsonl" >>"$work/wave.jsonl"
    values >"$work/changed"
    reasons() { cut -d, -f1,5 "$1" | tail -n +2 | sort | tr '\n' ' '; }
    run "$fleet" --restore-from "$work/wave.jsonl" --audit --csv "$work/audit.csv" >/dev/null || true
    values | diff "$work/changed" - || fail "--audit changed values"
    [[ $(reasons "$work/audit.csv") == "pc01,would-restore pc03,name-mismatch pc08,nothing-to-restore pc24,changed-since " ]] ||
      fail "audit: $(reasons "$work/audit.csv")"
    run "$fleet" --restore-from "$work/wave.jsonl" --domain newdom --csv "$work/r.csv" >"$work/out" || true
    [[ $(reasons "$work/r.csv") == "pc01,restored pc03,name-mismatch pc08,nothing-to-restore pc24,changed-since " ]] ||
      fail "restore: $(reasons "$work/r.csv")"
    want=$(grep pc01 "$work/seeded"; grep pc24 "$work/changed")
    [[ $(values) == "$want" ]] || fail "values after the restore: $(values)"
    [[ $(field "$work/r.csv" pc24 10) == BYHAND ]] || fail "changed-since does not show the value found"
    ;;
  recipe)
    grep -v '^#' "$here/lab_records.txt" | awk '{ print $1 }' | tr _ ' ' >"$work/all.txt"
    head -n 7 "$work/all.txt" >"$work/paris.txt"
    tail -n +8 "$work/all.txt" >"$work/lyon.txt"
    cd "$work"
    run parallel --sshlogin : "$fleet" --domain newdom --audit --quiet --jsonl {.}.jsonl {} \
      ::: paris.txt lyon.txt >/dev/null 2>&1 || true
    run "$fleet" --domain newdom --audit --quiet --jsonl all.jsonl all.txt >/dev/null || true
    "$fleet" report paris.jsonl lyon.jsonl --csv merged.csv >merged.out || true
    "$fleet" report all.jsonl --csv single.csv >single.out || true
    (($(wc -l <merged.csv) == 15)) || fail "the merged CSV has $(wc -l <merged.csv) lines, expected 15"
    diff <(tail -n +2 merged.out) <(tail -n +2 single.out) || fail "the merged summary differs"
    # The same records, but for the times and the line numbers of two lists.
    strip() { cut -d, -f1,3-13,16- "$1" | sort; }
    diff <(strip merged.csv) <(strip single.csv) || fail "the merged records differ"
    ;;
  *) echo "unknown group $group" >&2; exit 2 ;;
esac
((failures == 0))
