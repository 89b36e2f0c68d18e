#!/usr/bin/env bash
# The Debian package as an administrator meets it. Two groups of checks, on a package made by
#   package_test.sh build DEB_DIR CPACK CPACK_CONFIG   (CPack, into an emptied DEB_DIR):
#
#   package_test.sh lint DEB_DIR DOC_DIR
#     lintian finds no error or warning in the package, and every man page DOC_DIR/*.1 passes
#     groff and man with every warning turned on.
#   package_test.sh install DEB_DIR LAB_STATE BUILD_DIR
#     dpkg installs the package, the installed programs run against a lab PC (the Samba module
#     found where the package put it) and give what the build tree's programs give, "man" finds
#     the pages, and a purge leaves nothing behind. All of it happens inside the running lab, in
#     a mount namespace of its own where /usr, dpkg's database and man's cache are overlays whose
#     writes land on a tmpfs: the machine's own files are never touched.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd -P)
lab=$(cd "$here/../../lab" && pwd -P)

failed=0
fail() {
  echo "FAIL: $*"
  failed=1
}

the_deb() { # DEB_DIR: the one package CPack made there
  local debs=("$1"/*.deb)
  if ((${#debs[@]} != 1)) || [[ ! -f ${debs[0]} ]]; then
    echo "no single package in $1" >&2
    exit 2
  fi
  echo "${debs[0]}"
}

lint() {
  local deb pages page warnings
  deb=$(the_deb "$1")
  echo "== lintian ${deb##*/}"
  lintian --fail-on error,warning "$deb" || fail "lintian reports errors or warnings"
  pages=("$2"/*.1)
  [[ -f ${pages[0]} ]] || fail "no man pages in $2"
  for page in "${pages[@]}"; do
    echo "== ${page##*/}"
    warnings=$(groff -ww -z -man "$page" 2>&1
      LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -E UTF-8 -l -Tutf8 -Z "$page" 2>&1 >/dev/null)
    [[ -z $warnings ]] || fail "${page##*/}: $warnings"
  done
}

install_case() {
  local deb=$1 state=$2 build=$3 scratch status=0
  # The directory for the tmpfs is made out here, where it can be removed once the namespace,
  # and with it the mount, is gone.
  scratch=$(mktemp -d /tmp/cairnmark-package.XXXXXX)
  bash "$lab/run.sh" "$state" unshare --mount --propagation private \
    bash "$0" inside "$deb" "$scratch" "$build" || status=$?
  rmdir "$scratch"
  return "$status"
}

run() { # PROGRAM ARGS...: sets code, out (every byte shown, CR as ^M) and err
  local files
  files=$(mktemp -d)
  code=0
  "$@" >"$files/out" 2>"$files/err" || code=$?
  out=$(cat -A "$files/out") err=$(<"$files/err")
  rm -r "$files"
}

# Inside the lab, in a mount namespace of its own.
inside() {
  local deb=$1 scratch=$2 build=$3 dir row args expected want path text
  mount -t tmpfs cairnmark-package "$scratch"
  for dir in /usr /var/lib/dpkg /var/cache/man; do
    mkdir -p "$scratch/upper$dir" "$scratch/work$dir"
    chown --reference="$dir" "$scratch/upper$dir" && chmod --reference="$dir" "$scratch/upper$dir"
    mount -t overlay cairnmark-package "$dir" \
      -o "lowerdir=$dir,upperdir=$scratch/upper$dir,workdir=$scratch/work$dir"
  done
  local -a paths created=()
  mapfile -t paths < <(dpkg-deb --fsys-tarfile "$deb" | tar -t | sed 's|^\./|/|; s|/$||')
  for path in "${paths[@]}"; do [[ -e $path ]] || created+=("$path"); done

  echo "== dpkg -i ${deb##*/}"
  dpkg --log=/dev/null -i "$deb" || { fail "dpkg could not install the package"; return; }
  [[ $(command -v cairnmark) == /usr/bin/cairnmark ]] || fail "cairnmark is not /usr/bin/cairnmark"

  # The installed program against the build tree's: the same bytes and exit codes. A run that
  # reaches the PC passes only if the installed program loaded the module the package put in
  # its library directory; the build tree's module sits next to the build tree's binary only.
  for row in "9|/?" "0|/M pc01 /T newdom /V" "8|/M pc02 /T newdom"; do
    expected=${row%%|*} args=${row#*|}
    read -r -a args <<<"$args"
    run "$build/cairnmark" "${args[@]}"
    want=$out
    run cairnmark "${args[@]}"
    echo "cairnmark ${args[*]}: exit $code"
    [[ $code == "$expected" ]] || fail "cairnmark ${args[*]}: exit $code, expected $expected"
    [[ $out == "$want" ]] || fail "cairnmark ${args[*]}: output differs from the build's:"$'\n'"$out"
    [[ -z $err ]] || fail "cairnmark ${args[*]}: standard error: $err"
  done

  # The fleet command, once the package carries it: its version is the package's, and a run
  # records the PC as passed.
  if [[ -x /usr/bin/cairnmark-fleet ]]; then
    run cairnmark-fleet --version
    want="cairnmark-fleet $(dpkg-query -W -f '${Version}' cairnmark)"
    [[ $code == 0 && $out =~ ^"$want"(\^M)?\$$ ]] || fail "cairnmark-fleet --version: exit $code, $out"
    run cairnmark-fleet --quiet --domain newdom --csv "$scratch/fleet.csv" --pc pc01
    echo "cairnmark-fleet --domain newdom --pc pc01: exit $code"
    [[ $code == 0 ]] || fail "cairnmark-fleet: exit $code: $out $err"
    awk -F, 'NR == 1 { for (i = 1; i <= NF; i++) field[$i] = i; next }
             $field["pc"] == "pc01" && $field["reason"] == "ok" { found = 1 }
             END { exit !found }' "$scratch/fleet.csv" ||
      fail "no record of pc01 passing in $(cat "$scratch/fleet.csv")"
  else
    echo "(no cairnmark-fleet in the package: its checks are skipped)"
  fi

  for path in "${paths[@]}"; do
    [[ $path == /usr/bin/* ]] || continue
    text=$(man -P cat "${path##*/}" 2>/dev/null) || true
    [[ $text == *$'\nNAME\n'* ]] || fail "man ${path##*/} shows no page"
  done

  echo "== dpkg --purge cairnmark"
  dpkg --log=/dev/null --purge cairnmark || fail "dpkg could not remove the package"
  ! dpkg-query -W cairnmark 2>/dev/null || fail "dpkg still knows the package"
  for path in "${created[@]}"; do [[ ! -e $path ]] || fail "left behind: $path"; done
  local stray
  stray=$(cd "$scratch/upper/usr" && find . ! -type d)
  [[ -z $stray ]] || fail "files left in /usr: $stray"
  ((failed)) || echo "nothing left of the ${#created[@]} files and directories the package made"
}

case "${1:-}:$#" in
  build:4) rm -rf "$2" && "$3" -G DEB -B "$2" --config "$4" ;;
  lint:3) lint "$2" "$3" ;;
  install:4) install_case "$(the_deb "$2")" "$3" "$4" ;;
  inside:4) inside "$2" "$3" "$4" ;;
  *) echo "usage: $0 build DEB_DIR CPACK CPACK_CONFIG | lint DEB_DIR DOC_DIR |" \
       "install DEB_DIR LAB_STATE BUILD_DIR" >&2; exit 2 ;;
esac
exit "$failed"
