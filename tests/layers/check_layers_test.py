#!/usr/bin/env python3
"""The layer check on a tiny fixture tree: what it must report and what not."""
import os
import sys
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "..", "tools", "check-layers"))
import check_layers  # noqa: E402

FIXTURE = os.path.join(HERE, "fixture")


class CheckLayersTest(unittest.TestCase):
    def test_reports_upward_and_peer_includes_and_unlisted_folders(self):
        levels = check_layers.read_levels(os.path.join(FIXTURE, "layers.txt"))
        self.assertEqual(levels, {"low": 0, "high": 1, "peer_a": 2, "peer_b": 2})
        found = sorted(check_layers.violations(FIXTURE, levels))
        self.assertEqual(found, [
            ("low/upward.cpp", "high/user.h", "high is above low"),
            ("peer_a/across.h", "peer_b/other.h", "peer_b and peer_a are peers"),
            ("stray/lost.h", "", "folder stray is not in the layer table"),
        ])

    def test_the_exit_code_says_whether_anything_was_found(self):
        self.assertEqual(check_layers.main(["check_layers.py", FIXTURE]), 1)
        src = os.path.join(HERE, "..", "..", "src")
        self.assertEqual(check_layers.main(["check_layers.py", src]), 0)


if __name__ == "__main__":
    unittest.main()
