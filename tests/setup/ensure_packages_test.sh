#!/bin/bash
# Checks ensure_packages (scripts/lib/setup.sh) against stand-ins for apt-get, dpkg, dpkg-query, id,
# sudo and sleep, so that mirror glitches can be acted out offline and the real apt is never run.
# Usage: ensure_packages_test.sh <source folder>
set -u
root=${1:?usage: ensure_packages_test.sh <source folder>}
setup=$root/scripts/lib/setup.sh
[ -f "$setup" ] || { echo "FAIL: $setup missing"; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
stubs=$work/bin
mkdir -p "$stubs"

# The stand-ins log one line per call to $STUB_LOG; "sudo " in front marks a call made through sudo.
cat >"$stubs/apt-get" <<'EOF'
#!/bin/bash
command=$1
shift
yes=no release="" pinned="" packages=()
while [ $# -gt 0 ]; do
  case $1 in
    -y|--yes|--assume-yes) yes=yes ;;
    -t|--target-release) release=$2; shift ;;
    --allow-downgrades) pinned+=" --allow-downgrades" ;;
    -o)
      # A preferences file is logged by its pins, since it is gone once the call returns.
      case $2 in
        Dir::Etc::Preferences=*) pinned+=" [pin: $(tr '\n' ' ' <"${2#*=}" | sed 's/ $//')]" ;;
        *) pinned+=" -o $2" ;;
      esac
      shift ;;
    -*) ;;
    *) packages+=("$1") ;;
  esac
  shift
done
line="${STUB_SUDO:+sudo }apt-get $command${release:+ -t $release}$pinned${packages[*]:+ ${packages[*]}}"
# An install that could stop at a debconf question is logged as such, and the test rejects it.
[ "$command" = install ] && [ "${DEBIAN_FRONTEND:-}" != noninteractive ] && line+=" [frontend: ${DEBIAN_FRONTEND:-unset}]"
echo "$line" >>"$STUB_LOG"

partial() {
  echo "Hit:1 http://mirror.invalid/debian bookworm InRelease"
  echo "Get:2 http://mirror.invalid/debian-security bookworm-security InRelease [48.0 kB]"
  echo "Err:3 http://mirror.invalid/debian-security bookworm-security/main i386 Packages"
  echo "  File has unexpected size (374820 != 376004). Mirror sync in progress? [IP: 192.0.2.10 80]"
  echo "Reading package lists..."
  echo "E: Failed to fetch http://mirror.invalid/debian-security/dists/bookworm-security/main/binary-i386/Packages.xz  File has unexpected size (374820 != 376004). Mirror sync in progress? [IP: 192.0.2.10 80]" >&2
  echo "E: Some index files failed to download. They have been ignored, or old ones used instead." >&2
  exit 100
}
unresolved() {
  echo "Err:1 http://mirror.invalid/debian bookworm InRelease"
  echo "  Temporary failure resolving 'mirror.invalid'"
  echo "Reading package lists..."
  echo "E: Could not resolve 'mirror.invalid'" >&2
  exit 100
}
held() {
  echo "Reading package lists..."
  echo "Some packages could not be installed. This may mean that you have"
  echo "The following packages have unmet dependencies:"
  echo " fake-viewer-b:i386 : Depends: libfake-b:i386 (= 1.0-1) but 1.0-1+deb12u1 is to be installed"
  echo "E: Unable to correct problems, you have held broken packages." >&2
  exit 100
}
no_candidate() {
  echo "Reading package lists..."
  echo "E: Package 'fake-viewer-b:i386' has no installation candidate" >&2
  exit 100
}

case $command in
  update)
    # STUB_UPDATE lists the outcome of each attempt; the last one repeats.
    read -r -a outcomes <<<"$STUB_UPDATE"
    attempt=$(grep -c 'apt-get update$' "$STUB_LOG")
    outcome=${outcomes[attempt - 1]:-${outcomes[-1]}}
    case $outcome in
      ok) echo "Reading package lists..."; exit 0 ;;
      partial) partial ;;
      unresolved) unresolved ;;
    esac
    ;;
  install)
    if [ "$yes" != yes ]; then
      echo "Do you want to continue? [Y/n] Abort."
      exit 1
    fi
    if [ -n "$pinned" ]; then
      outcome=${STUB_INSTALL_PINNED:-held}
    elif [ -z "$release" ]; then
      outcome=$STUB_INSTALL
    elif [ "$release" = "$STUB_RELEASE" ]; then
      outcome=$STUB_INSTALL_RELEASE
    else
      echo "E: The value '$release' is invalid for APT::Default-Release as such a release is not available in the sources" >&2
      exit 100
    fi
    case $outcome in
      ok) echo "Setting up ${packages[*]} ..."; exit 0 ;;
      held) held ;;
      no_candidate) no_candidate ;;
    esac
    ;;
esac
echo "E: the apt-get stand-in cannot act out '$command' with outcome '${outcome:-}'" >&2
exit 100
EOF

cat >"$stubs/dpkg-query" <<'EOF'
#!/bin/bash
# Reports the packages in STUB_INSTALLED as installed, any other as unknown.
package=${!#}
for installed in $STUB_INSTALLED; do
  if [ "$installed" = "$package" ]; then
    printf 'install ok installed'
    exit 0
  fi
done
echo "dpkg-query: no packages found matching $package" >&2
exit 1
EOF

cat >"$stubs/dpkg" <<'EOF'
#!/bin/bash
echo "${STUB_SUDO:+sudo }dpkg $*" >>"$STUB_LOG"
case $1 in
  --print-foreign-architectures) [ -z "$STUB_FOREIGN" ] || echo "$STUB_FOREIGN" ;;
  --add-architecture) ;;
  *) echo "dpkg stand-in: unexpected $*" >&2; exit 2 ;;
esac
EOF

cat >"$stubs/id" <<'EOF'
#!/bin/bash
[ "$1" = -u ] && { echo "$STUB_UID"; exit 0; }
echo "id stand-in: unexpected $*" >&2
exit 2
EOF

cat >"$stubs/sudo" <<'EOF'
#!/bin/bash
STUB_SUDO=1 exec "$@"
EOF

cat >"$stubs/sleep" <<'EOF'
#!/bin/bash
echo "sleep $*" >>"$STUB_LOG"
EOF
chmod +x "$stubs"/*

export PATH="$stubs:$PATH" STUB_LOG=$work/calls.log
unset STUB_SUDO DEBIAN_FRONTEND PRODUCTS_WINDOWS_ARCH
for tool in apt-get dpkg dpkg-query id sudo sleep; do
  [ "$(command -v "$tool")" = "$stubs/$tool" ] || { echo "FAIL: $tool is not the stand-in"; exit 1; }
done

# The release a retry should prefer: this machine's, as apt would know it.
STUB_RELEASE=$(. /etc/os-release 2>/dev/null && echo "${VERSION_CODENAME:-}")
export STUB_RELEASE=${STUB_RELEASE:-bookworm}

passed=0 failed=0
problems=()
problem() { problems+=("$*"); }

# Runs ensure_packages as the scripts do (set -euo pipefail) with the fake package list; fills
# $status, $out (its output) and $calls (the log).
run_ensure_packages() {
  : >"$STUB_LOG"
  rm -rf "$work/tmp"
  mkdir "$work/tmp"
  (
    export TMPDIR=$work/tmp
    set -euo pipefail
    PRODUCTS_APT_RETRY_DELAY=0
    # shellcheck source=/dev/null
    source "$setup"
    PRODUCTS_PACKAGES=(fake-tool-a fake-viewer-b:i386 fake-lib-c)
    PRODUCTS_PACKAGES_WIN32=(fake-wine-e:i386) PRODUCTS_PACKAGES_WIN64=(fake-cross-d)
    PRODUCTS_WINDOWS_ARCH=${WAY:-}
    ensure_packages
  ) >"$work/out" 2>&1
  status=$?
  out=$(cat "$work/out")
  calls=$(cat "$STUB_LOG")
  [ -z "$(ls -A "$work/tmp")" ] || problem "left temporary files behind: $(ls -A "$work/tmp")"
}

count() { grep -cxF -- "$1" <<<"$calls"; }
expect_count() {
  local n
  n=$(count "$2")
  [ "$n" -eq "$1" ] || problem "expected $1 call(s) '$2', saw $n"
}
expect_output() { grep -qF -- "$1" <<<"$out" || problem "output lacks '$1'"; }
# The lines saying that the install is being tried again with the base release.
retry_lines() { grep -iE 'try|again|once more' <<<"$out" | grep -F -- "$STUB_RELEASE" | grep -cv '^ *E'; }
# A line that reports the failure and names every package that was missing.
expect_failure_naming() {
  local line package
  while IFS= read -r line; do
    grep -qiE 'fail|could not|cannot|unable|error' <<<"$line" || continue
    for package in "$@"; do
      grep -qF -- "$package" <<<"$line" || continue 2
    done
    return 0
  done <<<"$out"
  problem "no line reports the failure naming $*"
}

finish_case() {
  if [ ${#problems[@]} -eq 0 ]; then
    echo "ok: $1"
    passed=$((passed + 1))
  else
    echo "FAIL: $1"
    printf '    %s\n' "${problems[@]}"
    echo "    output (exit $status):"
    sed 's/^/      | /' <<<"$out"
    echo "    calls:"
    sed 's/^/      | /' <<<"$calls"
    failed=$((failed + 1))
  fi
  problems=()
}

# 1. A mirror mid-sync: the security suite's i386 index never arrives, so the plain install sees
#    amd64 libraries with no i386 twin; preferring the base release gets everything.
export STUB_UID=1000 STUB_FOREIGN=i386 STUB_INSTALLED=fake-lib-c
export STUB_UPDATE=partial STUB_INSTALL=held STUB_INSTALL_RELEASE=ok
run_ensure_packages
[ "$status" -eq 0 ] || problem "exit status $status, expected 0"
expect_count 3 "sudo apt-get update"
expect_count 2 "sleep 0"
expect_count 1 "sudo apt-get install fake-tool-a fake-viewer-b:i386"
expect_count 1 "sudo apt-get install -t $STUB_RELEASE fake-tool-a fake-viewer-b:i386"
[ "$(grep -c 'apt-get install' <<<"$calls")" -eq 2 ] || problem "expected exactly two installs"
grep -q 'allow-downgrades' <<<"$calls" && problem "downgraded though preferring the base release was enough"
grep -q 'add-architecture' <<<"$calls" && problem "added i386 though dpkg already had it"
[ "$(retry_lines)" -eq 1 ] || problem "expected one line announcing the retry with $STUB_RELEASE, saw $(retry_lines)"
expect_output "Mirror sync in progress?"
finish_case "mirror mid-sync: partial indexes, held broken packages, the retry with -t $STUB_RELEASE installs"

# 2. One failed update (no i386 yet, running as root): the second attempt works, and so does the install.
export STUB_UID=0 STUB_FOREIGN="" STUB_INSTALLED=""
export STUB_UPDATE="unresolved ok" STUB_INSTALL=ok STUB_INSTALL_RELEASE=ok
run_ensure_packages
[ "$status" -eq 0 ] || problem "exit status $status, expected 0"
expect_count 1 "dpkg --add-architecture i386"
expect_count 2 "apt-get update"
expect_count 1 "sleep 0"
expect_count 1 "apt-get install fake-tool-a fake-viewer-b:i386 fake-lib-c"
[ "$(grep -c 'apt-get install' <<<"$calls")" -eq 1 ] || problem "expected exactly one install"
grep -q '^sudo' <<<"$calls" && problem "used sudo though running as root"
[ "$(retry_lines)" -eq 0 ] || problem "announced a retry with $STUB_RELEASE though the install worked"
finish_case "update fails once then works: one install, no retry with the release"

# 3. No network at all: every update fails outright, and nothing is installed.
export STUB_UID=0 STUB_FOREIGN=i386 STUB_INSTALLED=fake-lib-c
export STUB_UPDATE=unresolved STUB_INSTALL=ok STUB_INSTALL_RELEASE=ok
run_ensure_packages
[ "$status" -ne 0 ] || problem "exit status 0 though apt-get update never worked"
expect_count 3 "apt-get update"
expect_count 2 "sleep 0"
grep -q 'apt-get install' <<<"$calls" && problem "tried to install with no package indexes"
expect_failure_naming fake-tool-a fake-viewer-b:i386
expect_output "E: Could not resolve 'mirror.invalid'"
finish_case "update fails outright: non-zero, the packages and apt's error named"

# 4. A fresh machine whose installed amd64 libraries came from the security suite: preferring the
#    base release is not enough, taking its versions throughout (downgrading those few) is.
export STUB_UID=1000 STUB_FOREIGN=i386 STUB_INSTALLED=""
export STUB_UPDATE=partial STUB_INSTALL=held STUB_INSTALL_RELEASE=held STUB_INSTALL_PINNED=ok
run_ensure_packages
[ "$status" -eq 0 ] || problem "exit status $status, expected 0"
pinned="sudo apt-get install --allow-downgrades [pin: Package: * Pin: release n=$STUB_RELEASE Pin-Priority: 1001]"
expect_count 1 "$pinned fake-tool-a fake-viewer-b:i386 fake-lib-c"
[ "$(grep -c 'apt-get install' <<<"$calls")" -eq 3 ] || problem "expected exactly three installs"
[ "$(grep -c 'downgrading' <<<"$out")" -eq 1 ] || problem "expected one line announcing the downgrades"
finish_case "fresh machine: the base release's versions throughout, with downgrades, install"

# 5. Every install fails: the message says which packages and what apt said the last time.
export STUB_UID=0 STUB_FOREIGN=i386 STUB_INSTALLED=""
export STUB_UPDATE=ok STUB_INSTALL=held STUB_INSTALL_RELEASE=held STUB_INSTALL_PINNED=no_candidate
run_ensure_packages
[ "$status" -ne 0 ] || problem "exit status 0 though no install worked"
expect_count 1 "apt-get update"
expect_count 1 "apt-get install fake-tool-a fake-viewer-b:i386 fake-lib-c"
expect_count 1 "apt-get install -t $STUB_RELEASE fake-tool-a fake-viewer-b:i386 fake-lib-c"
[ "$(retry_lines)" -eq 1 ] || problem "expected one line announcing the retry with $STUB_RELEASE, saw $(retry_lines)"
expect_failure_naming fake-tool-a fake-viewer-b:i386 fake-lib-c
expect_output "E: Package 'fake-viewer-b:i386' has no installation candidate"
finish_case "every install fails: non-zero, the packages and apt's last error named"

# 6. Everything installed: apt is left alone.
export STUB_UID=1000 STUB_FOREIGN="" STUB_INSTALLED="fake-tool-a fake-viewer-b:i386 fake-lib-c"
export STUB_UPDATE=partial STUB_INSTALL=held STUB_INSTALL_RELEASE=held
run_ensure_packages
[ "$status" -eq 0 ] || problem "exit status $status, expected 0"
[ -z "$calls" ] || problem "called tools though nothing was missing"
finish_case "nothing missing: apt-get, dpkg and sudo never called"

# 7. The 64-bit way of the Windows tests: its packages join the list, and with no i386 package
#    missing the i386 architecture is left alone.
export STUB_UID=0 STUB_FOREIGN="" STUB_INSTALLED="fake-viewer-b:i386"
export STUB_UPDATE=ok STUB_INSTALL=ok
WAY=64 run_ensure_packages
[ "$status" -eq 0 ] || problem "exit status $status, expected 0"
expect_count 1 "apt-get install fake-tool-a fake-lib-c fake-cross-d"
grep -q 'add-architecture' <<<"$calls" && problem "added i386 though no i386 package was missing"
finish_case "64-bit way: its own packages, no i386 architecture"

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
