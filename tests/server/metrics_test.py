#!/usr/bin/env python3
"""GET /metrics of the real feed server, read by the Prometheus client library's own parser: every
family well formed, and the counts those of the requests the test made (feeds, wrong keys, a lockout,
a page, a refused scrape, a reload). The server listens on 127.0.0.56; the clients come from
127.0.0.95 to 127.0.0.97.

usage: metrics_test.py --server PROGRAM --catalog DIR [unittest options]
"""

import argparse
import os
import shutil
import signal
import socket
import subprocess
import sys
import tempfile
import time
import unittest

from prometheus_client.parser import text_string_to_metric_families

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "companions", "feed-server", "bench"))
import haproxy_local  # noqa: E402

ARGS = None
ADDRESS, GUESSER, SCRAPER, STRANGER = "127.0.0.56", "127.0.0.95", "127.0.0.96", "127.0.0.97"


def exchange(request, source):
    with socket.create_connection((ADDRESS, haproxy_local.PORT), timeout=10, source_address=(source, 0)) as s:
        s.sendall(request)
        chunks = []
        while chunks[-1:] != [b""]:
            chunks.append(s.recv(65536))
        return b"".join(chunks)


class Metrics(unittest.TestCase):
    def setUp(self):
        self.work = tempfile.mkdtemp(prefix="feed-metrics-")
        self.log_path = os.path.join(self.work, "server.log")
        with open(self.log_path, "wb") as log:
            self.server = subprocess.Popen([ARGS.server, "--catalog", ARGS.catalog, "--allow-short-keys", "--address",
                                            ADDRESS, "--metrics-from", SCRAPER], stdout=log, stderr=log)
        haproxy_local.wait_until_listening(ADDRESS, self.server, "feed-server")

    def tearDown(self):
        self.server.kill()
        self.server.wait()
        shutil.rmtree(self.work, ignore_errors=True)

    def log(self):
        with open(self.log_path, "rb") as log:
            return log.read().decode(errors="replace")

    def test_metrics_parse_and_count_what_happened(self):
        self.assertTrue(exchange(b"VNP,demo^demo\r\n", GUESSER).startswith(b"Harbor"))
        for i in range(7):  # five free failures, a sixth that locks the address out, one held back
            exchange(b"VNP,demo^wrong%d\r\n" % i, GUESSER)
        self.assertIn(b" 200 OK", exchange(b"GET /p/linen-sofa^demo^demo HTTP/1.0\r\n\r\n", SCRAPER))
        self.assertIn(b" 404 Not Found", exchange(b"GET /metrics HTTP/1.0\r\n\r\n", STRANGER))
        self.server.send_signal(signal.SIGHUP)
        deadline = time.time() + 20
        while " reloaded: " not in self.log():
            self.assertLess(time.time(), deadline, self.log())
            time.sleep(0.05)

        reply = exchange(b"GET /metrics HTTP/1.0\r\n\r\n", SCRAPER).decode()
        header, body = reply.split("\r\n\r\n", 1)
        self.assertIn("Content-Type: text/plain; version=0.0.4; charset=utf-8", header)
        samples = {}
        for family in text_string_to_metric_families(body):
            self.assertTrue(family.documentation, family.name)
            for sample in family.samples:
                samples[(sample.name, tuple(sorted(sample.labels.items())))] = sample.value

        def value(name, **labels):
            return samples.get((name, tuple(sorted(labels.items()))))

        requests = "feed_server_requests_total"
        self.assertEqual(1, value(requests, kind="feed", result="ok"))
        self.assertEqual(6, value(requests, kind="feed", result="wrong-key"))
        self.assertEqual(1, value(requests, kind="feed", result="throttled"))
        self.assertEqual(1, value(requests, kind="page", result="ok"))
        self.assertEqual(1, value(requests, kind="page", result="not-found"))
        self.assertEqual(1, value("feed_server_feeds_served_total"))
        self.assertEqual(5960 + 7 * 30, value("feed_server_sent_bytes_total", kind="feed"))
        self.assertEqual(2, value("feed_server_key_checks_total", result="ok"))
        self.assertEqual(6, value("feed_server_key_checks_total", result="failed"))
        self.assertEqual(1, value("feed_server_lockouts_total", scope="address"))
        self.assertEqual(0, value("feed_server_lockouts_total", scope="account"))
        self.assertEqual(0, value("feed_server_replies_cut_total", reason="idle"))
        self.assertEqual(2, value("feed_server_catalog_generation"))
        self.assertEqual(108, value("feed_server_catalog_products"))
        self.assertEqual(1, value("feed_server_catalog_last_reload_success"))
        self.assertLessEqual(abs(time.time() - value("feed_server_catalog_last_reload_timestamp_seconds")), 30)
        self.assertEqual(1, value("feed_server_connections_open"))  # the scrape itself
        self.assertEqual(0, value("feed_server_connections_queued"))


if __name__ == "__main__":
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    for name in ("--server", "--catalog"):
        parser.add_argument(name, required=True)
    ARGS, rest = parser.parse_known_args()
    unittest.main(argv=[sys.argv[0]] + rest, verbosity=2)
