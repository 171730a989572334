#!/usr/bin/env python3
"""Checks that -d of the line-shaped lists real tools write of a tree counts
what -s counts of that tree.

    realtools_lines_check.py PLOMET

Makes a tree (sizes at the class bounds, an empty file, hard links, a
symbolic link, a FIFO, names with blanks, ';', UTF-8 and a leading dash,
nested and empty folders), then lists it with every tool installed here:
rclone ls, lsl and lsf (several formats, --csv, --separator, -h), GNU find
-ls and -printf '%s %T@ %p\\n', GNU tar -tvf, bsdtar -tvf, and aws s3 ls
against tests/fake_object_store.py on 127.0.0.1 (no network). Each listing's
classes (objects and bytes, from --json) must equal the scan's less what the
tool leaves out:
  rclone, aws s3   regular files only (links and FIFOs are not listed)
  find -ls         everything (links and the FIFO as 0 bytes)
  find -printf     everything; without a type an empty folder is an object
                   of its own size, and a link counts its target's length
  tar              everything; a hard link's second name counts 0 bytes
Sizes written with a unit (-h) must give the same count, and bytes within
the rounding. Exits 77 (skipped) when no tool is installed.
"""
import json
import os
import shutil
import socket
import stat
import subprocess
import sys
import tempfile
import time

RATES = ["35", "233", "457", "449"]
BOUNDS = [5120, 51200, 512000]
SIZES = [0, 1, 5119, 5120, 51199, 51200, 511999, 512000, 4294967295, 4294967296]
HERE = os.path.dirname(os.path.abspath(__file__))


def size_class(size):
    return sum(1 for bound in BOUNDS if size >= bound)


def make_tree(root):
    for i, size in enumerate(SIZES):
        folder = os.path.join(root, "sizes", "deep" if i % 2 else "")
        os.makedirs(folder, exist_ok=True)
        with open(os.path.join(folder, f"s{size}"), "wb") as out:
            out.truncate(size)
    names = os.path.join(root, "names with blanks")
    os.makedirs(names)
    for name in ("a b.txt", "semi;colon.txt", "naïve café.txt", "-dash.txt", "  two leading"):
        with open(os.path.join(names, name), "wb") as out:
            out.write(b"x" * 77)
    with open(os.path.join(root, "hard1"), "wb") as out:
        out.write(b"h" * 3000)
    os.link(os.path.join(root, "hard1"), os.path.join(root, "sizes", "hard2"))
    os.link(os.path.join(root, "hard1"), os.path.join(names, "hard3"))
    os.symlink("sizes/s5120", os.path.join(root, "link"))
    os.mkfifo(os.path.join(root, "fifo"))
    os.makedirs(os.path.join(root, "empty"))
    os.makedirs(os.path.join(root, "nest", "a", "b", "c"))
    stamp = time.mktime((2025, 11, 30, 8, 9, 10, 0, 0, -1))
    for folder, _, files in os.walk(root):
        for name in files:
            os.utime(os.path.join(folder, name), (stamp, stamp), follow_symlinks=False)


def objects(root):
    """Returns (type, size, path) of every object below root, folders too."""
    found = []
    for folder, dirs, files in os.walk(root):
        for name in dirs + files:
            path = os.path.join(folder, name)
            info = os.lstat(path)
            kind = "d" if stat.S_ISDIR(info.st_mode) else "f" if stat.S_ISREG(info.st_mode) else "o"
            found.append((kind, info.st_size, path, info.st_ino))
    return found


def classes_of(sizes):
    result = [[0, 0] for _ in range(4)]
    for size in sizes:
        result[size_class(size)][0] += 1
        result[size_class(size)][1] += size
    return [tuple(c) for c in result]


def report(plomet, *args):
    result = subprocess.run([plomet] + list(args) + RATES + ["--json"], capture_output=True)
    if result.returncode != 0:
        raise SystemExit(f"{args}: status {result.returncode}\n{result.stderr.decode(errors='replace')}")
    data = json.loads(result.stdout)
    return [(c["files"], c["bytes"]) for c in data["classes"]], data["input"]["kind"], result.stderr


def expected(found, tool):
    sizes = []
    seen = set()
    has_child = {os.path.dirname(path) for _, _, path, _ in found}
    for kind, size, path, inode in found:
        if tool == "regular":
            if kind == "f":
                sizes.append(size)
        elif tool == "printf":
            if kind != "d" or path not in has_child:
                sizes.append(size)
        elif kind == "f" and tool == "tar" and inode in seen:
            sizes.append(0)
        elif kind != "d":
            sizes.append(size if kind == "f" else 0)
        seen.add(inode)
    return classes_of(sizes)


class Checker:
    def __init__(self, plomet, work):
        self.plomet = plomet
        self.work = work
        self.failures = []
        self.checked = []

    def check(self, name, text, want, kind, rounded=False):
        path = os.path.join(self.work, name + ".txt")
        with open(path, "wb") as out:
            out.write(text)
        got, got_kind, stderr = report(self.plomet, "-d", path)
        self.checked.append(name)
        if got_kind != kind:
            self.failures.append(f"{name}: read as {got_kind}, not {kind}")
        if rounded:
            # A rounded size may cross a class bound (51199 written 50Ki):
            # the number of objects holds, the bytes within the rounding.
            counts_differ = sum(g[0] for g in got) != sum(w[0] for w in want)
            total_got = sum(g[1] for g in got)
            total_want = sum(w[1] for w in want)
            if counts_differ or abs(total_got - total_want) > total_want * 0.01 + 1024:
                self.failures.append(f"{name}: {got}, want about {want}")
            elif b"approximate" not in stderr and got != want:
                self.failures.append(f"{name}: no warning that the bytes are approximate")
        elif got != want:
            self.failures.append(f"{name}: {got}, want {want}")


def run_tool(argv, cwd=None):
    result = subprocess.run(argv, capture_output=True, cwd=cwd)
    if result.returncode != 0:
        raise SystemExit(f"{argv}: status {result.returncode}\n{result.stderr.decode(errors='replace')}")
    return result.stdout


def check_rclone(checker, tree, found):
    base = ["rclone", "--config", "/dev/null"]
    want = expected(found, "regular")
    # The hashes (h) read every byte: only the folder of small files.
    names = os.path.join(tree, "names with blanks")
    checker.check("rclone_lsf_tshp", run_tool(base + ["lsf", "-R", "--format", "tshp", names]),
                  expected([o for o in found if o[2].startswith(names + "/")], "regular"),
                  "rclone listing")
    for name, args in (("rclone_ls", ["ls"]), ("rclone_lsl", ["lsl"]),
                       ("rclone_lsf_sp", ["lsf", "-R", "--format", "sp"]),
                       ("rclone_lsf_tsp", ["lsf", "-R", "--format", "tsp"]),
                       ("rclone_lsf_pst", ["lsf", "-R", "--format", "pst"]),
                       ("rclone_lsf_tsp_files", ["lsf", "-R", "--files-only", "--format", "tsp"]),
                       ("rclone_lsf_csv", ["lsf", "-R", "--format", "pst", "--csv"]),
                       ("rclone_lsf_tab", ["lsf", "-R", "--format", "tsp", "--separator", "\t"]),
                       ("rclone_lsf_pipe", ["lsf", "-R", "--format", "spt", "--separator", " | "])):
        checker.check(name, run_tool(base + args + [tree]), want, "rclone listing")
    for name, args in (("rclone_ls_h", ["ls", "--human-readable"]),
                       ("rclone_lsl_h", ["lsl", "--human-readable"]),
                       ("rclone_lsf_sp_h", ["lsf", "-R", "--format", "sp", "--human-readable"])):
        checker.check(name, run_tool(base + args + [tree]), want, "rclone listing", rounded=True)


def check_find(checker, tree, found):
    checker.check("find_ls", run_tool(["find", tree, "-ls"]), expected(found, "all"), "find listing")
    checker.check("find_printf_epoch", run_tool(["find", tree, "-printf", "%s %T@ %p\n"]),
                  expected(found, "printf"), "find listing")


def check_tar(checker, tree, found):
    archive = os.path.join(checker.work, "tree.tar")
    parent, name = os.path.split(tree)
    run_tool(["tar", "-cSf", archive, name], cwd=parent)  # -S: the sparse files stay small
    want = expected(found, "tar")
    checker.check("tar_gnu", run_tool(["tar", "-tvf", archive]), want, "tar listing")
    if shutil.which("bsdtar"):
        checker.check("tar_bsd", run_tool(["bsdtar", "-tvf", archive]), want, "tar listing")


def free_port_file(work):
    return os.path.join(work, "port")


def check_s3(checker, tree, want):
    """Runs the S3 client against the stand-in on 127.0.0.1; returns False
    when it cannot be started."""
    port_file = free_port_file(checker.work)
    server = subprocess.Popen([sys.executable, os.path.join(HERE, "fake_object_store.py"), tree,
                               port_file], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    try:
        for _ in range(100):
            if os.path.exists(port_file) and os.path.getsize(port_file) > 0:
                break
            time.sleep(0.05)
        else:
            return False
        with open(port_file) as text:
            endpoint = "http://127.0.0.1:" + text.read().strip()
        env = dict(os.environ, AWS_ACCESS_KEY_ID="x", AWS_SECRET_ACCESS_KEY="x",
                   AWS_DEFAULT_REGION="us-east-1", AWS_CONFIG_FILE="/dev/null",
                   AWS_SHARED_CREDENTIALS_FILE="/dev/null", AWS_PAGER="")
        base = ["aws", "--endpoint-url", endpoint, "s3", "ls", "--recursive", "s3://share"]
        for name, extra, rounded in (("s3", [], False), ("s3_summarize", ["--summarize"], False),
                                     ("s3_human", ["--human-readable", "--summarize"], True)):
            result = subprocess.run(base + extra, capture_output=True, env=env, timeout=60)
            if result.returncode != 0:
                return False
            checker.check(name, result.stdout, want, "aws s3 listing", rounded=rounded)
        return True
    finally:
        server.kill()
        server.wait()


def main():
    plomet = sys.argv[1]
    if os.name != "posix":
        return 77
    tools = [t for t in ("rclone", "find", "tar", "aws") if shutil.which(t)]
    if not tools:
        print("no tool installed: skipped")
        return 77
    work = tempfile.mkdtemp(prefix="plomet-realtools-")
    try:
        tree = os.path.join(work, "tree")
        os.makedirs(tree)
        make_tree(tree)
        found = objects(tree)
        scan, _, _ = report(plomet, "-s", tree)
        if scan != expected(found, "all"):
            raise SystemExit(f"-s gives {scan}, the tree holds {expected(found, 'all')}")
        checker = Checker(plomet, work)
        if "rclone" in tools:
            check_rclone(checker, tree, found)
        if "find" in tools:
            check_find(checker, tree, found)
        if "tar" in tools:
            check_tar(checker, tree, found)
        if "aws" in tools and not check_s3(checker, tree, expected(found, "regular")):
            print("aws s3 ls could not run against the stand-in: not checked")
        for failure in checker.failures:
            print("FAIL", failure)
        print(f"checked {len(checker.checked)} listings: {', '.join(checker.checked)}")
        return 1 if checker.failures else 0
    finally:
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
