#!/usr/bin/env python3
"""How fast `larkwatch --check` shows a mailbox, against the test Dovecot
behind a latency proxy of our own on loopback.

    sudo bench/bench_check.py [--build build/release] [--messages 1000]
                              [--delays 0,25] [--runs 3]

Run by hand (never by ctest), as root (the Dovecot fixture needs it), after
`scripts/setup.sh test` has installed what it needs (Dovecot, mpop) and a build
of larkwatch and bench_accounts exists (`cmake --build build/release`).

It starts the project's Dovecot fixture (tests/support/dovecot), gives a user
of its own a mailbox of generated messages of realistic sizes (encoded
headers, trace and signature fields, attachments), and puts the proxy in
front of it: every chunk read in either direction is passed on DELAY ms
later. For each delay it measures, median of the runs:

  first    larkwatch --check with no history and no header memory
  second   larkwatch --check again (the header memory of the first run)
  mpop     mpop reading every header, keeping no mail: its filter (`cat
           >/dev/null; exit 2`) reads the header it is piped and answers 2
           ("skip the mail; do not retrieve it") to every one,
           with only_new off (every message), keep on and the UIDL list in a
           fresh file, so it sends TOP n 0 for every message (pipelined, as
           the server offers PIPELINING) and never RETR: the same server work
           as a first larkwatch check
  poplib   a plain sequential Python poplib loop: USER/PASS, LIST, TOP n 0
           for each message, QUIT; no decoding
  floor    round trips the protocol needs x 2 x DELAY, plus the bytes at
           the proxy's own speed (measured at 0 ms)

and prints one table: time, bytes read by the client, ratio to mpop and to
the floor. The proxy and Dovecot are stopped at the end, whatever happens.
"""

import argparse
import asyncio
import os
import pwd
import grp
import random
import shutil
import socket
import statistics
import subprocess
import sys
import tempfile
import threading
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
FIXTURE = os.path.join(ROOT, "tests", "support", "dovecot", "dovecot-fixture.sh")
USER, PASSWORD = "bench", "bench-pw"

# ---- the mailbox ------------------------------------------------------------

WORDS = ("meeting report invoice quarterly update project status review draft "
         "budget travel schedule release notes build failure summary minutes "
         "proposal contract offer order shipment delivery reminder agenda").split()
NAMES = ["Anna Schmidt", "José Muñoz", "Zoë Dubois", "Li Wei", "Ólafur Árnason",
         "Peter Miller", "Søren Kierkegaard", "Ivan Petrov", "Mary Jones", "Ken Sato"]


def encoded_word(text, rng):
    import base64
    import quopri
    raw = text.encode("utf-8")
    if rng.random() < 0.5:
        return "=?UTF-8?B?" + base64.b64encode(raw).decode() + "?="
    q = quopri.encodestring(raw, header=True).decode().replace("\n", "")
    return "=?UTF-8?Q?" + q + "?="


def phrase(rng, lo, hi):
    return " ".join(rng.choice(WORDS) for _ in range(rng.randint(lo, hi)))


def base64_lines(size, rng):
    import base64
    data = bytes(rng.getrandbits(8) for _ in range(size))
    text = base64.b64encode(data).decode()
    return "\r\n".join(text[i:i + 76] for i in range(0, len(text), 76))


def make_message(n, rng):
    name = rng.choice(NAMES)
    display = encoded_word(name, rng) if not name.isascii() else name
    subject = phrase(rng, 3, 9).capitalize() + f" #{n}"
    if rng.random() < 0.35:
        subject = encoded_word(subject + " – überprüft ✓", rng)
    h = [f"Return-Path: <sender{n}@example.org>"]
    for hop in range(rng.randint(2, 4)):
        h.append(f"Received: from mx{hop}.example.net (mx{hop}.example.net [192.0.2.{hop + 10}])\r\n"
                 f"\tby mail.example.org (Postfix) with ESMTPS id {rng.getrandbits(40):010X}\r\n"
                 f"\tfor <{USER}@example.org>; Mon, 18 Mar 2024 10:{n % 60:02d}:00 +0100 (CET)")
    if rng.random() < 0.6:
        sig = base64_lines(rng.randint(180, 260), rng).replace("\r\n", "\r\n\t ")
        h.append("DKIM-Signature: v=1; a=rsa-sha256; c=relaxed/relaxed; d=example.net;\r\n"
                 "\ts=selector1; h=from:to:subject:date:message-id;\r\n"
                 f"\tbh={base64_lines(32, rng)};\r\n\tb={sig}")
    h += [f"From: {display} <sender{n}@example.org>",
          f"To: Bench User <{USER}@example.org>",
          f"Subject: {subject}",
          f"Date: Mon, 18 Mar 2024 10:{n % 60:02d}:00 +0100",
          f"Message-ID: <{n}.{rng.getrandbits(48):012x}@bench.example.org>",
          "MIME-Version: 1.0"]
    if rng.random() < 0.3:
        h.append(f"List-Unsubscribe: <mailto:leave-{n}@lists.example.org>, "
                 f"<https://lists.example.org/u/{rng.getrandbits(64):016x}>")
    text = "\r\n".join(phrase(rng, 8, 14) for _ in range(rng.randint(5, 60)))
    kind = rng.random()
    if kind < 0.7:
        h.append("Content-Type: text/plain; charset=utf-8")
        body = text
    else:
        boundary = f"=_bench_{n}_{rng.getrandbits(32):08x}"
        h.append(f'Content-Type: multipart/mixed; boundary="{boundary}"')
        fname = encoded_word(f"Bericht {n} – März.pdf", rng)
        body = (f"--{boundary}\r\nContent-Type: text/plain; charset=utf-8\r\n\r\n{text}\r\n"
                f"--{boundary}\r\nContent-Type: application/pdf; name=\"{fname}\"\r\n"
                f"Content-Disposition: attachment; filename=\"{fname}\"\r\n"
                f"Content-Transfer-Encoding: base64\r\n\r\n"
                f"{base64_lines(rng.randint(8_000, 150_000), rng)}\r\n--{boundary}--")
    return ("\r\n".join(h) + "\r\n\r\n" + body + "\r\n").encode("utf-8")


def fill_mailbox(maildir, count, seed=12):
    rng = random.Random(seed)
    uid = pwd.getpwnam("nobody").pw_uid
    gid = grp.getgrnam("nogroup").gr_gid
    for sub in ("new", "cur", "tmp"):
        for name in os.listdir(os.path.join(maildir, sub)):
            os.remove(os.path.join(maildir, sub, name))
    stamp = int(time.time())
    header_bytes = total = 0
    for n in range(1, count + 1):
        raw = make_message(n, rng)
        total += len(raw)
        header_bytes += raw.index(b"\r\n\r\n") + 4
        # Dovecot numbers new mail in name order.
        name = f"{stamp}.M{n:06d}P{os.getpid()}.bench"
        path = os.path.join(maildir, "tmp", name)
        with open(path, "wb") as f:
            f.write(raw)
        os.chown(path, uid, gid)
        os.rename(path, os.path.join(maildir, "new", name))
    return header_bytes, total

# ---- the latency proxy ------------------------------------------------------


class Proxy:
    """127.0.0.1:port -> upstream; every chunk passed on `delay` s later in
    either direction. Counts the bytes sent to the client per connection. Stops
    by itself after `max_seconds`."""

    def __init__(self, upstream_port, delay, max_seconds=1800):
        self.upstream_port = upstream_port
        self.delay = delay
        self.max_seconds = max_seconds
        self.closed = []  # bytes sent to the client, per closed connection
        self.lock = threading.Lock()
        self.ready = threading.Event()
        self.thread = threading.Thread(target=self._run, daemon=True)
        self.thread.start()
        self.ready.wait(10)

    def _run(self):
        asyncio.run(self._main())

    async def _main(self):
        self.loop = asyncio.get_running_loop()
        self.stop_event = asyncio.Event()
        server = await asyncio.start_server(self._client, "127.0.0.1", 0)
        self.port = server.sockets[0].getsockname()[1]
        self.ready.set()
        try:
            await asyncio.wait_for(self.stop_event.wait(), self.max_seconds)
        except asyncio.TimeoutError:
            print("proxy: run time over, stopping", file=sys.stderr)
        server.close()

    async def _pipe(self, reader, writer, count):
        queue = asyncio.Queue()

        async def send():
            while True:
                due, data = await queue.get()
                wait = due - self.loop.time()
                if wait > 0:
                    await asyncio.sleep(wait)
                if data is None:
                    break
                writer.write(data)
                await writer.drain()
            try:
                writer.write_eof()
            except (OSError, RuntimeError):
                pass

        sender = asyncio.create_task(send())
        try:
            while True:
                data = await reader.read(256 * 1024)
                if not data:
                    break
                count[0] += len(data)
                queue.put_nowait((self.loop.time() + self.delay, data))
        except (ConnectionError, OSError):
            pass
        queue.put_nowait((self.loop.time() + self.delay, None))
        try:
            await sender
        except (ConnectionError, OSError):
            pass

    async def _client(self, creader, cwriter):
        try:
            sreader, swriter = await asyncio.open_connection("127.0.0.1", self.upstream_port)
        except OSError:
            cwriter.close()
            return
        down, up = [0], [0]
        try:
            await asyncio.gather(self._pipe(sreader, cwriter, down),
                                 self._pipe(creader, swriter, up))
        except asyncio.CancelledError:  # the proxy stops
            return
        for w in (cwriter, swriter):
            w.close()
        with self.lock:
            self.closed.append(down[0])

    def take_bytes(self, connections=1, timeout=10):
        end = time.monotonic() + timeout
        while time.monotonic() < end:
            with self.lock:
                if len(self.closed) >= connections:
                    taken, self.closed = sum(self.closed), []
                    return taken
            time.sleep(0.01)
        raise RuntimeError("proxy: the connection did not close")

    def stop(self):
        if self.thread.is_alive():
            self.loop.call_soon_threadsafe(self.stop_event.set)
            self.thread.join(10)


def proxy_speed():
    """Bytes per second the proxy passes at 0 ms, for the floor."""
    payload = b"x" * (32 * 1024 * 1024)
    sink = socket.create_server(("127.0.0.1", 0))

    def serve():
        conn, _ = sink.accept()
        conn.sendall(payload)
        conn.close()

    threading.Thread(target=serve, daemon=True).start()
    proxy = Proxy(sink.getsockname()[1], 0.0)
    try:
        start = time.monotonic()
        with socket.create_connection(("127.0.0.1", proxy.port)) as c:
            got = 0
            while True:
                chunk = c.recv(1 << 20)
                if not chunk:
                    break
                got += len(chunk)
        elapsed = time.monotonic() - start
    finally:
        proxy.stop()
        sink.close()
    return got / elapsed

# ---- the clients ------------------------------------------------------------


def run_larkwatch(build, root, port):
    env = dict(os.environ)
    env["XDG_CONFIG_HOME"] = os.path.join(root, "config")
    env["XDG_DATA_HOME"] = os.path.join(root, "data")
    env["XDG_RUNTIME_DIR"] = os.path.join(root, "run")
    os.makedirs(env["XDG_RUNTIME_DIR"], mode=0o700, exist_ok=True)
    for key in ("DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"):
        env.pop(key, None)
    start = time.monotonic()
    done = subprocess.run([os.path.join(build, "src", "app", "larkwatch"), "--check"], env=env,
                          capture_output=True, text=True, timeout=600)
    elapsed = time.monotonic() - start
    if done.returncode != 0 or "Totaling" not in done.stdout:
        raise RuntimeError(f"larkwatch --check failed ({done.returncode}):\n"
                           f"{done.stdout[:2000]}\n{done.stderr[:2000]}")
    return elapsed, done.stdout


def new_larkwatch_root(build, tmp, port, label):
    root = os.path.join(tmp, label)
    shutil.rmtree(root, ignore_errors=True)
    os.makedirs(root)
    subprocess.run([os.path.join(build, "bench", "bench_accounts"), root, "5",
                    f"127.0.0.1:{port}:{USER}:{PASSWORD}"], check=True)
    return root


def run_mpop(tmp, port):
    conf = os.path.join(tmp, "mpoprc")
    uidls = os.path.join(tmp, "mpop-uidls")
    if os.path.exists(uidls):
        os.remove(uidls)
    with open(conf, "w") as f:
        f.write(f"account bench\nhost 127.0.0.1\nport {port}\nuser {USER}\n"
                f"password {PASSWORD}\nauth user\ntls off\nuidls_file {uidls}\n"
                "only_new off\nkeep on\npipelining auto\nfilter cat >/dev/null; exit 2\n"
                "delivery mbox /dev/null\n")
    os.chmod(conf, 0o600)
    start = time.monotonic()
    done = subprocess.run(["mpop", "-C", conf, "-q", "bench"], capture_output=True, text=True,
                          timeout=600)
    elapsed = time.monotonic() - start
    if done.returncode != 0:
        raise RuntimeError(f"mpop failed ({done.returncode}): {done.stderr[:2000]}")
    return elapsed


def run_poplib(port):
    import poplib
    start = time.monotonic()
    pop = poplib.POP3("127.0.0.1", port, timeout=120)
    pop.user(USER)
    pop.pass_(PASSWORD)
    _, listing, _ = pop.list()
    for line in listing:
        pop.top(int(line.split()[0]), 0)
    pop.quit()
    return time.monotonic() - start

# ---- the run ----------------------------------------------------------------


def env_value(envfile, key):
    with open(envfile) as f:
        for line in f:
            if line.startswith(key + "="):
                return line.split("=", 1)[1].strip().strip("'")
    return ""


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--build", default=os.path.join(ROOT, "build", "release"))
    parser.add_argument("--messages", type=int, default=1000)
    parser.add_argument("--delays", default="0,25", help="one-way delays in ms")
    parser.add_argument("--runs", type=int, default=3)
    args = parser.parse_args()
    build = os.path.abspath(args.build)
    for tool in (os.path.join(build, "src", "app", "larkwatch"),
                 os.path.join(build, "bench", "bench_accounts")):
        if not os.access(tool, os.X_OK):
            sys.exit(f"missing {tool}: build it first (cmake --build {args.build})")
    if not shutil.which("mpop"):
        sys.exit("mpop is not installed (scripts/setup.sh test installs it)")

    tmp = tempfile.mkdtemp(prefix="larkwatch-bench.")
    os.chmod(tmp, 0o755)
    envfile = os.path.join(tmp, "fixture.env")
    proxies = []
    try:
        subprocess.run([FIXTURE, "start", envfile], check=True, stdout=subprocess.DEVNULL)
        if env_value(envfile, "SKIP"):
            sys.exit("Dovecot fixture: " + env_value(envfile, "SKIP"))
        subprocess.run([FIXTURE, "add-user", envfile, USER, PASSWORD, "1"], check=True)
        maildir = os.path.join(env_value(envfile, "DIR"), "mail", USER, "Maildir")
        header_bytes, total = fill_mailbox(maildir, args.messages)
        dovecot_port = int(env_value(envfile, "POP3_PORT"))
        speed = proxy_speed()
        print(f"{args.messages} messages, {total / 1e6:.1f} MB, headers {header_bytes / 1e6:.2f} MB;"
              f" proxy passes {speed / 1e6:.0f} MB/s at 0 ms", flush=True)

        rows = []
        for delay_ms in [int(d) for d in args.delays.split(",")]:
            proxy = Proxy(dovecot_port, delay_ms / 1000.0)
            proxies.append(proxy)
            port = proxy.port
            results = {k: [] for k in ("first", "second", "mpop", "poplib")}
            nbytes = {k: [] for k in results}
            for run in range(args.runs):
                root = new_larkwatch_root(build, tmp, port, f"lw-{delay_ms}-{run}")
                proxy.take_bytes(0)
                t, out = run_larkwatch(build, root, port)
                results["first"].append(t)
                nbytes["first"].append(proxy.take_bytes())
                if f"{args.messages} messages" not in out:
                    raise RuntimeError("larkwatch did not list every message:\n" + out[:500])
                t, out2 = run_larkwatch(build, root, port)
                results["second"].append(t)
                nbytes["second"].append(proxy.take_bytes())
                if out2.replace("--- new", "") != out.replace("--- new", "") and \
                        len(out2.splitlines()) != len(out.splitlines()):
                    raise RuntimeError("the second run showed another mailbox")
                results["mpop"].append(run_mpop(tmp, port))
                nbytes["mpop"].append(proxy.take_bytes())
                results["poplib"].append(run_poplib(port))
                nbytes["poplib"].append(proxy.take_bytes())
                print(f"  {delay_ms} ms run {run + 1}: " +
                      ", ".join(f"{k} {v[-1]:.3f} s" for k, v in results.items()), flush=True)
            proxy.stop()
            rtt = 2 * delay_ms / 1000.0
            med = {k: statistics.median(v) for k, v in results.items()}
            medb = {k: int(statistics.median(v)) for k, v in nbytes.items()}
            # Round trips: connect and greeting, CAPA, log-on (APOP: one), STAT,
            # LIST, UIDL, the header requests, QUIT; the second run sends no
            # header request.
            floors = {"first": 8 * rtt + medb["first"] / speed,
                      "second": 7 * rtt + medb["second"] / speed}
            for k in ("first", "second", "mpop", "poplib"):
                floor = floors.get(k, floors["first"])
                rows.append((f"{delay_ms} ms", k, med[k], medb[k], med[k] / med["mpop"],
                             med[k] / floor))
            rows.append((f"{delay_ms} ms", "floor", floors["first"], medb["first"],
                         floors["first"] / med["mpop"], 1.0))
        print()
        print(f"| delay | client | time (s) | bytes read | × mpop | × floor |")
        print(f"|---|---|---:|---:|---:|---:|")
        for delay, client, t, b, to_mpop, to_floor in rows:
            print(f"| {delay} | {client} | {t:.3f} | {b:,} | {to_mpop:.2f} | {to_floor:.2f} |")
        print("\n(second: its floor has no header round trip; every other row is against the"
              " first run's floor)")
    finally:
        for proxy in proxies:
            proxy.stop()
        subprocess.run([FIXTURE, "stop", envfile], stdout=subprocess.DEVNULL)
        shutil.rmtree(tmp, ignore_errors=True)


if __name__ == "__main__":
    main()
