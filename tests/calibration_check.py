#!/usr/bin/env python3
"""End-to-end check of --calibrate against logs drawn from a known model.

    tests/calibration_check.py BINARY [--objects 100000] [--keep DIR]

Writes two schedule logs with tests/genlog.py (fixed seeds): A, of at least
100,000 objects, and B, whose sizes are drawn with other parameters but whose
cost per object and bandwidth are A's. Then:

- BINARY --calibrate A must succeed; the rates come from its last line, the
  cost and the bandwidth from its report, each within 10 % of the truth;
- BINARY -l A RATES must give an "Estimated Time" within 3 % of A's true busy
  time (the seconds its objects took);
- BINARY -l B RATES must be within 15 % of B's: the four-class model carries
  over to another mix of sizes only roughly, and how far off it is is printed;
- BINARY -l B --rates-from=A: its estimate by cost and bandwidth must be within
  3 % of B's true busy time, with the four-class estimate's error beside it;
- N, three nights of other costs and bandwidths joined into one log:
  BINARY -l B --rates-from=N --json must find the three sessions, and each
  session's estimate of B must be within 3 % of what B's objects and bytes take
  under that night's true cost and bandwidth.

Exits 0 when every check holds, else 1.
"""
import argparse
import json
import os
import re
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import genlog  # noqa: E402

COST_MS = 20.0
BANDWIDTH_KBPS = 4000.0


def run(argv):
    done = subprocess.run(argv, stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
    if done.returncode != 0:
        raise SystemExit(f"{' '.join(argv)}: exit status {done.returncode}\n{done.stderr}")
    return done.stdout


def estimated_seconds(report):
    m = re.search(r"^Estimated Time: (\d+) hours (\d+) mins (\d+) sec$", report, re.M)
    if not m:
        raise SystemExit("no Estimated Time in the estimate's report:\n" + report)
    h, mi, s = (int(x) for x in m.groups())
    return h * 3600 + mi * 60 + s


def learnt(report):
    """Returns the rates of the last line, the cost in ms and the bandwidth in KB/s."""
    last = report.rstrip("\n").split("\n")[-1]
    m = re.fullmatch(r"rates: (\d+) (\d+) (\d+) (\d+)", last)
    if not m:
        raise SystemExit(f"the calibration's last line is not the rates: {last!r}")
    cost = re.search(r"^Cost per object: ([0-9.]+) ms$", report, re.M)
    bandwidth = re.search(r"^Bandwidth: ([0-9.]+) KB/s$", report, re.M)
    if not cost or not bandwidth:
        raise SystemExit("no cost or bandwidth in the calibration's report:\n" + report)
    return list(m.groups()), float(cost.group(1)), float(bandwidth.group(1))


def make_log(directory, name, arguments):
    log = os.path.join(directory, name + ".log")
    truth_file = os.path.join(directory, name + ".json")
    genlog.main(arguments + ["-o", log, "--truth", truth_file])
    with open(truth_file, encoding="utf-8") as f:
        return log, json.load(f)


def within(what, got, want, tolerance):
    off = got / want - 1.0
    ok = abs(off) <= tolerance
    print(f"{'ok  ' if ok else 'FAIL'} {what}: {got:.3f}, truth {want:.3f}, "
          f"{off * 100:+.2f} % (allowed {tolerance * 100:.0f} %)")
    return ok


def model_estimate(report):
    m = re.search(r"^Estimated Time by cost and bandwidth: (\d+) hours (\d+) mins (\d+) sec$",
                  report, re.M)
    if not m:
        raise SystemExit("no estimate by cost and bandwidth in the report:\n" + report)
    h, mi, s = (int(x) for x in m.groups())
    return h * 3600 + mi * 60 + s


# Three nights, each its own cost and bandwidth: (cost in ms, KB/s, date, start).
NIGHTS = [(20.0, 4000.0, "2026-12-05", "22:00:00"), (30.0, 2500.0, "2026-12-06", "22:01:00"),
          (14.0, 6000.0, "2026-12-07", "21:58:00")]


def check_rates_from(binary, directory, objects, log_a, truth_b, log_b):
    """The estimate by cost and bandwidth from a one-session log and from each
    night of a log of three."""
    ok = True
    report = run([binary, "-l", log_b, "--rates-from=" + log_a])
    four = estimated_seconds(report)
    off = four / truth_b["busy_seconds"] - 1.0
    ok &= within("estimate by cost and bandwidth of a log of other sizes (s)",
                 model_estimate(report), truth_b["busy_seconds"], 0.03)
    print(f"     (the four-class estimate of it: {four} s, {off * 100:+.2f} %)")
    nights = []
    for i, (cost, bandwidth, date, start) in enumerate(NIGHTS):
        log, _ = make_log(directory, f"night{i + 1}", [
            "--objects", str(objects // 4), "--seed", str(10 + i), "--cost-ms", str(cost),
            "--bandwidth-kbps", str(bandwidth), "--median", "8000", "--sigma", "2.0",
            "--layout", "ymd", "--date", date, "--start", start])
        with open(log, encoding="utf-8") as f:
            nights.append(f.read())
    three = os.path.join(directory, "three-nights.log")
    with open(three, "w", encoding="utf-8", newline="\n") as f:
        f.write("".join(nights))
    doc = json.loads(run([binary, "-l", log_b, "--rates-from=" + three, "--json"]))
    sessions = doc["model"]["sessions"]
    if len(sessions) != len(NIGHTS):
        print(f"FAIL sessions fitted alone: {len(sessions)}, nights {len(NIGHTS)}")
        return False
    four = doc["estimate_seconds"]
    for (cost, bandwidth, date, _), session in zip(NIGHTS, sessions):
        truth = truth_b["objects"] * cost / 1000.0 + truth_b["bytes"] / (bandwidth * 1024.0)
        ok &= within(f"estimate of the other sizes by the night of {date} (s)",
                     session["estimate_seconds"], truth, 0.03)
        print(f"     (the four-class estimate from all three nights: {four} s, "
              f"{(four / truth - 1) * 100:+.2f} %)")
    return ok


def check(binary, directory, objects):
    model = ["--cost-ms", str(COST_MS), "--bandwidth-kbps", str(BANDWIDTH_KBPS)]
    log_a, truth_a = make_log(directory, "a", model + [
        "--objects", str(objects), "--seed", "1", "--median", "8000", "--sigma", "2.0",
        "--layout", "ymd", "--start", "23:00:00"])
    log_b, truth_b = make_log(directory, "b", model + [
        "--objects", str(objects // 2), "--seed", "2", "--median", "40000", "--sigma", "1.2",
        "--layout", "mdy", "--clock", "12", "--start", "22:30:00"])

    report = run([binary, "--calibrate", log_a])
    rates, cost_ms, bandwidth = learnt(report)
    print(f"learnt from {truth_a['objects']} objects: rates {' '.join(rates)}, "
          f"cost {cost_ms} ms, bandwidth {bandwidth} KB/s")
    ok = within("cost per object (ms)", cost_ms, COST_MS, 0.10)
    ok &= within("bandwidth (KB/s)", bandwidth, BANDWIDTH_KBPS, 0.10)
    same = estimated_seconds(run([binary, "-l", log_a] + rates))
    ok &= within("estimate of the same log (s)", same, truth_a["busy_seconds"], 0.03)
    other = estimated_seconds(run([binary, "-l", log_b] + rates))
    ok &= within("estimate of a log of other sizes (s)", other, truth_b["busy_seconds"], 0.15)
    # How much of that is the four-class model itself: A's true rates applied to B.
    ideal = sum(b * s / a for a, b, s in zip(truth_a["class_bytes"], truth_b["class_bytes"],
                                             truth_a["class_seconds"]) if a > 0)
    print(f"     (A's true class rates would give {ideal:.0f} s, "
          f"{(ideal / truth_b['busy_seconds'] - 1) * 100:+.2f} %: the model's own error)")
    ok &= check_rates_from(binary, directory, objects, log_a, truth_b, log_b)
    return ok


def main():
    p = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    p.add_argument("binary")
    p.add_argument("--objects", type=int, default=100000)
    p.add_argument("--keep", help="write the logs here and keep them")
    args = p.parse_args()
    if args.keep:
        os.makedirs(args.keep, exist_ok=True)
        ok = check(args.binary, args.keep, args.objects)
    else:
        with tempfile.TemporaryDirectory() as directory:
            ok = check(args.binary, directory, args.objects)
    sys.exit(0 if ok else 1)


if __name__ == "__main__":
    main()
