#!/usr/bin/env python3
"""Writes a schedule log drawn from a known model, and the truth behind it.

Every object sent takes (cost + bytes / bandwidth) seconds times a random
jitter factor; its line is written, stamped to the second, when it is done.
Sizes are log-normal. The session starts at a given time of day (by default
late enough to cross midnight), stops now and then for an idle wait of
minutes, and writes lines without an arrow: its start and end, running
counts, the waits. Some objects are directories (size 0), some are sent
twice: an interrupted attempt, then a retry ("Retry 1: Sending file-->").
Directories and interrupted attempts take time by the same model.

    tests/genlog.py [--objects 1000] [--seed 1] [--cost-ms 20] [--bandwidth-kbps 4000]
                    [--median 8000] [--sigma 2] [--jitter 0.3] [--layout ymd|mdy|dmy-dot|dmy-dash]
                    [--clock 24|12] [--start 23:00:00] [--date 2026-12-07]
                    [--wait-every 10000] [-o LOG] [--truth FILE]

The log goes to standard output or to -o; the truth, as JSON, to standard
error or to --truth: the model, the objects, bytes and seconds of each size
class (the classes of the estimate), the busy seconds (the objects' seconds
together) and the idle waits. The same arguments always give the same log.
"""
import argparse
import datetime
import json
import math
import random
import sys

CLASS_LIMITS = (5120, 51200, 512000)  # upper bounds of classes 0 to 2, in bytes

LAYOUTS = {
    "ymd": "{y:04d}-{m:02d}-{d:02d}",       # 2026-12-07
    "mdy": "{m:02d}/{d:02d}/{y:04d}",       # 12/07/2026
    "dmy-dot": "{d:02d}.{m:02d}.{y:04d}",   # 07.12.2026
    "dmy-dash": "{d:02d}-{m:02d}-{y:04d}",  # 22-09-2023
}

# Made-up trees to take paths from.
POSIX_ROOTS = ["/srv/share/finance", "/srv/share/eng/src", "/srv/share/media/stills",
               "/home/ana/mail", "/home/bo/reports", "/var/lib/stock/exports", "/opt/site/assets"]
WINDOWS_ROOTS = ["C:\\Data\\Projects", "C:\\Users\\ana\\Documents", "D:\\Shares\\Sales",
                 "D:\\Shares\\Archive\\2025", "C:\\Data\\Scans"]
WORDS = ["ledger", "notes", "plan", "draft", "scan", "photo", "report", "minutes", "invoice",
         "sketch", "budget", "summary", "export", "table", "index"]
EXTENSIONS = [".txt", ".pdf", ".odt", ".jpg", ".png", ".csv", ".xml", ".tar", ".mbox", ".c"]


def size_class(size):
    for k, limit in enumerate(CLASS_LIMITS):
        if size < limit:
            return k
    return 3


def with_commas(n):
    return f"{n:,}"


class Stamper:
    """Writes the date and time of day of an absolute second in one layout."""

    def __init__(self, layout, clock, first_date):
        self.date_format = LAYOUTS[layout]
        self.clock = clock
        self.first_date = first_date

    def __call__(self, second):
        date = self.first_date + datetime.timedelta(days=second // 86400)
        text = self.date_format.format(y=date.year, m=date.month, d=date.day)
        s = second % 86400
        h, mi, se = s // 3600, s % 3600 // 60, s % 60
        if self.clock == 12:
            marker = "AM" if h < 12 else "PM"
            return f"{text} {(h + 11) % 12 + 1:02d}:{mi:02d}:{se:02d} {marker}"
        return f"{text} {h:02d}:{mi:02d}:{se:02d}"


def parse_args(argv):
    p = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    p.add_argument("--objects", type=int, default=1000, help="objects to send (arrow lines, "
                   "retries and directories included)")
    p.add_argument("--seed", type=int, default=1)
    p.add_argument("--cost-ms", type=float, default=20.0, help="fixed cost per object")
    p.add_argument("--bandwidth-kbps", type=float, default=4000.0, help="KB/s, KB = 1024 bytes")
    p.add_argument("--median", type=float, default=8000.0, help="median file size in bytes")
    p.add_argument("--sigma", type=float, default=2.0, help="spread of the sizes' logarithm")
    p.add_argument("--jitter", type=float, default=0.3,
                   help="each object's time is multiplied by 1 +- up to this")
    p.add_argument("--layout", choices=sorted(LAYOUTS), default="ymd")
    p.add_argument("--clock", type=int, choices=(12, 24), default=24)
    p.add_argument("--start", default="23:00:00", help="time of day the session starts")
    p.add_argument("--date", default="2026-12-07", help="date the session starts, YYYY-MM-DD")
    p.add_argument("--wait-every", type=float, default=10000.0,
                   help="objects between idle waits, on average (0: none)")
    p.add_argument("--windows-paths", action="store_true", help="paths like C:\\Data\\a.txt")
    p.add_argument("-o", "--output", help="the log file (default: standard output)")
    p.add_argument("--truth", help="file for the truth (default: standard error)")
    return p.parse_args(argv)


def generate(args, out):
    """Writes the log to out; returns the truth as a dict."""
    rng = random.Random(args.seed)
    h, m, s = (int(x) for x in args.start.split(":"))
    stamp = Stamper(args.layout, args.clock, datetime.date.fromisoformat(args.date))
    cost = args.cost_ms / 1000.0
    per_byte = 1.0 / (args.bandwidth_kbps * 1024.0)
    mu = math.log(args.median)
    roots = WINDOWS_ROOTS if args.windows_paths else POSIX_ROOTS
    sep = "\\" if args.windows_paths else "/"

    clock = float(h * 3600 + m * 60 + s) + rng.random()  # seconds since the first midnight
    start = clock
    class_objects = [0] * 4
    class_bytes = [0] * 4
    class_seconds = [0.0] * 4
    waits = 0
    wait_seconds = 0.0
    lines = 0

    def write(text):
        nonlocal lines
        out.write(f"{stamp(int(clock))} {text}\n")
        lines += 1

    def send(verb, size, path, outcome):
        """One object: its time passes, then its line is written."""
        nonlocal clock
        seconds = (cost + size * per_byte) * (1.0 + args.jitter * (2.0 * rng.random() - 1.0))
        clock += seconds
        k = size_class(size)
        class_objects[k] += 1
        class_bytes[k] += size
        class_seconds[k] += seconds
        write(f"{verb}-->{with_commas(size):>14} {path} [{outcome}]")

    write("Schedule 'nightly' started on fileserver7")
    write(f"Looking for files changed since the last run under {roots[0]}")
    sent = 0
    folder = roots[0]
    while sent < args.objects:
        if args.wait_every > 0 and rng.random() < 1.0 / args.wait_every:
            write("Waiting for the server: storage is busy")
            pause = rng.uniform(120.0, 900.0)
            clock += pause
            waits += 1
            wait_seconds += pause
            if rng.random() < 0.5:  # else the next object's line ends the wait
                write("Session resumed")
        r = rng.random()
        if r < 0.03:
            folder = sep.join([rng.choice(roots), rng.choice(WORDS) + str(rng.randrange(100))])
            send("Sending directory", 0, folder, "done")
            sent += 1
            continue
        size = int(rng.lognormvariate(mu, args.sigma))
        name = f"{rng.choice(WORDS)}-{rng.randrange(10000):04d}{rng.choice(EXTENSIONS)}"
        path = folder + sep + name
        if r < 0.035 and sent + 2 <= args.objects:
            send("Sending file", size, path, "interrupted")
            send("Retry 1: Sending file", size, path, "done")
            sent += 2
        else:
            send("Sending file", size, path, "done")
            sent += 1
        if sent % 5000 == 0:
            write(f"Objects sent so far: {sent}")
    write(f"Finished backup of '{roots[0]}'")
    write(f"Objects sent: {sent}")
    write(f"Bytes sent: {with_commas(sum(class_bytes))}")
    write("Schedule 'nightly' finished.")

    return {
        "seed": args.seed,
        "cost_ms": args.cost_ms,
        "bandwidth_kbps": args.bandwidth_kbps,
        "median": args.median,
        "sigma": args.sigma,
        "jitter": args.jitter,
        "layout": args.layout,
        "clock": args.clock,
        "lines": lines,
        "objects": sent,
        "bytes": sum(class_bytes),
        "busy_seconds": sum(class_seconds),
        "class_objects": class_objects,
        "class_bytes": class_bytes,
        "class_seconds": class_seconds,
        "idle_waits": waits,
        "idle_seconds": wait_seconds,
        "first_second": int(start),
        "last_second": int(clock),
        "days": int(clock) // 86400 - int(start) // 86400,
    }


def main(argv=None):
    args = parse_args(argv)
    if args.output:
        with open(args.output, "w", newline="\n", encoding="utf-8") as out:
            truth = generate(args, out)
    else:
        truth = generate(args, sys.stdout)
    text = json.dumps(truth, indent=2) + "\n"
    if args.truth:
        with open(args.truth, "w", encoding="utf-8") as f:
            f.write(text)
    else:
        sys.stderr.write(text)


if __name__ == "__main__":
    main()
