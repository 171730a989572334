#!/usr/bin/env python3
"""Checks the scan (-s) on a tree made here against find, and its listing
(--list) against what -d reads back from it.

    scan_check.py PLOMET

The tree holds sparse files of every size class (they cost no disk), hard
and symbolic links, a FIFO, names with blanks, control bytes, high bytes and
the words the listing reader acts on, files of known modification times, and
a path deeper than PATH_MAX. --exclude must leave out what find -prune does,
several paths must count what each counts, and the listing of --list must be
the same file from run to run on 8 threads, its folders in byte order. Run as
root, it also makes folders that an unprivileged user cannot read and runs the
scan as that user.
"""
import json
import os
import shutil
import subprocess
import sys
import tempfile
import time

RATES = ["35", "233", "457", "449"]
OLD = time.mktime((2020, 5, 1, 8, 0, 0, 0, 0, -1))
CUT = time.mktime((2026, 6, 1, 12, 0, 30, 0, 0, -1))  # --since, to the second
SINCE = "--since=2026-06-01T12:00:30"


def make_tree(root):
    sizes = [0, 1, 5119, 5120, 51200, 511999, 512000, 3_000_000_000]
    for i, size in enumerate(sizes):
        folder = os.path.join(root, f"f{i % 3}", "sub" if i % 2 else "")
        os.makedirs(folder, exist_ok=True)
        path = os.path.join(folder, f"file {i}.dat")
        with open(path, "wb") as out:
            out.truncate(size)
        # Half old; of the others, two at the moment --since names and two a second before.
        stamp = OLD if i % 2 else CUT - (i % 4) // 2
        os.utime(path, (stamp, stamp))
    odd = os.path.join(root, b"f1".decode(), "")
    for name in (b"tab\there", b"line\nfeed", b"high \xe9\xff", b"x <DIR> y", b"3 File(s) 9 bytes"):
        with open(os.path.join(os.fsencode(odd), name), "wb") as out:
            out.truncate(4097)
    os.link(os.path.join(root, "f0", "file 0.dat"), os.path.join(root, "f2", "hard"))
    os.symlink("f0", os.path.join(root, "link_to_folder"))
    os.mkfifo(os.path.join(root, "f2", "fifo"))
    os.makedirs(os.path.join(root, "empty"))
    # A path deeper than PATH_MAX: made relative to open folders.
    fd = os.open(root, os.O_RDONLY)
    for _ in range(25):
        os.mkdir("d" * 200, dir_fd=fd)
        fd, old = os.open("d" * 200, os.O_RDONLY, dir_fd=fd), fd
        os.close(old)
    leaf = os.open("deep", os.O_WRONLY | os.O_CREAT, dir_fd=fd)
    os.ftruncate(leaf, 70000)
    os.close(leaf)
    os.close(fd)


def run(plomet, *args, user=None, check_status=0):
    argv = [plomet] + list(args)
    if user:
        argv = ["setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"] + argv
    result = subprocess.run(argv, capture_output=True)
    if check_status is not None and result.returncode != check_status:
        raise SystemExit(f"{argv}: status {result.returncode}\n{result.stderr.decode(errors='replace')}")
    return result


def figures(plomet, *args):
    report = json.loads(run(plomet, *args, "--json").stdout)
    classes = [(c["files"], c["bytes"]) for c in report["classes"]]
    return classes, report.get("folders"), report["input"]["kind"]


def find_counts(root):
    out = subprocess.run(["find", root, "!", "-type", "d", "-printf", "%y %s\n"],
                         capture_output=True, check=True).stdout.split(b"\n")
    entries = [line.split() for line in out if line]
    return len(entries), sum(int(s) for kind, s in entries if kind == b"f")


def find_pruned(root, names, paths):
    """find's count of the objects left when the folders and objects whose name
    matches one of names, or whose path one of paths, are pruned."""
    tests = []
    for name in names:
        tests += ["-name", name, "-o"]
    for path in paths:
        tests += ["-path", path, "-o"]
    argv = ["find", root, "-mindepth", "1", "("] + tests[:-1] + [")", "-prune", "-o", "!",
                                                                 "-type", "d", "-printf", "%y %s\n"]
    out = subprocess.run(argv, capture_output=True, check=True).stdout.split(b"\n")
    entries = [line.split() for line in out if line]
    return len(entries), sum(int(s) for kind, s in entries if kind == b"f")


def wide_tree(root):
    """Many folders of a few files, named so that their byte order is not the
    order a walk meets them in ("b", "b-x", "b/c")."""
    for i in range(300):
        folder = os.path.join(root, f"w{i % 7}", f"b{i}", "b-x" if i % 2 else "b", "c")
        os.makedirs(folder, exist_ok=True)
        for j in range(3):
            with open(os.path.join(folder, f"n{(i * 31 + j) % 11}.{j}"), "wb") as out:
                out.truncate(i * 10 + j)


def folder_headers(listing):
    return [line[len(b" Directory of "):] for line in listing.split(b"\n")
            if line.startswith(b" Directory of ")]


def main():
    plomet = sys.argv[1]
    failures = []

    def expect(what, got, wanted):
        if got != wanted:
            failures.append(f"{what}: got {got!r}, wanted {wanted!r}")

    work = tempfile.mkdtemp(prefix="scan_check_")
    try:
        root = os.path.join(work, "tree")
        make_tree(root)
        listing = os.path.join(work, "listing.txt")
        n_find, bytes_find = find_counts(root)
        for threads in ("--threads=1", "--threads=3"):
            classes, _, kind = figures(plomet, "-s", root, *RATES, threads)
            expect(f"kind {threads}", kind, "scan")
            expect(f"files as find counts them {threads}", sum(c[0] for c in classes), n_find)
            expect(f"bytes as find counts them {threads}", sum(c[1] for c in classes), bytes_find)

        # The listing read back gives the same report, with every option
        # that looks at what it reads.
        for extra in ([], [SINCE], ["--top=4", "--depth=2"], [SINCE, "--top=3"]):
            scanned = figures(plomet, "-s", root, *RATES, "--list=" + listing, *extra)
            read_back = figures(plomet, "-d", listing, *RATES, *extra)
            expect(f"listing read back {extra}", read_back[:2], scanned[:2])
        changed = figures(plomet, "-s", root, *RATES, SINCE)[0]
        # Two dated files and the hard link to one, and the 8 objects made now.
        expect("files changed since", sum(c[0] for c in changed), 11)

        # -sv echoes the listing's lines before the report.
        echoed = run(plomet, "-sv", root, *RATES, "--list=" + listing).stdout
        with open(listing, "rb") as f:
            written = f.read()
        expect("the echo is the listing", echoed[:len(written)], written)
        expect("one line per object", written.count(b"\n20"), n_find)
        # Without --list too, the echo ends with the listing's own totals.
        totals = written[written.rindex(b"\n     Total Files Listed:"):]
        alone = run(plomet, "-sv", root, *RATES).stdout
        expect("the echo alone ends with the totals", totals in alone, True)

        # --exclude leaves out what find -prune leaves out: names, folders, and
        # paths (a pattern with a "/" matches the path's end after any "/").
        for names, paths in ((["*.dat"], []), (["f1"], []), (["sub", "file 0*"], []),
                             ([], ["sub"]), (["e*"], ["f0/sub", "d*/d*"])):
            args = [f"--exclude={n}" for n in names] + [f"--exclude={p}" for p in paths]
            classes, _, _ = figures(plomet, "-s", root, *RATES, "--threads=4", *args)
            n_find, bytes_find = find_pruned(root, names, ["*/" + p for p in paths])
            expect(f"--exclude {args}: files", sum(c[0] for c in classes), n_find)
            expect(f"--exclude {args}: bytes", sum(c[1] for c in classes), bytes_find)

        # Several paths count what each counts; one within another is refused.
        parts = [os.path.join(root, "f0"), os.path.join(root, "f2")]
        together = figures(plomet, "-s", *parts, *RATES)[0]
        apart = [figures(plomet, "-s", part, *RATES)[0] for part in parts]
        expect("several paths: files", sum(c[0] for c in together),
               sum(c[0] for one in apart for c in one))
        run(plomet, "-s", root, parts[0], *RATES, check_status=2)

        # --list is the same file from run to run on 8 threads, its folders in
        # byte order, and -d reads it back to the same report.
        wide = os.path.join(work, "wide")
        wide_tree(wide)
        captures = []
        for n in range(2):
            out = os.path.join(work, f"wide{n}.txt")
            run(plomet, "-s", wide, *RATES, "--threads=8", "--list=" + out)
            with open(out, "rb") as f:
                captures.append(f.read())
        expect("two --list runs on 8 threads are the same", captures[0] == captures[1], True)
        headers = folder_headers(captures[0])
        expect("--list's folders in byte order", headers, sorted(headers))
        expect("--list's folders once each", len(headers), len(set(headers)))
        expect("--list read back", figures(plomet, "-d", os.path.join(work, "wide0.txt"), *RATES)[0],
               figures(plomet, "-s", wide, *RATES)[0])

        missing = run(plomet, "-s", os.path.join(work, "missing"), *RATES, check_status=1)
        expect("missing path: stdout", missing.stdout, b"")
        expect("missing path: stderr", missing.stderr,
               f"error: cannot open '{work}/missing': No such file or directory\n".encode())

        if os.geteuid() == 0 and shutil.which("setpriv"):
            locked = os.path.join(work, "locked")
            for i in range(12):
                os.makedirs(os.path.join(locked, f"d{i:02d}", "closed"))
                with open(os.path.join(locked, f"d{i:02d}", "closed", "f"), "wb") as out:
                    out.write(b"x" * 100)
                with open(os.path.join(locked, f"d{i:02d}", "open"), "wb") as out:
                    out.write(b"x" * 10)
                os.chmod(os.path.join(locked, f"d{i:02d}", "closed"), 0o700)
            os.chmod(work, 0o755)
            result = run(plomet, "-s", locked, *RATES, "--strict", user=True, check_status=3)
            lines = result.stderr.decode().splitlines()
            expect("unreadable: named", lines[:10],
                   [f"warning: cannot read folder '{locked}/d{i:02d}/closed': Permission denied"
                    for i in range(10)])
            expect("unreadable: counted", lines[10:],
                   ["warning: 12 folders could not be read; the files in them were not counted"])
            expect("unreadable: the rest counted", b"all 12 files: 120." in result.stdout, True)
            # One folder alone is named, and summed up in the singular.
            one = os.path.join(work, "one")
            os.makedirs(os.path.join(one, "closed"))
            os.chmod(os.path.join(one, "closed"), 0o700)
            result = run(plomet, "-s", one, *RATES, "--strict", user=True, check_status=3)
            expect("one unreadable folder", result.stderr.decode().splitlines(),
                   [f"warning: cannot read folder '{one}/closed': Permission denied",
                    "warning: 1 folder could not be read; the files in it were not counted"])
    finally:
        subprocess.run(["find", work, "-depth", "-delete"], check=False)
        shutil.rmtree(work, ignore_errors=True)
    for failure in failures:
        print("FAIL", failure)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
