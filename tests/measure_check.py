#!/usr/bin/env python3
"""Measures a temporary folder with plomet --measure, as a user would.

Usage: measure_check.py BINARY

- The text report: a row for each set with objects copied and a positive
  rate, the fitted model, and the rates last, as "rates: A B C D".
- The JSON report: each set's bytes are its files at their size, its rate is
  its bytes over its seconds, and the model carries the four rates.
- That JSON read back by --rates-from estimates a listing with those rates,
  and by cost and bandwidth.
- Nothing the measurement made is left in the target or the source folder:
  after a measurement, after SIGINT halfway (the process ends by it), and
  after a target that cannot be written or is full (as root: written as the
  user nobody, and a small tmpfs mounted for it; skipped where neither works).

Prints what failed and exits 1, or exits 0.
"""
import json
import os
import re
import signal
import subprocess
import sys
import tempfile
import time

SECONDS = "0.2"
LABELS = ["0..< 1KB", "1KB..< 10KB", "10KB..< 100KB", "100KB and up"]
FILE_BYTES = [1024, 10240, 102400, 10485760]
SAMPLE = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "examples", "cdrive.txt")


class Failure(Exception):
    pass


def expect(condition, what):
    if not condition:
        raise Failure(what)


def made_in(folder):
    """What is left in folder, as paths below it."""
    left = []
    for root, dirs, files in os.walk(folder):
        left += [os.path.relpath(os.path.join(root, n), folder) for n in dirs + files]
    return sorted(left)


def expect_empty(*folders):
    for folder in folders:
        expect(made_in(folder) == [], f"left behind in {folder}: {made_in(folder)[:5]}")


def run(binary, *args, **kwargs):
    return subprocess.run([binary, *args], capture_output=True, timeout=600, **kwargs)


def check_text(binary, target, source):
    proc = run(binary, f"--measure={target}", f"--from={source}", f"--measure-seconds={SECONDS}")
    out = proc.stdout.decode()
    expect(proc.returncode == 0, f"text: status {proc.returncode}: {proc.stderr.decode()}")
    expect(out.startswith(f"Measured {target}, copying from {source}, {SECONDS} sec a set\n"),
           "text: first line")
    for label in LABELS:
        row = re.search(rf"^{re.escape(label)} +(\d+) +(\d+) +(\d+\.\d\d) +(\d+\.\d) +(\d+)$", out,
                        re.M)
        expect(row is not None, f"text: no row for {label}")
        expect(int(row[1]) > 0 and int(row[5]) >= 1, f"text: {label} copied nothing")
        expect(float(row[3]) >= float(SECONDS), f"text: {label} took less than {SECONDS} sec")
    expect(re.search(r"^Cost per object: \d+\.\d{3} ms$", out, re.M), "text: no cost")
    expect(re.search(r"^Model fitted to: 4 classes$", out, re.M), "text: not fitted to 4")
    expect(re.search(r"\nrates: [1-9]\d* [1-9]\d* [1-9]\d* [1-9]\d*\n\Z", out), "text: rates last")
    expect_empty(target, source)


def check_json(binary, target, source, work):
    proc = run(binary, f"--measure={target}", f"--from={source}", f"--measure-seconds={SECONDS}",
               "--json")
    expect(proc.returncode == 0, f"json: status {proc.returncode}: {proc.stderr.decode()}")
    doc = json.loads(proc.stdout)
    expect(doc["format"] == 1 and doc["input"]["kind"] == "measurement", "json: format, kind")
    expect(doc["input"]["target"] == target and doc["input"]["from"] == source, "json: folders")
    model = doc["model"]
    expect(model["target"] == target, "json: model target")
    classes = doc["measurement"]["classes"]
    for k, c in enumerate(classes):
        expect(c["label"] == LABELS[k] and c["file_bytes"] == FILE_BYTES[k], f"json: set {k}")
        expect(c["objects"] > 0 and c["bytes"] == c["objects"] * FILE_BYTES[k],
               f"json: set {k} bytes are not its files")
        expect(c["seconds"] >= float(SECONDS) and c["rounds"] >= 1, f"json: set {k} seconds")
        rate = max(1, round(c["bytes"] / 1024 / c["seconds"]))
        expect(abs(c["rate_kilobytes_per_second"] - rate) <= 1, f"json: set {k} rate")
        expect(model["rates"][k] == c["rate_kilobytes_per_second"], f"json: model rate {k}")
    expect(model["objects"] == sum(c["objects"] for c in classes), "json: model objects")
    expect(model["cost_ms_per_object"] >= 0, "json: cost")
    expect(model["bandwidth_kb_per_s"] is None or model["bandwidth_kb_per_s"] > 0, "json: bw")
    expect_empty(target, source)
    report = os.path.join(work, "target.json")
    with open(report, "wb") as f:
        f.write(proc.stdout)
    return model, report


def check_read_back(binary, model, report, target):
    proc = run(binary, "-d", SAMPLE, f"--rates-from={report}")
    out = proc.stdout.decode()
    expect(proc.returncode == 0, f"read back: status {proc.returncode}: {proc.stderr.decode()}")
    expect(out.startswith(f"Rates from {report}, measured on {target}: cost "),
           "read back: line of the rates' source")
    rates = [int(m) for m in re.findall(r"^\S+(?: \S+)* +\d+ +\d+ +(\d+) +\d+ *$", out, re.M)]
    expect(rates == [r * 1024 for r in model["rates"]], f"read back: rates {rates}")
    expect(re.search(r"^Estimated Time by cost and bandwidth: ", out, re.M), "read back: model")


def check_interrupted(binary, target, source):
    proc = subprocess.Popen([binary, f"--measure={target}", f"--from={source}",
                             "--measure-seconds=30"], stdout=subprocess.PIPE,
                            stderr=subprocess.PIPE)
    deadline = time.monotonic() + 60
    # Once a round's folder is on the target, the copies are under way.
    while not any(os.sep in p for p in made_in(target)) and time.monotonic() < deadline:
        time.sleep(0.05)
    proc.send_signal(signal.SIGINT)
    proc.communicate(timeout=120)
    expect(proc.returncode == -signal.SIGINT, f"SIGINT: status {proc.returncode}")
    expect_empty(target, source)


def check_unwritable(binary, target, source):
    """Returns what was checked, or None when nothing could be."""
    os.chmod(target, 0o555)
    try:
        as_nobody = None
        if os.geteuid() == 0:
            as_nobody = lambda: os.setuid(65534)  # noqa: E731  (root writes anywhere)
            os.chmod(source, 0o777)
        proc = run(binary, f"--measure={target}", f"--from={source}", "--measure-seconds=1",
                   preexec_fn=as_nobody)
        err = proc.stderr.decode()
        if as_nobody and "cannot write to the target" not in err:
            return None  # nobody could not run the program here
        expect(proc.returncode == 1 and proc.stdout == b"", f"unwritable: status {proc.returncode}")
        expect(err == f"error: cannot write to the target '{target}': Permission denied\n",
               f"unwritable: {err!r}")
        expect_empty(target, source)
        return "unwritable"
    finally:
        os.chmod(target, 0o755)
        os.chmod(source, 0o755)


def check_full(binary, small, source):
    if os.geteuid() != 0 or subprocess.run(["mount", "-t", "tmpfs", "-o", "size=1m", "tmpfs",
                                            small], capture_output=True).returncode != 0:
        return None
    try:
        proc = run(binary, f"--measure={small}", f"--from={source}", "--measure-seconds=1")
        err = proc.stderr.decode()
        expect(proc.returncode == 1, f"full: status {proc.returncode}")
        expect(err == f"error: the target '{small}' is full: No space left on device\n",
               f"full: {err!r}")
        expect_empty(small, source)
        return "full"
    finally:
        subprocess.run(["umount", small])


def main():
    if len(sys.argv) != 2:
        raise SystemExit("usage: measure_check.py BINARY")
    binary = os.path.abspath(sys.argv[1])
    # The target and the source folder are both given: neither holds the other.
    with tempfile.TemporaryDirectory(prefix="plomet-measure-check-") as work:
        target, source, small = (os.path.join(work, n) for n in ("target", "source", "small"))
        for folder in (target, source, small):
            os.mkdir(folder)
        os.chmod(work, 0o755)
        checked = []
        try:
            check_text(binary, target, source)
            model, report = check_json(binary, target, source, work)
            check_read_back(binary, model, report, target)
            check_interrupted(binary, target, source)
            checked += ["text", "json", "read back", "SIGINT"]
            checked += [c for c in (check_unwritable(binary, target, source),
                                    check_full(binary, small, source)) if c]
        except (Failure, KeyError, ValueError) as e:
            print(f"FAIL: {type(e).__name__}: {e}")
            return 1
    print("measured and left nothing behind: " + ", ".join(checked))
    return 0


if __name__ == "__main__":
    sys.exit(main())
