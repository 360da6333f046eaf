"""End-to-end tests of what `make package` and `make install` deliver.

    PATCONV_PACKAGES   the folder the test run's packages were made in
    PATCONV_VERSION    the project's version, which the package names carry
    MANUAL_PAGE        the manual page of the build; GROFF formats it

Install clones this repository into a scratch folder, runs the README's
`make install` there into a staging root (DESTDIR), and converts a published
sample with the program installed.  Deb unpacks the Debian package into a
scratch root (dpkg -x: nothing is installed on this machine) and converts
it with the program found there.  Zip unpacks the Windows zip and runs its patconv.exe through
PATCONV_RUNNER (wine).  Both run the program on redirected streams and check
its output file and standard output against the rules.
"""
import os
import shlex
import shutil
import subprocess
import unittest
import zipfile

from e2e import (REFUSAL, SAMPLES, STATUS_LINE, E2ETest, expected_rows, redirected_screen,
                 target_file)

VERSION = os.environ.get("PATCONV_VERSION", "")
SAMPLE = "mod_4ch_protrackr_example_64rows.txt"
SOURCE_DIR = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))


def output_of(command):
    return subprocess.run(command, stdout=subprocess.PIPE, check=True,
                          timeout=60).stdout.decode().strip()


class PackageTest(E2ETest):
    def package(self, name):
        path = os.path.join(os.environ["PATCONV_PACKAGES"], name)
        self.assertTrue(os.path.isfile(path), "not made: " + path)
        return path

    def check_conversion(self, command):
        with open(os.path.join(SAMPLES, SAMPLE), "rb") as f:
            source = f.read()
        self.write("in.txt", source)
        completed = subprocess.run(command, input=b"in.txt\nout.txt\n", stdout=subprocess.PIPE,
                                   stderr=subprocess.PIPE, cwd=self.directory, timeout=120)
        rows = expected_rows(source)
        self.assertEqual(len(rows), 64)
        self.assertEqual((completed.returncode, completed.stderr), (0, b""))
        self.assertEqual(completed.stdout, redirected_screen(rows))
        with open(os.path.join(self.directory, "out.txt"), "rb") as f:
            self.assertEqual(f.read(), target_file(rows))


class Deb(PackageTest):
    def test_unpacked_program_converts(self):
        deb = self.package("patconv_%s_%s.deb" % (VERSION, output_of(
            ["dpkg", "--print-architecture"])))
        self.assertEqual(output_of(["dpkg-deb", "--field", deb, "Version"]), VERSION)
        # The program needs the C and C++ runtimes and nothing else.
        depends = output_of(["dpkg-deb", "--field", deb, "Depends"])
        names = {d.split()[0] for d in depends.split(",")}
        self.assertIn("libc6", names)
        self.assertLessEqual(names, {"libc6", "libgcc-s1", "libstdc++6"}, depends)

        root = os.path.join(self.directory, "root")
        subprocess.run(["dpkg", "-x", deb, root], check=True, timeout=60)
        for path in ("usr/share/man/man1/patconv.1.gz", "usr/share/doc/patconv/README.md",
                     "usr/share/doc/patconv/copyright", "usr/share/doc/patconv/changelog.gz"):
            self.assertTrue(os.path.isfile(os.path.join(root, path)), path)
        self.check_conversion([os.path.join(root, "usr/bin/patconv")])
        if shutil.which("lintian"):
            lintian = subprocess.run(["lintian", "--fail-on", "error,warning", deb], timeout=300,
                                     stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
            self.assertEqual(lintian.returncode, 0, lintian.stdout.decode(errors="replace"))


class Install(PackageTest):
    def test_make_install_in_a_fresh_clone(self):
        clone, root = os.path.join(self.directory, "clone"), os.path.join(self.directory, "root")
        subprocess.run(["git", "clone", "-q", SOURCE_DIR, clone], check=True, timeout=120)
        make = subprocess.run(["make", "install", "PREFIX=/opt/patconv", "DESTDIR=" + root],
                              cwd=clone, stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                              timeout=900)
        self.assertEqual(make.returncode, 0, make.stdout.decode(errors="replace")[-3000:])
        prefix = os.path.join(root, "opt/patconv")
        files = sorted(os.path.relpath(os.path.join(d, f), prefix)
                       for d, _, names in os.walk(prefix) for f in names)
        self.assertEqual(files, ["bin/patconv", "share/doc/patconv/README.md",
                                 "share/doc/patconv/changelog.gz", "share/doc/patconv/copyright",
                                 "share/man/man1/patconv.1.gz"])
        self.check_conversion([os.path.join(prefix, "bin/patconv")])


class Zip(PackageTest):
    def test_unpacked_program_converts(self):
        top = "patconv-%s-win64" % VERSION
        with zipfile.ZipFile(self.package(top + ".zip")) as z:
            files = sorted(n for n in z.namelist() if not n.endswith("/"))
            self.assertEqual(files, [top + "/LICENSE.txt", top + "/README.txt",
                                     top + "/patconv.exe"])
            readme = z.read(top + "/README.txt")
            z.extractall(os.path.join(self.directory, "unpacked"))
        # The README for Windows users: UTF-8 with a byte-order mark, every
        # line ended by CR LF.
        with open(os.path.join(SOURCE_DIR, "doc", "README-windows.txt.in"), "rb") as f:
            text = f.read().replace(b"@PROJECT_VERSION@", VERSION.encode())
        self.assertEqual(readme, b"\xef\xbb\xbf" + text.replace(b"\n", b"\r\n"))
        exe = os.path.join(self.directory, "unpacked", top, "patconv.exe")
        # The version resource and the manifest.
        with open(exe, "rb") as f:
            binary = f.read()
        self.assertIn("ProductVersion\0%s" % VERSION, binary.decode("utf-16-le", "replace"))
        self.assertIn(b"<longPathAware", binary)
        runner = shlex.split(os.environ.get("PATCONV_RUNNER", ""))
        self.check_conversion(runner + [exe])


class ManualPage(unittest.TestCase):
    def test_formats_without_warnings(self):
        # -ww: every warning, undefined macros too (which -wall leaves out).
        completed = subprocess.run(
            [os.environ["GROFF"], "-man", "-Tutf8", "-ww", "-P-cbou", os.environ["MANUAL_PAGE"]],
            stdout=subprocess.PIPE, stderr=subprocess.PIPE, timeout=60)
        self.assertEqual(completed.stderr.decode(errors="replace"), "")
        text = completed.stdout.decode()
        self.assertIn("patconv " + VERSION, text)
        # The program's own Russian lines, spelt as it prints them.
        for line in (REFUSAL, STATUS_LINE):
            self.assertIn(line.decode("cp1251"), " ".join(text.split()))


if __name__ == "__main__":
    unittest.main()
