#!/usr/bin/env python3
"""Checks that -d of what other tools list gives what -s of the same tree gives.

    realtools_check.py PLOMET

Makes a tree here (files at the class bounds, an empty file, a hard link
pair, a symbolic link, a FIFO, names with blanks, UTF-8 and a line feed, a
sparse file past 4 GiB, nested and empty folders), scans it with -s, then
runs each tool found on it and reads its output with -d:

- ncdu -o and gdu -o (their JSON exports): every file, link and FIFO, with
  the same bytes;
- rclone lsjson -R: the same, less the symbolic link and the FIFO, which
  rclone skips (it says so on standard error); they count 0 bytes, so only
  the count of the first class differs;
- ls -lR, plain, then compressed with gzip and with zstd, read from a file
  and, twice over (two gzip members, two zstd frames), from a pipe.

The numbers are taken from --json. A tool that is missing is left out; with
none of them the check is skipped (status 77).
"""
import json
import os
import shutil
import subprocess
import sys
import tempfile

RATES = ["35", "233", "457", "449"]
SIZES = [0, 1, 5119, 5120, 51199, 51200, 511999, 512000]


def make_tree(root):
    os.makedirs(os.path.join(root, "sizes"))
    for size in SIZES:
        with open(os.path.join(root, "sizes", "s%d" % size), "wb") as f:
            f.write(b"x" * size)
    names = os.path.join(root, "names", "dir with blank")
    os.makedirs(names)
    for name in [" lead", "trail ", "naïve café", "日本語", "line\nfeed", "semi;colon"]:
        with open(os.path.join(names, name), "wb") as f:
            f.write(b"y" * 10)
    os.makedirs(os.path.join(root, "empty"))
    os.makedirs(os.path.join(root, "nest", "a", "b", "c"))
    with open(os.path.join(root, "nest", "a", "b", "c", "leaf"), "wb") as f:
        f.write(b"z" * 3000)
    os.makedirs(os.path.join(root, "links"))
    with open(os.path.join(root, "links", "hard_a"), "wb") as f:
        f.write(b"h" * 6000)
    os.link(os.path.join(root, "links", "hard_a"), os.path.join(root, "links", "hard_b"))
    os.symlink("../sizes/s5120", os.path.join(root, "links", "sym"))
    os.mkfifo(os.path.join(root, "links", "fifo"))
    with open(os.path.join(root, "sparse"), "wb") as f:
        f.truncate(5 * 2**30 + 1)


def classes(plomet, args, stdin=None):
    """Returns [(files, bytes)] per class from plomet ARGS --json."""
    result = subprocess.run([plomet] + args + RATES + ["--json"], input=stdin,
                            capture_output=True, timeout=120)
    if result.returncode != 0:
        raise SystemExit("plomet %s failed (%d): %s" % (" ".join(args), result.returncode,
                                                        result.stderr.decode(errors="replace")))
    report = json.loads(result.stdout)
    return [(c["files"], c["bytes"]) for c in report["classes"]], report["input"]["kind"]


def run_tool(argv, cwd):
    result = subprocess.run(argv, cwd=cwd, capture_output=True, timeout=300)
    if result.returncode != 0:
        raise SystemExit("%s failed (%d): %s" % (argv[0], result.returncode,
                                                 result.stderr.decode(errors="replace")))
    return result.stdout


def main():
    plomet = os.path.abspath(sys.argv[1])
    tools = [t for t in ("ncdu", "gdu", "rclone", "gzip", "zstd") if shutil.which(t)]
    if not tools:
        print("realtools: none of ncdu, gdu, rclone, gzip, zstd here; skipped")
        return 77
    failures = []

    def expect(what, got, want, kind=None, want_kind=None):
        if got != want:
            failures.append("%s: %s, not %s" % (what, got, want))
        if want_kind is not None and kind != want_kind:
            failures.append("%s: kind %r, not %r" % (what, kind, want_kind))
        print("realtools: %s %s" % (what, "ok" if got == want else "DIFFERS"))

    with tempfile.TemporaryDirectory() as work:
        tree = os.path.join(work, "tree")
        make_tree(tree)
        scan, _ = classes(plomet, ["-s", tree])
        # rclone skips the symbolic link and the FIFO: two 0-byte objects.
        skipped = [(scan[0][0] - 2, scan[0][1])] + scan[1:]
        if "ncdu" in tools:
            out = os.path.join(work, "ncdu.json")
            env_home = {"HOME": work}
            subprocess.run(["ncdu", "-0", "--ignore-config", "-o", out, tree], check=True,
                           capture_output=True, env=dict(os.environ, **env_home), timeout=300)
            got, kind = classes(plomet, ["-d", out])
            expect("ncdu -o", got, scan, kind, "ncdu export")
            subprocess.run(["ncdu", "-0", "--ignore-config", "-e", "-o", out, tree], check=True,
                           capture_output=True, env=dict(os.environ, **env_home), timeout=300)
            got, kind = classes(plomet, ["-d", out, "--threads=3"])
            expect("ncdu -e -o, 3 threads", got, scan, kind, "ncdu export")
        if "gdu" in tools:
            out = os.path.join(work, "gdu.json")
            run_tool(["gdu", "--no-progress", "--non-interactive", "-o", out, tree], work)
            got, kind = classes(plomet, ["-d", out])
            expect("gdu -o", got, scan, kind, "ncdu export")
        if "rclone" in tools:
            text = run_tool(["rclone", "--config", os.devnull, "lsjson", "-R", tree], work)
            out = os.path.join(work, "lsjson.json")
            with open(out, "wb") as f:
                f.write(text)
            got, kind = classes(plomet, ["-d", out])
            expect("rclone lsjson -R", got, skipped, kind, "rclone lsjson listing")
            got, kind = classes(plomet, ["-d", out, "--threads=4"])
            expect("rclone lsjson -R, 4 threads", got, skipped, kind, "rclone lsjson listing")
        listing = run_tool(["ls", "-lR", "--quoting-style=escape", tree], work)
        plain = os.path.join(work, "ls.txt")
        with open(plain, "wb") as f:
            f.write(listing)
        want, want_kind = classes(plomet, ["-d", plain])
        expect("ls -lR", want, scan)
        for tool in ("gzip", "zstd"):
            if tool not in tools:
                continue
            packed = run_tool([tool, "-c", plain], work)
            path = os.path.join(work, "ls.packed")
            with open(path, "wb") as f:
                f.write(packed)
            version = subprocess.run([plomet, "--version"], capture_output=True).stdout.decode()
            if tool not in version.splitlines()[1]:
                print("realtools: this plomet reads no %s listings; left out" % tool)
                continue
            got, kind = classes(plomet, ["-d", path])
            expect("ls -lR | %s" % tool, got, want, kind, want_kind)
            got, kind = classes(plomet, ["-d", "-", "--threads=2"], stdin=packed * 2)
            expect("ls -lR | %s, twice, on a pipe" % tool, got,
                   [(f * 2, b * 2) for f, b in want], kind, want_kind)
    for failure in failures:
        print("realtools: " + failure)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
