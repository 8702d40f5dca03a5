#!/bin/bash
# The feed server's Debian package installed as an operator would, into a clean Debian 12 root: the
# base root that ../shared/tools/fresh-check makes (reused from $FRESH_BASE or $TMPDIR/fresh-base.tar
# when there), or else a minimal one made once with debootstrap and kept as
# $TMPDIR/feed-server-clean-root.tar. In a copy of it: dpkg -i, the installed files, the catalog
# folder readable by the service's group alone, feed-server --check on the example catalog, the unit
# checked by the root's own systemd (installed there for it), then removal and purge.
# Needs root (chroot, mount) and the package mirror. usage: deb_clean_root_check.sh FEED_SERVER.deb
set -u
deb=$(realpath "${1:?usage: deb_clean_root_check.sh FEED_SERVER.deb}")
[ "$(id -u)" -eq 0 ] || { echo "error: needs root (chroot)" >&2; exit 2; }
status=0
fail() { echo "FAIL: $*"; status=1; }
ok() { echo "ok: $*"; }

base=${FRESH_BASE:-${TMPDIR:-/tmp}/fresh-base.tar}
if [ ! -f "$base" ]; then
  base=${TMPDIR:-/tmp}/feed-server-clean-root.tar
fi
if [ ! -f "$base" ]; then
  echo "making a clean Debian 12 root once (debootstrap, a few minutes) ..." >&2
  command -v debootstrap >/dev/null || DEBIAN_FRONTEND=noninteractive apt-get install -y -q debootstrap >/dev/null
  made=$(mktemp -d)
  mirror=$(sed -n 's/^URIs: *//p' /etc/apt/sources.list.d/*.sources 2>/dev/null | head -1)
  [ -n "$mirror" ] || mirror=$(awk '$1 == "deb" { print $2; exit }' /etc/apt/sources.list)
  debootstrap --variant=minbase bookworm "$made" "$mirror" >/dev/null || { rm -rf "$made"; echo "error: debootstrap failed" >&2; exit 2; }
  cp /etc/apt/sources.list.d/*.sources "$made/etc/apt/sources.list.d/" 2>/dev/null && rm -f "$made/etc/apt/sources.list"
  cp /etc/resolv.conf "$made/etc/resolv.conf"
  tar -C "$made" -cf "$base.part" . && mv "$base.part" "$base"
  rm -rf "$made"
fi

root=$(mktemp -d)
cleanup() {
  umount -l "$root/proc" 2>/dev/null
  rm -rf "$root"
}
trap cleanup EXIT
tar -C "$root" -xf "$base"
mount -t proc proc "$root/proc"
in_root() { chroot "$root" env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin DEBIAN_FRONTEND=noninteractive "$@"; }
echo "installing $(basename "$deb") into a clean root made from $(basename "$base")"
cp "$deb" "$root/tmp/feed-server.deb"

if in_root dpkg -i /tmp/feed-server.deb >"$root/tmp/dpkg.log" 2>&1; then
  ok "dpkg -i installed it"
else
  cat "$root/tmp/dpkg.log"
  fail "dpkg -i"
fi
for path in /usr/bin/feed-server /lib/systemd/system/feed-server.service /etc/default/feed-server \
  /usr/share/doc/feed-server/examples/catalog/accounts.txt /usr/share/doc/feed-server/examples/haproxy.cfg; do
  in_root dpkg -S "$path" >/dev/null 2>&1 && [ -e "$root$path" ] || fail "$path is not installed by the package"
done
ok "dpkg -L: $(in_root dpkg -L feed-server | grep -c .) paths"
[ "$(in_root stat -c '%U:%G %a' /etc/feed-server)" = "root:feed-server 750" ] &&
  ok "/etc/feed-server is root:feed-server 750" || fail "/etc/feed-server is $(in_root stat -c '%U:%G %a' /etc/feed-server)"
if in_root feed-server --catalog /usr/share/doc/feed-server/examples/catalog --check >"$root/tmp/check.log" 2>&1; then
  ok "$(grep 'feed-server: catalog' "$root/tmp/check.log")"
else
  cat "$root/tmp/check.log"
  fail "feed-server --check on the example catalog"
fi

# The unit as the root's own systemd reads it.
if in_root apt-get update -q >"$root/tmp/apt.log" 2>&1 || in_root apt-get update -q >>"$root/tmp/apt.log" 2>&1; then
  in_root apt-get install -y -q --no-install-recommends systemd >>"$root/tmp/apt.log" 2>&1 || fail "apt-get install systemd"
else
  fail "apt-get update in the clean root: $(grep -E '^(E|Err):' "$root/tmp/apt.log" | head -2)"
fi
if in_root systemd-analyze verify feed-server.service >"$root/tmp/verify.log" 2>&1; then
  ok "systemd-analyze verify feed-server.service"
else
  cat "$root/tmp/verify.log"
  fail "systemd-analyze verify"
fi
in_root systemd-analyze security --offline=true feed-server.service 2>&1 | grep -a 'Overall exposure level' | sed 's/^→ /ok: /'

in_root dpkg -r feed-server >"$root/tmp/remove.log" 2>&1 && [ ! -e "$root/usr/bin/feed-server" ] &&
  [ -e "$root/etc/default/feed-server" ] && ok "dpkg -r removed the program and kept the options" ||
  { cat "$root/tmp/remove.log"; fail "dpkg -r"; }
in_root dpkg -P feed-server >"$root/tmp/purge.log" 2>&1 && [ ! -e "$root/etc/default/feed-server" ] &&
  [ ! -e "$root/lib/systemd/system/feed-server.service" ] && ok "dpkg -P purged it" ||
  { cat "$root/tmp/purge.log"; fail "dpkg -P"; }
[ $status -eq 0 ] && echo "ok: the package installs, runs and goes in a clean Debian root"
exit $status
