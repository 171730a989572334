#!/usr/bin/env python3
"""Checks that a listing read on several threads gives the report of one.

    threads_check.py PLOMET CASES-DIR [--quick | --light]

Every end-to-end case that reads a listing or a log (-d, -l, --calibrate;
not the echo, which reads on one thread, nor the scan) is run again with
--threads=1, and then on 2, 3 and 8 threads with the text cut into blocks
of many sizes (--read-block): a few bytes, so that every line end is a
block's end somewhere, and sizes near the listing's own length and near a
line's longest. Standard output, standard error, the exit status and any
page written must be the same, byte for byte. Then random listings and logs
made here are read with --top, --since, --json and --rates-from alike, and
listings of some megabytes, whose blocks the threads read themselves.
--light checks fewer block sizes and one random round: for a build under
ThreadSanitizer, where each run is many times slower and what is sought is
a race between the threads rather than a block size that reads wrongly.
Prints each difference; exits 1 if there was one.
"""
import argparse
import os
import random
import shlex
import shutil
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from run_case import parse_cmd  # noqa: E402


def reads_a_listing(args):
    option = next((a for a in args if not a.startswith("--")), "")
    if "--calibrate" in args and not any(a == "--" for a in args):
        return True
    return option.lower() in ("-d", "/d", "-l", "/l")


def run(binary, args, work, stdin_name):
    stdin = open(os.path.join(work, stdin_name), "rb") if stdin_name else subprocess.DEVNULL
    try:
        result = subprocess.run([binary] + args, cwd=work, stdin=stdin, capture_output=True,
                                timeout=120)
    finally:
        if stdin_name:
            stdin.close()
    pages = {}
    for name in sorted(os.listdir(work)):
        if name.endswith(".html"):
            with open(os.path.join(work, name), "rb") as f:
                pages[name] = strip_times(f.read())
            os.remove(os.path.join(work, name))
    return result.stdout, result.stderr, result.returncode, pages


def strip_times(page):
    # The page says when it was written: the one thing two runs differ in.
    out = []
    for line in page.split(b"\n"):
        out.append(b"" if b" UTC" in line else line)
    return b"\n".join(out)


def block_sizes(work, args, rng, quick):
    if quick == "light":
        total = max((os.path.getsize(os.path.join(work, a)) for a in args
                     if os.path.isfile(os.path.join(work, a))), default=0)
        return sorted({7, 4097} | ({max(1, total // 2)} if total else set()))
    total = 0
    for a in args:
        path = os.path.join(work, a)
        if os.path.isfile(path):
            total = max(total, os.path.getsize(path))
    sizes = {1, 2, 7, 4097} if quick else {1, 2, 3, 7, 64, 4095, 4097, 4099, 65536}
    if total:
        sizes |= {max(1, total // 2), total + 1}
        sizes |= {rng.randint(1, total) for _ in range(1 if quick else 4)}
    return sorted(min(size, 262144) for size in sizes)  # the most --read-block takes


def check_case(binary, case_dir, rng, quick):
    with open(os.path.join(case_dir, "cmd"), encoding="utf-8", errors="surrogateescape") as f:
        args, stdin_name, stdout_target = parse_cmd(f.read())
    if stdout_target or not reads_a_listing(args) or os.path.exists(
            os.path.join(case_dir, "setup.py")):
        return []
    if any(a.lower() in ("-dv", "/dv", "-lv", "/lv") for a in args):
        return []
    faults = []
    with tempfile.TemporaryDirectory() as tmp:
        work = os.path.join(tmp, "case")
        shutil.copytree(case_dir, work)
        # A lone "--" ends the long options: the new ones go before it.
        def with_options(extra):
            if "--" in args:
                i = args.index("--")
                return args[:i] + extra + args[i:]
            return args + extra
        one = run(binary, with_options(["--threads=1"]), work, stdin_name)
        # Each block size on one of the thread counts, in turn.
        for i, size in enumerate(block_sizes(work, args, rng, quick)):
            threads = (2, 3, 8)[i % 3]
            got = run(binary, with_options([f"--threads={threads}", f"--read-block={size}"]), work,
                      stdin_name)
            if got != one:
                faults.append(f"{os.path.basename(case_dir)}: --threads={threads} "
                              f"--read-block={size} differs from one thread")
                print("FAIL", faults[-1], flush=True)
                return faults
    return faults


def random_listing(rng, path):
    lines = [" Volume in drive C is DATA", "", " Directory of C:\\data", ""]
    folders = [f"C:\\data\\f{i}\\s{j}" for i in range(5) for j in range(3)]
    for folder in folders:
        lines += [f" Directory of {folder}", ""]
        for _ in range(rng.randint(0, 40)):
            month, day = rng.randint(1, 12), rng.randint(1, 28)
            size = rng.choice([0, 1, 5119, 5120, 51199, 51200, rng.randint(0, 10**10)])
            name = "x" * rng.choice([3, 10, 200, 5000])
            lines.append(f"{month:02d}/{day:02d}/2025  {rng.randint(1, 12):02d}:"
                         f"{rng.randint(0, 59):02d} {rng.choice(['AM', 'PM'])}"
                         f"{size:>18,} {name}")
        lines += ["               1 File(s)              5 bytes", ""]
    lines += ["     Total Files Listed:", "             99 File(s)      1,234 bytes",
              "              3 Dir(s)  9 bytes free"]
    end = rng.choice(["\n", "\r\n"])
    with open(path, "w", newline="") as f:
        f.write(end.join(lines) + rng.choice(["", end]))


def random_log(rng, path):
    lines = []
    second = 22 * 3600
    for i in range(rng.randint(50, 3000)):
        second += rng.choice([0, 0, 1, 1, 2, 90])
        day = 8 + second // 86400
        s = second % 86400
        stamp = f"12/{day:02d}/2026 {s // 3600:02d}:{s // 60 % 60:02d}:{s % 60:02d}"
        size = rng.choice([1, 500, 6000, 60000, 600000, 7000000])
        if rng.random() < 0.9:
            lines.append(f"{stamp} Normal File-->  {size:>12,} /srv/d{rng.randint(0, 9)}/f{i} [Sent]")
        else:
            lines.append(f"{stamp} Session note {i}")
    with open(path, "w") as f:
        f.write("\n".join(lines) + "\n")


def random_kind_listing(rng, kind):
    """A listing of another kind than dir, in lines that run across lines too:
    find -printf lines settled by the next, CSV rows with quoted line breaks,
    ls headers, a JSON list cut short, stated totals."""
    lines = []
    for f in range(rng.randint(3, 20)):
        folder = f"d{f}/s{rng.randint(0, 3)}"
        if kind == "find":
            lines.append(f"4096 /srv/{folder}")
        elif kind == "ls":
            lines += ["", f"./{folder}:", f"total {rng.randint(0, 99)}"]
        for i in range(rng.randint(0, 60)):
            size = rng.choice([0, 1, 1023, 1024, 10239, 10240, rng.randint(0, 10**10)])
            name = f"f{i}" + "x" * rng.choice([0, 3, 200, 5000])
            if kind == "find":
                lines.append(f"{size} /srv/{folder}/{name}")
            elif kind == "ls":
                lines.append(f"-rw-r--r-- 1 kim staff {size} Mar  3  2025 {name}")
            elif kind == "csv":
                quoted = f'"{name}\nsecond line"' if rng.random() < 0.2 else f'"{name}"'
                lines.append(f'{quoted},"{size}","3/3/2025 10:00:00 AM"')
            elif kind == "lsjson":
                lines.append(f'{{"Path":"{folder}/{name}","Name":"{name}","Size":{size},'
                             f'"ModTime":"2025-03-03T10:00:00Z","IsDir":false}},')
            elif kind == "s3":
                lines.append(f"2025-03-03 10:00:00 {size:>10} {folder}/{name}")
            if rng.random() < 0.05:
                lines.append("find: '/srv/x': Permission denied" if kind == "find" else "")
    if kind == "robocopy":
        lines = random_robocopy_log(rng)
    elif kind == "ncdu":
        lines = random_ncdu_export(rng)
    elif kind == "csv":
        lines.insert(0, '"Name","Length","LastWriteTime"')
    elif kind == "lsjson":
        lines.insert(0, "[")
        if rng.random() < 0.5:
            lines.append("]")
        else:
            lines.append('{"Path":"cut/off","Na')
    elif kind == "s3":
        lines += ["", "Total Objects: 7", "   Total Size: 1234"]
    end = rng.choice(["\n", "\r\n"]) if kind == "robocopy" else "\n"
    return end.join(lines) + rng.choice(["", end])


def random_robocopy_log(rng):
    """A robocopy log of one or two jobs: retries after error lines, files
    of classes left out, a summary or none."""
    lines = []
    for job in range(rng.randint(1, 2)):
        root = f"D:\\Share{job}\\"
        lines += ["-" * 79, "   ROBOCOPY     ::     test", "-" * 79, "",
                  "  Options : *.* /S /E /BYTES", "", f"\t                   0\t{root}"]
        copied = total = 0
        for f in range(rng.randint(2, 25)):
            lines.append(f"\t  New Dir         9\t{root}d{f}\\")
            for i in range(rng.randint(0, 40)):
                size = rng.choice([0, 1, 1023, 1024, 10239, 10240, rng.randint(0, 10**9)])
                name = f"f{i}.dat"
                cls = rng.choice(["New File  ", "Newer     ", "same      "])
                lines.append(f"\t    {cls}\t\t{size:>10}\t{name}")
                if cls != "same      ":
                    copied += 1
                    total += size
                if rng.random() < 0.1:
                    lines += [f"2026/12/08 22:00:05 ERROR 32 (0x00000020) Copying File "
                              f"{root}d{f}\\{name}", "The file is held open elsewhere.",
                              "Retry in 1 s"]
                    if rng.random() < 0.7:
                        lines.append(f"\t    {cls}\t\t{size:>10}\t{name}")
        if rng.random() < 0.6:
            lines += ["", "               Total    Copied   Skipped  Mismatch    FAILED    Extras",
                      "    Dirs :         1         1         0         0         0         0",
                      f"   Files :  {copied:8}  {copied:8}         0         0         0         0",
                      f"   Bytes :  {total:8}  {total:8}         0         0         0         0"]
    return lines


def random_ncdu_export(rng):
    """An export of ncdu or gdu, large enough to be read ahead in several
    blocks: nested folders, links and devices, excluded entries and read
    errors, hard links; on one line or many, and sometimes cut off."""
    def folder(depth, name):
        parts = [f'[{{"name":"{name}","asize":4096}}']
        for i in range(rng.randint(5, 60)):
            if depth < 3 and rng.random() < 0.05:
                parts.append(folder(depth + 1, f"d{depth}{i}"))
                continue
            size = rng.choice([0, 1, 1023, 1024, 10239, 10240, rng.randint(0, 10**9)])
            extra = rng.choice(["", "", "", ',"notreg":true', ',"excluded":"pattern"',
                                ',"read_error":true', ',"hlnkc":true,"ino":7,"nlink":2'])
            parts.append(f'{{"name":"f{i}.dat","asize":{size},"dsize":4096,'
                         f'"mtime":1778914230{extra}}}')
        return (",\n" if many else ",").join(parts) + "]"
    many = rng.random() < 0.5
    text = '[1,2,{"progname":"ncdu","progver":"1.18","timestamp":1796812418},\n'
    roots = [folder(0, "/data")]
    while sum(len(r) for r in roots) < 200000:
        roots.append(folder(1, f"r{len(roots)}"))
    text += '[{"name":"/data","asize":4096},' + ",".join(r for r in roots) + "]]\n"
    if rng.random() < 0.3:
        text = text[:rng.randint(len(text) // 2, len(text) - 1)]
    return text.split("\n")


def differences_from_one_thread(binary, args, work, rng, label):
    """Runs args on 1 thread, then on 2, 3 and 8 with a block size drawn for
    each; returns a fault for each run whose output differs."""
    one = run(binary, args + ["--threads=1"], work, None)
    faults = []
    for threads in (2, 3, 8):
        size = rng.choice([1, 17, 100, 4097, 5000, 70000])
        got = run(binary, args + [f"--threads={threads}", f"--read-block={size}"], work, None)
        if got != one:
            faults.append(f"{label}: --threads={threads} --read-block={size} "
                          "differs from one thread")
    return faults


def check_random_kinds(binary, rng, rounds):
    faults = []
    with tempfile.TemporaryDirectory() as work:
        for r in range(rounds):
            for kind in ("find", "ls", "csv", "lsjson", "s3", "robocopy", "ncdu"):
                with open(os.path.join(work, "listing.txt"), "w", newline="") as f:
                    f.write(random_kind_listing(rng, kind))
                args = ["-d", "listing.txt", "35", "233", "457", "449", f"--kind={kind}"]
                faults += differences_from_one_thread(binary, args, work, rng,
                                                      f"random {kind} round {r}")
    return faults


def large_listing(rng, ending):
    """A directory listing of some 3 MB, past what the reader reads ahead, so
    that the threads read its blocks themselves, by offset: lines of every
    length, some longer than the longest line read (4096 bytes) where blocks
    end, and an ending: none, no last line feed, or a byte 26 in the middle
    or at the end."""
    end = rng.choice(["\n", "\r\n"])
    lines = [" Volume in drive C is DATA", "", " Directory of C:\\data", ""]
    length = 0
    while length < 3_000_000:
        if rng.random() < 0.02:
            lines += ["", f" Directory of C:\\data\\d{len(lines)}", ""]
        size = rng.choice([0, 1, 5119, 5120, 51199, 51200, rng.randint(0, 10**10)])
        name = "n" * (rng.choice([4090, 4200, 9000]) if rng.random() < 0.003 else
                      rng.choice([1, 8, 30, 30, 30, 300]))
        lines.append(f"12/0{rng.randint(1, 9)}/2025  10:{rng.randint(10, 59)} AM"
                     f"{size:>18,} {name}")
        length += len(lines[-1]) + len(end)
    text = end.join(lines) + end
    if ending == "no last line feed":
        text = text.rstrip("\r\n")
    elif ending == "26 inside":
        at = text.index(end, rng.randint(2_000_000, 2_500_000)) + len(end)
        text = text[:at] + "\x1a" + text[at:]
    elif ending == "26 at the end":
        text += "\x1a"
    return text


def check_large(binary, rng):
    """Large listings on 2 and 3 threads, read by offset, against one thread;
    and the first compressed with zstd, where the tool is installed, whose
    text the main thread reads blocks of too."""
    faults = []
    with tempfile.TemporaryDirectory() as work:
        for ending in ("", "zstd", "no last line feed", "26 inside", "26 at the end"):
            name = "listing.txt"
            if ending == "zstd":  # the plain listing written just before
                if not shutil.which("zstd"):
                    continue
                name = "listing.zst"
                subprocess.run(["zstd", "-q", "-f", os.path.join(work, "listing.txt"), "-o",
                                os.path.join(work, name)], check=True)
            else:
                with open(os.path.join(work, name), "w", newline="") as f:
                    f.write(large_listing(rng, ending))
            for extra in ([], ["--top=3", "--since=2025-12-05", "--json"]):
                args = ["-d", name, "35", "233", "457", "449"] + extra
                one = run(binary, args + ["--threads=1"], work, None)
                for threads, size in ((2, 4097), (2, 5000), (3, 70000), (2, 262144), (3, 100000)):
                    got = run(binary, args + [f"--threads={threads}", f"--read-block={size}"],
                              work, None)
                    if got != one:
                        faults.append(f"large listing ({ending or 'plain'}) {' '.join(extra)}: "
                                      f"--threads={threads} --read-block={size} differs from one "
                                      "thread")
    return faults


def check_random(binary, rng, rounds):
    faults = []
    with tempfile.TemporaryDirectory() as work:
        for r in range(rounds):
            random_listing(rng, os.path.join(work, "listing.txt"))
            random_log(rng, os.path.join(work, "sched.log"))
            for args in (["-d", "listing.txt", "35", "233", "457", "449", "--top=3", "--depth=2"],
                         ["-d", "listing.txt", "35", "233", "457", "449", "--since=2025-06-01",
                          "--json"],
                         ["-d", "listing.txt", "--rates-from=sched.log", "--top=2",
                          "--html=page.html"],
                         ["-l", "sched.log", "35", "233", "457", "449", "--top=4", "--since=2026-12-09"],
                         ["--calibrate", "sched.log", "--json"]):
                faults += differences_from_one_thread(binary, args, work, rng,
                                                      f"random round {r}: {' '.join(args)}")
    return faults


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("plomet")
    parser.add_argument("cases")
    parser.add_argument("--quick", action="store_true")
    parser.add_argument("--light", action="store_true")
    opts = parser.parse_args()
    quick = "light" if opts.light else opts.quick
    binary = os.path.abspath(opts.plomet)
    rng = random.Random(29)
    faults = []
    for name in sorted(os.listdir(opts.cases)):
        case_dir = os.path.join(opts.cases, name)
        if os.path.isdir(case_dir):
            faults += check_case(binary, case_dir, rng, quick)
    faults += check_random(binary, rng, 1 if opts.light else 3 if opts.quick else 8)
    faults += check_random_kinds(binary, rng, 1 if opts.light else 3 if opts.quick else 8)
    faults += check_large(binary, rng)
    for fault in faults:
        print("FAIL", fault)
    print(f"{len(faults)} differences")
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main())
