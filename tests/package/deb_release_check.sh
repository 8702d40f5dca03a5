#!/bin/bash
# The feed server's Debian package as scripts/package makes it, from a release tree of its own: the
# program built with the hardening Debian expects (hardening-check, from devscripts), and the package
# clean by lintian: no error, and no warning but the ones kept below (and in the feed server's README,
# with why). Control flow protection is not asked for: Debian 12's C start files carry no IBT/SHSTK
# notes, so no program linked there can have it.
# usage: deb_release_check.sh SOURCE_DIR VERSION
set -u
source_dir=$1 version=$2
source "$(dirname "${BASH_SOURCE[0]}")/package_lib.sh"

# Kept lintian warnings, one tag a line: the README (shipped in /usr/share/doc/feed-server) is the manual.
kept_warnings='no-manual-page'

for tool in hardening-check lintian; do
  command -v "$tool" >/dev/null || { echo "FAIL: $tool not found: scripts/test installs it"; exit 1; }
done
build=$work/release
(cd "$source_dir" && cmake --preset release -B "$build" >"$work/build.log" 2>&1 &&
  cmake --build "$build" -j2 --target feed-server >>"$work/build.log" 2>&1) ||
  { tail -30 "$work/build.log"; echo "FAIL: the release build"; exit 1; }
cpack_into DEB
deb=$work/out/feed-server_${version}_amd64.deb
dpkg-deb -x "$deb" "$work/root" || { echo "FAIL: $deb"; exit 1; }

hardening-check --nocfprotection "$work/root/usr/bin/feed-server" >"$work/hardening.log" 2>&1 &&
  ok "hardening-check: PIE, stack protector, fortified functions, relro, bind now" ||
  fail "hardening-check: $(cat "$work/hardening.log")"

lintian "$deb" >"$work/lintian.log" 2>/dev/null
grep -q '^E: ' "$work/lintian.log" && fail "lintian errors: $(grep '^E: ' "$work/lintian.log")"
unexpected=$(grep '^W: ' "$work/lintian.log" | grep -v -F -w -f <(printf '%s\n' $kept_warnings))
[ -z "$unexpected" ] || fail "lintian warnings not kept: $unexpected"
[ $status -eq 0 ] && ok "lintian: no errors; warnings kept: $(grep -c '^W: ' "$work/lintian.log")"
exit $status
