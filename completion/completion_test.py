#!/usr/bin/env python3
"""Checks plomet's bash completion, in a directory of a few made-up files.

  completion_test.py SCRIPT         calls the completion function on a table
                                    of command lines, then lets an
                                    interactive bash complete a few lines
                                    typed with TAB, with SCRIPT sourced
  completion_test.py --loader FILE  only the interactive part, with FILE (the
                                    bash-completion package's loader) sourced
                                    instead: proves that an installed script
                                    is found where that package looks

The table sets the variables bash sets (COMP_WORDS split at the word-break
characters, as bash does); the interactive part, on a pseudo-terminal, shows
what readline really puts on the command line.
"""
import argparse
import os
import pty
import re
import select
import shlex
import subprocess
import sys
import tempfile
import time

BASH = os.environ.get("BASH_FOR_TEST", "bash")
FILES = ["listing.txt", "schedule.log", "a=b.txt"]
DIRS = ["logs"]
SHORT = ["-d", "-dv", "-l", "-lv", "-s", "-sv"]
LONG = ["--help", "--version", "--strict", "--calibrate", "--json", "--gap=", "--top=",
        "--depth=", "--window=", "--since=", "--date-order=", "--rates-from=", "--session-gap=",
        "--html=", "--kind=", "--client=", "--plan", "--sessions=", "--bandwidth=", "--order=",
        "--measure=", "--from=", "--measure-seconds=", "--threads=", "--one-file-system", "--list=",
        "--exclude=", "--human"]
ENTRIES = FILES + DIRS

# Command line up to the cursor -> the candidates the function must offer.
# Readline replaces only the text after the last "=" of the word, so that is
# what the candidates hold after an "=".
TABLE = [
    # the option comes first: short options, and long ones anywhere
    ("plomet ", SHORT + LONG),
    ("plomet -", SHORT + LONG),
    ("plomet -d", ["-d", "-dv"]),
    ("plomet -s", ["-s", "-sv"]),
    ("plomet --th", ["--threads="]),
    ("plomet --one", ["--one-file-system"]),
    ("plomet --ex", ["--exclude="]),
    ("plomet --hu", ["--human"]),
    ("plomet --", LONG),
    ("plomet --st", ["--strict"]),
    ("plomet --g", ["--gap="]),
    ("plomet --p", ["--plan"]),
    ("plomet --s", ["--strict", "--since=", "--session-gap=", "--sessions="]),
    ("plomet --nothing", []),
    ("plomet -d listing.txt 35 233 457 449 --w", ["--window="]),
    # values of --date-order; the other values are free text
    ("plomet --date-order=", ["mdy", "dmy", "ymd"]),
    ("plomet --date-order=d", ["dmy"]),
    ("plomet --date-order=x", []),
    ("plomet -d listing.txt --kind=", ["dir", "ls", "robocopy", "csv", "rsync", "find", "log", "ncdu",
                                       "lsjson", "rclone", "s3", "mc", "gsutil", "azcopy", "tar",
                                       "dwalk"]),
    ("plomet -d listing.txt --kind=l", ["ls", "log", "lsjson"]),
    ("plomet -d listing.txt --kind=r", ["robocopy", "rsync", "rclone"]),
    ("plomet --top=", []),
    # the log of --rates-from: any file
    ("plomet -d listing.txt --rates-from=sch", ["schedule.log"]),
    ("plomet --rates-from=", ENTRIES),
    ("plomet --since=2026-", []),
    # the page of --html: any file
    ("plomet --html=", ENTRIES),
    ("plomet -d listing.txt --html=sch", ["schedule.log"]),
    # the listing: any file; long options and their values take no place
    ("plomet -d ", ENTRIES),
    ("plomet /LV ", ENTRIES),
    ("plomet -lv sch", ["schedule.log"]),
    ("plomet --json -d lis", ["listing.txt"]),
    ("plomet --date-order=dmy -d lis", ["listing.txt"]),
    ("plomet --date-order=dmy --top=5 -d listing.txt --gap=60 ", []),
    ("plomet -d a=", ["b.txt"]),
    # the rates: nothing to offer
    ("plomet -d listing.txt ", []),
    ("plomet -d listing.txt 35 ", []),
    # the log of --calibrate, before or after the option
    ("plomet --calibrate ", ENTRIES),
    ("plomet --calibrate sch", ["schedule.log"]),
    ("plomet --json --calibrate lo", ["logs"]),
    ("plomet --calibrate schedule.log ", []),
    # the target of --measure and the folder of --from: folders alone
    ("plomet --mea", ["--measure=", "--measure-seconds="]),
    ("plomet --measure=", DIRS),
    ("plomet --measure=lo", ["logs"]),
    ("plomet --measure=logs --from=", DIRS),
    ("plomet --measure=logs --measure-seconds=", []),
    # the values of --order; the reports of --plan, and their folders, any number of them
    ("plomet --plan r --order=", ["longest", "shortest"]),
    ("plomet --order=s", ["shortest"]),
    ("plomet --plan ", ENTRIES),
    ("plomet --plan lo", ["logs"]),
    ("plomet --plan logs listing.txt --sessions=4 sch", ["schedule.log"]),
    ("plomet --sessions=", []),
    # the scan's paths: folders only, at any place before the rates
    ("plomet -s ", DIRS),
    ("plomet -sv l", ["logs"]),
    ("plomet /S logs ", DIRS),
    ("plomet --threads=4 -s logs l", ["logs"]),
    ("plomet -s logs --list=sch", ["schedule.log"]),
    ("plomet -s logs --list ", ENTRIES),
    ("plomet -s logs --exclude ", []),
    # a value after a blank, as after "=": it takes no positional place
    ("plomet --html ", ENTRIES),
    ("plomet --rates-from sch", ["schedule.log"]),
    ("plomet --date-order ", ["mdy", "dmy", "ymd"]),
    ("plomet --top ", []),
    ("plomet --top 5 ", SHORT + LONG),
    ("plomet --top 5 -d ", ENTRIES),
    ("plomet --html page.html -d lis", ["listing.txt"]),
    ("plomet --top --json -d ", ENTRIES),  # a word with two dashes is no value
    ("plomet --top --j", ["--json"]),
    ("plomet --json -d ", ENTRIES),  # an option without a value takes none
    # after "--" every word is positional
    ("plomet -- -", SHORT),
    ("plomet -- -d ", ENTRIES),
    ("plomet -d -- --", []),
]

WORD_BREAKS = set(" \t\n\"'@><=;|&(:")

CALL = r"""
source "$1" || exit 1
COMP_LINE=$2
COMP_POINT=${#COMP_LINE}
shift 2
COMP_WORDS=("$@")
COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
_plomet
for word in "${COMPREPLY[@]}"; do printf '%s\n' "$word"; done
"""


def split_like_bash(line):
    """COMP_WORDS for a line with the cursor at its end: words split at
    blanks, and runs of word-break characters as words of their own."""
    words, word, breaks = [], None, False
    for ch in line:
        if ch.isspace():
            if word is not None:
                words.append(word)
            word = None
            continue
        if word is not None and (ch in WORD_BREAKS) == breaks:
            word += ch
            continue
        if word is not None:
            words.append(word)
        word, breaks = ch, ch in WORD_BREAKS
    words.append("" if word is None else word)
    return words


def check_table(script, cwd):
    failures = 0
    for line, expected in TABLE:
        proc = subprocess.run([BASH, "--norc", "--noprofile", "-c", CALL, "call", script, line]
                              + split_like_bash(line), cwd=cwd, capture_output=True, text=True)
        got = proc.stdout.splitlines()
        if proc.returncode != 0 or proc.stderr or sorted(got) != sorted(expected):
            failures += 1
            print(f"FAIL {line!r}: got {got}, expected {sorted(expected)}"
                  f" (status {proc.returncode}) {proc.stderr.strip()}")
    print(f"table: {len(TABLE) - failures} of {len(TABLE)} command lines complete as expected")
    return failures


class Terminal:
    """An interactive bash on a pseudo-terminal."""

    def __init__(self, cwd):
        env = dict(os.environ, TERM="dumb", PS1="$ ", INPUTRC="/dev/null", HOME=cwd)
        self.pid, self.fd = pty.fork()
        if self.pid == 0:
            os.chdir(cwd)
            os.execvpe(BASH, [BASH, "--norc", "--noprofile", "-i"], env)
        self.seen = ""

    def send(self, text):
        os.write(self.fd, text.encode())

    def expect(self, pattern, timeout=10.0):
        """Reads until the output since the last match holds pattern."""
        end = time.monotonic() + timeout
        while True:
            match = re.search(pattern, self.seen)
            if match:
                self.seen = self.seen[match.end():]
                return match
            left = end - time.monotonic()
            if left <= 0:
                return None
            ready, _, _ = select.select([self.fd], [], [], left)
            if ready:
                try:
                    self.seen += os.read(self.fd, 4096).decode("utf-8", "replace")
                except OSError:
                    return None

    def close(self):
        self.send("exit\n")
        try:
            os.waitpid(self.pid, 0)
        finally:
            os.close(self.fd)


# Typed text (TAB completes) -> the command line readline leaves. Each line is
# typed, then wrapped in an echo so that the shell prints it.
TYPED = [
    ("plomet --date-order=y\t", "plomet --date-order=ymd"),
    ("plomet --ga\t30", "plomet --gap=30"),
    ("plomet -d sch\t", "plomet -d schedule.log"),
    ("plomet -d a=\t", "plomet -d a=b.txt"),
    ("plomet --calibrate lo\t", "plomet --calibrate logs/"),
    ("plomet --measure=l\t", "plomet --measure=logs/"),
    ("plomet --json -lv lis\t35", "plomet --json -lv listing.txt 35"),
    ("plomet -s lo\t", "plomet -s logs/"),
    ("plomet --html sch\t", "plomet --html schedule.log"),
]


def check_terminal(source, cwd):
    term = Terminal(cwd)
    failures = 0
    try:
        term.send(f"source {shlex.quote(source)}; echo sourced$?\n")
        if not term.expect(r"\nsourced0"):
            print(f"FAIL: bash could not source {source}:\n{term.seen}")
            return 1
        # Two TABs list the candidates when there are several.
        term.send("plomet --date-order=\t\t")
        listed = term.expect(r"dmy\s+mdy\s+ymd")
        if not listed:
            print(f"FAIL: --date-order= does not list dmy mdy ymd:\n{term.seen!r}")
            failures += 1
        term.send("\x15")  # erase the line
        for typed, expected in TYPED:
            # Ctrl-A and Ctrl-E move to the start and end of the line.
            term.send(typed + "\x01echo '<<<' \x05 '>>>'\n")
            match = term.expect(r"\n<<< (.*) >>>\r?\n")
            if not match or match.group(1) != expected:
                got = match.group(1) if match else term.seen
                print(f"FAIL {typed!r}: the line became {got!r}, expected {expected!r}")
                failures += 1
    finally:
        term.close()
    print(f"terminal: {1 + len(TYPED) - failures} of {1 + len(TYPED)} typed lines complete"
          f" as expected with {os.path.basename(source)} sourced")
    return failures


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("script", nargs="?", help="the completion script")
    parser.add_argument("--loader", help="source this instead and test only the terminal")
    opts = parser.parse_args()
    if bool(opts.script) == bool(opts.loader):
        parser.error("give the script or --loader, not both")

    with tempfile.TemporaryDirectory(prefix="plomet-completion-") as cwd:
        for name in FILES:
            open(os.path.join(cwd, name), "w").close()
        for name in DIRS:
            os.mkdir(os.path.join(cwd, name))
        failures = 0
        if opts.script:
            script = os.path.abspath(opts.script)
            failures += check_table(script, cwd)
            failures += check_terminal(script, cwd)
        else:
            failures += check_terminal(os.path.abspath(opts.loader), cwd)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
