#!/usr/bin/env python3
"""Times plomet -d on the same files listed in each listing kind it reads.

Writes one listing of the same files (the same folders, sizes and dates) as
the command shell's dir, ls -lR, a robocopy log, a PowerShell CSV export, an
rsync listing, an ncdu export (one JSON stream), rclone lsjson, the line-shaped
lists of rclone, the object stores' clients, find, tar and dwalk, and the dir
listing compressed with gzip and with zstd (their lines are the decompression's
cost, not a kind's), then runs plomet -d on each in alternation, several rounds,
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
import shutil
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
    # The source's own folder first, as robocopy lists it: the job's root.
    out.write("\t  New Dir          0\tC:\\data\\\n")
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


# --- The line-shaped lists of other tools (rclone, object stores, find, tar, dwalk) ---
def human(size, units=("B", "KiB", "MiB", "GiB", "TiB"), sep=" "):
    value, unit = float(size), 0
    while value >= 1024 and unit < len(units) - 1:
        value, unit = value / 1024, unit + 1
    return f"{value:.1f}{sep}{units[unit]}" if unit else f"{size}{sep}{units[0]}"


def epoch(stamp):
    return int(time.mktime(stamp + (0, 0, -1)))


def with_folders(entries, line_of_folder):
    folder = None
    for entry in entries:
        if entry[0] != folder:
            folder = entry[0]
            yield line_of_folder(folder, entry), None
        yield None, entry


def write_rclone_lsl(out, entries):
    for f, name, size, (y, mo, d, h, mi, s) in entries:
        out.write(f"{size:>9} {y}-{mo:02d}-{d:02d} {h:02d}:{mi:02d}:{s:02d}.000000000 "
                  f"d{f:05d}/{name}\n")


def write_rclone_lsf(out, entries):
    for line, entry in with_folders(entries, lambda f, e: f"2026-12-01 17:45:10;-1;d{f:05d}/\n"):
        if line:
            out.write(line)
            continue
        f, name, size, (y, mo, d, h, mi, s) = entry
        out.write(f"{y}-{mo:02d}-{d:02d} {h:02d}:{mi:02d}:{s:02d};{size};d{f:05d}/{name}\n")


def write_s3(out, entries):
    for f, name, size, (y, mo, d, h, mi, s) in entries:
        out.write(f"{y}-{mo:02d}-{d:02d} {h:02d}:{mi:02d}:{s:02d} {size:>10} d{f:05d}/{name}\n")


def write_mc(out, entries):
    for f, name, size, (y, mo, d, h, mi, s) in entries:
        out.write(f"[{y}-{mo:02d}-{d:02d} {h:02d}:{mi:02d}:{s:02d} UTC] "
                  f"{human(size, sep=''):>7} STANDARD d{f:05d}/{name}\n")


def write_gsutil(out, entries):
    for f, name, size, (y, mo, d, h, mi, s) in entries:
        out.write(f"{size:>10}  {y}-{mo:02d}-{d:02d}T{h:02d}:{mi:02d}:{s:02d}Z  "
                  f"gs://bench/d{f:05d}/{name}\n")


def write_azcopy(out, entries):
    for f, name, size, _ in entries:
        out.write(f"INFO: d{f:05d}/{name};  Content Length: {human(size)}\n")


def write_find_ls(out, entries):
    for i, (f, name, size, (y, mo, d, _, _, _)) in enumerate(entries):
        out.write(f"{5000000 + i:>9} {(size + 4095) // 4096 * 4:>6} -rw-r--r--   1 kim      staff"
                  f"    {size:>10} {MONTHS[mo - 1]} {d:2d}  {y} /srv/d{f:05d}/{name}\n")


def write_find_printf(out, entries):
    folder_line = lambda f, e: f"4096 {epoch(e[3])}.0000000000 /srv/d{f:05d}\n"
    for line, entry in with_folders(entries, folder_line):
        if line:
            out.write(line)
            continue
        f, name, size, stamp = entry
        out.write(f"{size} {epoch(stamp)}.0000000000 /srv/d{f:05d}/{name}\n")


def write_tar(out, entries):
    folder_line = lambda f, e: f"drwxr-xr-x kim/staff         0 2026-12-01 17:45 srv/d{f:05d}/\n"
    for line, entry in with_folders(entries, folder_line):
        if line:
            out.write(line)
            continue
        f, name, size, (y, mo, d, h, mi, _) = entry
        out.write(f"-rw-r--r-- kim/staff {size:>9} {y}-{mo:02d}-{d:02d} {h:02d}:{mi:02d} "
                  f"srv/d{f:05d}/{name}\n")


def write_dwalk(out, entries):
    for f, name, size, (y, mo, d, h, mi, _) in entries:
        units = ("B", "KB", "MB", "GB", "TB")
        value, unit = float(size), 0
        while value >= 1024 and unit < len(units) - 1:
            value, unit = value / 1024, unit + 1
        out.write(f"-rw-r--r-- kim staff {value:8.3f} {units[unit]:<2} {MONTHS[mo - 1]} {d:02d} {y} "
                  f"{h:02d}:{mi:02d} /srv/d{f:05d}/{name}\n")


WRITERS.update({"rclone-lsl": write_rclone_lsl, "rclone-lsf": write_rclone_lsf, "s3": write_s3,
                "mc": write_mc, "gsutil": write_gsutil, "azcopy": write_azcopy,
                "find-ls": write_find_ls, "find-printf": write_find_printf, "tar": write_tar,
                "dwalk": write_dwalk})


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
    # And with zstd, where its tool is installed: a faster decompression.
    if shutil.which("zstd"):
        paths["dir.zst"] = paths["dir"] + ".zst"
        if not os.path.exists(paths["dir.zst"]):
            subprocess.run(["zstd", "-q", "-3", "-f", paths["dir"], "-o", paths["dir.zst"] + ".part"],
                           check=True)
            os.replace(paths["dir.zst"] + ".part", paths["dir.zst"])
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
    fastest = {name: min(t) for name, t in walls.items()}
    cpu = {name: statistics.median(t) for name, t in cpus.items()}
    print(f"{opts.files} files in each kind, medians of {opts.rounds} rounds; the processor "
          "time (user and system) is the steadier on a shared machine")
    print(f"{'command':38} {'MB':>6} {'wall s':>7} {'to dir':>7} {'cpu s':>7} {'to dir':>7} "
          f"{'min s':>7} {'to dir':>7}")
    for name in cmds:
        base = "dir --top --since" if "--top" in name else "dir"
        megabytes = os.path.getsize(paths[name.split()[0]]) / 1e6
        print(f"{'plomet -d ' + name:38} {megabytes:6.1f} {wall[name]:7.3f} "
              f"{wall[name] / wall[base]:7.2f} {cpu[name]:7.3f} {cpu[name] / cpu[base]:7.2f} "
              f"{fastest[name]:7.3f} {fastest[name] / fastest[base]:7.2f}")


if __name__ == "__main__":
    main()
