#!/usr/bin/env python3
"""Times the scan (-s) of folder trees that are one chain of folders, deep.

Makes a tree for each depth asked (5,000 and 20,000 folders by default), each
folder holding one small file and the next folder, then runs plomet -s on it
several rounds and prints the median wall time and the peak resident memory
of each depth. A walk whose time or memory grows with the square of the depth
shows it here: 4 times the depth should take about 4 times as long, and the
memory should barely grow.

    bench/deeptree.py [--depths 5000,20000] [--rounds 3] [--dir build/bench]
                      [--plomet build/release/estimator/plomet] [--name-length 1]
                      [--empty] [-- EXTRA-OPTIONS...]

--empty leaves the files out (folders alone); options after -- are passed to
plomet (say --threads=1 or --list=FILE). The trees stay in --dir for the next
run.
"""
import argparse
import os
import shutil
import statistics
import subprocess
import sys
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
RATES = ["35", "233", "457", "449"]


def make_chain(path, depth, name, with_files):
    """Makes depth nested folders named name below path, opened one relative to
    the last: their paths pass what the system takes at once."""
    marker = os.path.join(path, "complete")
    if os.path.exists(marker):
        return
    if os.path.exists(path):
        shutil.rmtree(path)
    os.makedirs(os.path.join(path, "tree"))
    fd = os.open(os.path.join(path, "tree"), os.O_RDONLY | os.O_DIRECTORY)
    try:
        for level in range(depth):
            if with_files:
                file_fd = os.open(f"f{level}", os.O_WRONLY | os.O_CREAT, 0o644, dir_fd=fd)
                os.write(file_fd, b"x" * (level % 100))
                os.close(file_fd)
            os.mkdir(name, dir_fd=fd)
            next_fd = os.open(name, os.O_RDONLY | os.O_DIRECTORY, dir_fd=fd)
            os.close(fd)
            fd = next_fd
    finally:
        os.close(fd)
    open(marker, "w").close()


def timed(argv):
    """Runs argv, its output discarded; returns (seconds, peak KiB)."""
    report = os.path.join(os.environ.get("TMPDIR", "/tmp"), f"plomet-deep-{os.getpid()}")
    start = time.perf_counter()
    if os.path.exists("/usr/bin/time"):
        child = subprocess.Popen(["/usr/bin/time", "-f", "%M", "-o", report] + argv,
                                 stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    else:
        child = subprocess.Popen(argv, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    _, status, usage = os.wait4(child.pid, 0)
    elapsed = time.perf_counter() - start
    if os.waitstatus_to_exitcode(status) != 0:
        raise SystemExit(f"{' '.join(argv)} failed")
    peak = usage.ru_maxrss
    if os.path.exists(report):
        with open(report) as f:
            peak = int(f.read().split()[-1])
        os.remove(report)
    return elapsed, peak


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--depths", default="5000,20000")
    parser.add_argument("--rounds", type=int, default=3)
    parser.add_argument("--dir", default=os.path.join(ROOT, "build", "bench"))
    parser.add_argument("--plomet", default=os.path.join(ROOT, "build", "release", "estimator",
                                                         "plomet"))
    parser.add_argument("--name-length", type=int, default=1)
    parser.add_argument("--empty", action="store_true")
    parser.add_argument("extra", nargs="*")
    opts = parser.parse_args()
    name = "d" * opts.name_length
    print(f"plomet: {opts.plomet}")
    print(f"{'depth':>8} {'seconds':>9} {'peak MiB':>9}   (median of {opts.rounds})")
    for depth in (int(d) for d in opts.depths.split(",")):
        kind = "empty" if opts.empty else "files"
        path = os.path.join(opts.dir, f"deep-{depth}-{opts.name_length}-{kind}")
        make_chain(path, depth, name, not opts.empty)
        argv = [opts.plomet, "-s", os.path.join(path, "tree")] + RATES + opts.extra
        runs = [timed(argv) for _ in range(opts.rounds)]
        seconds = statistics.median(r[0] for r in runs)
        peak = max(r[1] for r in runs) / 1024
        print(f"{depth:>8} {seconds:>9.2f} {peak:>9.1f}")
        sys.stdout.flush()


if __name__ == "__main__":
    main()
