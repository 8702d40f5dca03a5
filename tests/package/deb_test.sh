#!/bin/bash
# The feed server's Debian package as CPack makes it from this build: exactly the expected files, its
# control fields, conffiles and maintainer scripts, the packed program reading the packed example
# catalog, and its systemd unit checked on the package's files: systemd-analyze verify, and security
# with the exposure it must stay under (2.0, which systemd counts in tenths).
# usage: deb_test.sh BUILD_DIR VERSION
set -u
build=$1 version=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
status=0
fail() { echo "FAIL: $*"; status=1; }
ok() { echo "ok: $*"; }

(cd "$work" && cpack --config "$build/CPackConfig.cmake" -G DEB -B "$work/out" >"$work/cpack.log" 2>&1) ||
  { cat "$work/cpack.log"; echo "FAIL: cpack"; exit 1; }
deb=$work/out/feed-server_${version}_amd64.deb
[ -f "$deb" ] || { ls -R "$work/out"; echo "FAIL: $deb was not made"; exit 1; }
ok "$(basename "$deb"), $(stat -c %s "$deb") bytes"

# Files, and the one directory the package owns empty: the operator's catalog.
expected=$(printf '%s\n' /etc/default/feed-server /etc/feed-server/ /lib/systemd/system/feed-server.service \
  /usr/bin/feed-server /usr/share/doc/feed-server/README.md /usr/share/doc/feed-server/examples/haproxy.cfg \
  /usr/share/doc/feed-server/examples/catalog/accounts.txt /usr/share/doc/feed-server/examples/catalog/products/demo.txt \
  /usr/share/doc/feed-server/examples/catalog/products/kestrel-cycles.txt | sort)
actual=$(dpkg-deb -c "$deb" | awk '$1 !~ /^d/ || $6 == "./etc/feed-server/" { print substr($6, 2) }' | sort)
if [ "$expected" = "$actual" ]; then
  ok "the package holds exactly the expected $(wc -l <<<"$actual") entries"
else
  fail "the package's files differ from the expected ones:"
  diff <(echo "$expected") <(echo "$actual") | sed 's/^/    /'
fi
[ "$(dpkg-deb -c "$deb" | awk '$6 == "./usr/bin/feed-server" { print $1 }')" = -rwxr-xr-x ] || fail "the program is not executable"

field() { dpkg-deb -f "$deb" "$1"; }
[ "$(field Package)" = feed-server ] && [ "$(field Version)" = "$version" ] && [ "$(field Architecture)" = amd64 ] ||
  fail "control fields: $(dpkg-deb -f "$deb")"
grep -q 'libc6' <<<"$(field Depends)" && grep -q 'passwd' <<<"$(field Depends)" || fail "Depends: $(field Depends)"
dpkg-deb -e "$deb" "$work/control"
[ "$(cat "$work/control/conffiles")" = /etc/default/feed-server ] || fail "conffiles: $(cat "$work/control/conffiles")"
for script in postinst prerm postrm; do
  [ -x "$work/control/$script" ] && sh -n "$work/control/$script" || fail "$script is missing, not executable or not sh"
done
ok "control fields, conffiles, maintainer scripts"

root=$work/root
dpkg-deb -x "$deb" "$root"
"$root/usr/bin/feed-server" --catalog "$root/usr/share/doc/feed-server/examples/catalog" --check >"$work/check.log" 2>&1 &&
  grep -q ': 2 accounts, 108 products' "$work/check.log" || { cat "$work/check.log"; fail "--check on the example catalog"; }
ok "the packed program checks the packed example catalog"

# The unit as systemd reads it on a system with the package installed: the package's files, and
# systemd's own units and the shell, which every such system has.
mkdir -p "$root/bin"
cp /bin/sh "$root/bin/"
cp -an /lib/systemd/system/. "$root/lib/systemd/system/"
systemd-analyze verify --root="$root" feed-server.service >"$work/verify.log" 2>&1 || { cat "$work/verify.log"; fail "systemd-analyze verify"; }
ok "systemd-analyze verify passes"
systemd-analyze security --offline=true --root="$root" --threshold=20 feed-server.service >"$work/security.log" 2>&1 ||
  fail "exposure above 2.0: $(grep -v '✓' "$work/security.log")"
grep -a 'Overall exposure level' "$work/security.log" | sed 's/^→ /ok: /'
exit $status
