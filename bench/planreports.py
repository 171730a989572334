#!/usr/bin/env python3
"""Times plomet --plan on a folder of generated client reports.

    bench/planreports.py PLOMET [--clients 10000] [--keep DIR]

Writes CLIENTS JSON reports of the shape plomet -s ... --json --client=NAME
writes (made-up numbers: estimates log-normal around an hour, a third of the
clients with an estimate by cost and bandwidth, folders of --top in each),
then runs, under /usr/bin/time, plomet --plan on the folder with 40 sessions
and a window of 8 hours: without a bandwidth, and with one at which all bytes
take two thirds of the window, as text, JSON and a page, so that the search
for the sessions needed runs with and without the cap. Prints the seconds and
the peak resident memory of each run.
"""
import argparse
import json
import os
import random
import re
import subprocess
import sys
import tempfile


def report(rng, n):
    seconds = int(min(max(rng.lognormvariate(8.2, 0.8), 60), 25200))
    size = int(seconds * rng.lognormvariate(16.8, 1.0))
    files = int(size / rng.lognormvariate(12, 1.5)) + 1
    body = {
        "format": 1, "client": f"client{n:05d}",
        "input": {"kind": "scan", "listing": "/srv", "encoding": "plain", "read_error": None},
        "classes": [{"label": "0..< 1KB", "files": files // 2, "bytes": size // 100,
                     "seconds": seconds / 4, "whole_seconds": seconds // 4}] * 4,
        "total": {"files": files, "bytes": size, "bytes_exact": True},
        "average": {"bytes": size // files, "class": "100KB and up"},
        "estimate_seconds": seconds, "estimate_by_average_seconds": seconds,
        "own_totals": None,
        "folders": {"found": True, "root": "/srv", "depth": 1, "count": 12,
                    "top": [{"folder": f"share{k}", "files": files // 12, "bytes": size // 12,
                             "seconds": seconds / 12, "share_percent": 8.3} for k in range(10)]},
        "warnings": [],
    }
    if n % 3 == 0:
        body["model"] = {"log": "/var/log/backup/sched.log", "cost_ms_per_object": 1.5,
                         "bandwidth_kb_per_s": 20000.0, "objects": 5000,
                         "estimate_seconds": int(seconds * 0.9), "sessions": []}
    return json.dumps(body, indent=2) + "\n"


def timed(command):
    """Runs command under /usr/bin/time: its status, wall seconds and peak MiB."""
    run = subprocess.run(["/usr/bin/time", "-v"] + command, stdout=subprocess.DEVNULL,
                         stderr=subprocess.PIPE, text=True)
    wall = re.search(r"Elapsed \(wall clock\) time.*: (?:(\d+):)?(\d+):([\d.]+)", run.stderr)
    rss = re.search(r"Maximum resident set size \(kbytes\): (\d+)", run.stderr)
    seconds = int(wall.group(1) or 0) * 3600 + int(wall.group(2)) * 60 + float(wall.group(3))
    return run.returncode, seconds, int(rss.group(1)) / 1024


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("plomet")
    parser.add_argument("--clients", type=int, default=10000)
    parser.add_argument("--keep", help="write the reports here and keep them")
    args = parser.parse_args()
    folder = args.keep or tempfile.mkdtemp(prefix="planreports-")
    os.makedirs(folder, exist_ok=True)
    rng = random.Random(27)
    total = sum_bytes = 0
    for n in range(args.clients):
        text = report(rng, n)
        total += len(text)
        sum_bytes += json.loads(text)["total"]["bytes"]
        with open(os.path.join(folder, f"client{n:05d}.json"), "w") as f:
            f.write(text)
    print(f"{args.clients} reports, {total / 1e6:.1f} MB, in {folder}")
    # A bandwidth at which all bytes take two thirds of the window: the search
    # for the sessions needed runs with the cap, every number tried upward.
    bandwidth = int(sum_bytes * 1.5 / 28800) + 1
    plan = [args.plomet, "--plan", folder, "--sessions=40", "--window=22:00-06:00"]
    page = "--html=" + os.path.join(folder, "plan.html.out")
    for label, extra in (("text, no bandwidth", []),
                         ("text", [f"--bandwidth={bandwidth}"]),
                         ("--json", [f"--bandwidth={bandwidth}", "--json"]),
                         ("--html", [f"--bandwidth={bandwidth}", page])):
        status, seconds, mib = timed(plan + extra)
        print(f"--plan ({label}): {seconds:.2f} s, peak {mib:.1f} MiB, exit status {status}")
    if not args.keep:
        for name in os.listdir(folder):
            os.remove(os.path.join(folder, name))
        os.rmdir(folder)
    return 0


if __name__ == "__main__":
    sys.exit(main())
