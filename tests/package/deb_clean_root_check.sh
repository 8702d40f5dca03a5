#!/bin/bash
# The feed server's Debian package installed as an operator would, into a clean Debian 12 root: the base
# root of a clean-machine check ($FRESH_BASE, or $TMPDIR/fresh-base.tar) when there is one, else one made
# once with debootstrap and kept as $TMPDIR/feed-server-clean-root.tar. In a copy of it: dpkg -i, the
# files, the catalog folder readable by the service's group only, --check on the example catalog, the
# unit checked by the root's own systemd (installed there for it), then removal, purge and a new install
# that finds the key secret of the first.
# Needs root (chroot, mount) and the package mirror. usage: deb_clean_root_check.sh FEED_SERVER.deb
set -u
deb=$(realpath "${1:?usage: deb_clean_root_check.sh FEED_SERVER.deb}")
[ "$(id -u)" -eq 0 ] || { echo "error: needs root (chroot)" >&2; exit 2; }
status=0
fail() { echo "FAIL: $*"; status=1; }
ok() { echo "ok: $*"; }

base=${FRESH_BASE:-${TMPDIR:-/tmp}/fresh-base.tar}
[ -f "$base" ] || base=${TMPDIR:-/tmp}/feed-server-clean-root.tar
if [ ! -f "$base" ]; then
  echo "making a clean Debian 12 root once (debootstrap, a few minutes) ..." >&2
  command -v debootstrap >/dev/null || DEBIAN_FRONTEND=noninteractive apt-get install -y -q debootstrap >/dev/null
  made=$(mktemp -d)
  mirror=$(sed -n 's/^URIs: *//p' /etc/apt/sources.list.d/*.sources 2>/dev/null | head -1)
  [ -n "$mirror" ] || mirror=$(awk '$1 == "deb" { print $2; exit }' /etc/apt/sources.list)
  debootstrap --variant=minbase bookworm "$made" "$mirror" >/dev/null || { rm -rf "$made"; echo "error: debootstrap" >&2; exit 2; }
  cp /etc/apt/sources.list.d/*.sources "$made/etc/apt/sources.list.d/" 2>/dev/null && rm -f "$made/etc/apt/sources.list"
  cp /etc/resolv.conf "$made/etc/resolv.conf"
  tar -C "$made" -cf "$base.part" . && mv "$base.part" "$base"
  rm -rf "$made"
fi

root=$(mktemp -d)
trap 'umount -l "$root/proc" 2>/dev/null; rm -rf "$root"' EXIT
tar -C "$root" -xf "$base"
mount -t proc proc "$root/proc"
in_root() { chroot "$root" env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin DEBIAN_FRONTEND=noninteractive "$@" >"$root/tmp/out" 2>&1 ||
  { cat "$root/tmp/out"; return 1; }; }
echo "installing $(basename "$deb") into a clean root made from $(basename "$base")"
cp "$deb" "$root/tmp/feed-server.deb"
in_root dpkg -i /tmp/feed-server.deb && ok "dpkg -i" || fail "dpkg -i"
for path in /usr/bin/feed-server /lib/systemd/system/feed-server.service /etc/default/feed-server \
  /usr/share/doc/feed-server/examples/catalog/accounts.txt /usr/share/doc/feed-server/examples/haproxy.cfg; do
  in_root dpkg -S "$path" && [ -e "$root$path" ] || fail "$path is not installed by the package"
done
[ "$(stat -c '%U:%a' "$root/etc/feed-server")" = root:750 ] && in_root getent group feed-server &&
  [ "$(stat -c %g "$root/etc/feed-server")" = "$(cut -d: -f3 "$root/tmp/out")" ] &&
  ok "/etc/feed-server is root's, readable by the group feed-server only" || fail "/etc/feed-server: $(ls -ld "$root/etc/feed-server")"
[ "$(stat -c '%U:%a:%s' "$root/etc/feed-server.key-secret")" = root:600:32 ] &&
  ok "the key secret is made once, root's alone" || fail "/etc/feed-server.key-secret: $(ls -l "$root/etc/feed-server.key-secret")"
echo good-key-1 | in_root feed-server --hash-key --key-secret /etc/feed-server.key-secret &&
  grep -qx 'hmac-sha256:[0-9a-f]\{64\}' "$root/tmp/out" && ok "--hash-key with the package's secret" || fail "--hash-key"
in_root feed-server --catalog /usr/share/doc/feed-server/examples/catalog --allow-short-keys --check &&
  ok "$(grep 'feed-server: catalog' "$root/tmp/out")" || fail "feed-server --check on the example catalog"

(in_root apt-get update -q || in_root apt-get update -q) && in_root apt-get install -y -q --no-install-recommends systemd ||
  fail "installing systemd in the clean root"
in_root systemd-analyze verify feed-server.service && ok "systemd-analyze verify, with the root's own systemd" ||
  fail "systemd-analyze verify"
in_root systemd-analyze security --offline=true feed-server.service; grep -a 'Overall exposure' "$root/tmp/out" | sed 's/^→ /ok: /'

in_root dpkg -r feed-server && [ ! -e "$root/usr/bin/feed-server" ] && [ -e "$root/etc/default/feed-server" ] &&
  ok "dpkg -r removes the program, keeps the options" || fail "dpkg -r"
secret=$(sha256sum <"$root/etc/feed-server.key-secret")
in_root dpkg -P feed-server && [ ! -e "$root/etc/default/feed-server" ] && ok "dpkg -P purges the rest" || fail "dpkg -P"
in_root dpkg -i /tmp/feed-server.deb && [ "$(sha256sum <"$root/etc/feed-server.key-secret")" = "$secret" ] &&
  ok "installed again, the package keeps the key secret the catalog's verifiers were made with" ||
  fail "the key secret did not survive a purge and a new install"
[ $status -eq 0 ] && echo "ok: the package installs, runs and goes in a clean Debian root"
exit $status
