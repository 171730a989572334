#!/usr/bin/env python3
"""Times plomet -d on the same files listed in each listing kind it reads.

Writes one listing of the same files (the same folders, sizes and dates) as
the command shell's dir, ls -lR, a robocopy log, a PowerShell CSV export, an
rsync listing, an ncdu export (one JSON stream) and rclone lsjson, and the dir
listing compressed with gzip (its line is gzip's cost, not a kind's), then runs plomet -d on each in alternation, several rounds,
and prints the median wall times and each kind's ratio to the dir listing's.
With --options, every kind is timed again with --top and --since. With
--baseline, another build of plomet reads the dir listing in the same
alternation, so that a change's cost to dir listings shows as a ratio.

    bench/kinds.py [--files 1000000] [--rounds 5] [--dir build/bench]
                   [--plomet build/release/estimator/plomet] [--baseline OTHER]
                   [--options]

The machine is noisy: compare the ratios measured within one run.
"""
import argparse
import calendar
import gzip
import os
import random
import statistics
import subprocess
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
RATES = ["35", "233", "457", "449"]
FILES_PER_FOLDER = 20
MONTHS = "Jan Feb Mar Apr May Jun Jul Aug Sep Oct Nov Dec".split()


def files(count, seed=21):
    """(folder, name, size, (year, month, day, hour, minute, second)) for each file."""
    rng = random.Random(seed)
    for i in range(count):
        size = int(rng.lognormvariate(9, 2.5))
        stamp = (rng.choice((2019, 2023, 2026)), rng.randint(1, 11), rng.randint(1, 28),
                 rng.randint(0, 23), rng.randint(0, 59), rng.randint(0, 59))
        yield i // FILES_PER_FOLDER, f"file{i:07d}.dat", size, stamp


def write_dir(out, entries):
    folder = None
    for f, name, size, (y, mo, d, h, mi, _) in entries:
        if f != folder:
            folder = f
            out.write(f"\n Directory of C:\\data\\d{f:05d}\n\n")
        hour = h % 12 or 12
        out.write(f"{mo:02d}/{d:02d}/{y}  {hour:02d}:{mi:02d} {'PM' if h >= 12 else 'AM'}"
                  f" {size:>17,} {name}\n")


def write_ls(out, entries):
    folder = None
    for f, name, size, (y, mo, d, h, mi, _) in entries:
        if f != folder:
            folder = f
            out.write(f"\n./d{f:05d}:\ntotal {FILES_PER_FOLDER * 8}\n")
        when = f"{h:02d}:{mi:02d}" if y == 2026 else f" {y}"
        out.write(f"-rw-r--r-- 1 kim staff {size:>10} {MONTHS[mo - 1]} {d:2d} {when} {name}\n")


def write_robocopy(out, entries):
    folder = None
    out.write("-" * 79 + "\n   ROBOCOPY     ::     bench\n" + "-" * 79 + "\n\n")
    out.write("  Options : *.* /S /E /L /BYTES\n\n" + "-" * 78 + "\n\n")
    for f, name, size, _ in entries:
        if f != folder:
            folder = f
            out.write(f"\t  New Dir         {FILES_PER_FOLDER}\tC:\\data\\d{f:05d}\\\n")
        out.write(f"\t    New File  \t\t{size:>14}\t{name}\n")


def write_csv(out, entries):
    out.write('"FullName","Length","LastWriteTime"\n')
    for f, name, size, (y, mo, d, h, mi, s) in entries:
        hour = h % 12 or 12
        out.write(f'"C:\\data\\d{f:05d}\\{name}","{size}",'
                  f'"{mo}/{d}/{y} {hour}:{mi:02d}:{s:02d} {"PM" if h >= 12 else "AM"}"\n')


def write_rsync(out, entries):
    folder = None
    for f, name, size, (y, mo, d, h, mi, s) in entries:
        if f != folder:
            folder = f
            out.write(f"drwxr-xr-x          4,096 2026/12/01 17:45:10 d{f:05d}\n")
        out.write(f"-rw-r--r-- {size:>14,} {y}/{mo:02d}/{d:02d} {h:02d}:{mi:02d}:{s:02d}"
                  f" d{f:05d}/{name}\n")


# --- The exports of other tools: ncdu and gdu, rclone lsjson ----------------


def write_ncdu(out, entries):
    out.write('[1,2,{"progname":"ncdu","progver":"1.18","timestamp":1796812418},\n'
              '[{"name":"/data","asize":4096}')
    folder = None
    for f, name, size, stamp in entries:
        if f != folder:
            out.write("]" if folder is not None else "")
            folder = f
            out.write(f',\n[{{"name":"d{f:05d}","asize":4096}}')
        out.write(f',\n{{"name":"{name}","asize":{size},"dsize":{size + 4095 & ~4095},'
                  f'"mtime":{calendar.timegm(stamp + (0, 0, 0))}}}')
    out.write("]" if folder is not None else "")
    out.write("]]")


def write_lsjson(out, entries):
    out.write("[\n")
    folder = None
    for f, name, size, (y, mo, d, h, mi, s) in entries:
        if f != folder:
            if folder is not None:
                out.write(",\n")
            folder = f
            out.write(f'{{"Path":"d{f:05d}","Name":"d{f:05d}","Size":-1,'
                      '"MimeType":"inode/directory","ModTime":"2026-12-01T17:45:10.000000000Z",'
                      '"IsDir":true}')
        out.write(f',\n{{"Path":"d{f:05d}/{name}","Name":"{name}","Size":{size},'
                  f'"MimeType":"application/octet-stream",'
                  f'"ModTime":"{y}-{mo:02d}-{d:02d}T{h:02d}:{mi:02d}:{s:02d}.000000000Z",'
                  '"IsDir":false}')
    out.write("\n]\n")


WRITERS = {"dir": write_dir, "ls": write_ls, "robocopy": write_robocopy, "csv": write_csv,
           "rsync": write_rsync, "ncdu": write_ncdu, "lsjson": write_lsjson}


def generate(kind, count, path):
    if os.path.exists(path):
        return
    with open(path + ".part", "w", encoding="utf-8", newline="\n") as out:
        WRITERS[kind](out, files(count))
    os.replace(path + ".part", path)


def timed(argv):
    """Runs argv; returns (wall seconds, processor seconds: user and system)."""
    start = time.perf_counter()
    child = subprocess.Popen(argv, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    _, status, usage = os.wait4(child.pid, 0)
    elapsed = time.perf_counter() - start
    if status != 0:
        raise SystemExit(f"{argv[0]} failed")
    return elapsed, usage.ru_utime + usage.ru_stime


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--files", type=int, default=1_000_000)
    parser.add_argument("--rounds", type=int, default=5)
    parser.add_argument("--dir", default=os.path.join(ROOT, "build", "bench"))
    parser.add_argument("--plomet", default=os.path.join(ROOT, "build", "release", "estimator",
                                                         "plomet"))
    parser.add_argument("--baseline")
    parser.add_argument("--options", action="store_true")
    opts = parser.parse_args()
    os.makedirs(opts.dir, exist_ok=True)
    paths = {}
    for kind in WRITERS:
        paths[kind] = os.path.join(opts.dir, f"kind-{kind}-{opts.files}.txt")
        generate(kind, opts.files, paths[kind])
    # The dir listing compressed with gzip: what gzip costs, beside the kinds.
    paths["dir.gz"] = paths["dir"] + ".gz"
    if not os.path.exists(paths["dir.gz"]):
        with open(paths["dir"], "rb") as raw, gzip.open(paths["dir.gz"] + ".part", "wb", 6) as out:
            while True:
                block = raw.read(1 << 20)
                if not block:
                    break
                out.write(block)
        os.replace(paths["dir.gz"] + ".part", paths["dir.gz"])
    cmds = {}
    for kind, path in paths.items():
        cmds[kind] = [opts.plomet, "-d", path] + RATES
        if opts.options:
            cmds[kind + " --top --since"] = cmds[kind] + ["--top=10", "--since=2026-01-01"]
    if opts.baseline:
        cmds["dir (baseline)"] = [opts.baseline, "-d", paths["dir"]] + RATES
        if opts.options:
            cmds["dir --top --since (baseline)"] = cmds["dir (baseline)"] + ["--top=10",
                                                                            "--since=2026-01-01"]
    walls = {name: [] for name in cmds}
    cpus = {name: [] for name in cmds}
    for _ in range(opts.rounds):
        for name, argv in cmds.items():
            wall, cpu = timed(argv)
            walls[name].append(wall)
            cpus[name].append(cpu)
    wall = {name: statistics.median(t) for name, t in walls.items()}
    cpu = {name: statistics.median(t) for name, t in cpus.items()}
    print(f"{opts.files} files in each kind, medians of {opts.rounds} rounds; the processor "
          "time (user and system) is the steadier on a shared machine")
    print(f"{'command':38} {'MB':>6} {'wall s':>7} {'to dir':>7} {'cpu s':>7} {'to dir':>7}")
    for name in cmds:
        base = "dir --top --since" if "--top" in name else "dir"
        megabytes = os.path.getsize(paths[name.split()[0]]) / 1e6
        print(f"{'plomet -d ' + name:38} {megabytes:6.1f} {wall[name]:7.3f} "
              f"{wall[name] / wall[base]:7.2f} {cpu[name]:7.3f} {cpu[name] / cpu[base]:7.2f}")


if __name__ == "__main__":
    main()
