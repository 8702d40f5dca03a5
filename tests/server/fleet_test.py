#!/usr/bin/env python3
"""Two feed servers behind the real HAProxy, with the shipped configuration (deploy/haproxy.cfg) on
loopback: the feed through the balancer with the client's own address in the servers' logs, a crowd
of 1,000 viewers served in full, one server stopped with SIGTERM under load without a reply lost, and
a key guesser locked out by its own address while another client behind the same balancer is served.

usage: fleet_test.py --server PROGRAM --bench BENCH --haproxy HAPROXY --catalog DIR [unittest options]

Each test starts its own servers and balancer on addresses of its own (127.0.0.140 to 127.0.0.162)
and ends them; nothing outlives it.
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

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "companions", "feed-server"))
import haproxy_local  # noqa: E402

PORT = haproxy_local.PORT
NO_DATA = b"<body><h1>No data</h1></body>\n"
ARGS = None


def exchange(address, request, source=None, timeout=10):
    with socket.create_connection((address, PORT), timeout=timeout, source_address=(source, 0) if source else None) as s:
        s.sendall(request)
        reply = b""
        while True:
            chunk = s.recv(65536)
            if not chunk:
                return reply
            reply += chunk


class Fleet(unittest.TestCase):
    """Servers and a balancer started for one test, ended after it whatever happened."""

    def setUp(self):
        self.work = tempfile.mkdtemp(prefix="feed-fleet-")
        self.servers = {}
        self.balancer = None

    def tearDown(self):
        if self.balancer is not None:
            self.balancer.stop()
        for process, _ in self.servers.values():
            if process.poll() is None:
                process.kill()
                process.wait()
        shutil.rmtree(self.work, ignore_errors=True)

    def start(self, front, source, addresses):
        for address in addresses:
            path = os.path.join(self.work, "server-%s.log" % address)
            with open(path, "wb") as log:
                process = subprocess.Popen([ARGS.server, "--catalog", ARGS.catalog, "--address", address,
                                            "--trusted-proxy", source], stdout=log, stderr=subprocess.STDOUT)
            self.servers[address] = (process, path)
            haproxy_local.wait_until_listening(address, process, "feed-server")
        self.balancer = haproxy_local.Balancer(front, source, addresses, self.work, ARGS.haproxy)

    def log(self, address):
        with open(self.servers[address][1], "rb") as log:
            return log.read().decode(errors="replace")

    def wait_for_log(self, address, pattern, seconds=5):
        """The server's log once it holds a match of the pattern (the log is written a moment after)."""
        deadline = time.time() + seconds
        while not re.search(pattern, self.log(address)) and time.time() < deadline:
            time.sleep(0.02)
        return self.log(address)

    def logs(self):
        return "".join("== %s\n%s" % (a, self.log(a)) for a in self.servers) + "== haproxy\n" + self.balancer.log()

    def bench(self, front, *options):
        return subprocess.run([ARGS.bench, "--address", front] + list(options), stdout=subprocess.PIPE,
                              stderr=subprocess.STDOUT, timeout=100)

    def test_feed_through_the_balancer_names_the_client(self):
        self.start("127.0.0.140", "127.0.0.143", ["127.0.0.141", "127.0.0.142"])
        direct = exchange("127.0.0.141", b"VNP,demo^demo\r\n")
        self.assertTrue(direct.startswith(b"Harbor Street Home Goods\n"), direct[:80])
        # In turn on both servers, each time the same bytes.
        for _ in range(4):
            self.assertEqual(direct, exchange("127.0.0.140", b"VNP,demo^demo\r\n", source="127.0.0.144"))
        page = exchange("127.0.0.140", b"GET /p/oak-dining-chair^demo^demo HTTP/1.0\r\n\r\n", source="127.0.0.144")
        self.assertTrue(page.startswith(b"HTTP/1.0 200 OK\r\n"), page[:80])
        for address in self.servers:
            log = self.wait_for_log(address, r" 127\.0\.0\.144:\d+ feed demo ok 5960\n")
            self.assertRegex(log, r" 127\.0\.0\.144:\d+ feed demo ok 5960\n", self.logs())
            # The balancer's own address is logged for its health checks alone.
            for line in log.splitlines():
                if " 127.0.0.143:" in line:
                    self.assertIn(" health - ok ", line)

    def test_a_crowd_of_1000_viewers_is_served_in_full(self):
        self.start("127.0.0.145", "127.0.0.148", ["127.0.0.146", "127.0.0.147"])
        done = self.bench("127.0.0.145", "--clients", "1000", "--at-once", "--seconds", "60")
        out = done.stdout.decode(errors="replace")
        self.assertEqual(0, done.returncode, out + self.logs())
        self.assertIn("served 1000 of 1000 ", out)
        time.sleep(0.2)  # the last log lines
        served = [self.log(a).count(" feed demo ok ") for a in self.servers]
        self.assertEqual(1000, sum(served), served)
        self.assertTrue(all(n > 0 for n in served), served)

    def test_a_server_stopped_under_load_loses_no_reply(self):
        self.start("127.0.0.150", "127.0.0.153", ["127.0.0.151", "127.0.0.152"])
        load = subprocess.Popen([ARGS.bench, "--address", "127.0.0.150", "--clients", "100", "--seconds", "4"],
                                stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
        time.sleep(1.5)
        stopped, _ = self.servers["127.0.0.151"]
        now = time.time()
        stop_time = time.strftime("%Y-%m-%dT%H:%M:%S", time.gmtime(now)) + ".%03d" % (now % 1 * 1000)
        stopped.send_signal(signal.SIGTERM)
        self.assertEqual(0, stopped.wait(timeout=40), self.logs())
        out = load.communicate(timeout=100)[0].decode(errors="replace")
        self.assertEqual(0, load.returncode, out + self.logs())
        self.assertRegex(out, r"served \d+ of \d+ \(100\.0 %\), failed 0,")
        stopped_log = self.log("127.0.0.151")
        self.assertIn("feed-server: stopped\n", stopped_log)
        self.assertNotIn(" feed demo cut ", stopped_log)
        # The other server went on with the clients after the stop.
        later = [line for line in self.log("127.0.0.152").splitlines() if " feed demo ok " in line and line[:23] > stop_time]
        self.assertGreater(len(later), 100, self.logs())

    def test_a_guesser_is_locked_out_by_its_own_address(self):
        self.start("127.0.0.155", "127.0.0.158", ["127.0.0.156", "127.0.0.157"])
        guesser, neighbour = "127.0.0.159", "127.0.0.160"
        # Each server counts the guesses it sees. Guessing on for 1.5 s renews each server's lockout
        # (1 s after the sixth failure, then 2 s), so that the guesser is locked out on both at the end.
        until = time.time() + 1.5
        guesses = 0
        while time.time() < until:
            self.assertEqual(NO_DATA, exchange("127.0.0.155", b"VNP,demo^guess%d\r\n" % guesses, source=guesser))
            guesses += 1
        # Now even the right key gets the guesser nothing, on either server, while its neighbour is served.
        for source, served in ((guesser, False), (guesser, False), (neighbour, True), (neighbour, True)):
            reply = exchange("127.0.0.155", b"VNP,demo^demo\r\n", source=source)
            self.assertEqual(served, reply.startswith(b"Harbor Street Home Goods\n"), reply[:80])
        time.sleep(0.2)  # the last log lines
        logs = self.logs()
        # Each server checked six keys, then one more when its first lockout ended, and held back the rest.
        checked = [len(re.findall(r" 127\.0\.0\.159:\d+ feed demo wrong-key ", self.log(a))) for a in self.servers]
        self.assertEqual([7, 7], checked, logs)
        self.assertEqual(guesses + 2 - 14, len(re.findall(r" 127\.0\.0\.159:\d+ feed demo throttled ", logs)))
        self.assertEqual(2, logs.count("feed-server: 127.0.0.159 locked out of key checks for 1000 ms"), logs)
        self.assertNotIn("127.0.0.158 locked out", logs)
        self.assertGreater(guesses, 50)


def main(argv):
    global ARGS
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    for name in ("--server", "--bench", "--haproxy", "--catalog"):
        parser.add_argument(name, required=True)
    ARGS, rest = parser.parse_known_args(argv[1:])
    if not shutil.which(ARGS.haproxy):
        print("haproxy not found (%s): scripts/test installs it" % ARGS.haproxy, file=sys.stderr)
        return 1
    program = unittest.main(argv=[argv[0]] + rest, exit=False, verbosity=2)
    return 0 if program.result.wasSuccessful() else 1


if __name__ == "__main__":
    sys.exit(main(sys.argv))
