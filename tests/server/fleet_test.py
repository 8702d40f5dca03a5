#!/usr/bin/env python3
"""Two feed servers behind the real HAProxy with the shipped configuration (deploy/haproxy.cfg) on
loopback: the feed through the balancer with the client's own address in the logs, 1,000 viewers at
once served in full, a server stopped with SIGTERM under load without a reply lost, a key guesser
locked out by its own address while another client behind the same balancer is served, and a client
holding as many connections as the balancer takes from one address refused more. Each test starts
and ends its own servers and balancer, on addresses of its own (127.0.0.140 to 127.0.0.163; clients
also from 127.3.0.0 on).

usage: fleet_test.py --server PROGRAM --bench BENCH --haproxy HAPROXY --catalog DIR [unittest options]
"""

import argparse
import os
import re
import shutil
import signal
import socket
import subprocess
import sys
import tempfile
import time
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "companions", "feed-server", "bench"))
import haproxy_local  # noqa: E402

NO_DATA = b"<body><h1>No data</h1></body>\n"
ARGS = None


def exchange(address, request, source):
    """The reply, or b"reset" when the connection was reset (refused by the balancer)."""
    with socket.create_connection((address, haproxy_local.PORT), timeout=10, source_address=(source, 0)) as s:
        chunks = []
        try:
            s.sendall(request)
            while chunks[-1:] != [b""]:
                chunks.append(s.recv(65536))
        except ConnectionResetError:
            return b"reset"
        return b"".join(chunks)


class Fleet(unittest.TestCase):
    def setUp(self):
        self.work = tempfile.mkdtemp(prefix="feed-fleet-")
        self.servers = {}
        self.balancer = None

    def tearDown(self):
        if self.balancer is not None:
            self.balancer.stop()
        for process in self.servers.values():
            if process.poll() is None:
                process.kill()
                process.wait()
        shutil.rmtree(self.work, ignore_errors=True)

    def start(self, front, source, addresses, extra=()):
        for address in addresses:
            with open(os.path.join(self.work, address), "wb") as log:
                self.servers[address] = subprocess.Popen([ARGS.server, "--catalog", ARGS.catalog, "--allow-short-keys", "--address", address,
                                                          "--trusted-proxy", source] + list(extra), stdout=log, stderr=log)
            haproxy_local.wait_until_listening(address, self.servers[address], "feed-server")
        self.balancer = haproxy_local.Balancer(front, source, addresses, self.work, ARGS.haproxy)

    def log(self, address, pattern=None):
        """The server's log, once it holds the pattern (a line is written a moment after its reply)."""
        deadline = time.time() + 5
        while True:
            with open(os.path.join(self.work, address), "rb") as log:
                text = log.read().decode(errors="replace")
            if pattern is None or re.search(pattern, text) or time.time() > deadline:
                return text
            time.sleep(0.02)

    def logs(self):
        return "".join("== %s\n%s" % (a, self.log(a)) for a in self.servers) + "== haproxy\n" + self.balancer.log()

    def test_feed_through_the_balancer_names_the_client(self):
        self.start("127.0.0.140", "127.0.0.143", ["127.0.0.141", "127.0.0.142"])
        feeds = {exchange("127.0.0.140", b"VNP,demo^demo\r\n", "127.0.0.144") for _ in range(4)}
        self.assertEqual({exchange("127.0.0.141", b"VNP,demo^demo\r\n", "127.0.0.1")}, feeds)
        self.assertTrue(feeds.pop().startswith(b"Harbor Street Home Goods\n"))
        for address in self.servers:
            log = self.log(address, r" 127\.0\.0\.144:\d+ feed demo ok 5960\n")
            self.assertRegex(log, r" 127\.0\.0\.144:\d+ feed demo ok 5960\n", self.logs())
            # The balancer's own address is logged for its health checks alone.
            self.assertEqual([], [l for l in log.splitlines() if " 127.0.0.143:" in l and " health - ok " not in l])

    def test_a_crowd_of_1000_viewers_is_served_in_full(self):
        self.start("127.0.0.145", "127.0.0.148", ["127.0.0.146", "127.0.0.147"])
        # Viewers of many places: the balancer takes at most 100 connections from one address.
        done = subprocess.run([ARGS.bench, "--address", "127.0.0.145", "--clients", "1000", "--at-once", "--seconds", "60",
                               "--source", "127.3.0.0", "--sources", "1000"],
                              stdout=subprocess.PIPE, stderr=subprocess.STDOUT, timeout=100)
        out = done.stdout.decode(errors="replace")
        self.assertEqual(0, done.returncode, out + self.logs())
        self.assertIn("served 1000 of 1000 ", out)
        for _ in range(250):  # the last log lines come a moment after the last replies
            served = [self.log(a).count(" feed demo ok ") for a in self.servers]
            if sum(served) >= 1000:
                break
            time.sleep(0.02)
        self.assertEqual(1000, sum(served), served)
        self.assertTrue(all(served), served)

    def test_a_server_stopped_under_load_loses_no_reply(self):
        self.start("127.0.0.150", "127.0.0.153", ["127.0.0.151", "127.0.0.152"])
        load = subprocess.Popen([ARGS.bench, "--address", "127.0.0.150", "--clients", "100", "--seconds", "4",
                                 "--source", "127.3.1.0", "--sources", "10"],
                                stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
        time.sleep(1.5)
        stamp = time.strftime("%Y-%m-%dT%H:%M:%S", time.gmtime())
        self.servers["127.0.0.151"].send_signal(signal.SIGTERM)
        self.assertEqual(0, self.servers["127.0.0.151"].wait(timeout=40), self.logs())
        out = load.communicate(timeout=100)[0].decode(errors="replace")
        self.assertEqual(0, load.returncode, out + self.logs())
        self.assertRegex(out, r"served \d+ of \d+ \(100\.0 %\), failed 0,")
        self.assertNotIn(" feed demo cut ", self.log("127.0.0.151"))
        # The other server went on with the clients the stopped one no longer took.
        later = [l for l in self.log("127.0.0.152").splitlines() if " feed demo ok " in l and l[:19] > stamp]
        self.assertGreater(len(later), 100, self.logs())

    def test_a_guesser_is_locked_out_by_its_own_address(self):
        self.start("127.0.0.155", "127.0.0.158", ["127.0.0.156", "127.0.0.157"])
        # Each server counts the guesses it sees. Guessing on for 1.5 s renews each server's lockout
        # (1 s after the sixth failure, then 2 s), so that the guesser is locked out on both at the end.
        until, guesses = time.time() + 1.5, 0
        while time.time() < until:
            self.assertEqual(NO_DATA, exchange("127.0.0.155", b"VNP,demo^guess%d\r\n" % guesses, "127.0.0.159"))
            guesses += 1
        # Even the right key gets the guesser nothing, on either server, while its neighbour is served.
        for source, served in (("127.0.0.159", False), ("127.0.0.159", False), ("127.0.0.160", True), ("127.0.0.160", True)):
            self.assertEqual(served, exchange("127.0.0.155", b"VNP,demo^demo\r\n", source).startswith(b"Harbor"))
        # Each server checked six keys, one more when its first lockout ended, and held back the rest.
        checked = [len(re.findall(r" 127\.0\.0\.159:\d+ feed demo wrong-key ", self.log(a, " 127.0.0.160:"))) for a in self.servers]
        self.assertEqual([7, 7], checked, self.logs())
        self.assertEqual(guesses + 2 - 14, len(re.findall(r" 127\.0\.0\.159:\d+ feed demo throttled ", self.logs())))
        self.assertEqual(2, self.logs().count("feed-server: 127.0.0.159 locked out of key checks for 1000 ms"))
        self.assertNotIn("127.0.0.158 locked out", self.logs())

    def test_a_source_holding_too_many_connections_is_refused_more(self):
        # The server keeps silent connections of one address as long as the balancer does.
        self.start("127.0.0.161", "127.0.0.163", ["127.0.0.162"], ["--max-silent-per-address", "1000"])
        with open(haproxy_local.CONFIG) as config:
            limit = int(re.search(r"sc0_conn_cur gt (\d+)", config.read()).group(1))
        held = []
        try:
            for _ in range(limit + 10):
                held.append(socket.create_connection(("127.0.0.161", haproxy_local.PORT), source_address=("127.3.2.1", 0)))
                time.sleep(0.002)
            # Another address is served meanwhile; then each held connection asks: the first ones up
            # to the limit are answered, those beyond it were closed by the balancer.
            self.assertTrue(exchange("127.0.0.161", b"VNP,demo^demo\r\n", "127.3.2.2").startswith(b"Harbor"))
            answered = []
            for s in held:
                s.settimeout(10)
                try:
                    s.sendall(b"VNP,demo^demo\r\n")
                    answered.append(s.recv(16).startswith(b"Harbor"))
                except ConnectionResetError:
                    answered.append(False)
            self.assertEqual([True] * limit + [False] * 10, answered, self.logs())
        finally:
            for s in held:
                s.close()
        # Its connections closed, the address is served again.
        deadline = time.time() + 5
        while not exchange("127.0.0.161", b"VNP,demo^demo\r\n", "127.3.2.1").startswith(b"Harbor"):
            self.assertLess(time.time(), deadline, self.logs())
            time.sleep(0.05)

if __name__ == "__main__":
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    for name in ("--server", "--bench", "--haproxy", "--catalog"):
        parser.add_argument(name, required=True)
    ARGS, rest = parser.parse_known_args()
    if not shutil.which(ARGS.haproxy):
        sys.exit("haproxy not found (%s): scripts/test installs it" % ARGS.haproxy)
    unittest.main(argv=[sys.argv[0]] + rest, verbosity=2)
