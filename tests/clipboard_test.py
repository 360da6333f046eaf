"""patconv --clipboard on an X server without a screen (Xvfb), whose
clipboard xclip reads and sets here as the program does; and patconv.exe
under wine, which mirrors its clipboard to X's (CR LF going out as LF)."""
import os
import select
import shutil
import signal
import subprocess
import time
import unittest

from e2e import CRLF, SAMPLES, E2ETest, expected_rows, paste_warnings, program, \
    redirected_screen, stderr_lines, target_file

NO_ROWS = b"patconv: the clipboard holds no pattern rows; it is left as it was"


class XServer:
    def __init__(self):
        # Open while the server runs, which dies writing to a closed pipe.
        self.read, write = os.pipe()
        self.process = subprocess.Popen(["Xvfb", "-displayfd", str(write), "-nolisten", "tcp"],
                                        pass_fds=(write,), stderr=subprocess.DEVNULL)
        os.close(write)
        ready = select.select([self.read], [], [], 30)[0]
        self.display = ":" + (os.read(self.read, 32).decode().strip() if ready else "")

    def stop(self):
        self.process.terminate()  # the owners xclip leaves end with it
        self.process.wait(10)
        os.close(self.read)

    def xclip(self, option, data=None):
        # A setter's background owner keeps its streams: no pipe there.
        completed = subprocess.run(["xclip", option, "-selection", "clipboard"], input=data,
                                   stdout=subprocess.DEVNULL if data else subprocess.PIPE,
                                   stderr=subprocess.DEVNULL, timeout=10,
                                   env=dict(os.environ, DISPLAY=self.display))
        return completed.stdout if completed.returncode == 0 else None  # None: nothing there


def within(seconds, done):
    deadline = time.monotonic() + seconds
    while not done() and time.monotonic() < deadline:
        time.sleep(0.1)


def tool_of(parent, option):
    """The pid of the xclip with `option` that `parent` started, or None."""
    for entry in os.listdir("/proc"):
        try:
            with open("/proc/%s/stat" % entry) as f:
                fields = f.read().rsplit(")", 1)[1].split()
            with open("/proc/%s/cmdline" % entry, "rb") as f:
                argv = f.read().split(b"\0")
        except (OSError, ValueError, IndexError):
            continue
        if int(fields[1]) == parent and option.encode() in argv:
            return int(entry)
    return None


def ended(pid):
    try:
        with open("/proc/%d/stat" % pid) as f:
            return f.read().rsplit(")", 1)[1].split()[0] == "Z"
    except OSError:
        return True


def clipboard_lines(source):
    """Standard error of a run that put the rows of `source` on the clipboard."""
    warnings = [line.replace(b"the screen", b"the clipboard")
                for line in paste_warnings(source, b"")]
    return [b"patconv: %s rows are on the clipboard" % format(len(expected_rows(source)),
                                                              ",").encode()
            + (b"" if warnings else b", ready to paste into Vortex Tracker II")] + warnings


@unittest.skipUnless(shutil.which("Xvfb") and shutil.which("xclip"), "needs Xvfb and xclip")
class X11(E2ETest):
    def setUp(self):
        super().setUp()
        self.x = XServer()
        self.addCleanup(self.x.stop)
        self.env = {"DISPLAY": self.x.display, "WAYLAND_DISPLAY": ""}

    def test_samples_come_back_as_their_file_conversion(self):
        names = sorted(n for n in os.listdir(SAMPLES) if n.endswith(".txt"))
        # The NUL bytes of a text copied with its terminator are no row.
        for name, terminator in [(n, b"") for n in names] + [(names[0], b"\0\0")]:
            with self.subTest(sample=name, terminator=terminator):
                with open(os.path.join(SAMPLES, name), "rb") as f:
                    source = f.read()
                self.x.xclip("-i", source + terminator)
                r = self.run_patconv(b"", arguments=["--clipboard"], env=self.env)
                self.assertEqual((r.status, stderr_lines(r.stderr)), (0, clipboard_lines(source)))
                self.assertEqual(r.stdout, redirected_screen(expected_rows(source)))
                self.assertEqual(self.x.xclip("-o"), target_file(expected_rows(source)))

    def test_a_clipboard_without_pattern_rows_is_left_as_it_was(self):
        for text in (None, b"notes on the song\n", target_file(expected_rows(b"|C-5\n"))):
            with self.subTest(text=text):
                if text:
                    self.x.xclip("-i", text)
                r = self.run_patconv(b"", arguments=["-c"], env=self.env)
                self.assertEqual((r.status, stderr_lines(r.stderr), r.stdout), (1, [NO_ROWS], b""))
                self.assertEqual(self.x.xclip("-o"), text)

    def test_a_signal_as_a_tool_runs_never_cuts_the_clipboard(self):
        with open(os.path.join(SAMPLES, "mod_4ch_protrackr_example_64rows.txt"), "rb") as f:
            lines = f.read().splitlines()
        source = CRLF.join(lines[:1] + lines[1:65] * 1500) + CRLF  # 96,000 rows
        result = target_file(expected_rows(source))
        # A setter slow to start, as on a busy desktop; a reader kept waiting
        # by an X server that does not answer.
        self.write("bin/xclip", b'#!/bin/sh\n[ "$1" = -i ] && sleep 1\nexec %s "$@"\n'
                   % shutil.which("xclip").encode())
        os.chmod(os.path.join(self.directory, "bin", "xclip"), 0o755)
        env = dict(os.environ, PATH=os.path.join(self.directory, "bin") + ":" + os.environ["PATH"],
                   **self.env)
        self.addCleanup(self.x.process.send_signal, signal.SIGCONT)
        for option in ("-o", "-i"):  # the reader, the setter
            with self.subTest(tool=option):
                self.x.xclip("-i", source)
                within(10, lambda: self.x.xclip("-o") == source)
                if option == "-o":
                    self.x.process.send_signal(signal.SIGSTOP)
                run = subprocess.Popen(program() + ["-c"], stdin=subprocess.DEVNULL,
                                       stdout=subprocess.DEVNULL, stderr=subprocess.PIPE,
                                       env=env)
                tool = None
                while tool is None and run.poll() is None:
                    tool = tool_of(run.pid, option)
                run.send_signal(signal.SIGTERM)
                self.assertEqual(run.wait(30), -signal.SIGTERM)
                # It says what the clipboard will hold.
                self.assertEqual(stderr_lines(run.stderr.read())[-1:], [
                    b"patconv: interrupted: the clipboard gets the converted rows" if option == "-i"
                    else b"patconv: interrupted: the clipboard is left as it was"])
                run.stderr.close()
                within(10, lambda: ended(tool))
                tool_ended = ended(tool)
                self.x.process.send_signal(signal.SIGCONT)
                self.assertTrue(tool_ended)
                within(10, lambda: self.x.xclip("-o") in (source, result))
                self.assertEqual(self.x.xclip("-o"), result if option == "-i" else source)

    def test_no_display_and_no_tool(self):
        for env, reason in [({"DISPLAY": ""}, b"no display: neither WAYLAND_DISPLAY nor DISPLAY"
                             b" is set (run it in the desktop session)"),
                            ({"PATH": self.directory}, b"neither xclip nor xsel was found on PATH"
                             b" (install the package xclip)")]:
            r = self.run_patconv(b"", arguments=["-c"], env=dict(self.env, **env))
            self.assertEqual((r.status, stderr_lines(r.stderr)),
                             (1, [b"patconv: cannot read the clipboard: " + reason]))


@unittest.skipUnless(shutil.which("Xvfb") and shutil.which("xclip"), "needs Xvfb and xclip")
class Wine(E2ETest):
    """A wine session of its own on the display, in a linked copy of the prefix."""

    @classmethod
    def setUpClass(cls):
        cls.x = XServer()
        cls.env = dict(os.environ, DISPLAY=cls.x.display, WINEDLLOVERRIDES="mscoree,mshtml,"
                       "winemenubuilder.exe=d", WINEPREFIX=os.environ["WINEPREFIX"] + "-clipboard")
        cls.tearDownClass(x_too=False)  # a session a broken run left
        subprocess.run(["cp", "-al", os.environ["WINEPREFIX"], cls.env["WINEPREFIX"]])
        # The session lives until the class ends, and with it wine's clipboard,
        # which explorer keeps.  (Wine replaces the files it changes: links hold.)
        for argv in ([os.environ["WINESERVER"], "-p"],
                     [os.environ["PATCONV_WINE"], "explorer.exe", "/desktop"]):
            subprocess.Popen(argv, env=cls.env, stdin=subprocess.DEVNULL,
                             stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                             start_new_session=True)

    @classmethod
    def tearDownClass(cls, x_too=True):
        subprocess.run([os.environ["WINESERVER"], "-k"], env=cls.env, stderr=subprocess.DEVNULL)
        shutil.rmtree(cls.env["WINEPREFIX"], ignore_errors=True)
        if x_too:
            cls.x.stop()

    def run_clipboard(self):
        # Files, not pipes: what wine starts beside the program may keep them.
        with open(os.path.join(self.directory, "err"), "w+b") as errors:
            status = subprocess.run([os.environ["PATCONV_WINE"], program()[-1], "--clipboard"],
                                    env=self.env, stdin=subprocess.DEVNULL,
                                    stdout=subprocess.DEVNULL, stderr=errors, timeout=60)
            errors.seek(0)
            return status.returncode, stderr_lines(errors.read())

    def test_sample_comes_back_as_its_file_conversion(self):
        with open(os.path.join(SAMPLES, "mod_4ch_protrackr_example_64rows.txt"), "rb") as f:
            source = f.read()
        self.x.xclip("-i", source)
        runs = []
        # Until wine has taken the text from X, the run finds none; while the
        # session starts, its clipboard may be busy.  A failed run leaves it.
        within(10, lambda: runs.append(self.run_clipboard()) or runs[-1][0] != 1)
        self.assertEqual(runs[-1], (0, clipboard_lines(source)), runs)
        # Wine gives X the text a moment after the program has ended.
        expected = target_file(expected_rows(source)).replace(CRLF, b"\n")
        within(10, lambda: self.x.xclip("-o") == expected)
        self.assertEqual(self.x.xclip("-o"), expected)


if __name__ == "__main__":
    unittest.main()
