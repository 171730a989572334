#!/usr/bin/env python3
"""Benchmarks plomet against wc -l and awk on synthetic listings.

Builds the release preset, generates a listing of each kind (about 200 MB by
default), then times plomet in alternation with wc -l, linescan (which only
finds each line end: the floor for a line-by-line reader) and, for the
directory listing, sizefloor (the cheapest reader of its sizes, which checks
nothing), again with the awk tally (mawk, and gawk when installed), and again
with itself given each option that asks for more than the report (--top,
--json, --since, --calibrate, --html), several rounds each, and prints the median wall times, their ratios (to wc -l
for the line counters, to plomet for awk), and the peak resident memory of
each command. A run with --rates-from=LOG is timed against the plain run and
--calibrate LOG, which it replaces, on each listing (LOG: the schedule log).
Then it measures plomet's peak memory on a small and a large listing.

    bench/run.py [--mb 200] [--rounds 5] [--big-mb 2000] [--dir build/bench]
                 [--baseline OTHER-PLOMET] [--scan-only]

plomet is timed on every processor (the default) and on one (--threads=1).

The scan (-s) is timed on a tree of 150,000 files in 15,000 folders, made
once with sparse files, beside du -sb and find -printf (and gdu, where
installed), all on a warm cache.

With --baseline, another build of plomet (say, of the last release) is timed
in the same alternation, so that a change's cost shows as a ratio.

The machine is noisy: compare the ratios measured within one run.
"""
import argparse
import os
import shutil
import statistics
import subprocess
import sys
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
PLOMET = os.path.join(ROOT, "build", "release", "estimator", "plomet")
GENLISTING = os.path.join(ROOT, "build", "release", "bench", "genlisting")
LINESCAN = os.path.join(ROOT, "build", "release", "bench", "linescan")
SIZEFLOOR = os.path.join(ROOT, "build", "release", "bench", "sizefloor")
TALLY = os.path.join(ROOT, "bench", "tally.awk")
RATES = ["35", "233", "457", "449"]
BYTES_PER_LINE = {"dir": 64, "log": 114}  # what genlisting writes, on average


def timed(argv):
    """Runs argv with its output discarded; returns (seconds, peak KiB, processor seconds).

    GNU time reports the peak: a child forked from this interpreter would
    count the interpreter's own pages. The processor time (user and system)
    is the kernel's, to the microsecond, of GNU time and the command it waited
    for; GNU time's own report of it has but hundredths."""
    report = os.path.join(os.environ.get("TMPDIR", "/tmp"), f"plomet-bench-{os.getpid()}")
    start = time.perf_counter()
    child = subprocess.Popen(["/usr/bin/time", "-f", "%M", "-o", report] + argv,
                             stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    _, status, usage = os.wait4(child.pid, 0)
    elapsed = time.perf_counter() - start
    child.returncode = os.waitstatus_to_exitcode(status)
    if child.returncode != 0:
        raise subprocess.CalledProcessError(child.returncode, argv)
    with open(report) as f:
        peak = int(f.read().split()[-1])
    os.remove(report)
    return elapsed, peak, usage.ru_utime + usage.ru_stime


def generate(kind, megabytes, path):
    if os.path.exists(path) and os.path.getsize(path) > megabytes * 900_000:
        return
    lines = megabytes * 1_000_000 // BYTES_PER_LINE[kind]
    with open(path, "wb") as out:
        subprocess.run([GENLISTING, kind, str(lines)], stdout=out, check=True)


def command_sets(kind, path, baseline):
    """Two sets, each timed in alternation of its own: plomet beside the line
    counters, and plomet beside awk. A run of awk takes seconds and slows
    whatever follows it on this machine, so mixing the sets would blur the
    ratio to wc -l."""
    option = "-d" if kind == "dir" else "-l"
    plomet = [PLOMET, option, path] + RATES
    counters = {"plomet": plomet, "plomet --threads=1": plomet + ["--threads=1"],
                "wc -l": ["wc", "-l", path], "linescan": [LINESCAN, path]}
    if baseline:  # the last landing, read on one thread as the line above
        counters["baseline"] = [baseline, option, path] + RATES + ["--threads=1"]
    # The lower bound for a directory listing's sizes, where it is built and
    # the processor has AVX2 (it exits 77 otherwise).
    if kind == "dir" and os.path.exists(SIZEFLOOR) and subprocess.run(
            [SIZEFLOOR, path], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL).returncode == 0:
        counters["sizefloor"] = [SIZEFLOOR, path]
    awks = {"plomet": plomet}
    for awk in ("mawk", "gawk"):
        if shutil.which(awk):
            awks[awk] = [awk, "-v", "kind=" + option[1], "-f", TALLY, path]
    return counters, awks


# The options that ask for more than the report, each timed against the plain
# run in an alternation of its own; "{listing}" stands for the listing's name.
OPTION_RUNS = {
    "dir": [["--top=10"], ["--json"], ["--top=10", "--json", "--window=8h"],
            ["--since=2026-06-01"], ["--top=10", "--html={page}"]],
    "log": [["--calibrate", "{listing}"], ["--top=10"], ["--json"],
            ["--since=2026-12-07T12:00"], ["--top=10", "--html={page}"],
            ["--calibrate", "{listing}", "--html={page}"]],
}


def write_many_folders(path, nFolders, nFiles):
    """A directory listing of nFolders folders just below the root, each with
    nFiles files."""
    with open(path, "w") as out:
        for f in range(nFolders):
            out.write(f"\n Directory of D:\\share\\folder{f:05d}\\sub\n\n")
            sizes = [(i * 7919) % 900000 for i in range(nFiles)]
            out.writelines(f"03/14/2024  09:12 AM        {size:>9,} file{i}.dat\n"
                           for i, size in enumerate(sizes))
            out.write(f"             {nFiles} File(s)  {sum(sizes):,} bytes\n")


def option_sets(kind, path):
    """plomet beside itself with each option this build knows."""
    option = "-d" if kind == "dir" else "-l"
    plain = [PLOMET, option, path] + RATES
    cmds = {"plomet": plain}
    for words in OPTION_RUNS[kind]:
        words = [w.replace("{page}", path + ".html") for w in words]
        if "{listing}" in words:
            argv = [PLOMET] + [path if w == "{listing}" else w for w in words]
        else:
            argv = plain + words
        probe = subprocess.run(argv[:1] + words[:1] + ["--version"], stdout=subprocess.DEVNULL,
                               stderr=subprocess.DEVNULL)
        if probe.returncode == 0:
            cmds[" ".join(w if not w.startswith("--html=") else "--html" for w in words
                          if w != "{listing}")] = argv
    return cmds


def rates_from_set(kind, path, log_path):
    """The plain run, --calibrate of a log, and the one run with --rates-from
    that replaces the two."""
    option = "-d" if kind == "dir" else "-l"
    return {"plomet": [PLOMET, option, path] + RATES,
            "--calibrate LOG": [PLOMET, "--calibrate", log_path],
            "--rates-from=LOG": [PLOMET, option, path, "--rates-from=" + log_path]}


def alternate(cmds, rounds):
    """Runs the commands in turn, rounds times; returns median seconds, peak KiB and
    median processor seconds (user and system), which the machine's other load
    disturbs less than the wall time."""
    for argv in cmds.values():  # warm the page cache
        timed(argv)
    times = {name: [] for name in cmds}
    cpus = {name: [] for name in cmds}
    peaks = {name: 0 for name in cmds}
    names = list(cmds)
    for r in range(rounds):
        # Each round starts with the next command, so that whatever one run
        # leaves behind falls on all alike.
        for name in names[r % len(names):] + names[:r % len(names)]:
            seconds, peak, cpu = timed(cmds[name])
            times[name].append(seconds)
            cpus[name].append(cpu)
            peaks[name] = max(peaks[name], peak)
    return ({name: statistics.median(times[name]) for name in cmds}, peaks,
            {name: statistics.median(cpus[name]) for name in cmds})


def make_scan_tree(root, nTop=150, nSub=99, nFiles=10):
    """nTop folders of nSub folders each (15,000 folders with the top ones),
    nFiles sparse files in each: no disk is spent on their bytes."""
    done = os.path.join(root, ".complete")
    if os.path.exists(done):
        return
    shutil.rmtree(root, ignore_errors=True)
    for t in range(nTop):
        top = os.path.join(root, f"top{t:03d}")
        for d in [top] + [os.path.join(top, f"sub{s:02d}") for s in range(nSub)]:
            os.makedirs(d, exist_ok=True)
            for f in range(nFiles):
                with open(os.path.join(d, f"file{f}.dat"), "wb") as out:
                    out.truncate((t * 7919 + f * 104729 + len(d) * 31) % 3_000_000)
    open(done, "w").close()


def scan_bench(opts):
    """The scan beside the walkers a user would otherwise run."""
    root = os.path.join(opts.dir, "scan-tree")
    make_scan_tree(root)
    cmds = {"plomet -s": [PLOMET, "-s", root] + RATES,
            "plomet -s --threads=1": [PLOMET, "-s", root] + RATES + ["--threads=1"],
            "du -sb": ["du", "-sb", root],
            "find -printf %s": ["find", root, "!", "-type", "d", "-printf", "%s\n"]}
    for gdu in ("gdu", "gdu-go"):
        if shutil.which(gdu):
            cmds[gdu + " -n -p -s"] = [gdu, "-n", "-p", "-s", root]
    medians, peaks, cpus = alternate(cmds, opts.rounds)
    print("scan of 150,000 files in 15,000 folders (warm)")
    for name in cmds:
        ratios = "  ".join(f"{medians[name] / medians[base]:5.2f} x {base}"
                           for base in ("du -sb", "find -printf %s"))
        print(f"  {name:24} {medians[name]:7.3f} s {cpus[name]:7.3f} s cpu {peaks[name]:7d} KiB"
              f"   {ratios}")
    # The listing in path order: sorted runs spilled beside it and merged.
    listing = os.path.join(opts.dir, "scan-list.txt")
    for extra in (["--top=10"], ["--since=2026-01-01"], ["--list=" + os.devnull],
                  ["--list=" + listing, "--threads=8"]):
        seconds, peak, _ = timed(cmds["plomet -s"] + extra)
        print(f"  plomet -s {' '.join(extra):24} {seconds:7.3f} s {peak:7d} KiB")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--mb", type=int, default=200)
    parser.add_argument("--rounds", type=int, default=5)
    parser.add_argument("--big-mb", type=int, default=2000)
    parser.add_argument("--dir", default=os.path.join(ROOT, "build", "bench"))
    parser.add_argument("--baseline", help="another plomet binary to time beside this one")
    parser.add_argument("--scan-only", action="store_true", help="time the scan alone")
    opts = parser.parse_args()

    subprocess.run(["cmake", "--workflow", "--preset", "release"], cwd=ROOT, check=True,
                   stdout=subprocess.DEVNULL)
    subprocess.run(["cmake", "--build", os.path.join(ROOT, "build", "release"), "--target",
                    "bench_tools"], cwd=ROOT, check=True, stdout=subprocess.DEVNULL)
    os.makedirs(opts.dir, exist_ok=True)
    scan_bench(opts)
    if opts.scan_only:
        return
    print()

    print(f"{'kind':5} {'command':34} {'median s':>9} {'ratio':>7} {'peak KiB':>9} {'cpu s':>7} "
          f"{'ratio':>6}")
    for kind in ("dir", "log"):
        path = os.path.join(opts.dir, f"{kind}-{opts.mb}mb.txt")
        generate(kind, opts.mb, path)
        size_mb = os.path.getsize(path) / 1e6
        counters, awks = command_sets(kind, path, opts.baseline)
        options = option_sets(kind, path)
        for cmds, base in ((counters, "wc -l"), (awks, "plomet"), (options, "plomet")):
            medians, peaks, cpus = alternate(cmds, opts.rounds)
            for name in cmds:
                ratio = medians[name] / medians[base]
                cpu_ratio = cpus[name] / cpus[base] if cpus[base] > 0 else 0
                note = f"   x {base}" if name != base else f"   ({size_mb:.0f} MB)"
                print(f"{kind:5} {name:34} {medians[name]:9.3f} {ratio:7.2f} {peaks[name]:9d} "
                      f"{cpus[name]:7.3f} {cpu_ratio:6.2f}{note}")
            if "baseline" in cmds:
                one = "plomet --threads=1"
                print(f"{kind:5} {one} x baseline: {medians[one] / medians['baseline']:.3f} wall, "
                      f"{cpus[one] / cpus['baseline']:.3f} cpu")
            print()
    # One run that learns the rates and estimates, against the two it replaces.
    log_path = os.path.join(opts.dir, f"log-{opts.mb}mb.txt")
    for kind in ("dir", "log"):
        path = os.path.join(opts.dir, f"{kind}-{opts.mb}mb.txt")
        cmds = rates_from_set(kind, path, log_path)
        medians, peaks, _ = alternate(cmds, opts.rounds)
        both = medians["plomet"] + medians["--calibrate LOG"]
        for name in cmds:
            print(f"{kind:5} {name:34} {medians[name]:9.3f} {medians[name] / both:7.2f} "
                  f"{peaks[name]:9d}   x (plomet + --calibrate LOG)")
        print()
    print()
    print("plomet peak memory")
    for megabytes in (20, opts.big_mb):
        path = os.path.join(opts.dir, f"dir-{megabytes}mb.txt")
        generate("dir", megabytes, path)
        seconds, peak, _ = timed([PLOMET, "-d", path] + RATES)
        print(f"  {os.path.getsize(path) / 1e6:7.0f} MB listing: {peak / 1024:5.1f} MiB, {seconds:.2f} s")
    # --top keeps a tally per folder, never per file: 3 million files in
    # 20,000 folders at depth 1.
    path = os.path.join(opts.dir, "dir-20000-folders.txt")
    if not os.path.exists(path):
        write_many_folders(path, 20_000, 150)
    seconds, peak, _ = timed([PLOMET, "-d", path] + RATES + ["--top=10"])
    print(f"  {os.path.getsize(path) / 1e6:7.0f} MB, 3 M files in 20,000 folders, --top=10: "
          f"{peak / 1024:5.1f} MiB, {seconds:.2f} s")
    # A line is kept only up to its first 4096 characters, however long it is.
    path = os.path.join(opts.dir, "one-line-100mb.txt")
    if not os.path.exists(path):
        with open(path, "wb") as out:
            out.write(b"12/07/2026 22:01:07 Sending file-->  4,096 " + b"x" * 100_000_000 + b"\n")
    seconds, peak, _ = timed([PLOMET, "-l", path] + RATES)
    print(f"  {os.path.getsize(path) / 1e6:7.0f} MB in one line: {peak / 1024:5.1f} MiB, {seconds:.2f} s")


if __name__ == "__main__":
    main()
