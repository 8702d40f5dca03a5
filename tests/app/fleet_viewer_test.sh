#!/bin/bash
# The viewer under Wine takes its feed through the real HAProxy (the shipped configuration on loopback)
# from two feed-server.exe behind it, which name the viewer, not the balancer, from its PROXY header.
# Starts and ends the servers and the balancer itself. Needs DISPLAY.
# usage: fleet_viewer_test.sh SOURCE_DIR BUILD_DIR END_TO_END_TESTS_EXE
set -u
source_dir=$1 build=$2 e2e=$3
front=127.0.0.165 balancer=127.0.0.168 servers=(127.0.0.166 127.0.0.167)
work=$(mktemp -d)
pids=()
cleanup() {
  local pid
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null; wait "$pid" 2>/dev/null; done
  rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "FAIL: $*"; for log in "$work"/*.log; do echo "== $log"; cat "$log"; done; exit 1; }
listens() { (exec 3<>"/dev/tcp/$1/1360") 2>/dev/null; }

haproxy=$(PATH=$PATH:/usr/sbin command -v haproxy) || fail "haproxy not found: scripts/test installs it"
for address in "${servers[@]}"; do
  "$build/wine-run" "$build/bin/feed-server.exe" --catalog "Z:$source_dir/companions/feed-server/catalog" \
    --allow-short-keys --address "$address" --trusted-proxy "$balancer" >"$work/server-$address.log" 2>&1 &
  pids+=($!)
done
python3 "$source_dir/companions/feed-server/bench/haproxy_local.py" "$front" "$balancer" "${servers[@]}" >"$work/haproxy.cfg"
for address in "${servers[@]}"; do
  for _ in $(seq 1 300); do listens "$address" && break; sleep 0.1; done
done
"$haproxy" -db -f "$work/haproxy.cfg" >"$work/haproxy.log" 2>&1 &
pids+=($!)
for _ in $(seq 1 100); do listens "$front" && break; sleep 0.1; done
for address in "${servers[@]}" "$front"; do listens "$address" || fail "nothing listens on $address"; done

PRODUCTS_FEED_ADDRESS=$front "$build/wine-run" "$e2e" \
  --gtest_filter='EndToEnd.TheViewerListsTheBundledDemoAccountFromTheRealServer' >"$work/viewer.log" 2>&1 ||
  fail "the viewer did not list the demo account through the balancer"
echo "ok: the viewer listed the demo account through the balancer"
# The viewer connects from 127.0.0.1; the servers name the balancer only for its health checks.
sleep 0.5
grep -qE ' 127\.0\.0\.1:[0-9]+ feed demo ok 5960' "$work"/server-*.log || fail "no server logged the viewer's own address"
grep -h " $balancer:" "$work"/server-*.log | grep -v ' health - ok ' && fail "a server logged the balancer as a client"
echo "ok: a server logged the viewer's own address, the balancer only for its health checks"
exit 0
