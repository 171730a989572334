#!/usr/bin/env python3
"""Runs every command that the documentation shows with its output, and compares.

Usage: readme_check.py BINARY FILE.md... [--update]

The convention in the Markdown files (README.md, doc/reference.md):

  A fenced block whose info string is "console" is a terminal session:

      ```console
      $ plomet -d examples/cdrive.txt 35 233 457 449 --window=8h
      ...
      Backup window 8 hours 0 mins 0 sec: fits, 7 hours 28 mins 52 sec to spare
      ```

  - A line that begins with "$ " is a command, run by sh in a directory that
    holds a copy of the repository's examples/ and tests/genlog.py, with
    "plomet" on PATH the program under test (and "python3" an interpreter).
    A command line ending in a backslash continues on the next line.
  - The lines after it, up to the next command or the end of the block, are
    what it prints: standard output and standard error together, as a terminal
    shows them. Blanks at the end of a line are not compared (editors strip
    them).
  - A line "..." stands for any number of lines, none included.
  - A last line "[exit status N]" gives the exit status; without one the
    command must exit with status 0.
  - Links to files of the repository and to their headings must lead
    somewhere.
  - A command with its output is always written this way: a block of commands
    ("sh", "bash", "shell") directly followed by another block is refused, as
    it would show output that nothing checks. Commands shown without output
    stay in "sh" blocks and are not run.

With --update, each command's output in the files is replaced by what it
printed; a block with one "..." keeps as many lines before and after it as
it had. Read the differences (git diff) before committing them.
"""
import argparse
import difflib
import os
import re
import shlex
import shutil
import subprocess
import sys
import tempfile

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
FENCE = re.compile(r"^(```+)\s*([\w+-]*)\s*$")
SHELL_BLOCKS = {"sh", "bash", "shell"}
ELLIPSIS = "..."
STATUS = re.compile(r"^\[exit status (\d+)\]$")


class Example:
    """One command of a console block, with the lines the file shows after it."""

    def __init__(self, path, line, command, expected, first, end):
        self.path = path
        self.line = line  # the command's line number, from 1
        self.command = command
        self.expected = expected  # the output lines, without the status line
        self.status = 0
        if expected and STATUS.match(expected[-1]):
            self.status = int(STATUS.match(expected[-1]).group(1))
            self.expected = expected[:-1]
        self.first, self.end = first, end  # the output's line indices in the file


def parse(path, lines):
    """Returns the examples of the console blocks, and the convention's breaches."""
    examples, errors = [], []
    blocks = []  # (info, first line index, index of the closing fence)
    i = 0
    while i < len(lines):
        opening = FENCE.match(lines[i])
        if not opening:
            i += 1
            continue
        j = i + 1
        while j < len(lines) and lines[j].rstrip() != opening.group(1):
            j += 1
        if j == len(lines):
            errors.append(f"{path}:{i + 1}: a fenced block that is never closed")
        blocks.append((opening.group(2), i, j))
        i = j + 1
    for (info, start, end), following in zip(blocks, blocks[1:] + [None]):
        if info in SHELL_BLOCKS and following and following[0] not in SHELL_BLOCKS | {"bat"} \
                and all(not line.strip() for line in lines[end + 1:following[1]]):
            errors.append(f"{path}:{start + 1}: commands followed directly by their output: "
                          "write them as one console block (\"$ \" before each command)")
        if info != "console":
            continue
        k = start + 1
        while k < end:
            if not lines[k].startswith("$ "):
                errors.append(f"{path}:{k + 1}: a console block's lines before the first "
                              "command must be commands (\"$ \")")
                break
            line_no, command = k + 1, lines[k][2:]
            while command.endswith("\\") and k + 1 < end:
                k += 1
                command = command[:-1] + "\n" + lines[k]
            k += 1
            first = k
            while k < end and not lines[k].startswith("$ "):
                k += 1
            examples.append(Example(path, line_no, command, [l.rstrip() for l in lines[first:k]],
                                    first, k))
    return examples, errors


LINK = re.compile(r"\]\(([^)\s]*)\)")


def slug(heading):
    """The anchor that Markdown renderers give a heading."""
    text = re.sub(r"[^\w\- ]", "", heading.strip().lower())
    return text.replace(" ", "-")


def broken_links(path, lines):
    """The links to files of the repository, or to their headings, that lead nowhere."""
    errors, fence = [], None
    for number, line in enumerate(lines, 1):
        opening = FENCE.match(line)
        if opening and (fence is None or line.rstrip() == fence):
            fence = opening.group(1) if fence is None else None
            continue
        if fence:
            continue
        for target in LINK.findall(line):
            if re.match(r"^[a-z]+:", target):
                continue  # a URL, not a file of the repository
            name, _, anchor = target.partition("#")
            file = os.path.normpath(os.path.join(os.path.dirname(path), name)) if name else path
            if not os.path.exists(file):
                errors.append(f"{os.path.relpath(path, ROOT)}:{number}: no file {name}")
            elif anchor and file.endswith(".md") and anchor not in anchors(file):
                errors.append(f"{os.path.relpath(path, ROOT)}:{number}: no heading #{anchor} "
                              f"in {name or 'this file'}")
    return errors


def anchors(path):
    with open(path, encoding="utf-8") as f:
        text = f.read()
    text = re.sub(r"^(```+).*?^\1\s*$", "", text, flags=re.S | re.M)
    return {slug(m) for m in re.findall(r"^#+ (.*)$", text, flags=re.M)}


def matches(expected, actual):
    """Whether the actual lines are the expected ones, a "..." standing for any lines."""
    if not expected:
        return not actual
    if expected[0] == ELLIPSIS:
        return any(matches(expected[1:], actual[n:]) for n in range(len(actual) + 1))
    return bool(actual) and expected[0] == actual[0] and matches(expected[1:], actual[1:])


def aligned(expected, actual):
    """The expected and actual lines to show side by side: with one "...", the
    actual lines it stands for are elided as well, so that the difference shows
    only the lines around it that changed."""
    if expected.count(ELLIPSIS) != 1:
        return expected, actual
    head = expected.index(ELLIPSIS)
    tail = len(expected) - head - 1
    if len(actual) < head + tail:
        return expected, actual
    return expected, actual[:head] + [ELLIPSIS] + actual[len(actual) - tail:]


def workspace(tmp, binary):
    """Makes the directory the commands run in, and the PATH they run with."""
    shutil.copytree(os.path.join(ROOT, "examples"), os.path.join(tmp, "examples"))
    os.makedirs(os.path.join(tmp, "tests"))
    shutil.copy(os.path.join(ROOT, "tests", "genlog.py"), os.path.join(tmp, "tests"))
    bin_dir = os.path.join(tmp, ".bin")
    os.makedirs(bin_dir)
    os.symlink(os.path.abspath(binary), os.path.join(bin_dir, "plomet"))
    os.symlink(sys.executable, os.path.join(bin_dir, "python3"))
    return bin_dir + os.pathsep + os.environ.get("PATH", "")


def run(example, cwd, path_var):
    """Returns the lines the command printed, and its exit status."""
    done = subprocess.run(["sh", "-c", example.command], cwd=cwd, stdin=subprocess.DEVNULL,
                          stdout=subprocess.PIPE, stderr=subprocess.STDOUT, timeout=300,
                          env=dict(os.environ, PATH=path_var))
    text = done.stdout.decode("utf-8", "backslashreplace")
    lines = text.split("\n")
    if lines and lines[-1] == "":
        lines.pop()
    return [line.rstrip() for line in lines], done.returncode


def updated(example, actual, status):
    """The lines to write after the command: the actual output, elided as before."""
    new = actual
    if example.expected.count(ELLIPSIS) == 1:
        head = example.expected.index(ELLIPSIS)
        tail = len(example.expected) - head - 1
        if len(actual) > head + tail:
            new = actual[:head] + [ELLIPSIS] + (actual[len(actual) - tail:] if tail else [])
    if status:
        new = new + [f"[exit status {status}]"]
    return new


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("binary")
    parser.add_argument("files", nargs="+")
    parser.add_argument("--update", action="store_true")
    opts = parser.parse_args()

    failures, total, rewritten, problems = 0, 0, 0, []
    with tempfile.TemporaryDirectory(prefix="plomet-readme-") as tmp:
        path_var = workspace(tmp, opts.binary)
        for path in opts.files:
            with open(path, encoding="utf-8") as f:
                lines = f.read().split("\n")
            examples, errors = parse(os.path.relpath(path, ROOT), lines)
            problems += errors + broken_links(os.path.abspath(path), lines)
            edits = []
            for example in examples:
                total += 1
                actual, status = run(example, tmp, path_var)
                if matches(example.expected, actual) and status == example.status:
                    continue
                if opts.update:
                    if example.expected.count(ELLIPSIS) > 1:
                        problems.append(f"{example.path}:{example.line}: more than one \"...\": "
                                        "not updated, fix it by hand")
                    else:
                        edits.append((example.first, example.end, updated(example, actual, status)))
                        rewritten += 1
                        print(f"{example.path}:{example.line}: updated: $ {example.command}")
                        continue
                failures += 1
                print(f"{example.path}:{example.line}: $ {example.command}")
                if status != example.status:
                    print(f"  exit status {status}, the file shows {example.status}")
                shown, printed = aligned(example.expected, actual)
                print("  printed (+) where the file shows (-):")
                for diff_line in list(difflib.unified_diff(shown, printed, "shown", "printed",
                                                           lineterm="", n=2))[2:]:
                    print("  " + diff_line)
                print()
            if edits:
                for first, end, new in reversed(edits):
                    lines[first:end] = new
                with open(path, "w", encoding="utf-8") as f:
                    f.write("\n".join(lines))
    for problem in problems:
        print(problem)
    if failures:
        again = " ".join(shlex.quote(word) for word in
                         ["python3", os.path.abspath(__file__), opts.binary]
                         + opts.files + ["--update"])
        print(f"{failures} of {total} commands printed something other than the file shows "
              "(a \"...\" line in the file matches any lines). If what they print now is "
              f"right, rewrite the files' outputs with\n  {again}\nand read the differences.")
    elif rewritten:
        print(f"{rewritten} of {total} commands' outputs rewritten: read the differences")
    elif not problems:
        print(f"all {total} commands printed what the files show")
    return 1 if failures or problems else 0


if __name__ == "__main__":
    sys.exit(main())
