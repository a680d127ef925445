#!/usr/bin/env python3
"""Defaults that depend on a terminal: a table for a person, nothing but
records and messages for a program."""
import os
import pty
import subprocess
import unittest

from cli_support import BIN, jsonl_records, sample_paths


def run_on_terminal(args, stdout_on_terminal, stderr_on_terminal):
    """Runs the tool with stdout and/or stderr on a pseudo-terminal; returns
    (status, stdout bytes, stderr bytes)."""
    master, slave = pty.openpty()
    try:
        process = subprocess.Popen([BIN] + args, stdin=subprocess.DEVNULL,
                                   stdout=slave if stdout_on_terminal else subprocess.PIPE,
                                   stderr=slave if stderr_on_terminal else subprocess.PIPE)
        os.close(slave)
        slave = -1
        terminal = b""
        while True:
            try:
                chunk = os.read(master, 65536)
            except OSError:  # the other end is closed
                break
            if not chunk:
                break
            terminal += chunk
        out = process.stdout.read() if process.stdout else terminal
        err = process.stderr.read() if process.stderr else terminal
        return process.wait(timeout=60), out, err
    finally:
        os.close(master)
        if slave >= 0:
            os.close(slave)


class TerminalTest(unittest.TestCase):
    def test_a_terminal_gets_the_table(self):
        status, out, _ = run_on_terminal(sample_paths()[:1], stdout_on_terminal=True, stderr_on_terminal=False)
        self.assertEqual(status, 0)
        text = out.decode("utf-8").replace("\r\n", "\n")
        self.assertTrue(text.startswith(sample_paths()[0] + "\n  Title "), text)

    def test_a_pipe_gets_json_lines_and_a_short_run_draws_no_progress(self):
        status, out, err = run_on_terminal(sample_paths(), stdout_on_terminal=False, stderr_on_terminal=True)
        self.assertEqual(status, 0)
        self.assertEqual(len(jsonl_records(out)), len(sample_paths()))
        self.assertEqual(err, b"")


if __name__ == "__main__":
    unittest.main()
