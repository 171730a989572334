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
    of the log of --rates-from);
  - fetch nothing: no URL, no src or href, no script, style sheet or image
    from elsewhere, and be under 2 MB;
  - keep every name from the listing as text: no element or attribute other
    than the page's own, whatever the folder names hold.

With --render, the page of the case CASE is drawn by headless Chromium and its screenshot must not be blank: it must hold the
charts' colours. Without Chromium the test is skipped (exit status 77).
"""
import html.parser
import json
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
        "line", "polyline", "circle", "ul", "li", "footer"}
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


def duration(seconds):
    return f"{seconds // 3600} hours {seconds % 3600 // 60} mins {seconds % 60} sec"


def body(table):
    return [row for row in table if row and not row[0].startswith(("Range", "From", "Folder",
                                                                    "Sizes"))]


def check_estimate(page, report):
    rows = body(page.tables["class-table"])
    for row, c in zip(rows, report["classes"]):
        expect_equal(row, [c["label"], str(c["files"]), str(c["bytes"]),
                           str(c["rate_bytes_per_second"]), str(c["whole_seconds"])], "class row")
    total = report["total"]
    expect_equal(rows[4], ["Total", str(total["files"]), str(total["bytes"]), "",
                           str(report["estimate_seconds"])], "total row")
    expect_equal(page.texts["average"], str(report["average"]["bytes"]), "average")
    expect_equal(page.texts["estimate"], duration(report["estimate_seconds"]), "estimate")
    expect_equal(page.texts["estimate-by-average"],
                 duration(report["estimate_by_average_seconds"]), "estimate by average")
    sizes = body(page.tables["size-table"])
    expect_equal(sum(int(r[1]) for r in sizes), total["files"], "the histogram's files")
    expect_equal(sum(int(r[2]) for r in sizes), total["bytes"], "the histogram's bytes")
    if "window" in report:
        fits = page.texts["window"].split(": ", 1)[1].startswith("fits")
        expect_equal(fits, report["window"]["fits"], "window verdict")
    if "selection" in report:
        since = body(page.tables["since-table"])[-1]
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
            expect_equal(row, [name, str(f["files"]), str(f["bytes"]), f"{f['seconds']:.1f}",
                               f"{f['share_percent']:.1f}"], "folder row")
        expect_equal(rows[-1][1:3], [str(folders["all"]["files"]), str(folders["all"]["bytes"])],
                     "all folders")


def check_fit(page):
    """The fit's bins charge each step as the calibration does: on a page with
    both, they add up to the calibration's objects and seconds measured."""
    rows = body(page.tables["calibration-table"])
    fit = body(page.tables["fit-table"])
    expect_equal(sum(int(r[1]) for r in fit), sum(int(r[1]) for r in rows), "objects measured")
    expect_equal(sum(int(r[3]) for r in fit), sum(int(r[3]) for r in rows), "seconds measured")


def check_calibration(page, report):
    classes = report["calibration"]["classes"]
    rows = body(page.tables["calibration-table"])
    for row, c in zip(rows, classes):
        rate = str(c["rate_kilobytes_per_second"]) + (" *" if c["filled_from_model"] else "")
        expect_equal([row[0], row[1], row[2], row[3], row[5]],
                     [c["label"], str(c["objects"]), str(c["bytes"]), str(c["busy_seconds"]), rate],
                     "calibration row")
    fit = body(page.tables["fit-table"])
    # The fit's bins charge each step as the calibration does.
    expect_equal(sum(int(r[1]) for r in fit), sum(c["objects"] for c in classes), "objects measured")
    expect_equal(sum(int(r[3]) for r in fit), sum(c["busy_seconds"] for c in classes),
                 "seconds measured")
    sizes = body(page.tables["size-table"])
    expect_equal(sum(int(r[1]) for r in sizes), sum(c["log_objects"] for c in classes),
                 "the histogram's objects")


def check_page(text, page):
    expect(len(text.encode()) < MAX_PAGE, f"the page has {len(text)} bytes")
    fetch = FETCHING.search(text)
    expect(fetch is None, f"the page may fetch: {fetch and fetch.group(0)!r}")
    expect(page.tags <= TAGS, f"elements not of the page: {page.tags - TAGS}")
    expect(page.attributes <= ATTRIBUTES, f"attributes not of the page: {page.attributes - ATTRIBUTES}")


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
                if "calibration" in report:
                    check_calibration(page, report)
                else:
                    check_estimate(page, report)
                if "model" in report:  # rates learnt from a log: its timeline and fit
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
        _, path = run_case(binary, case_dir, work)
        profile = os.path.join(tmp, "profile")
        os.mkdir(profile)
        shot = os.path.join(tmp, "page.png")
        subprocess.run([chromium, "--headless", "--no-sandbox", "--disable-gpu", "--disable-quic",
                        "--no-first-run", "--disable-background-networking",
                        "--disable-component-update", "--disable-sync",
                        f"--user-data-dir={profile}", "--hide-scrollbars", "--window-size=800,1000",
                        f"--screenshot={shot}", "file://" + os.path.abspath(path)],
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=120, check=False)
        if not os.path.exists(shot):
            print(f"FAIL {name}: chromium wrote no screenshot")
            return 1
        pixels = png_pixels(shot)
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
