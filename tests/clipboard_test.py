"""patconv --clipboard on a desktop's clipboard: an X server without a
screen (Xvfb), reached with xclip as the program reaches it, and under wine,
which mirrors its clipboard to X's (a lone LF coming in as CR LF, CR LF
going out as LF)."""
import os
import select
import shutil
import subprocess
import time
import unittest

from e2e import CRLF, SAMPLES, E2ETest, expected_rows, paste_warnings, program, \
    redirected_screen, stderr_lines, target_file

NO_ROWS = b"patconv: the clipboard holds no pattern rows; it is left as it was"
ON_CLIPBOARD = b"patconv: %d rows are on the clipboard"
READY = b", ready to paste into Vortex Tracker II"


class XServer:
    """Xvfb on a display number it picks itself."""

    def __init__(self):
        read, write = os.pipe()
        self.process = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write), "-nolisten", "tcp", "-screen", "0", "320x200x8"],
            pass_fds=(write,), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(write)
        # Open until the server ends: it dies of a write to a closed pipe.
        self.read = read
        ready = select.select([read], [], [], 30)[0]
        number = os.read(read, 32).strip() if ready else b""
        if not number:
            self.stop()
            raise RuntimeError("Xvfb did not start")
        self.display = ":" + number.decode()

    def stop(self):
        # The owners xclip leaves behind end with the server.
        self.process.kill()
        self.process.wait()
        os.close(self.read)

    def xclip(self, *arguments, data=None):
        # A setter's background owner keeps its streams: never pipes.
        with open(os.devnull, "wb") as null:
            return subprocess.run(["xclip", "-selection", "clipboard"] + list(arguments),
                                  input=data, stdout=null if data is not None else subprocess.PIPE,
                                  stderr=null, env=dict(os.environ, DISPLAY=self.display),
                                  timeout=10)

    def put(self, data):
        self.xclip("-i", data=data)

    def text(self):
        """The clipboard's bytes, None when it holds nothing."""
        completed = self.xclip("-o")
        return completed.stdout if completed.returncode == 0 else None


def within(seconds, attempt):
    """Calls attempt() until it returns something true or the time is up;
    returns its last result."""
    deadline = time.monotonic() + seconds
    while True:
        result = attempt()
        if result or time.monotonic() > deadline:
            return result
        time.sleep(0.1)


def clipboard_lines(source):
    """Standard error of a run that put the rows of `source` on the clipboard."""
    warnings = [line.replace(b"the screen", b"the clipboard")
                for line in paste_warnings(source, b"")]
    return [ON_CLIPBOARD % len(expected_rows(source)) + (b"" if warnings else READY)] + warnings


def samples():
    for name in sorted(n for n in os.listdir(SAMPLES) if n.endswith(".txt")):
        with open(os.path.join(SAMPLES, name), "rb") as f:
            yield name, f.read()


@unittest.skipUnless(shutil.which("Xvfb") and shutil.which("xclip"), "needs Xvfb and xclip")
class X11(E2ETest):
    def setUp(self):
        super().setUp()
        self.x = XServer()
        self.addCleanup(self.x.stop)
        self.env = {"DISPLAY": self.x.display, "WAYLAND_DISPLAY": ""}

    def test_samples_come_back_as_their_file_conversion(self):
        for name, source in samples():
            with self.subTest(sample=name):
                self.write("in.txt", source)
                wanted = self.run_patconv(b"", arguments=["in.txt", "out.txt"]).file("out.txt")
                self.x.put(source)
                r = self.run_patconv(b"", arguments=["--clipboard"], env=self.env)
                self.assertEqual((r.status, stderr_lines(r.stderr)), (0, clipboard_lines(source)))
                self.assertEqual(r.stdout, redirected_screen(expected_rows(source)))
                self.assertEqual(self.x.text(), wanted)

    def test_a_clipboard_without_pattern_rows_is_left_as_it_was(self):
        # Nothing on it, prose, and what a run before put there.
        converted = b"Vortex Tracker II v1.0 Pattern\r\n....|..|C-5 .... ....|--- .... ....|" \
                    b"--- .... ....\r\n"
        for text in (None, b"notes on the song\n", converted):
            with self.subTest(text=text):
                if text is not None:
                    self.x.put(text)
                r = self.run_patconv(b"", arguments=["-c"], env=self.env)
                self.assertEqual((r.status, stderr_lines(r.stderr), r.stdout), (1, [NO_ROWS], b""))
                self.assertEqual(self.x.text(), text)

    def test_no_display_and_no_tool(self):
        empty = os.path.join(self.directory, "empty")
        os.mkdir(empty)
        cases = [({"DISPLAY": "", "WAYLAND_DISPLAY": ""},
                  b"no display: neither WAYLAND_DISPLAY nor DISPLAY is set (run it in the desktop"
                  b" session)"),
                 (dict(self.env, PATH=empty),
                  b"neither xclip nor xsel was found on PATH (install the package xclip)")]
        for env, reason in cases:
            with self.subTest(reason=reason):
                r = self.run_patconv(b"", arguments=["-c"], env=env)
                self.assertEqual((r.status, stderr_lines(r.stderr)),
                                 (1, [b"patconv: cannot read the clipboard: " + reason]))


@unittest.skipUnless(shutil.which("Xvfb") and shutil.which("xclip"), "needs Xvfb and xclip")
class Wine(E2ETest):
    """patconv.exe in a wine session of its own, on a display, with the
    desktop process (explorer) that keeps wine's clipboard and mirrors it to
    X.  Its prefix is the test run's, linked rather than copied: wine
    replaces the files it changes."""

    @classmethod
    def setUpClass(cls):
        cls.x = XServer()
        prefix = os.environ["WINEPREFIX"] + "-clipboard"
        cls.env = dict(os.environ, DISPLAY=cls.x.display, WINEPREFIX=prefix,
                       WINEDLLOVERRIDES="mscoree,mshtml,winemenubuilder.exe=d")
        cls.wineserver("-k")  # one a broken run left behind
        shutil.rmtree(prefix, ignore_errors=True)
        try:
            shutil.copytree(os.environ["WINEPREFIX"], prefix, symlinks=True,
                            copy_function=os.link)
        except shutil.Error:
            pass  # a file the other tests' wine replaced meanwhile
        # The session lives until the class ends, and wine's clipboard with it.
        for argv in ([os.environ["WINESERVER"], "-p"],
                     [os.environ["PATCONV_WINE"], "explorer.exe", "/desktop"]):
            subprocess.Popen(argv, env=cls.env, stdin=subprocess.DEVNULL,
                             stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                             start_new_session=True)

    @classmethod
    def tearDownClass(cls):
        cls.wineserver("-k")
        cls.wineserver("-w")
        shutil.rmtree(cls.env["WINEPREFIX"], ignore_errors=True)
        cls.x.stop()

    @classmethod
    def wineserver(cls, option):
        subprocess.run([os.environ["WINESERVER"], option], env=cls.env, stdin=subprocess.DEVNULL,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=60)

    def run_clipboard(self):
        """patconv.exe --clipboard: its status and standard error's lines.
        Its streams are files: what wine starts beside it may keep them."""
        with open(os.path.join(self.directory, "err"), "w+b") as errors:
            status = subprocess.run([os.environ["PATCONV_WINE"], program()[-1], "--clipboard"],
                                    env=self.env, stdin=subprocess.DEVNULL,
                                    stdout=subprocess.DEVNULL, stderr=errors,
                                    timeout=60).returncode
            errors.seek(0)
            return status, stderr_lines(errors.read())

    def test_sample_comes_back_as_its_file_conversion(self):
        with open(os.path.join(SAMPLES, "mod_4ch_protrackr_example_64rows.txt"), "rb") as f:
            source = f.read()
        self.x.put(source)
        # Until wine has taken the new text from X, the run finds none.
        runs = []
        within(10, lambda: runs.append(self.run_clipboard()) or runs[-1] != (1, [NO_ROWS]))
        self.assertEqual(runs[-1], (0, clipboard_lines(source)))
        # Wine gives the text to X a moment after the program has ended.
        expected = target_file(expected_rows(source)).replace(CRLF, b"\n")
        within(10, lambda: self.x.text() == expected)
        self.assertEqual(self.x.text(), expected)


if __name__ == "__main__":
    unittest.main()
