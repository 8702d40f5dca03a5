#!/usr/bin/env python3
"""Measures the feed server under hostile and heavy load on loopback, one figure per case, and prints
them as a table; given two server programs it measures both and prints them side by side.

Usage: load_table.py --bench BENCH --server PROGRAM [--server PROGRAM2] [--only CASE ...] [--long]
                     [--nginx]

Every case starts its own server on its own address (127.0.0.110 to 127.0.0.125 and 127.0.0.170 to
127.0.0.187, the feed port), with a scratch catalog where it needs one, and stops it afterwards. The
slow reader takes two minutes; it runs only with --long. The fleet cases run HAProxy with the shipped
configuration (haproxy_local.py). --nginx then compares the product page with nginx serving the same
bytes, both loaded by ApacheBench (HTTP/1.0, no keep-alive), and prints that table too. The figures
are what this machine measured: run it on an idle machine.
"""

import argparse
import os
import re
import statistics
import resource
import shutil
import signal
import socket
import subprocess
import sys
import tempfile
import time

import haproxy_local

PORT = haproxy_local.PORT
NO_DATA = b"<body><h1>No data</h1></body>\n"
# Options every server gets besides its case's own (main sets them: --allow-short-keys for the sample
# catalog's short demo key where the program has it, --key-secret with --hashed-keys).
SERVER_OPTIONS = []


def raise_descriptor_limit():
    soft, hard = resource.getrlimit(resource.RLIMIT_NOFILE)
    if soft < min(hard, 8192):
        resource.setrlimit(resource.RLIMIT_NOFILE, (min(hard, 8192), hard))


def write(path, text):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "w", encoding="utf-8") as out:
        out.write(text)


def make_catalog(root, accounts, products):
    """accounts: [(id, key, caption)]; products: {id: text}. Returns the catalog directory."""
    catalog = tempfile.mkdtemp(prefix="catalog-", dir=root)
    write(os.path.join(catalog, "accounts.txt"), "".join("%s | %s | %s\n" % a for a in accounts))
    os.makedirs(os.path.join(catalog, "products"), exist_ok=True)
    for account_id, text in products.items():
        write(os.path.join(catalog, "products", account_id + ".txt"), text)
    return catalog


def big_products(count):
    """Product lines of about 200 bytes each in the feed."""
    lines = []
    for i in range(count):
        lines.append("new | Heavy duty product number %07d with a long descriptive name for the load case | 1110 | "
                     "1,234.50 | 840 | shop.example/products/heavy-duty-product-%07d | p/%07d\n" % (i, i, i))
    return "".join(lines)


class Server:
    """The program under test, on one address, logging to a file unless told otherwise."""

    def __init__(self, program, catalog, address, extra=(), stdout=None, log_dir=None):
        self.address = address
        self.log_path = None
        if stdout is None:
            self.log_path = os.path.join(log_dir, "server-%s.log" % address)
            stdout = open(self.log_path, "wb")
        self.process = subprocess.Popen([program, "--catalog", catalog, "--address", address] + SERVER_OPTIONS + list(extra),
                                        stdout=stdout, stderr=subprocess.PIPE)
        if self.log_path is not None:
            stdout.close()
        deadline = time.time() + 20
        while time.time() < deadline:
            if self.process.poll() is not None:
                raise RuntimeError("server exited: %s" % self.process.stderr.read().decode(errors="replace"))
            try:
                with socket.create_connection((address, PORT), timeout=1):
                    pass
                return
            except OSError:
                time.sleep(0.05)
        raise RuntimeError("server did not listen on %s" % address)

    def log(self):
        with open(self.log_path, "rb") as log:
            return log.read().decode(errors="replace")

    def stop(self):
        if self.process.poll() is None:
            self.process.send_signal(signal.SIGTERM)
            try:
                self.process.wait(timeout=10)
            except subprocess.TimeoutExpired:
                self.process.kill()
                self.process.wait()


def exchange(address, request, timeout=5.0):
    """Sends one request; returns (reply bytes, how it ended: 'close', 'reset' or 'timeout')."""
    with socket.create_connection((address, PORT), timeout=timeout) as s:
        s.sendall(request)
        reply = b""
        try:
            while True:
                chunk = s.recv(65536)
                if not chunk:
                    return reply, "close"
                reply += chunk
        except socket.timeout:
            return reply, "timeout"
        except ConnectionResetError:
            return reply, "reset"


def bench(tool, args, timeout):
    done = subprocess.run([tool] + args, stdout=subprocess.PIPE, stderr=subprocess.STDOUT, timeout=timeout)
    return done.stdout.decode(errors="replace")


def field(pattern, text, default="?"):
    found = re.search(pattern, text)
    return found.group(1) if found else default


def served_line(out):
    return "served %s of %s, failed %s, p50 %s ms, p99 %s ms, %s req/s" % (
        field(r"served (\d+)", out), field(r"served \d+ of (\d+)", out), field(r"failed (\d+)", out),
        field(r"p50 ([\d.]+)", out), field(r"p99 ([\d.]+)", out), field(r"([\d.]+) requests/s", out))


# ---- The cases -------------------------------------------------------------------------------------

def case_crowd_at_once(ctx):
    server = Server(ctx.program, ctx.sample, "127.0.0.110", log_dir=ctx.root)
    try:
        out = bench(ctx.bench, ["--address", "127.0.0.110", "--clients", "1000", "--at-once", "--seconds", "60"], 120)
    finally:
        server.stop()
    return served_line(out)


def case_crowd_sustained(ctx):
    server = Server(ctx.program, ctx.sample, "127.0.0.111", log_dir=ctx.root)
    try:
        out = bench(ctx.bench, ["--address", "127.0.0.111", "--clients", "1000", "--seconds", "5"], 120)
    finally:
        server.stop()
    failed = int(field(r"failed (\d+)", out, "0"))
    total = int(field(r"served \d+ of (\d+)", out, "0"))
    return "%.1f %% failed; %s" % (100.0 * failed / total if total else 0.0, served_line(out))


def case_hog(ctx):
    server = Server(ctx.program, ctx.sample, "127.0.0.112", log_dir=ctx.root)
    try:
        out = bench(ctx.bench, ["--address", "127.0.0.112", "--hog", "300", "--hog-source", "127.0.0.113",
                                "--clients", "5", "--source", "127.0.0.114", "--seconds", "10"], 120)
    finally:
        server.stop()
    return "legitimate: %s; hog: %s opened, %s cut" % (
        served_line(out), field(r"(\d+) opened", out), field(r"(\d+) cut", out))


def case_slow_reader(ctx):
    if not ctx.long:
        return "skipped (--long)"
    catalog = make_catalog(ctx.root, [("big", "big-key-1", "Big Shop")], {"big": big_products(72500)})
    server = Server(ctx.program, catalog, "127.0.0.115", log_dir=ctx.root)
    try:
        out = bench(ctx.bench, ["--address", "127.0.0.115", "--feed", "big^big-key-1", "--slow-reader", "100000",
                                "--seconds", "200"], 260)
    finally:
        server.stop()
    line = field(r"(slow reader received .*)", out, out.strip())
    result = [l for l in server.log().splitlines() if " feed big " in l]
    return "%s; log: %s" % (line, result[-1].split(" ", 2)[2] if result else "nothing")


def case_guessing(ctx):
    catalog = make_catalog(ctx.root, [("guess", "~~~", "Guessed Shop")],
                           {"guess": "new | Chair | 1110 | 5 | 840\n"})
    server = Server(ctx.program, catalog, "127.0.0.116", log_dir=ctx.root)
    try:
        out = bench(ctx.bench, ["--address", "127.0.0.116", "--guess", "guess", "--clients", "50",
                                "--seconds", "30"], 120)
    finally:
        server.stop()
    log = server.log()
    checked = log.count(" wrong-key ")
    seconds = float(field(r"in ([\d.]+) s", out, "1") or 1)
    return "%s; key checks %d (%.0f/s), throttled %d, lockouts logged %d" % (
        field(r"guessing\s+(.*)", out, out.strip()), checked, checked / seconds, log.count(" throttled "),
        log.count("locked out"))


def case_spread_guessing(ctx):
    """One account guessed from 1,000 addresses (127.1.0.0 on), each asking once a second, for 10
    minutes: the key checks the server made for it, counted in its log."""
    if not ctx.long:
        return "skipped (--long)"
    catalog = make_catalog(ctx.root, [("spread", "Spread-Key9", "Spread Shop")],
                           {"spread": "new | Chair | 1110 | 5 | 840\n"})
    server = Server(ctx.program, catalog, "127.0.0.121", log_dir=ctx.root)
    try:
        out = bench(ctx.bench, ["--address", "127.0.0.121", "--guess", "spread", "--clients", "1000",
                                "--source", "127.1.0.0", "--sources", "1000", "--pause-ms", "1000",
                                "--seconds", "600"], 700)
    finally:
        server.stop()
    log = server.log()
    return "%d key checks of the account in 10 minutes (%d requests throttled); %s" % (
        log.count(" feed spread wrong-key "), log.count(" feed spread throttled "),
        field(r"guessing\s+(.*)", out, out.strip()))


def case_stdout_stuck(ctx):
    read_end, write_end = os.pipe()
    server = Server(ctx.program, ctx.sample, "127.0.0.117", stdout=write_end)
    os.close(write_end)
    served = 0
    blocked = ""
    try:
        for _ in range(3000):
            try:
                reply, how = exchange("127.0.0.117", b"VNP,demo^demo\r\n", timeout=3)
            except OSError as error:
                reply, how = b"", str(error)
            if how != "close" or not reply:
                blocked = "blocked after %d requests" % served
                break
            served += 1
        start = time.time()
        server.process.send_signal(signal.SIGTERM)
        try:
            server.process.wait(timeout=10)
            stop = "exited %d %.1f s after SIGTERM" % (server.process.returncode, time.time() - start)
        except subprocess.TimeoutExpired:
            stop = "still running 10 s after SIGTERM"
            server.process.kill()
            server.process.wait()
    finally:
        os.close(read_end)
    return "%s; %s" % (blocked or "all %d requests served" % served, stop)


def case_stdout_gone(ctx):
    read_end, write_end = os.pipe()
    server = Server(ctx.program, ctx.sample, "127.0.0.118", stdout=write_end)
    os.close(write_end)
    os.close(read_end)
    served = 0
    for _ in range(20):
        try:
            reply, how = exchange("127.0.0.118", b"VNP,demo^demo\r\n", timeout=3)
        except OSError:
            reply, how = b"", "refused"
        if how == "close" and reply:
            served += 1
    try:
        # A server that died may still be on its way out when the last request was refused.
        status = server.process.wait(timeout=2)
    except subprocess.TimeoutExpired:
        status = None
    server.stop()
    if status is None:
        state = "still serving"
    elif status < 0:
        state = "died of %s" % signal.Signals(-status).name
    else:
        state = "exited %d" % status
    return "%d of 20 requests served, server %s" % (served, state)


def case_long_path(ctx):
    server = Server(ctx.program, ctx.sample, "127.0.0.119", log_dir=ctx.root)
    try:
        reply, _ = exchange("127.0.0.119", b"GET /" + b"a" * 1100 + b" HTTP/1.0\r\nHost: x\r\n\r\n")
    finally:
        server.stop()
    return reply.split(b"\r\n", 1)[0].decode(errors="replace") or "no reply"


def case_fifo(ctx):
    catalog = make_catalog(ctx.root, [("shop", "shop-key-1", "Shop")], {})
    os.mkfifo(os.path.join(catalog, "products", "shop.txt"))
    start = time.time()
    try:
        done = subprocess.run([ctx.program, "--catalog", catalog, "--check"], stdout=subprocess.PIPE,
                              stderr=subprocess.PIPE, timeout=10)
    except subprocess.TimeoutExpired:
        return "--check still running after 10 s"
    message = done.stderr.decode(errors="replace").splitlines()
    return "--check exited %d after %.2f s: %s" % (done.returncode, time.time() - start,
                                                    message[0].replace(catalog, "DIR") if message else "")


def case_escape(ctx):
    catalog = make_catalog(ctx.root, [("shop\x1b[2J\x1b]0;owned\x07", "shop-key-1", "Shop")], {})
    done = subprocess.run([ctx.program, "--catalog", catalog, "--check"], stdout=subprocess.PIPE,
                          stderr=subprocess.PIPE, timeout=20)
    err = done.stderr
    raw = sum(err.count(bytes([b])) for b in (0x1B, 0x07))
    first = err.decode(errors="replace").splitlines()[0].replace(catalog, "DIR") if err else ""
    return "%d raw control bytes on stderr: %r" % (raw, first)


def case_names(ctx):
    catalog = make_catalog(ctx.root, [("shop", "shop-key-1", "Shop")],
                           {"shop": "new | Chair | 1110 | 5 | 978 | | chair\n"})
    server = Server(ctx.program, catalog, "127.0.0.120", log_dir=ctx.root)
    try:
        reply, _ = exchange("127.0.0.120", b"GET /chair^shop^shop-key-1 HTTP/1.0\r\n\r\n")
    finally:
        server.stop()
    text = reply.decode(errors="replace")
    return "category %r, price %r" % (field(r"<th>Category</th><td>([^<]*)", text),
                                      field(r"<th>Price</th><td>([^<]*)", text))


# ---- The fleet cases: one server, one or two behind HAProxy, a reload and a drain under load --------

def sustained(ctx, address, seconds=10, spread=False):
    """1,000 clients asking again and again for the demo feed; spread, from 1,000 addresses (the
    balancer takes at most 100 connections from one)."""
    sources = ["--source", "127.2.0.0", "--sources", "1000"] if spread else []
    return bench(ctx.bench, ["--address", address, "--clients", "1000", "--seconds", str(seconds)] + sources, 180)


def case_direct(ctx):
    server = Server(ctx.program, ctx.sample, "127.0.0.170", log_dir=ctx.root)
    try:
        out = sustained(ctx, "127.0.0.170")
    finally:
        server.stop()
    return served_line(out)


def start_fleet(ctx, front, source, addresses):
    servers = [Server(ctx.program, ctx.sample, a, ["--trusted-proxy", source], log_dir=ctx.root) for a in addresses]
    try:
        return servers, haproxy_local.Balancer(front, source, addresses, ctx.root, ctx.haproxy)
    except Exception:
        for server in servers:
            server.stop()
        raise


def case_balanced(ctx, front, source, addresses):
    servers, balancer = start_fleet(ctx, front, source, addresses)
    try:
        out = sustained(ctx, front, spread=True)
    finally:
        balancer.stop()
        for server in servers:
            server.stop()
    return served_line(out)


def case_balanced_one(ctx):
    return case_balanced(ctx, "127.0.0.171", "127.0.0.173", ["127.0.0.172"])


def case_balanced_two(ctx):
    return case_balanced(ctx, "127.0.0.174", "127.0.0.177", ["127.0.0.175", "127.0.0.176"])


def case_reload(ctx):
    """The sample catalog and a big account beside it, reloaded again and again under load."""
    catalog = os.path.join(ctx.root, "reloaded")
    shutil.copytree(ctx.sample, catalog)
    with open(os.path.join(catalog, "accounts.txt"), "a") as accounts:
        accounts.write("big | big-key-1 | Big Shop\n")
    write(os.path.join(catalog, "products", "big.txt"), big_products(72500))
    server = Server(ctx.program, catalog, "127.0.0.185", log_dir=ctx.root)
    took = []
    try:
        load = subprocess.Popen([ctx.bench, "--address", "127.0.0.185", "--clients", "1000", "--seconds", "10"],
                                stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
        time.sleep(1)
        while load.poll() is None and len(took) < 8:
            start = time.time()
            server.process.send_signal(signal.SIGHUP)
            while server.log().count(" reloaded: ") <= len(took) and time.time() < start + 30:
                time.sleep(0.01)
            took.append(time.time() - start)
            time.sleep(0.2)
        out = load.communicate(timeout=180)[0].decode(errors="replace")
    finally:
        server.stop()
    return "%d reloads of 72,608 products (%.2f s each, median), %d refused; %s" % (
        server.log().count(" reloaded: "), statistics.median(took) if took else 0, server.log().count("not reloaded"),
        served_line(out))


def case_drain(ctx):
    servers, balancer = start_fleet(ctx, "127.0.0.180", "127.0.0.183", ["127.0.0.181", "127.0.0.182"])
    try:
        load = subprocess.Popen([ctx.bench, "--address", "127.0.0.180", "--clients", "1000", "--seconds", "10",
                                 "--source", "127.2.0.0", "--sources", "1000"],
                                stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
        time.sleep(3)
        start = time.time()
        servers[0].process.send_signal(signal.SIGTERM)
        status = servers[0].process.wait(timeout=60)
        stopped = time.time() - start
        out = load.communicate(timeout=180)[0].decode(errors="replace")
    finally:
        balancer.stop()
        for server in servers:
            server.stop()
    log = servers[0].log()
    return "one of two stopped with SIGTERM after 3 s: exit %d after %.2f s, %s replies finished in the drain, %d cut; %s" % (
        status, stopped, field(r"; (\d+) under way", log), log.count(" feed demo cut "), served_line(out))


CASES = [
    ("crowd", "1,000 viewers connecting at once (default cap 256)", case_crowd_at_once),
    ("sustained", "1,000 clients sustained for 5 s", case_crowd_sustained),
    ("hog", "one peer holding silent connections (300, reopened when cut); 5 others asking", case_hog),
    ("slow", "a reader taking 100 KB/s of a 12 MB feed", case_slow_reader),
    ("guess", "wrong keys from one address (50 clients, keys in order up to the key ~~~)", case_guessing),
    ("spread", "one account's keys guessed from 1,000 addresses, each once a second, 10 minutes", case_spread_guessing),
    ("stuck", "stdout piped to a reader that stops reading", case_stdout_stuck),
    ("gone", "stdout reader gone", case_stdout_gone),
    ("path", "a 1,100-byte GET path sent in one write", case_long_path),
    ("fifo", "a products file that is a FIFO", case_fifo),
    ("escape", "an account id with ESC bytes in a bad catalog", case_escape),
    ("names", "a page of a catalog outside the repository (category 1110, currency 978)", case_names),
    ("direct", "1,000 clients for 10 s, one server", case_direct),
    ("balanced1", "1,000 clients for 10 s, one server behind HAProxy", case_balanced_one),
    ("balanced2", "1,000 clients for 10 s, two servers behind HAProxy", case_balanced_two),
    ("reload", "1,000 clients for 10 s, one server reloading a 12 MB catalog on SIGHUP", case_reload),
    ("drain", "1,000 clients for 10 s, two servers behind HAProxy, one drained", case_drain),
]


# ---- The product page beside nginx, both loaded by ApacheBench ------------------------------------

def cpu_seconds(pid):
    """User and system time of a process and its threads so far."""
    with open("/proc/%d/stat" % pid) as stat:
        fields = stat.read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")


def ab(tool, url, connections, requests):
    done = subprocess.run([tool, "-q", "-n", str(requests), "-c", str(connections), url], stdout=subprocess.PIPE,
                          stderr=subprocess.STDOUT, timeout=300)
    out = done.stdout.decode(errors="replace")
    return {"rate": float(field(r"Requests per second:\s+([\d.]+)", out, "0")),
            "p99": float(field(r"\n\s+99%\s+(\d+)", out, "0")),
            "done": int(field(r"Complete requests:\s+(\d+)", out, "0")),
            "failed": int(field(r"Failed requests:\s+(\d+)", out, "0")) + int(field(r"Non-2xx responses:\s+(\d+)", out, "0"))}


def start_nginx(ctx, address, body):
    """nginx on one core (one process, as the feed server serves on one thread), logging each request
    to a file as the feed server does, serving the page's bytes as a file."""
    www = os.path.join(ctx.root, "www")
    os.makedirs(www, exist_ok=True)
    with open(os.path.join(www, "page"), "wb") as page:
        page.write(body)
    config = os.path.join(ctx.root, "nginx.conf")
    with open(config, "w") as out:
        out.write("""daemon off;
master_process off;
worker_processes 1;
error_log %(root)s/nginx-error.log;
pid %(root)s/nginx.pid;
events { worker_connections 8192; }
http {
    access_log %(root)s/nginx-access.log;
    client_body_temp_path %(root)s/body;
    proxy_temp_path %(root)s/proxy;
    fastcgi_temp_path %(root)s/fastcgi;
    uwsgi_temp_path %(root)s/uwsgi;
    scgi_temp_path %(root)s/scgi;
    default_type "text/html; charset=utf-8";
    server {
        listen %(address)s:%(port)d backlog=4096;
        root %(root)s/www;
    }
}
""" % {"root": ctx.root, "address": address, "port": PORT})
    process = subprocess.Popen([ctx.nginx, "-c", config], stdout=subprocess.DEVNULL, stderr=subprocess.STDOUT)
    haproxy_local.wait_until_listening(address, process, "nginx")
    return process


def nginx_table(ctx):
    server = Server(ctx.program, ctx.sample, "127.0.0.187", log_dir=ctx.root)
    path = "/p/oak-dining-chair%5Edemo%5Edemo"
    reply, _ = exchange("127.0.0.187", ("GET %s HTTP/1.0\r\n\r\n" % path).encode())
    nginx = start_nginx(ctx, "127.0.0.186", reply.split(b"\r\n\r\n", 1)[1])
    urls = {"feed-server": ("http://127.0.0.187:%d%s" % (PORT, path), server.process.pid),
            "nginx": ("http://127.0.0.186:%d/page" % PORT, nginx.pid)}
    rows = []
    try:
        for connections in (1, 50, 200, 1000):
            runs = {name: [] for name in urls}
            # Side by side, three times each, the median kept: this machine's figures move from run to run.
            for _ in range(3):
                for name, (url, pid) in urls.items():
                    before = cpu_seconds(pid)
                    result = ab(ctx.ab, url, connections, 20000 if connections == 1 else 60000)
                    result["cpu_us"] = (cpu_seconds(pid) - before) * 1e6 / max(result["done"], 1)
                    runs[name].append(result)
            row = [str(connections)]
            for name in urls:
                median = lambda key: statistics.median(r[key] for r in runs[name])  # noqa: E731
                row.append("%.0f | %.0f | %.1f | %d" % (median("rate"), median("p99"), median("cpu_us"),
                                                         sum(r["failed"] for r in runs[name])))
            rows.append(row)
            print("| %s |" % " | ".join(row), file=sys.stderr, flush=True)
    finally:
        nginx.terminate()
        nginx.wait()
        server.stop()
    print()
    print("| connections | feed-server requests/s | p99 ms | CPU us/request | failed | "
          "nginx requests/s | p99 ms | CPU us/request | failed |")
    print("|---|---|---|---|---|---|---|---|---|")
    for row in rows:
        print("| %s |" % " | ".join(row))


class Context:
    pass


def server_options(program, sample, root, hashed):
    """Sets SERVER_OPTIONS for the program; returns the sample catalog to use (a copy with verifiers
    for hashed keys, when asked and the program makes them)."""
    usage = subprocess.run([program, "--help"], stdout=subprocess.PIPE).stdout.decode()
    SERVER_OPTIONS[:] = ["--allow-short-keys"] if "--allow-short-keys" in usage else []
    if not hashed or "--hash-key" not in usage:
        return sample
    secret = os.path.join(root, "key-secret")
    with open(secret, "wb") as out:
        out.write(os.urandom(32))
    catalog = os.path.join(root, "hashed-sample")
    shutil.copytree(sample, catalog)
    path = os.path.join(catalog, "accounts.txt")
    lines = []
    for line in open(path, encoding="utf-8").read().splitlines():
        fields = [f.strip() for f in line.split("|")]
        if len(fields) == 3 and not line.startswith("#"):
            fields[1] = subprocess.run([program, "--hash-key", "--key-secret", secret, "--allow-short-keys"],
                                       input=fields[1].encode(), stdout=subprocess.PIPE,
                                       check=True).stdout.decode().strip()
            line = " | ".join(fields)
        lines.append(line)
    write(path, "\n".join(lines) + "\n")
    SERVER_OPTIONS.extend(["--key-secret", secret])
    return catalog


def main(argv):
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--bench", required=True)
    parser.add_argument("--server", action="append", required=True)
    parser.add_argument("--only", nargs="*", default=[])
    parser.add_argument("--long", action="store_true")
    parser.add_argument("--hashed-keys", action="store_true",
                        help="the sample catalog's keys as verifiers, where the program takes them")
    parser.add_argument("--nginx", action="store_true", help="compare the product page with nginx too")
    parser.add_argument("--haproxy", default=shutil.which("haproxy") or "/usr/sbin/haproxy")
    parser.add_argument("--nginx-program", default=shutil.which("nginx") or "/usr/sbin/nginx")
    parser.add_argument("--ab", default=shutil.which("ab") or "/usr/bin/ab")
    parser.add_argument("--sample", default=os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "catalog"))
    args = parser.parse_args(argv[1:])
    raise_descriptor_limit()
    signal.signal(signal.SIGPIPE, signal.SIG_DFL)
    results = {}
    for program in args.server:
        ctx = Context()
        ctx.program = os.path.abspath(program)
        ctx.bench = os.path.abspath(args.bench)
        ctx.root = tempfile.mkdtemp(prefix="feed-server-load-")
        ctx.sample = server_options(ctx.program, args.sample, ctx.root, args.hashed_keys)
        ctx.long = args.long
        ctx.haproxy = args.haproxy
        try:
            for key, title, run in CASES:
                if args.only and key not in args.only:
                    continue
                try:
                    results[(program, key)] = run(ctx)
                except Exception as error:  # a case that breaks still leaves the others their row
                    results[(program, key)] = "case failed: %s" % error
                print("%s | %s | %s" % (os.path.basename(os.path.dirname(os.path.dirname(ctx.program))) or program,
                                        title, results[(program, key)]), file=sys.stderr, flush=True)
                time.sleep(1)  # let TIME_WAIT and the loopback settle between cases
        finally:
            shutil.rmtree(ctx.root, ignore_errors=True)
    if args.nginx:
        ctx = Context()
        ctx.program = os.path.abspath(args.server[-1])
        ctx.sample = args.sample
        ctx.nginx = args.nginx_program
        ctx.ab = args.ab
        ctx.root = tempfile.mkdtemp(prefix="feed-server-nginx-")
        try:
            nginx_table(ctx)
        finally:
            shutil.rmtree(ctx.root, ignore_errors=True)
    header = "| case | " + " | ".join(args.server) + " |"
    print(header)
    print("|" + "---|" * (len(args.server) + 1))
    for key, title, _ in CASES:
        if args.only and key not in args.only:
            continue
        print("| %s | %s |" % (title, " | ".join(results.get((p, key), "") for p in args.server)))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
