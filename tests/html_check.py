#!/usr/bin/env python3
"""Checks the page that --html writes, for every golden case that asks for one.

Usage: html_check.py BINARY CASES_DIR            the page against --json
       html_check.py BINARY CASES_DIR --render=CASE   CASE's page as Chromium draws it

Every case under CASES_DIR whose cmd holds --html=FILE and that writes the
page is run again, in a temporary copy of its directory, with --json added.
The page must:
  - show the numbers of the JSON report: the class table, totals, estimates,
    window verdict, folders, the selection of --since, the warnings, and for
    --calibrate the classes learnt; its size histogram must add up to the
    files and bytes counted, and the fit's bins to the objects measured (also
    of the log of --rates-from); for --plan, the plan's end, window verdict,
    sessions needed and every client's row;
  - say at the top what was estimated: the files changed of all (--since),
    where the rates came from, and the estimate by cost and bandwidth and the
    sessions' range when the rates were learnt;
  - keep one time style ("1 h 02 min 03 s") and one unit style (KiB, MiB,
    GiB) wherever it writes a time or a size outside its folded tables of
    exact numbers, and name the classes by their bounds;
  - fetch nothing: no URL, no src or href, no script, style sheet or image
    from elsewhere, and be under 2 MB;
  - keep every name from the listing as text: no element or attribute other
    than the page's own, whatever the folder names hold.

With --render, the page of the case CASE is drawn by headless Chromium and its
screenshot must not be blank: it must hold the charts' colours, and the top
block's text as Chromium lays it out (its DOM after layout) must say what was
estimated. Without Chromium the test is skipped (exit status 77).
"""
import html
import html.parser
import json
import math
import os
import re
import shutil
import struct
import subprocess
import sys
import tempfile
import zlib

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from run_case import parse_cmd  # noqa: E402  (the cases' own command-line reader)

SKIPPED = 77
MAX_PAGE = 2 * 1024 * 1024
# The elements and attributes the page is made of; a name that became markup
# would bring another.
TAGS = {"html", "head", "meta", "title", "style", "body", "header", "h1", "h2", "h3", "table",
        "tr", "th", "td", "section", "p", "div", "strong", "span", "svg", "rect", "text",
        "line", "polyline", "circle", "ul", "li", "footer", "details", "summary"}
ATTRIBUTES = {"lang", "charset", "name", "content", "class", "id", "role", "viewbox",
              "aria-labelledby", "x", "y", "width", "height", "fill", "text-anchor", "x1", "y1",
              "x2", "y2", "stroke", "stroke-dasharray", "stroke-width", "points", "cx", "cy", "r"}
FETCHING = re.compile(r"https?:|ftp:|file:|//[a-z0-9]|\bsrc\s*=|\bhref\s*=|url\(|@import|<script|"
                      r"<link|<img|<iframe|<object|<embed", re.I)


class Page(html.parser.HTMLParser):
    """The page's tables by id, as rows of cell texts, and what else it holds."""

    def __init__(self):
        super().__init__(convert_charrefs=True)
        self.tables, self.texts, self.tags, self.attributes = {}, {}, set(), set()
        self.warnings = []
        self._table, self._row, self._cell, self._id_text, self._li = None, None, None, None, None

    def handle_starttag(self, tag, attrs):
        self.tags.add(tag)
        self.attributes.update(name for name, _ in attrs)
        attrs = dict(attrs)
        if tag == "table" and "id" in attrs:
            self._table = self.tables.setdefault(attrs["id"], [])
        elif tag == "tr" and self._table is not None:
            self._row = []
            self._table.append(self._row)
        elif tag in ("td", "th") and self._row is not None:
            self._cell = ""
        elif "id" in attrs and tag in ("strong", "span", "p"):
            self._id_text = attrs["id"]
            self.texts[self._id_text] = ""
        elif tag == "li":
            self._li = ""

    def handle_endtag(self, tag):
        if tag == "table":
            self._table = self._row = None
        elif tag in ("td", "th") and self._cell is not None:
            self._row.append(self._cell)
            self._cell = None
        elif tag in ("strong", "span", "p"):
            self._id_text = None
        elif tag == "li" and self._li is not None:
            self.warnings.append(self._li)
            self._li = None

    def handle_data(self, data):
        if self._cell is not None:
            self._cell += data
        if self._id_text is not None:
            self.texts[self._id_text] += data
        if self._li is not None:
            self._li += data


class Mismatch(Exception):
    pass


def expect(condition, what):
    if not condition:
        raise Mismatch(what)


def expect_equal(page, json_value, what):
    expect(page == json_value, f"{what}: the page has {page!r}, the JSON {json_value!r}")


BOUNDS = ["0 \u2013 5 KiB", "5 \u2013 50 KiB", "50 \u2013 500 KiB", "500 KiB and up"]
# A time or a size in any other style than the page's: "3 hours", "12 mins",
# "5 sec", "(sec)", "2:05:09" (but a moment's time after its date), decimal
# kB, MB or GB.
OTHER_STYLE = re.compile(r"\b\d+ (hours?|mins|sec)\b|\(sec\)|(?<!\d{4}-\d\d-\d\d )\b\d+:\d\d:\d\d\b|"
                         r"\b\d+ ?[kMG]B\b")


def duration(seconds):
    """The page's time style, as --human writes it."""
    if seconds >= 3600:
        return f"{seconds // 3600} h {seconds % 3600 // 60:02d} min {seconds % 60:02d} s"
    if seconds >= 60:
        return f"{seconds // 60} min {seconds % 60:02d} s"
    return f"{seconds} s"


def size(n):
    """The page's unit style: binary units, one decimal below 100 of a unit."""
    units, unit, value = ["B", "KiB", "MiB", "GiB", "TiB", "PiB", "EiB"], 0, float(n)
    while value >= 1024 and unit < 6:
        value, unit = value / 1024, unit + 1
    decimals = 0 if unit == 0 or value >= 99.95 else 1
    if 0 < unit < 6 and value >= 1023.5:
        value, unit, decimals = value / 1024, unit + 1, 1
    return f"{value:.{decimals}f} {units[unit]}"


def rate(bytes_per_second):
    return f"{size(bytes_per_second)}/s" if bytes_per_second > 0 else "not positive"


def body(table):
    return [row for row in table if row and not row[0].startswith(("Class", "From", "Folder",
                                                                    "Sizes"))]


def check_estimate(page, report):
    rows = body(page.tables["class-table"])
    for row, c, bounds in zip(rows, report["classes"], BOUNDS):
        expect_equal(row, [bounds, str(c["files"]), size(c["bytes"]),
                           rate(c["rate_bytes_per_second"]), duration(c["whole_seconds"])],
                     "class row")
    total = report["total"]
    expect_equal(rows[4], ["Total", str(total["files"]), size(total["bytes"]), "",
                           duration(report["estimate_seconds"])], "total row")
    expect_equal(page.texts["average"], size(report["average"]["bytes"]), "average")
    check_top(page, report)
    sizes = body(page.tables["size-table"])
    expect_equal(sum(int(r[1]) for r in sizes), total["files"], "the histogram's files")
    expect_equal(sum(int(r[2]) for r in sizes), total["bytes"], "the histogram's bytes")
    if "window" in report:
        fits = page.texts["window"].split(": ", 1)[1].startswith("fits")
        expect_equal(fits, report["window"]["fits"], "window verdict")
    if "selection" in report:
        since = body(page.tables["since-table"])[-1]
        expect_equal(since[3], size(total["bytes"]), "bytes changed")
        expect_equal([since[1], since[2]], [str(total["files"]),
                                            str(report["selection"]["read"])], "changed of all")
        expect_equal(sum(int(r[3]) for r in sizes), report["selection"]["read"],
                     "the histogram of all files read")
    if "folders" in report and report["folders"]["found"]:
        folders = report["folders"]
        rows = body(page.tables["folder-table"])
        for row, f in zip(rows, folders["top"]):
            # The page shows a control character as U+FFFD, where JSON escapes it.
            name = re.sub("[\x00-\x1f\x7f]", "\ufffd", f["folder"]) or "(the root's own files)"
            expect_equal(row, [name, str(f["files"]), size(f["bytes"]),
                               duration(round_half_up(f["seconds"])),
                               f"{f['share_percent']:.1f}"], "folder row")
        expect_equal(rows[-1][1:3], [str(folders["all"]["files"]), size(folders["all"]["bytes"])],
                     "all folders")


def round_half_up(seconds):
    return int(seconds + 0.5)


def check_top(page, report):
    """The top block: what was estimated, with which rates, and every estimate."""
    total = report["total"]
    expect_equal(page.texts["estimate"], duration(report["estimate_seconds"]), "estimate")
    expect_equal(page.texts["estimate-by-average"],
                 duration(report["estimate_by_average_seconds"]), "estimate by average")
    expect_equal(page.texts["files"], str(total["files"]), "files")
    expect_equal(page.texts["bytes"], size(total["bytes"]), "bytes")
    rates = " ".join(str(c["rate_kilobytes_per_second"]) for c in report["classes"])
    expect(page.texts["rates"].startswith(f"Rates per class (KiB/s): {rates}, "),
           f"the rates: {page.texts['rates']!r}, not {rates}")
    model = report.get("model")
    if model is None:
        expect("as given on the command line" in page.texts["rates"], "the rates' source")
        expect("estimate-by-model" not in page.texts, "an estimate by cost without a model")
    else:
        expect(f"learnt from the schedule log {model['log']} " in page.texts["rates"],
               f"the rates' source: {page.texts['rates']!r}")
        expect_equal(page.texts["estimate-by-model"], duration(model["estimate_seconds"]),
                     "estimate by cost and bandwidth")
        nights = [s["estimate_seconds"] for s in model["sessions"]]
        if len(nights) >= 2:
            expect_equal(page.texts["sessions-range"],
                         f"{duration(min(nights))} to {duration(max(nights))}", "sessions' range")
    if "selection" in report:
        selection = report["selection"]
        expect_equal(page.texts["selection"],
                     f"Files changed since {selection['since']}: {selection['selected']} of "
                     f"{selection['read']}", "the selection")


def check_fit(page):
    """The fit's bins charge each step as the calibration does: on a page with
    both, they add up to the calibration's objects and seconds measured."""
    rows = body(page.tables["calibration-table"])
    fit = body(page.tables["fit-table"])
    expect_equal(sum(int(r[1]) for r in fit), sum(int(r[1]) for r in rows), "objects measured")
    expect_equal(sum(seconds_of(r[3]) for r in fit), sum(seconds_of(r[3]) for r in rows),
                 "seconds measured")


def seconds_of(text):
    """The seconds of a time as the page writes it: "1 h 02 min 03 s", or a number."""
    if text.isdigit():
        return int(text)
    units = {"h": 3600, "min": 60, "s": 1}
    words = text.split()
    expect(len(words) % 2 == 0 and all(u in units for u in words[1::2]), f"a time: {text!r}")
    return sum(int(n) * units[u] for n, u in zip(words[0::2], words[1::2]))


def check_calibration(page, report):
    classes = report["calibration"]["classes"]
    rows = body(page.tables["calibration-table"])
    for row, c, bounds in zip(rows, classes, BOUNDS):
        learnt = str(c["rate_kilobytes_per_second"]) + (" *" if c["filled_from_model"] else "")
        expect_equal([row[0], row[1], row[2], row[3], row[5]],
                     [bounds, str(c["objects"]), size(c["bytes"]), duration(c["busy_seconds"]),
                      learnt], "calibration row")
    fit = body(page.tables["fit-table"])
    # The fit's bins charge each step as the calibration does.
    expect_equal(sum(int(r[1]) for r in fit), sum(c["objects"] for c in classes), "objects measured")
    expect_equal(sum(int(r[3]) for r in fit), sum(c["busy_seconds"] for c in classes),
                 "seconds measured")
    sizes = body(page.tables["size-table"])
    expect_equal(sum(int(r[1]) for r in sizes), sum(c["log_objects"] for c in classes),
                 "the histogram's objects")


def whole_seconds(seconds):
    """A plan's seconds as its text and page show them: rounded up, but a whole
    number that a sum moved by a billionth stays whole (as the C++ does)."""
    if not seconds > 0:
        return 0
    whole = float(round(seconds))
    if abs(seconds - whole) > 1e-9 * max(seconds, 1.0):
        whole = float(math.ceil(seconds))
    return min(int(whole), 2**64 - 1)


def check_plan(page, report):
    """The plan's page against its JSON: the end, the sessions needed, the
    window's verdict and every client's row, in start order."""
    plan = report["plan"]
    expect_equal(page.texts["plan-end"], duration(whole_seconds(plan["end_seconds"])), "end")
    if plan["window_seconds"] is not None:
        needed = plan["sessions_needed"]
        expect_equal(page.texts["sessions-needed"], str(needed) if needed else "none",
                     "sessions needed")
        fits = page.texts["window"].split(": ", 1)[1].startswith("fits")
        expect_equal(fits, plan["fits"], "window verdict")
    rows = [row for row in page.tables["plan-table"] if row and row[0] != "Client"]
    clients = plan["clients"]
    shown = rows[:len(clients)]
    for row, c in zip(shown, clients):
        in_window = "" if plan["window_seconds"] is None else \
            "yes" if c["end_seconds"] <= plan["window_seconds"] * (1 + 1e-9) else "no"
        expect_equal(row, [c["client"], str(c["session"]),
                           duration(whole_seconds(c["start_seconds"])),
                           duration(whole_seconds(c["end_seconds"])), duration(c["seconds"]),
                           str(c["bytes"]), c["by"], in_window], "client row")
    expect(len(rows) == len(clients) or rows[-1][0].endswith("more clients)"), "the plan's rows")


def check_page(text, page):
    expect(len(text.encode()) < MAX_PAGE, f"the page has {len(text)} bytes")
    fetch = FETCHING.search(text)
    expect(fetch is None, f"the page may fetch: {fetch and fetch.group(0)!r}")
    expect(page.tags <= TAGS, f"elements not of the page: {page.tags - TAGS}")
    expect(page.attributes <= ATTRIBUTES, f"attributes not of the page: {page.attributes - ATTRIBUTES}")
    # Outside the folded tables of exact numbers, one time and one unit style.
    unfolded = re.sub(r"<details>.*?</details>", "", text, flags=re.S)
    unfolded = re.sub(r"<style>.*?</style>", "", unfolded, flags=re.S)
    other = OTHER_STYLE.search(html.unescape(re.sub(r"<[^>]+>", " ", unfolded)))
    expect(other is None, f"a time or size in another style: {other and other.group(0)!r}")
    expect("..&lt;" not in unfolded, "a class named by the text table's label")


def run_case(binary, case_dir, work):
    """Runs the case with --json in work (after its setup.py, when it has one);
    returns the JSON report and the page's path, or None, None when the run
    wrote no page (a path that names another file of the case is no page)."""
    with open(os.path.join(case_dir, "cmd"), encoding="utf-8", errors="surrogateescape") as f:
        args, stdin_name, _ = parse_cmd(f.read())
    page_name = next(a.split("=", 1)[1] for a in args if a.startswith("--html="))
    if os.path.exists(os.path.join(work, "setup.py")):
        subprocess.run([sys.executable, "setup.py"], cwd=work, check=True)
    stdin = open(os.path.join(work, stdin_name), "rb") if stdin_name else None
    run = subprocess.run([binary] + args + ["--json"], cwd=work,
                         stdin=stdin or subprocess.DEVNULL, capture_output=True)
    if stdin:
        stdin.close()
    path = os.path.join(work, page_name)
    # A refused command line writes no page: a file of that name is an input.
    if run.returncode not in (0, 3) or not os.path.exists(path):
        return None, None
    return json.loads(run.stdout), path


def html_cases(cases_dir):
    for name in sorted(os.listdir(cases_dir)):
        cmd = os.path.join(cases_dir, name, "cmd")
        if os.path.exists(cmd) and "--html=" in open(cmd, encoding="utf-8",
                                                     errors="surrogateescape").read():
            yield name, os.path.join(cases_dir, name)


def check_all(binary, cases_dir):
    failures, checked = 0, 0
    for name, case_dir in html_cases(cases_dir):
        with tempfile.TemporaryDirectory() as tmp:
            work = os.path.join(tmp, "case")
            shutil.copytree(case_dir, work)
            report, path = run_case(binary, case_dir, work)
            if path is None:
                continue
            with open(path, encoding="utf-8") as f:
                text = f.read()
            page = Page()
            page.feed(text)
            try:
                check_page(text, page)
                expect_equal(page.warnings, report["warnings"], "warnings")
                if "plan" in report:
                    check_plan(page, report)
                elif "calibration" in report:
                    check_calibration(page, report)
                else:
                    check_estimate(page, report)
                if report.get("model", {}).get("sessions"):  # learnt from a log: its fit
                    check_fit(page)
                checked += 1
            except (Mismatch, KeyError, IndexError) as e:
                print(f"FAIL {name}: {e!r}")
                failures += 1
    print(f"{checked} pages checked, {failures} failed")
    return 1 if failures or checked == 0 else 0


def png_pixels(path):
    """Returns the RGB pixels of an 8-bit, non-interlaced PNG, as Chromium writes it."""
    with open(path, "rb") as f:
        data = f.read()
    pos, idat, width = 8, b"", 0
    while pos < len(data):
        length, kind = struct.unpack(">I4s", data[pos:pos + 8])
        chunk = data[pos + 8:pos + 8 + length]
        if kind == b"IHDR":
            width, height, depth, colour = struct.unpack(">IIBB", chunk[:10])
            assert depth == 8 and colour in (2, 6), "an 8-bit RGB or RGBA image"
            channels = 3 if colour == 2 else 4
        elif kind == b"IDAT":
            idat += chunk
        pos += 12 + length
    raw, stride, rows, prior = zlib.decompress(idat), width * channels, [], bytearray(width * channels)
    for y in range(height):
        kind, line = raw[y * (stride + 1)], bytearray(raw[y * (stride + 1) + 1:(y + 1) * (stride + 1)])
        for i in range(stride):
            a = line[i - channels] if i >= channels else 0
            b = prior[i]
            c = prior[i - channels] if i >= channels else 0
            if kind == 1:
                line[i] = (line[i] + a) & 255
            elif kind == 2:
                line[i] = (line[i] + b) & 255
            elif kind == 3:
                line[i] = (line[i] + (a + b) // 2) & 255
            elif kind == 4:
                p = a + b - c
                pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
                line[i] = (line[i] + (a if pa <= pb and pa <= pc else b if pb <= pc else c)) & 255
        rows.append(line)
        prior = line
    return [tuple(row[x * channels:x * channels + 3]) for row in rows for x in range(width)]


def render(binary, cases_dir, case):
    chromium = shutil.which("chromium") or shutil.which("chromium-browser")
    if chromium is None:
        print("chromium is not installed: skipped")
        return SKIPPED
    name, case_dir = next((n, d) for n, d in html_cases(cases_dir) if n == case)
    with tempfile.TemporaryDirectory() as tmp:
        work = os.path.join(tmp, "case")
        shutil.copytree(case_dir, work)
        report, path = run_case(binary, case_dir, work)
        profile = os.path.join(tmp, "profile")
        os.mkdir(profile)
        shot = os.path.join(tmp, "page.png")
        quiet = [chromium, "--headless", "--no-sandbox", "--disable-gpu", "--disable-quic",
                 "--no-first-run", "--disable-background-networking", "--disable-component-update",
                 "--disable-sync", f"--user-data-dir={profile}", "--hide-scrollbars",
                 "--window-size=800,1200"]
        url = "file://" + os.path.abspath(path)
        subprocess.run(quiet + [f"--screenshot={shot}", url], stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL, timeout=120, check=False)
        if not os.path.exists(shot):
            print(f"FAIL {name}: chromium wrote no screenshot")
            return 1
        pixels = png_pixels(shot)
        # The top block as Chromium built it: the same checks as the page's source.
        dom = subprocess.run(quiet + ["--dump-dom", url], capture_output=True, timeout=120,
                             check=False).stdout.decode("utf-8", "replace")
    page = Page()
    page.feed(dom)
    plan = "plan" in report
    try:
        check_plan(page, report) if plan else check_top(page, report)
    except (Mismatch, KeyError) as e:
        print(f"FAIL {name}: the top block as Chromium built it: {e!r}")
        return 1
    if not plan:
        print(f"{name}: the top block says: {page.texts.get('selection', '')} | {page.texts['rates']}")
    counts = {}
    for p in pixels:
        counts[p] = counts.get(p, 0) + 1
    # The bars of time, files and bytes, and the page's text.
    colours = {"time": (0xD5, 0x5E, 0x00), "files": (0x00, 0x72, 0xB2), "bytes": (0xE6, 0x9F, 0x00)}
    background = max(counts.values()) / len(pixels)
    print(f"{name}: {len(pixels)} pixels, {len(counts)} colours, background {background:.0%}, "
          + ", ".join(f"{k} {counts.get(c, 0)}" for k, c in colours.items()))
    blank = background > 0.98 or len(counts) < 16 or any(counts.get(c, 0) < 200 for c in colours.values())
    print("FAIL: the page looks blank" if blank else "the page is drawn")
    if plan:
        return 1 if blank else 0
    # The window's verdict closes the top block: its coloured edge must be
    # drawn in the first screen's upper half, with the estimates above it.
    width = 800
    edges = {(0x00, 0x9E, 0x73), (0xD5, 0x5E, 0x00)}
    top_rows = {i // width for i, p in enumerate(pixels[:width * 500]) if p in edges and i % width < 60}
    if not top_rows:
        print("FAIL: no window verdict drawn in the upper half of the first screen")
        return 1
    print(f"the window's verdict is drawn at rows {min(top_rows)} to {max(top_rows)}")
    return 1 if blank else 0


def main():
    if len(sys.argv) < 3:
        raise SystemExit(__doc__)
    binary, cases_dir = os.path.abspath(sys.argv[1]), sys.argv[2]
    for arg in sys.argv[3:]:
        if arg.startswith("--render="):
            return render(binary, cases_dir, arg.split("=", 1)[1])
    return check_all(binary, cases_dir)


if __name__ == "__main__":
    sys.exit(main())
