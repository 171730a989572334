#!/usr/bin/env python3
"""Checks that --json tells what the report's text tells, for every golden case.

Usage: json_check.py BINARY CASES_DIR

Every case under CASES_DIR whose recorded stdout holds the estimate's table
(and whose cmd is not verbose, has no --json or --human and does not redirect
standard output) is run again, in a temporary copy of its directory as run_case.py runs
it, with --json added. Its output must be valid UTF-8 and one JSON object of
"format" 1, its numbers must equal those of the recorded table, total line,
estimates, window line (with --window), selection line (with --since) and
folder table (with --top; a path's bytes that are not UTF-8 read as U+FFFD
each), and its warnings must be the recorded standard error's. Standard error and the
exit status must stay as recorded. Every --calibrate case that printed its
rates is run with --json alike and compared with its table and "rates:" line,
and its "model" member (what --rates-from reads back) with its calibration.
"""
import codecs
import json
import os
import re
import subprocess
import sys
import tempfile
import shutil
from decimal import Decimal, localcontext
from fractions import Fraction

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from run_case import parse_cmd  # noqa: E402  (the cases' own command-line reader)

LABELS = ["0..< 1KB", "1KB..< 10KB", "10KB..< 100KB", "100KB and up"]
FLOORS = [0, 5120, 51200, 512000]
MAX64 = 2**64 - 1
DURATION = r"(\d+) hours (\d+) mins (\d+) sec"
WARNING = "warning: "


class Mismatch(Exception):
    pass


# The JSON writer replaces each byte that is not part of a valid UTF-8
# sequence on its own; text decoded with this handler reads the same.
codecs.register_error("per_byte", lambda e: ("\ufffd", e.start + 1))


def read_text(path):
    with open(path, "rb") as f:
        return f.read().decode("utf-8", "per_byte")


def expect(condition, what):
    if not condition:
        raise Mismatch(what)


def expect_equal(actual, expected, what):
    expect(actual == expected, f"{what}: JSON has {actual!r}, the text {expected!r}")


def seconds_of(match, first=1):
    h, m, s = (int(match.group(first + i)) for i in range(3))
    return h * 3600 + m * 60 + s


def find(pattern, text, what):
    match = re.search(pattern, text, re.M)
    expect(match is not None, f"no {what} in the recorded stdout")
    return match


def class_of(size):
    return max(k for k in range(4) if size >= FLOORS[k])


def positional(args):
    """The arguments that are not long options: the option, the listing, the rates."""
    words, ended = [], False
    for arg in args:
        if not ended and arg == "--":
            ended = True
        elif ended or not arg.startswith("--"):
            words.append(arg)
    return words


def long_value(args, name):
    for arg in args:
        if arg == "--":
            break
        if arg.startswith(name + "="):
            return arg[len(name) + 1:]
    return None


def duration_seconds(text):
    """The seconds of a --window value: digits alone, or parts such as 1h30m."""
    if text.isdigit():
        return int(text)
    match = re.fullmatch(r"(?:(\d+)[hH])?(?:(\d+)[mM])?(?:(\d+)[sS])?", text)
    h, m, s = (int(part or 0) for part in match.groups())
    return h * 3600 + m * 60 + s


def check_rate(entry, row, rate_arg, k):
    kb = entry["rate_kilobytes_per_second"]
    expect(isinstance(kb, (int, Decimal)), f"class {k}: the rate in KB/s is not a number")
    with localcontext() as ctx:
        ctx.prec = 100
        expect_equal(Decimal(kb), Decimal(rate_arg.strip()), f"class {k}: rate in KB/s")
        expect_equal(int(Decimal(kb) * 1024), row["rate"], f"class {k}: KB/s times 1024")
    expect_equal(entry["rate_bytes_per_second"], row["rate"], f"class {k}: rate")


def check_class_seconds(entry, k):
    rate, nbytes, seconds = entry["rate_bytes_per_second"], entry["bytes"], entry["seconds"]
    # The writer always gives a fraction or an exponent, so the number reads as a double.
    expect(isinstance(seconds, Decimal), f"class {k}: seconds {seconds!r} written as an integer")
    if rate <= 0:
        expect(seconds == 0 and entry["whole_seconds"] == 0, f"class {k}: time of a rate <= 0")
        return
    exact = Fraction(nbytes, rate)
    expect(abs(Fraction(seconds) - exact) <= exact * Fraction(1, 2**52),
           f"class {k}: seconds {seconds} are not {nbytes} / {rate}")
    expect_equal(entry["whole_seconds"], nbytes // rate, f"class {k}: whole seconds")


def read_table(text):
    rows = []
    for label in LABELS:
        m = find(rf"^{re.escape(label)} +(\d+) +(\d+) +(-?\d+) +(\d+) *$", text, label + " row")
        rows.append({"files": int(m[1]), "bytes": int(m[2]), "rate": int(m[3]),
                     "seconds": int(m[4])})
    return rows


def check_classes(doc, text, rates, warnings):
    rows = read_table(text)
    classes = doc["classes"]
    expect_equal(len(classes), 4, "number of classes")
    for k, (entry, row) in enumerate(zip(classes, rows)):
        expect_equal(entry["label"], LABELS[k], f"class {k}: label")
        expect_equal(entry["from_bytes"], FLOORS[k], f"class {k}: lower bound")
        expect_equal(entry["below_bytes"], FLOORS[k + 1] if k < 3 else None,
                     f"class {k}: upper bound")
        expect_equal(entry["files"], row["files"], f"class {k}: files")
        expect_equal(entry["bytes"], row["bytes"], f"class {k}: bytes")
        expect_equal(entry["whole_seconds"], row["seconds"], f"class {k}: seconds")
        check_rate(entry, row, rates[k], k)
        check_class_seconds(entry, k)
        passed = f"the byte total of {LABELS[k]} passed {MAX64} and is not exact"
        expect_equal(entry["bytes_exact"], passed not in warnings, f"class {k}: bytes_exact")
    return rows


def check_totals(doc, text, rows, warnings):
    m = find(r"^Total size for all (\d+) files: (\d+)\. Average file size: (\d+) $", text,
             "total line")
    files, nbytes, average = int(m[1]), int(m[2]), int(m[3])
    total = doc["total"]
    expect_equal(total["files"], files, "total files")
    expect_equal(total["bytes"], nbytes, "total bytes")
    expect_equal(total["files"], sum(r["files"] for r in rows), "total files, the classes added")
    expect_equal(total["bytes"], min(sum(r["bytes"] for r in rows), MAX64),
                 "total bytes, the classes added")
    inexact = any(w.startswith("the byte total of ") for w in warnings)
    expect_equal(total["bytes_exact"], not inexact, "total bytes_exact")
    expect_equal(doc["average"]["bytes"], average, "average")
    expect_equal(doc["average"]["class"], LABELS[class_of(average)], "average class")
    estimate = seconds_of(find(rf"^Estimated Time: {DURATION}$", text, "estimate"))
    expect_equal(doc["estimate_seconds"], estimate, "estimate")
    expect_equal(estimate, min(sum(r["seconds"] for r in rows), MAX64),
                 "estimate, the classes added")
    by_average = seconds_of(find(rf"^Estimated Time based on average file size: {DURATION}$",
                                 text, "estimate by the average"))
    expect_equal(doc["estimate_by_average_seconds"], by_average, "estimate by the average")


def check_own_totals(doc, kind, warnings, since):
    own = doc["own_totals"]
    if kind not in ("directory listing", "find listing"):  # both read by dir's rules
        expect_equal(own, None, "own totals of a schedule log")
        return
    said = [re.match(r"the listing's own totals are (\d+) files and (\d+) bytes, but", w)
            for w in warnings]
    said = [m for m in said if m]
    if said:
        expect(own is not None, "own totals: null, but the warning states them")
        expect_equal((own["files"], own["bytes"]), (int(said[0][1]), int(said[0][2])),
                     "own totals")
        expect_equal(own["agree"], False, "own totals agree")
    elif own is not None:
        expect_equal(own["agree"], True, "own totals agree")
        if not since:
            expect_equal((own["files"], own["bytes"]),
                         (doc["total"]["files"], doc["total"]["bytes"]), "own totals")


def check_window(doc, text, window_arg):
    window = doc.get("window")
    if window_arg is None:
        expect_equal(window, None, "window without --window")
        return
    expect(window is not None, "no window with --window")
    fits = re.search(rf"^Backup window {DURATION}: fits, {DURATION} to spare$", text, re.M)
    over = re.search(rf"^Backup window {DURATION}: does not fit; {DURATION} over, "
                     r"rates would have to be (\d+\.\d\d) times as high$", text, re.M)
    expect(fits or over, "no window line in the recorded stdout")
    line = fits or over
    seconds = seconds_of(line)
    expect_equal(window["seconds"], seconds, "window seconds")
    expect_equal(seconds, duration_seconds(window_arg), "window seconds, from --window")
    expect_equal(window["fits"], bool(fits), "window fits")
    spare, excess = (seconds_of(line, 4), 0) if fits else (0, seconds_of(line, 4))
    expect_equal(window["spare_seconds"], spare, "window spare seconds")
    expect_equal(window["over_seconds"], excess, "window over seconds")
    estimate = doc["estimate_seconds"]
    expect_equal(estimate, seconds - spare + excess, "window and estimate")
    factor = window["rates_factor"]
    expect(isinstance(factor, Decimal) and factor.as_tuple().exponent == -2,
           f"window rates factor {factor!r} not written with two decimals")
    if over:
        expect_equal(factor, Decimal(over[7]), "window rates factor")
    hundredths = -(-estimate * 100 // seconds)  # estimate / window, rounded up
    expect_equal(factor, Decimal(hundredths) / 100, "window rates factor, reckoned")


def check_selection(doc, text, since_arg):
    selection = doc.get("selection")
    if since_arg is None:
        expect_equal(selection, None, "selection without --since")
        return
    m = find(r"^Files changed since (\S+ \S+): (\d+) of (\d+)$", text, "selection line")
    expect(selection is not None, "no selection with --since")
    expect_equal(selection["since"], m[1], "selection since")
    expect_equal(selection["selected"], int(m[2]), "files selected")
    expect_equal(selection["read"], int(m[3]), "files read")
    expect_equal(selection["selected"], doc["total"]["files"], "files selected and total")


def shown(name):
    """A folder's name as the table shows it: control bytes as '?'."""
    return re.sub(r"[\x00-\x1f\x7f]", "?", name)


def check_folder_row(entry, row, what):
    files, nbytes, seconds, share = row
    expect_equal([entry["files"], entry["bytes"]], [files, nbytes], f"{what}: files and bytes")
    json_seconds = entry["seconds"]  # a Decimal; a time that stayed at 2^64 - 1 is exact
    json_seconds = f"{json_seconds:.1f}" if json_seconds >= MAX64 else f"{float(json_seconds):.1f}"
    expect_equal(json_seconds, seconds, f"{what}: seconds")
    expect_equal(f"{float(entry['share_percent']):.1f}", share, f"{what}: share")


def check_folders(doc, text, top_arg):
    folders = doc.get("folders")
    if top_arg is None:
        expect_equal(folders, None, "folders without --top")
        return
    expect(folders is not None, "no folders with --top")
    if re.search(r"^No folders found: ", text, re.M):
        expect_equal(folders["found"], False, "folders found")
        return
    expect_equal(folders["found"], True, "folders found")
    root = find(r"^Root: (.*)$", text, "root line")[1]
    expect_equal(shown(folders["root"]) or "(none: the files share no directory)", root, "root")
    m = find(r"^Folders (\d+) levels? below the root: (?:all (\d+)|the (\d+) of (\d+) that)",
             text, "folders line")
    expect_equal(folders["depth"], int(m[1]), "folders depth")
    expect_equal(folders["count"], int(m[2] or m[4]), "folders count")
    table = text[m.end():]
    rows = re.findall(r"^(\d+) +(\d+) +(\d+\.\d) +(\d+\.\d) +(.*)$", table, re.M)
    named = {name: (int(f), int(b), sec, share) for f, b, sec, share, name in rows}
    top = folders["top"]
    expect_equal([shown(e["folder"]) or "(files in the root)" for e in top],
                 [name for *_, name in rows[:len(top)]], "folders ranked")
    for k, entry in enumerate(top):
        check_folder_row(entry, named[rows[k][4]], f"folder {k}")
    rest = folders["rest"]
    other = [name for name in named if re.fullmatch(r"\(\d+ other folders?\)", name)]
    expect_equal(rest["folders"], int(other[0][1:].split()[0]) if other else 0, "other folders")
    if other:
        check_folder_row(rest, named[other[0]], "the other folders")
    if "(no directory)" in named:
        check_folder_row(folders["no_folder"], named["(no directory)"], "no directory")
    else:
        expect_equal(folders["no_folder"]["files"], 0, "files without a directory")
    check_folder_row(folders["all"], named["(all files)"], "all files")
    parts = top + [rest, folders["no_folder"]]
    for key in ("files", "bytes"):
        expect_equal(min(sum(e[key] for e in parts), MAX64), folders["all"][key],
                     f"folders' {key} added")
        expect_equal(folders["all"][key], doc["total"][key], f"folders' {key} and total")


LISTING_KINDS = ("directory listing", "ls listing", "robocopy log", "CSV export", "rsync listing")
# What --kind=NAME makes input.kind.
NAMED_KINDS = {"dir": "directory listing", "ls": "ls listing", "robocopy": "robocopy log",
               "csv": "CSV export", "rsync": "rsync listing", "find": "find listing",
               "log": "schedule log"}
# The exports of other tools: ncdu and gdu, rclone lsjson.
LISTING_KINDS += ("ncdu export", "rclone lsjson listing")
NAMED_KINDS.update({"ncdu": "ncdu export", "lsjson": "rclone lsjson listing"})
# The line-shaped lists of other tools: decided from their lines, or named.
LINE_LIST_KINDS = {"rclone": "rclone listing", "s3": "aws s3 listing", "mc": "mc listing",
                   "gsutil": "gsutil listing", "azcopy": "azcopy listing", "tar": "tar listing",
                   "dwalk": "dwalk listing"}
LISTING_KINDS += tuple(LINE_LIST_KINDS.values()) + ("find listing",)
NAMED_KINDS.update(LINE_LIST_KINDS)


def check_report(doc, text, args, warnings):
    words = positional(args)
    kind = {"d": "directory listing", "s": "scan"}.get(words[0][1:].lower(), "schedule log")
    named = long_value(args, "--kind")
    if named is not None:
        kind = NAMED_KINDS[named]
    # -d decides the listing's kind from its lines: any of these.
    elif kind == "directory listing" and doc["input"]["kind"] in LISTING_KINDS:
        kind = doc["input"]["kind"]
    expect_equal(doc["input"]["kind"], kind, "kind")
    expect_equal(doc["input"]["listing"], words[1], "listing")
    rates_from = long_value(args, "--rates-from")
    rates = words[2:6] if rates_from is None else [str(r["rate"] // 1024) for r in read_table(text)]
    rows = check_classes(doc, text, rates, warnings)
    check_totals(doc, text, rows, warnings)
    check_model(doc, text, rates_from, long_value(args, "--window"))
    since = long_value(args, "--since")
    check_own_totals(doc, kind, warnings, since is not None)
    check_window(doc, text, long_value(args, "--window"))
    check_selection(doc, text, since)
    check_folders(doc, text, long_value(args, "--top"))


def check_sessions(sessions, text):
    """The sessions fitted alone, as the text lists them (with their estimates when the
    text has the line of their spread)."""
    listed = re.findall(r"^  (\S+(?: \d\d:\d\d:\d\d)?)  (\d+) objects, busy " + DURATION +
                        r", cost (\S+) ms, bandwidth (\S+)", text, re.M)
    expect_equal(len(sessions), len(listed), "sessions fitted alone")
    for entry, line in zip(sessions, listed):
        expect_equal(entry["start"], line[0].replace(" ", "T"), "session start")
        expect_equal(entry["objects"], int(line[1]), "session objects")
        expect_equal(entry["busy_seconds"], int(line[2]) * 3600 + int(line[3]) * 60 + int(line[4]),
                     "session busy seconds")
        expect_equal(f"{float(entry['cost_ms_per_object']):.3f}", line[5], "session cost")


def check_model(doc, text, rates_from, window_arg):
    model = doc.get("model")
    if rates_from is None:
        expect_equal(model, None, "model without --rates-from")
        return
    # Learnt from a log, or read from a JSON report of --measure or --calibrate.
    learnt = re.search(r"^Rates learnt from (.*): cost (\S+) ms per object, bandwidth (\S+)"
                       r"(?: KB/s)?, (\d+) objects, \d+ sessions?$", text, re.M)
    read = re.search(r"^Rates from (.*?)(?:, (?:measured on|learnt from) .*)?: cost (\S+) ms per "
                     r"object, bandwidth (\S+)(?: KB/s)?, (\d+) objects$", text, re.M)
    source = learnt or read
    expect(source is not None, "no line of the rates' source in the recorded stdout")
    if read:
        expect_equal(model["sessions"], [], "sessions of a model read from a report")
    expect_equal(model["log"], rates_from, "model log")
    expect_equal(source[1], rates_from, "log named in the text")
    expect_equal(f"{float(model['cost_ms_per_object']):.3f}", source[2], "model cost")
    bandwidth = model["bandwidth_kb_per_s"]
    expect_equal("unbounded" if bandwidth is None else f"{float(bandwidth):.1f}", source[3],
                 "model bandwidth")
    expect_equal(model["objects"], int(source[4]), "model objects")
    line = find(rf"^Estimated Time by cost and bandwidth: {DURATION}$", text, "model estimate")
    expect_equal(model["estimate_seconds"], seconds_of(line), "model estimate")
    estimates = [entry["estimate_seconds"] for entry in model["sessions"]]
    spread = re.search(rf"^Over the (\d+) sessions in the log: {DURATION} to {DURATION}$", text,
                       re.M)
    expect_equal(spread is not None, len(estimates) >= 2, "line of the sessions' spread")
    if spread:
        expect_equal(len(estimates), int(spread[1]), "sessions in the spread")
        expect_equal([min(estimates), max(estimates)], [seconds_of(spread, 2), seconds_of(spread, 5)],
                     "fastest and slowest session")
    verdict = re.search(rf"^Backup window {DURATION} by cost and bandwidth: (fits|does not fit)",
                        text, re.M)
    expect_equal(verdict is not None, window_arg is not None, "window line by cost and bandwidth")
    if verdict:
        expect_equal(model["fits_window"], verdict[4] == "fits", "model fits the window")


def check_calibration(doc, text, args):
    expect_equal(doc["input"]["kind"], "schedule log", "kind")
    expect_equal(doc["input"]["listing"], positional(args)[0], "listing")
    cal = doc["calibration"]
    rates = [int(r) for r in find(r"^rates: (\d+) (\d+) (\d+) (\d+)$", text, "rates").groups()]
    expect_equal(cal["rates"], rates, "rates")
    for k, entry in enumerate(cal["classes"]):
        m = find(rf"^{re.escape(LABELS[k])} +(\d+) +(\d+) +(\d+) +(-|\d+\.\d) +(\d+)( \*)?$",
                 text, LABELS[k] + " row")
        expect_equal(entry["label"], LABELS[k], f"class {k}: label")
        expect_equal([entry["objects"], entry["bytes"], entry["busy_seconds"]],
                     [int(m[1]), int(m[2]), int(m[3])], f"class {k}: objects, bytes, busy")
        measured = entry["measured_kilobytes_per_second"]
        expect_equal("-" if measured is None else f"{float(measured):.1f}", m[4],
                     f"class {k}: measured KB/s")
        expect_equal(entry["rate_kilobytes_per_second"], rates[k], f"class {k}: rate")
        expect_equal(entry["filled_from_model"], bool(m[6]), f"class {k}: from the model")
    left_out = re.search(r"^Objects left out: (\d+) ", text, re.M)
    expect_equal(cal["objects_left_out"], int(left_out[1]) if left_out else 0, "left out")
    gaps = find(r"^Idle gaps over (\d+) sec: (none|\d+)", text, "idle gaps")
    expect_equal(cal["gap_limit_seconds"], int(gaps[1]), "gap limit")
    expect_equal(cal["idle_gaps"], 0 if gaps[2] == "none" else int(gaps[2]), "idle gaps")
    busy = find(rf"^Busy time: {DURATION}, of which charged to no class {DURATION}$", text,
                "busy time")
    expect_equal(cal["busy_seconds"], seconds_of(busy), "busy seconds")
    expect_equal(cal["unclassed_busy_seconds"], seconds_of(busy, 4), "unclassed busy seconds")
    cost = find(r"^Cost per object: (\S+) ms$", text, "cost")
    expect_equal(f"{float(cal['cost_milliseconds']):.3f}", cost[1], "cost per object")
    bandwidth = find(r"^Bandwidth: (\S+)", text, "bandwidth")
    expect_equal("unbounded" if cal["bandwidth_kilobytes_per_second"] is None
                 else f"{float(cal['bandwidth_kilobytes_per_second']):.1f}", bandwidth[1],
                 "bandwidth")
    model = find(r"^Model fitted to: (\d+) class", text, "model")
    expect_equal(cal["model_classes"], int(model[1]), "model classes")
    check_sessions(cal["sessions"], text)
    # The model that --rates-from reads back holds what the calibration learnt.
    learnt = doc["model"]
    expect_equal(learnt["log"], positional(args)[0], "model log")
    expect_equal(learnt["rates"], rates, "model rates")
    expect_equal(learnt["cost_ms_per_object"], cal["cost_milliseconds"], "model cost")
    expect_equal(learnt["bandwidth_kb_per_s"], cal["bandwidth_kilobytes_per_second"],
                 "model bandwidth")
    expect_equal(learnt["objects"], sum(c["log_objects"] for c in cal["classes"]), "model objects")


def run_with_json(binary, case_dir, args, stdin_name):
    with tempfile.TemporaryDirectory(prefix="plomet-json-") as tmp:
        work = os.path.join(tmp, "work")
        shutil.copytree(case_dir, work)
        if os.path.exists(os.path.join(work, "setup.py")):
            subprocess.run([sys.executable, "setup.py"], cwd=work, check=True)
        stdin = open(os.path.join(work, stdin_name), "rb") if stdin_name else subprocess.DEVNULL
        try:
            # Long options may stand anywhere; at the front, --json stays one also
            # when the command line holds a lone "--".
            return subprocess.run(["plomet", "--json"] + args, executable=binary, cwd=work,
                                  stdin=stdin, capture_output=True, timeout=600)
        finally:
            if stdin_name:
                stdin.close()


def read_case(case_dir):
    """Returns (what, args, stdin) for a case to check, what being "report" or
    "calibration", or None for a case left out."""
    platforms = os.path.join(case_dir, "platforms")
    here = "posix" if os.name == "posix" else "windows"
    if os.path.exists(platforms) and here not in open(platforms).read().split():
        return None
    with open(os.path.join(case_dir, "cmd"), encoding="utf-8", errors="surrogateescape") as f:
        args, stdin_name, stdout_target = parse_cmd(f.read())
    verbose = any(re.fullmatch(r"[-/][dls]v", a, re.I) for a in args)
    # --human writes sizes and times for people, and does not go with --json.
    if stdout_target or verbose or "--json" in args or "--human" in args:
        return None
    text = read_text(os.path.join(case_dir, "stdout"))
    if "--calibrate" in args:
        return ("calibration", args, stdin_name) if re.search(r"^rates: ", text, re.M) else None
    if re.search(r"^Total size for all ", text, re.M) and "\nRange " in text:
        return "report", args, stdin_name
    return None


def reject_constant(name):
    raise ValueError(f"{name} is not JSON")


def check_case(binary, case_dir, what, args, stdin_name):
    proc = run_with_json(binary, case_dir, args, stdin_name)
    recorded_err = b""
    if os.path.exists(os.path.join(case_dir, "stderr")):
        recorded_err = open(os.path.join(case_dir, "stderr"), "rb").read()
    status = int(open(os.path.join(case_dir, "status")).read())
    expect_equal(proc.returncode, status, "exit status")
    expect_equal(proc.stderr, recorded_err, "standard error")
    try:
        out = proc.stdout.decode("utf-8")
    except UnicodeDecodeError as e:
        raise Mismatch(f"stdout is not valid UTF-8: {e}")
    try:
        doc = json.loads(out, parse_float=Decimal, parse_constant=reject_constant)
    except ValueError as e:
        raise Mismatch(f"stdout does not parse as JSON: {e}")
    expect(isinstance(doc, dict), "stdout is not one JSON object")
    expect_equal(doc.get("format"), 1, "format")
    errors = recorded_err.decode("utf-8", "per_byte").splitlines()
    warnings = [line[len(WARNING):] for line in errors if line.startswith(WARNING)]
    expect_equal(doc["warnings"], warnings, "warnings")
    text = read_text(os.path.join(case_dir, "stdout"))
    if what == "report":
        check_report(doc, text, args, warnings)
    else:
        check_calibration(doc, text, args)


def main():
    if len(sys.argv) != 3:
        raise SystemExit("usage: json_check.py BINARY CASES_DIR")
    binary, cases = os.path.abspath(sys.argv[1]), os.path.abspath(sys.argv[2])
    checked, failed = {"report": 0, "calibration": 0}, []
    for name in sorted(os.listdir(cases)):
        case_dir = os.path.join(cases, name)
        if not os.path.isdir(case_dir):
            continue
        found = read_case(case_dir)
        if found is None:
            continue
        what, args, stdin_name = found
        try:
            check_case(binary, case_dir, what, args, stdin_name)
            checked[what] += 1
        except (Mismatch, KeyError, TypeError) as e:
            failed.append(name)
            print(f"FAIL {name}: {type(e).__name__}: {e}")
    print(f"{checked['report']} reports and {checked['calibration']} calibrations agree with "
          f"their JSON; {len(failed)} do not")
    # Finding nothing to check means the cases' text changed under this script.
    return 1 if failed or checked["report"] == 0 or checked["calibration"] == 0 else 0


if __name__ == "__main__":
    sys.exit(main())
