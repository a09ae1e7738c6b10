#!/usr/bin/env python3
"""The release zip, made from the built DLL: what is in it, in what order,
dated how, and that its name is the one the DLL's version gives it; and the
checker refuses zips that break those rules.

  test_release_zip.py SOURCE_ROOT TUNELET_DLL PROJECT_VERSION WORK_DIR
"""
import io
import os
import shutil
import sys
import unittest
import zipfile

ROOT, DLL, PROJECT_VERSION, WORK = sys.argv[1:5]
del sys.argv[1:5]
sys.dont_write_bytecode = True  # nothing written into the source tree
sys.path.insert(0, os.path.join(ROOT, "tools", "release"))
import check_release  # noqa: E402
import make_release  # noqa: E402

LNG = os.path.join(ROOT, "addons", "English.lng")
GUIDE = os.path.join(ROOT, "docs", "user-guide.txt")
# The update check reads the first three parts, one digit each.
EXPECTED_NAME = "tunelet%s.zip" % ".".join(PROJECT_VERSION.split(".")[:3])


def quiet_check(path):
    with io.StringIO() as out:
        saved, sys.stdout = sys.stdout, out
        try:
            return check_release.check(path), out.getvalue()
        finally:
            sys.stdout = saved


def rewrite(source, target, change):
    """Copies zip source to target, each member's ZipInfo and data through change."""
    with zipfile.ZipFile(source) as src, zipfile.ZipFile(target, "w") as dst:
        for info in src.infolist():
            new_info, data = change(info, src.read(info.filename))
            if new_info is not None:
                dst.writestr(new_info, data)


class ReleaseZip(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        shutil.rmtree(WORK, ignore_errors=True)
        cls.dist = os.path.join(WORK, "dist")
        cls.zip = make_release.make_release(DLL, LNG, GUIDE, cls.dist)

    def test_the_zip_is_named_from_the_dlls_version_and_passes_its_check(self):
        self.assertEqual(os.path.basename(self.zip), EXPECTED_NAME)
        ok, report = quiet_check(self.zip)
        self.assertTrue(ok, report)
        self.assertIn("Tunelet.dll version: %s" % PROJECT_VERSION, report)

    def test_members_keep_their_order_date_and_bytes(self):
        with zipfile.ZipFile(self.zip) as z:
            infos = z.infolist()
            self.assertEqual([i.filename for i in infos],
                             ["Tunelet.dll", "addons/English.lng", "Tunelet-readme.txt"])
            self.assertTrue(all(i.date_time == (1980, 1, 1, 0, 0, 0) for i in infos))
            with open(DLL, "rb") as f:
                self.assertEqual(z.read("Tunelet.dll"), f.read())
            with open(LNG, "rb") as f:
                self.assertEqual(z.read("addons/English.lng"), f.read())
            guide = z.read("Tunelet-readme.txt")
        self.assertTrue(guide.startswith(b"Tunelet - now playing"))
        self.assertEqual(guide.count(b"\n"), guide.count(b"\r\n"))
        with open(os.path.join(self.dist, "SHA256SUMS")) as f:
            self.assertRegex(f.read(), r"^[0-9a-f]{64}  %s\n$" % EXPECTED_NAME.replace(".", r"\."))

    def test_file_dates_and_a_second_run_change_no_byte(self):
        work = os.path.join(WORK, "touched")
        os.makedirs(work)
        inputs = []
        for path in (DLL, LNG, GUIDE):
            copy = os.path.join(work, os.path.basename(path))
            shutil.copyfile(path, copy)
            os.utime(copy, (1_700_000_000, 1_700_000_000))
            inputs.append(copy)
        again = make_release.make_release(*inputs, os.path.join(work, "dist"))
        with open(self.zip, "rb") as a, open(again, "rb") as b:
            self.assertEqual(a.read(), b.read())

    def test_a_version_part_above_nine_is_refused(self):
        # The update check would read "3.10.0" as 3.1.
        with self.assertRaises(make_release.ReleaseError):
            make_release.zip_name((3, 10, 0, 0))
        self.assertEqual(make_release.zip_name((3, 0, 5, 2650)), "tunelet3.0.5.zip")

    def test_the_checker_refuses_a_broken_zip(self):
        cases = {
            # A zip under another version's name.
            "renamed": ("tunelet9.9.9.zip", lambda i, d: (i, d), "names the zip " + EXPECTED_NAME),
            "dated": (EXPECTED_NAME, lambda i, d: (zipfile.ZipInfo(i.filename, (2024, 5, 1, 12, 0, 0)), d),
                      "Tunelet.dll: date"),
            "no guide": (EXPECTED_NAME, lambda i, d: (None, d) if i.filename.endswith(".txt") else (i, d),
                         "members must be"),
            "unix guide": (EXPECTED_NAME,
                           lambda i, d: (i, d.replace(b"\r\n", b"\n") if i.filename.endswith(".txt") else d),
                           "not ASCII with CR LF"),
        }
        for label, (name, change, message) in cases.items():
            with self.subTest(label):
                folder = os.path.join(WORK, label.replace(" ", "-"))
                os.makedirs(folder)
                broken = os.path.join(folder, name)
                rewrite(self.zip, broken, change)
                ok, report = quiet_check(broken)
                self.assertFalse(ok, report)
                self.assertIn(message, report)

    def test_the_checker_refuses_a_checksum_file_that_does_not_match(self):
        folder = os.path.join(WORK, "sums")
        os.makedirs(folder)
        copy = shutil.copy(self.zip, folder)
        with open(os.path.join(folder, "SHA256SUMS"), "w") as f:
            f.write("%s  %s\n" % ("0" * 64, EXPECTED_NAME))
        ok, report = quiet_check(copy)
        self.assertFalse(ok)
        self.assertIn("SHA256SUMS does not name", report)


if __name__ == "__main__":
    unittest.main(verbosity=2)
