#!/usr/bin/env python3
"""The manual page documents every option that --help lists."""
import re
import unittest

from cli_support import MAN_PAGE, run


def man_text():
    with open(MAN_PAGE, encoding="utf-8") as f:
        # roff writes a hyphen that must stay a hyphen as \-
        return f.read().replace("\\-", "-")


class ManPageTest(unittest.TestCase):
    def test_every_option_of_help_is_in_the_man_page(self):
        help_text = run(["--help"]).stdout.decode("utf-8")
        options = set(re.findall(r"(?<![\w-])(--[a-z][a-z-]*|-[a-zA-Z])\b", help_text))
        self.assertIn("--json", options)  # the pattern finds something
        self.assertIn("-j", options)
        page = man_text()
        missing = sorted(o for o in options if not re.search(r"\.(?:B|BR|BI|TP)\b[^\n]*%s\b" % re.escape(o), page))
        self.assertEqual(missing, [])

    def test_every_command_and_its_options_are_in_the_man_page(self):
        help_text = run(["--help"]).stdout.decode("utf-8")
        commands = re.findall(r"^  ([a-z]+)   ", help_text.split("Commands", 1)[-1], re.M)
        page = man_text()
        for command in commands:
            with self.subTest(command=command):
                # Documented in the command's own subsection of the page.
                heading = re.search(r"^\.SS [^\n]*\b%s\b[^\n]*$" % command, page, re.M)
                self.assertIsNotNone(heading)
                section = re.split(r"^\.S[SH] ", page[heading.end():], maxsplit=1, flags=re.M)[0]
                text = run([command, "--help"]).stdout.decode("utf-8")
                options = set(re.findall(r"(?<![\w-])(--[a-z][a-z-]*|-[a-zA-Z])\b", text)) - {"-h", "--help", "--version"}
                missing = sorted(o for o in options
                                 if not re.search(r"\.(?:B|BR|BI|TP)\b[^\n]*%s\b" % re.escape(o), section))
                self.assertEqual(missing, [])

    def test_the_page_has_the_sections_a_reader_expects(self):
        sections = re.findall(r"^\.SH (.+)$", man_text(), re.M)
        for section in ("NAME", "SYNOPSIS", "DESCRIPTION", "OPTIONS", "EXIT STATUS"):
            self.assertIn(section, sections)


if __name__ == "__main__":
    unittest.main()
