#!/usr/bin/env python3
"""Runs the shipped HAProxy configuration (deploy/haproxy.cfg) on loopback addresses, for the fleet
tests and the benchmarks: the same file with its addresses changed, without the global lines that
need root (log socket, chroot, stats socket, user, group, daemon), and logging to its stdout.

As a program it prints the configuration:
    haproxy_local.py FRONT SOURCE SERVER [SERVER ...]
FRONT is the address HAProxy listens on (the feed port), SOURCE the address it connects to the
servers from (the one they trust with --trusted-proxy), each SERVER a feed server's address.
"""

import os
import re
import socket
import subprocess
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
CONFIG = os.path.join(HERE, "..", "deploy", "haproxy.cfg")


def contract_number(name):
    """A number the programs agree on, read from common/contract.h so that it is written only there."""
    with open(os.path.join(HERE, "..", "..", "..", "common", "contract.h")) as header:
        return int(re.search(r"\b%s\s*=\s*(\d+)" % name, header.read()).group(1))


PORT = contract_number("FEED_PORT")
ROOT_ONLY = ("log", "chroot", "stats", "user", "group", "daemon")


def loopback_config(front, source, servers):
    """The shipped configuration, listening on front, with one server line per address in servers."""
    with open(CONFIG) as shipped:
        lines = shipped.read().splitlines()
    out = []
    section = ""
    servers_written = False
    for line in lines:
        words = line.split()
        if line and not line[0].isspace():
            section = words[0]
        if section == "global" and words and words[0] in ROOT_ONLY:
            continue
        if words == ["global"]:
            out.append(line)
            out.append("    log stdout format raw local0")
            continue
        if words[:1] == ["bind"]:
            line = line.replace(words[1], "%s:%d" % (front, PORT), 1)
        if words[:1] == ["server"]:
            if not servers_written:
                out.extend("    server feed%d %s:%d" % (i + 1, address, PORT) for i, address in enumerate(servers))
                servers_written = True
            continue
        out.append(line)
        if words[:1] == ["backend"]:
            out.append("    source %s" % source)
    if not servers_written:
        raise ValueError("%s has no server lines" % CONFIG)
    return "\n".join(out) + "\n"


def wait_until_listening(address, process, what, seconds=20):
    deadline = time.time() + seconds
    while time.time() < deadline:
        if process.poll() is not None:
            raise RuntimeError("%s exited with %s" % (what, process.returncode))
        try:
            with socket.create_connection((address, PORT), timeout=1):
                return
        except OSError:
            time.sleep(0.05)
    raise RuntimeError("%s did not listen on %s" % (what, address))


class Balancer:
    """HAProxy in the foreground with the loopback configuration, its output in a file of workdir."""

    def __init__(self, front, source, servers, workdir, haproxy="haproxy"):
        self.front = front
        self.config = os.path.join(workdir, "haproxy-%s.cfg" % front)
        with open(self.config, "w") as out:
            out.write(loopback_config(front, source, servers))
        self.log_path = os.path.join(workdir, "haproxy-%s.log" % front)
        with open(self.log_path, "wb") as log:
            self.process = subprocess.Popen([haproxy, "-db", "-f", self.config], stdout=log, stderr=subprocess.STDOUT)
        try:
            wait_until_listening(front, self.process, "haproxy")
        except Exception:
            self.stop()
            raise

    def log(self):
        with open(self.log_path, "rb") as log:
            return log.read().decode(errors="replace")

    def stop(self):
        if self.process.poll() is None:
            self.process.terminate()
            try:
                self.process.wait(timeout=10)
            except subprocess.TimeoutExpired:
                self.process.kill()
                self.process.wait()


def main(argv):
    if len(argv) < 4:
        print(__doc__, file=sys.stderr)
        return 2
    sys.stdout.write(loopback_config(argv[1], argv[2], argv[3:]))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
