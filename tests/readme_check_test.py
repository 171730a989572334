#!/usr/bin/env python3
"""How readme_check.py reads the console blocks and judges their output."""
import os
import sys
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import readme_check as rc  # noqa: E402


def lines(text):
    return text.strip("\n").split("\n")


class Matching(unittest.TestCase):
    def test_table(self):
        cases = [  # expected, actual, whether they match
            ("a\nb", "a\nb", True),
            ("a\nb", "a\nc", False),
            ("a", "a\nb", False),                  # a line more is a difference
            ("...\nz", "a\nb\nz", True),           # "..." stands for lines...
            ("...\nz", "z", True),                 # ...or none
            ("a\n...", "a", True),
            ("...\nz", "a\nb\ny", False),          # the lines after it still count
            ("a\n...\nm\n...\nz", "a\nb\nm\nq\nz", True),
            ("a\n...\nm\n...\nz", "a\nb\nq\nz", False),
        ]
        for expected, actual, result in cases:
            with self.subTest(expected=expected, actual=actual):
                self.assertEqual(rc.matches(lines(expected), lines(actual)), result)


DOC = """\
Text.

```console
$ plomet -d a.txt 1 2 3 4 \\
  --top=2
out 1   
...
[exit status 3]
$ plomet --help
usage
```

```sh
plomet -d listing.txt 1 2 3 4
```

```
a table nothing checks
```

```sh
plomet --version
```

```bat
dir /s
```

```console
not a command
```
"""


class Parsing(unittest.TestCase):
    def setUp(self):
        self.examples, self.errors = rc.parse("DOC.md", DOC.split("\n"))

    def test_commands_outputs_and_status(self):
        got = [(e.line, e.command, e.expected, e.status) for e in self.examples]
        self.assertEqual(got, [
            (4, "plomet -d a.txt 1 2 3 4 \n  --top=2", ["out 1", "..."], 3),
            (9, "plomet --help", ["usage"], 0),
        ])

    def test_breaches_are_named_with_their_line(self):
        self.assertEqual(len(self.errors), 2, self.errors)
        self.assertIn("DOC.md:13: commands followed directly by their output", self.errors[0])
        self.assertIn("DOC.md:30:", self.errors[1])

    def test_unclosed_block(self):
        _, errors = rc.parse("X.md", ["```console", "$ plomet --help"])
        self.assertEqual(errors, ["X.md:1: a fenced block that is never closed"])


class Updating(unittest.TestCase):
    def example(self, shown):
        return rc.Example("X.md", 1, "plomet", lines(shown), 0, 0)

    def test_table(self):
        actual = lines("h1\nh2\nm\nt1")
        cases = [  # shown, status, written
            ("old", 0, "h1\nh2\nm\nt1"),
            ("x\n...\ny", 0, "h1\n...\nt1"),        # as many lines before and after "..."
            ("...\nx", 3, "...\nt1\n[exit status 3]"),
            ("a\nb\nc\n...\nd", 0, "h1\nh2\nm\nt1"),  # too few lines to elide any
        ]
        for shown, status, written in cases:
            with self.subTest(shown=shown):
                self.assertEqual(rc.updated(self.example(shown), actual, status), lines(written))

    def test_difference_shows_the_changed_line_beside_the_elision(self):
        shown, printed = rc.aligned(lines("a\n...\nz"), lines("a\nb\nc\ny"))
        self.assertEqual(printed, lines("a\n...\ny"))


class Links(unittest.TestCase):
    def test_anchors_as_renderers_make_them(self):
        cases = [
            ("Capturing a listing", "capturing-a-listing"),
            ("Warnings and the listing's own totals", "warnings-and-the-listings-own-totals"),
            ("Which folders take the longest (`--top=N`, `--depth=D`)",
             "which-folders-take-the-longest---topn---depthd"),
        ]
        for heading, anchor in cases:
            with self.subTest(heading=heading):
                self.assertEqual(rc.slug(heading), anchor)

    def test_links_that_lead_nowhere(self):
        readme = os.path.join(rc.ROOT, "README.md")
        doc = ["[a](doc/reference.md#capturing-a-listing) [b](https://example.invalid/x)",
               "```", "[not a link](nowhere.md)", "```",
               "[c](doc/nowhere.md) [d](doc/reference.md#no-such-heading) [e](#quick-start)"]
        errors = rc.broken_links(readme, doc)
        self.assertEqual(errors, ["README.md:5: no file doc/nowhere.md",
                                  "README.md:5: no heading #no-such-heading in doc/reference.md"])


if __name__ == "__main__":
    unittest.main()
