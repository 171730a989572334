#!/usr/bin/env python3
"""Runs one end-to-end case against the built program and compares the result.

A case is a directory under tests/cases holding:
  cmd       the command line, one line starting with "plomet", split like a
            shell would; it may end in redirections: "< FILE", "> /dev/full",
            ">&-"; bytes in it that are not UTF-8 reach the program as they are
  stdout    the exact expected standard output
  stderr    the exact expected standard error (absent: empty)
  status    the expected exit status
  setup.py  optional: run first, in the case's working copy, to make inputs
            too large to keep in the repository
  platforms optional: the systems the case applies to, "posix" or "windows",
            for a case whose result the operating system decides; on any
            other it is skipped (exit status 77)
and any input files. The case runs in a temporary copy of its directory, with
"plomet" as the program name, so the expected output is the same on every
machine; where the output names that copy's absolute path (a scan's folders),
the expected files say WORK.

With --update, the expected files are rewritten from what the program did:
read the differences before committing them.
"""
import argparse
import difflib
import os
import shlex
import shutil
import subprocess
import sys
import tempfile

SKIPPED = 77  # the status CTest is told means "skipped"


def parse_cmd(text):
    words = shlex.split(text)
    if not words or words[0] != "plomet":
        raise SystemExit("cmd must start with the program name, plomet")
    words = words[1:]
    stdin_name, stdout_target = None, None
    while words:
        if len(words) >= 2 and words[-2] == "<":
            stdin_name = words[-1]
            words = words[:-2]
        elif len(words) >= 2 and words[-2] == ">":
            stdout_target = words[-1]
            words = words[:-2]
        elif words[-1] == ">&-":
            stdout_target = "closed"
            words = words[:-1]
        else:
            break
    return words, stdin_name, stdout_target


def run(binary, wrapper, case_dir, work):
    with open(os.path.join(case_dir, "cmd"), encoding="utf-8", errors="surrogateescape") as f:
        args, stdin_name, stdout_target = parse_cmd(f.read())
    if os.path.exists(os.path.join(work, "setup.py")):
        subprocess.run([sys.executable, "setup.py"], cwd=work, check=True)

    stdin = open(os.path.join(work, stdin_name), "rb") if stdin_name else subprocess.DEVNULL
    out_file = None

    def close_stdout():
        if stdout_target == "closed":
            os.close(1)

    argv = wrapper + [binary] + args if wrapper else ["plomet"] + args
    # The output goes to files, not pipes: an emulator such as Wine may leave
    # helper processes running that hold a pipe open, and reading the pipe to
    # its end would wait for them to exit.
    with tempfile.TemporaryFile() as out_tmp, tempfile.TemporaryFile() as err_tmp:
        if stdout_target == "closed":
            stdout = None
        elif stdout_target:
            out_file = open(stdout_target, "wb")
            stdout = out_file
        else:
            stdout = out_tmp
        proc = subprocess.run(
            argv,
            executable=None if wrapper else binary,
            cwd=work,
            stdin=stdin,
            stdout=stdout,
            stderr=err_tmp,
            preexec_fn=close_stdout if stdout_target == "closed" else None,
            timeout=600,
        )
        for f in (stdin, out_file):
            if hasattr(f, "close"):
                f.close()
        out_tmp.seek(0)
        err_tmp.seek(0)
        return out_tmp.read(), err_tmp.read(), proc.returncode


def normalise(data, binary, wrapper, work):
    # A scan names its folders by their absolute paths, which lie in the
    # case's temporary copy.
    for path in sorted({os.path.realpath(work), work}, key=len, reverse=True):
        data = data.replace(path.encode(), b"WORK")
    if not wrapper:
        return data
    # Under an emulator the program sees its own path as its name and writes
    # CR LF line ends: bring both back to the native form. Wine shows a path
    # of the host's file system as one on drive Z:.
    data = data.replace(b"\r\n", b"\n")
    for name in (binary, "Z:" + binary.replace("/", "\\"), os.path.basename(binary)):
        data = data.replace(name.encode(), b"plomet")
    return data.replace(("Z:" + work.replace("/", "\\")).encode(), b"WORK")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("binary")
    parser.add_argument("case_dir")
    parser.add_argument("--wrapper", default="", help="command that runs the binary, e.g. wine")
    parser.add_argument("--platform", default="posix" if os.name == "posix" else "windows",
                        help="the system the binary is built for: posix or windows")
    parser.add_argument("--update", action="store_true")
    opts = parser.parse_args()
    binary = os.path.abspath(opts.binary)
    wrapper = shlex.split(opts.wrapper)
    case_dir = os.path.abspath(opts.case_dir)

    platforms_path = os.path.join(case_dir, "platforms")
    if os.path.exists(platforms_path):
        platforms = open(platforms_path, encoding="utf-8").read().split()
        if not platforms or set(platforms) - {"posix", "windows"}:
            raise SystemExit(f"platforms must list posix, windows or both, not {platforms}")
        if opts.platform not in platforms:
            print(f"skipped: the case applies to {' '.join(platforms)}, not {opts.platform}")
            return SKIPPED

    with tempfile.TemporaryDirectory(prefix="plomet-case-") as tmp:
        work = os.path.join(tmp, "work")
        shutil.copytree(case_dir, work)
        out, err, status = run(binary, wrapper, case_dir, work)
        out, err = normalise(out, binary, wrapper, work), normalise(err, binary, wrapper, work)

    if opts.update:
        with open(os.path.join(case_dir, "stdout"), "wb") as f:
            f.write(out)
        err_path = os.path.join(case_dir, "stderr")
        if err:
            with open(err_path, "wb") as f:
                f.write(err)
        elif os.path.exists(err_path):
            os.remove(err_path)
        with open(os.path.join(case_dir, "status"), "w") as f:
            f.write(f"{status}\n")
        return 0

    failed = False
    for name, actual in (("stdout", out), ("stderr", err)):
        path = os.path.join(case_dir, name)
        expected = open(path, "rb").read() if os.path.exists(path) else b""
        if actual != expected:
            failed = True
            print(f"{name} differs:")
            diff = difflib.unified_diff(
                expected.decode("utf-8", "backslashreplace").splitlines(True),
                actual.decode("utf-8", "backslashreplace").splitlines(True),
                "expected", "actual")
            sys.stdout.writelines(list(diff)[:80])
    expected_status = int(open(os.path.join(case_dir, "status")).read())
    if status != expected_status:
        failed = True
        print(f"exit status {status}, expected {expected_status}")
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
