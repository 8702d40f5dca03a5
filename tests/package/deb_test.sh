#!/bin/bash
# The feed server's Debian package as CPack makes it from this build: exactly the expected files, its
# control fields, conffiles and maintainer scripts, the packed program on the packed example catalog,
# and its systemd unit on the package's files: systemd-analyze verify, and security at most 2.0 (which
# systemd counts in tenths).
# usage: deb_test.sh BUILD_DIR VERSION
set -u
build=$1 version=$2
source "$(dirname "${BASH_SOURCE[0]}")/package_lib.sh"

cpack_into DEB
deb=$work/out/feed-server_${version}_amd64.deb
[ -f "$deb" ] || { ls -R "$work/out"; echo "FAIL: $deb was not made"; exit 1; }

# Files, and the one directory the package owns empty: the operator's catalog.
expected=$(printf '%s\n' /etc/default/feed-server /etc/feed-server/ /lib/systemd/system/feed-server.service \
  /usr/bin/feed-server /usr/share/doc/feed-server/README.md /usr/share/doc/feed-server/copyright \
  /usr/share/doc/feed-server/changelog.gz /usr/share/doc/feed-server/examples/haproxy.cfg \
  /usr/share/doc/feed-server/examples/prometheus.yml \
  /usr/share/doc/feed-server/examples/catalog/accounts.txt /usr/share/doc/feed-server/examples/catalog/products/demo.txt \
  /usr/share/doc/feed-server/examples/catalog/products/kestrel-cycles.txt)
actual=$(dpkg-deb -c "$deb" | awk '$1 !~ /^d/ || $6 == "./etc/feed-server/" { print substr($6, 2) }')
[ "$(sort <<<"$expected")" = "$(sort <<<"$actual")" ] ||
  fail "the package's files differ from the expected ones: $(diff <(sort <<<"$expected") <(sort <<<"$actual"))"
dpkg-deb -c "$deb" | grep -q '^-rwxr-xr-x .* ./usr/bin/feed-server$' || fail "the program is not executable"
[ "$(dpkg-deb -f "$deb" Package Version Architecture)" = "$(printf 'Package: feed-server\nVersion: %s\nArchitecture: amd64' "$version")" ] ||
  fail "control fields: $(dpkg-deb -f "$deb")"
dpkg-deb -f "$deb" Depends | grep 'libc6' | grep -q 'passwd' || fail "Depends: $(dpkg-deb -f "$deb" Depends)"
dpkg-deb -e "$deb" "$work/control"
[ "$(cat "$work/control/conffiles")" = /etc/default/feed-server ] || fail "conffiles: $(cat "$work/control/conffiles")"
for script in postinst prerm postrm; do
  [ -x "$work/control/$script" ] && sh -n "$work/control/$script" || fail "$script is missing, not executable or not sh"
done

root=$work/root
dpkg-deb -x "$deb" "$root"
"$root/usr/bin/feed-server" --catalog "$root/usr/share/doc/feed-server/examples/catalog" --allow-short-keys --check 2>&1 |
  grep -q ': 2 accounts, 108 products' || fail "--check on the packed example catalog"

# The unit as systemd reads it where the package is installed: with systemd's own units and the shell.
mkdir -p "$root/bin"
cp /bin/sh "$root/bin/"
cp -an /lib/systemd/system/. "$root/lib/systemd/system/"
systemd-analyze verify --root="$root" feed-server.service || fail "systemd-analyze verify"
systemd-analyze security --offline=true --root="$root" --threshold=20 feed-server.service >"$work/security.log" 2>&1 ||
  fail "exposure above 2.0: $(grep -v '✓' "$work/security.log")"
grep -a 'Overall exposure level' "$work/security.log"
[ $status -eq 0 ] && echo "ok: $(basename "$deb"): its files, fields and scripts, the program, and the unit"
exit $status
