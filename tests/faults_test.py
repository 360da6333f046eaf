"""patconv against hostile surroundings: outputs that refuse bytes, inputs
that are no files, huge lines, random binary data, readers that go away,
signals, and a terminal that disappears."""
import fcntl
import os
import random
import resource
import signal
import stat
import struct
import subprocess
import tempfile
import termios
import threading
import time
import unittest

from e2e import (CRLF, HEADER, TITLE, E2ETest, expected_rows, paste_warnings,
                 paste_warnings_for, program, redirected_screen, stderr_lines,
                 target_file, target_row, under_wine)
from tmux import TmuxPane

SOURCE = (b"ModPlug Tracker MOD\r\n"
          b"|C-501v64...|...........|===........\r\n"
          b"|...........|D#403......|c-5........|G-6........\r\n")
ROWS = [b"....|..|C-5 .... ....|--- .... ....|R-- .... ....",
        b"....|..|--- .... ....|D#4 .... ....|c-5 .... ...."]


def under_a_runner():
    """A runner (valgrind, wine) changes timing and memory use."""
    return bool(os.environ.get("PATCONV_RUNNER"))


def posix_only(reason):
    return unittest.skipIf(under_wine(), reason)


class FaultTest(E2ETest):
    def path(self, name):
        return os.path.join(self.directory, name)

    def run_measured(self, answers):
        """Runs patconv with answers on standard input and standard output
        in a file; returns (status, stdout, stderr, peak RSS in KiB)."""
        with open(self.path(".answers"), "wb") as f:
            f.write(answers)
        with open(self.path(".answers"), "rb") as stdin, \
                open(self.path(".stdout"), "wb") as stdout, \
                open(self.path(".stderr"), "wb") as stderr:
            child = subprocess.Popen(program(), stdin=stdin, stdout=stdout, stderr=stderr,
                                     cwd=self.directory)
            try:
                _, status, usage = os.wait4(child.pid, 0)
            finally:
                child.returncode = 0  # reaped above
        with open(self.path(".stdout"), "rb") as f:
            out = f.read()
        with open(self.path(".stderr"), "rb") as f:
            err = f.read()
        return os.waitstatus_to_exitcode(status), out, err, usage.ru_maxrss


class Outputs(FaultTest):
    """Extends the output failures of redirected_test.Failures."""

    @posix_only("needs /dev/full")
    def test_full_disk_met_during_the_run(self):
        # Far more than one 8192-byte buffer: the write fails while rows are
        # still coming, not only at close; every row is still shown, and the
        # failure is told once.
        source = b"|C-5........|...........|===\r\n" * 3000
        self.write("in.txt", source)
        r = self.run_patconv(b"in.txt\n/dev/full\n")
        self.assertEqual(r.stdout, redirected_screen([target_row(source[:28])] * 3000))
        self.assertEqual(r.status, 1)
        self.assertEqual(r.stderr.count(b"\n"), 1)
        self.assertIn(b"/dev/full", r.stderr)
        self.assertIn(b"No space left on device", r.stderr)

    def test_output_in_a_missing_directory_makes_nothing(self):
        self.write("in.txt", SOURCE)
        r = self.run_patconv(b"in.txt\nmissing/out.txt\n")
        self.assertEqual(r.stdout, redirected_screen(ROWS))
        self.assertEqual(r.status, 1)
        self.assertEqual(r.stderr.count(b"\n"), 1)
        self.assertIn(b"'missing/out.txt'", r.stderr)
        self.assertEqual(sorted(os.listdir(self.directory)), ["in.txt"])

    def test_output_named_after_a_directory(self):
        self.write("in.txt", SOURCE)
        os.mkdir(self.path("sub"))
        r = self.run_patconv(b"in.txt\nsub\n")
        self.assertEqual(r.stdout, redirected_screen(ROWS))
        self.assertEqual(r.status, 1)
        self.assertIn(b"'sub'", r.stderr)
        self.assertEqual(os.listdir(self.path("sub")), [])

    @posix_only("pipes of the POSIX shell")
    def test_reader_of_standard_output_stops_after_one_line(self):
        rows = [target_row(b"|C-5........|...........|===")] * 50000
        self.write("in.txt", b"|C-5........|...........|===\r\n" * 50000)
        self.write("answers", b"in.txt\nout.txt\n")
        script = ('"$0" < answers 2> stderr | head -1 > first; '
                  'echo "${PIPESTATUS[0]}" > status')
        subprocess.run(["bash", "-c", script, os.environ["PATCONV"]], cwd=self.directory,
                       timeout=60, check=True)
        with open(self.path("first"), "rb") as f:
            self.assertEqual(f.read(), TITLE + b"\r\n")
        with open(self.path("status")) as f:
            self.assertEqual(f.read().strip(), "0")
        with open(self.path("out.txt"), "rb") as f:
            self.assertEqual(f.read(), target_file(rows))

    @posix_only("pipes of the POSIX shell")
    def test_reader_of_the_converted_text_leaves(self):
        # As a filter: no line after a reader that chose to stop, status 1.
        self.write("in.txt", b"|C-5........|...........|===\r\n" * 50000)
        script = '"$0" in.txt - 2> stderr | head -1 > /dev/null; echo "${PIPESTATUS[0]}" > status'
        subprocess.run(["bash", "-c", script, os.environ["PATCONV"]], cwd=self.directory,
                       timeout=60, check=True)
        self.assertEqual((self.read("stderr"), self.read("status")), (b"", b"1\n"))

    @posix_only("closed descriptors of the POSIX shell")
    def test_standard_output_closed_from_the_start(self):
        # Files the program opens may then get descriptor 1; the screen
        # output must never end up in them.
        self.write("in.txt", SOURCE)
        self.write("answers", b"in.txt\nout.txt\n")
        subprocess.run(["bash", "-c", '"$0" < answers >&- 2> stderr', os.environ["PATCONV"]],
                       cwd=self.directory, timeout=60)
        self.assertEqual(self.read("out.txt"), target_file(ROWS))
        self.assertEqual(self.read("in.txt"), SOURCE)
        self.write("answers", b"missing.txt\nout2.txt\n")
        subprocess.run(["bash", "-c", '"$0" < answers >&- 2> stderr', os.environ["PATCONV"]],
                       cwd=self.directory, timeout=60)
        self.assertFalse(os.path.exists(self.path("out2.txt")))
        self.assertIn(b"missing.txt", self.read("stderr"))

    @posix_only("signals")
    def test_an_ending_signal_tells_how_many_rows_the_output_holds(self):
        # Standard output is a pipe nobody reads, so the run stops as it
        # fills: the line counts the rows in the file (or that pipe) as the
        # signal ends the process, not those still in the output's buffer.
        self.write("in.txt", b"|C-501v64...|...........|===........\r\n" * 100000)
        for number, arguments, name in ((signal.SIGTERM, [], "out.txt"),
                                        (signal.SIGHUP, ["in.txt", "out.txt"], "out.txt"),
                                        (signal.SIGINT, ["in.txt", "-"], "-")):
            with self.subTest(signal=number, arguments=arguments):
                if os.path.exists(self.path("out.txt")):
                    os.remove(self.path("out.txt"))  # the last one's
                child = subprocess.Popen(program() + arguments, stdin=subprocess.PIPE,
                                         stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                                         cwd=self.directory)
                child.stdin.write(b"in.txt\nout.txt\n")
                child.stdin.close()
                in_pipe = lambda: struct.unpack("i", fcntl.ioctl(child.stdout, termios.FIONREAD,
                                                                 b"\0" * 4))[0]
                in_file = lambda: os.path.exists(self.path(name)) and os.path.getsize(self.path(name))
                deadline = time.monotonic() + 30
                while (in_pipe() if name == "-" else in_file()) < 8192:
                    self.assertLess(time.monotonic(), deadline, "no rows written")
                    time.sleep(0.02)
                child.send_signal(number)
                error, out = child.stderr.read(), child.stdout.read()
                self.assertEqual(child.wait(), -number)
                # A file is cut back to its last complete line; standard
                # output, which cannot be, is said to hold part of a row.
                text = out if name == "-" else self.read(name)
                held = text.count(CRLF) - 1
                self.assertLess(held, 100000)
                if name != "-":
                    self.assertEqual(text, target_file([b"....|..|C-5 .... ....|--- .... ....|"
                                                        b"R-- .... ...."] * held))
                cut = b"" if text.endswith(CRLF) else b" and part of the next"
                self.assertEqual(error, b"patconv: interrupted: '%s' holds only the first %s rows%s\n"
                                 % (name.encode(), format(held, ",").encode(), cut))

    def read(self, name):
        with open(self.path(name), "rb") as f:
            return f.read()


class Inputs(FaultTest):
    def test_input_is_a_directory(self):
        os.mkdir(self.path("sub"))
        r = self.run_patconv(b"sub\nout.txt\n")
        self.assertEqual(r.stdout, redirected_screen([]))
        self.assertFalse(r.exists("out.txt"))
        self.assertEqual(r.status, 1)
        self.assertEqual(r.stderr.count(b"\n"), 1)
        self.assertIn(b"'sub'", r.stderr)

    @posix_only("FIFOs")
    def test_fifo_is_read_as_a_stream_whenever_its_writer_comes(self):
        # A FIFO has no size to measure: it is read to its end, as standard
        # input is, from a writer there at once or one that comes later.
        fifo = self.path("fifo")
        os.mkfifo(fifo)
        for delay in (0, 0.3):
            with self.subTest(delay=delay):
                def writer():
                    time.sleep(delay)
                    with open(fifo, "wb") as f:
                        f.write(SOURCE)

                thread = threading.Thread(target=writer, daemon=True)
                thread.start()
                r = self.run_patconv(b"fifo\nout.txt\n", timeout=20)
                thread.join(5)
                self.assertEqual(r.stdout, redirected_screen(ROWS))
                self.assertEqual(r.status, 0)
                self.assertEqual(r.file("out.txt"), target_file(ROWS))

    @posix_only("FIFOs")
    def test_fifo_without_a_reader_as_the_output_does_not_wait(self):
        fifo = self.path("fifo")
        os.mkfifo(fifo)
        self.write("in.txt", SOURCE)
        try:
            started = time.monotonic()
            r = self.run_patconv(b"in.txt\nfifo\n", timeout=20)
            self.assertLess(time.monotonic() - started, 10)
            self.assertEqual(r.stdout, redirected_screen(ROWS))
            self.assertEqual(r.status, 1)
            self.assertIn(b"'fifo'", r.stderr)
        finally:
            self.unblock(fifo, os.O_RDONLY)

    def unblock(self, fifo, flags):
        """Opens the other end of a FIFO without waiting, so that a program
        stuck opening it (a failed test) is released."""
        try:
            os.close(os.open(fifo, flags | os.O_NONBLOCK))
        except OSError:
            pass

    @posix_only("device files")
    def test_devices_read_as_empty_or_are_refused(self):
        # /dev/zero and /dev/urandom measure 0 bytes: no row, at once.
        for name in (b"/dev/zero", b"/dev/urandom", b"/dev/null"):
            with self.subTest(name=name):
                r = self.run_patconv(name + b"\nout.txt\n", timeout=20)
                self.assertEqual(r.stdout, redirected_screen([]))
                self.assertEqual(r.file("out.txt"), target_file([]))
                self.assertEqual(r.status, 0)

    def test_a_20_mb_line_without_a_line_end(self):
        cell = b"|C-5........|D-5........|E-5........"
        size = 20 * 1024 * 1024
        data = (cell * (size // len(cell) + 1))[:size]
        self.write("in.txt", data)
        status, out, err, peak = self.run_measured(b"in.txt\nout.txt\n")
        # Fields of 4096 bytes: 5120 rows.
        rows = [target_row(data[i:i + 4096]) for i in range(0, size, 4096)]
        self.assertEqual(len(rows), 5120)
        self.assertEqual((status, stderr_lines(err)),
                         (0, paste_warnings_for([(row, 1) for row in rows])))
        self.assertEqual(out, redirected_screen(rows))
        with open(self.path("out.txt"), "rb") as f:
            self.assertEqual(f.read(), target_file(rows))
        if under_a_runner():
            return  # the runner's own memory would be measured
        # Memory stays bounded: a 20 MB line costs no more than a short one.
        self.write("small.txt", cell + b"\r\n")
        _, _, _, small_peak = self.run_measured(b"small.txt\nout2.txt\n")
        self.assertLess(peak - small_peak, 4 * 1024, "peak RSS grew by more than 4 MiB")

    def test_random_binary_files(self):
        rng = random.Random(1207)
        for case in range(24):
            size = rng.choice([1, 17, 300, 5000, 20000])
            if case % 3 == 0:
                data = bytes(rng.randrange(256) for _ in range(size))
            else:
                # No 0x1A before the end, so that the whole file is read;
                # 0x00, 0xFF, quotes, commas, blanks and line ends are common.
                alphabet = [b for b in range(256) if b != 0x1A]
                common = [0x00, 0xFF, 0x22, 0x2C, 0x20, 0x09, 0x0D, 0x0A, 0x2E, 0x3D]
                data = bytes(rng.choice(common if rng.random() < 0.4 else alphabet)
                             for _ in range(size))
                if case % 3 == 2:
                    data += b"\x1a" + bytes(rng.randrange(256) for _ in range(50))
            with self.subTest(case=case, size=size):
                self.write("in.bin", data)
                r = self.run_patconv(b"in.bin\nout.txt\n")
                rows = expected_rows(data)
                self.assertEqual((r.status, stderr_lines(r.stderr)), (0, paste_warnings(data, name=b"in.bin")))
                self.assertEqual(r.stdout, redirected_screen(rows))
                self.assertEqual(r.file("out.txt"), target_file(rows))


class TerminalFaults(E2ETest):
    """Signals and a terminal that goes away, during a prompt in a tmux pane.
    terminal_test.Leaving has Ctrl+C, SIGTERM and SIGHUP sent to the program;
    these add the modes left behind, SIGINT and SIGQUIT as signals, and the
    terminal itself closing."""

    def setUp(self):
        super().setUp()
        self.pane = TmuxPane(80, 25, cwd=self.directory)
        self.addCleanup(self.pane.close)

    def start(self, argv=None):
        self.pane.start(argv or program())
        self.pane.wait_for(lambda rows: rows[4].startswith("Filename to Open:?"),
                           what="the first prompt on row 5")
        self.pane.send_text("half")
        self.pane.wait_for(lambda rows: rows[4].endswith("half"))
        # The keypad's mode is never touched: its keys are read either way.
        self.assertEqual(self.flag("keypad_flag"), "0")

    def flag(self, name):
        return self.pane.tmux("display-message", "-p", "#{%s}" % name).strip()

    def program_pid(self):
        pane_pid = self.flag("pane_pid")
        deadline = time.monotonic() + 5
        while time.monotonic() < deadline:
            found = subprocess.run(["pgrep", "-P", pane_pid], stdout=subprocess.PIPE).stdout.split()
            if found:
                # Under the wrapper shell, possibly below an exec'ing one.
                return int(found[0])
            time.sleep(0.02)
        self.fail("the program's process was not found")

    def assert_terminal_restored(self):
        self.assertTrue(self.pane.terminal_settings_kept())
        self.assertEqual(self.flag("cursor_flag"), "1")
        self.assertEqual(self.flag("keypad_flag"), "0")
        self.assertEqual(self.flag("keypad_cursor_flag"), "0")
        self.assertEqual(self.flag("alternate_on"), "0")
        self.assertEqual(self.flag("wrap_flag"), "1")

    def test_ending_signals_restore_the_terminal(self):
        for name, status in (("INT", 130), ("TERM", 143), ("QUIT", 131), ("USR1", 138)):
            with self.subTest(signal=name):
                self.pane = TmuxPane(80, 25, cwd=self.directory)
                self.addCleanup(self.pane.close)
                self.start()
                self.pane.signal(name)
                self.assertEqual(self.pane.wait_exit(), status)
                self.assert_terminal_restored()

    def test_ctrl_backslash_ends_like_sigquit(self):
        self.start()
        self.pane.send_keys("C-\\")
        self.assertEqual(self.pane.wait_exit(), 131)
        self.assert_terminal_restored()

    def wait_gone(self, pid, limit=2.0):
        """Waits for pid to end; returns its CPU seconds as last seen."""
        ticks = os.sysconf("SC_CLK_TCK")
        cpu = 0.0
        deadline = time.monotonic() + limit
        while time.monotonic() < deadline:
            try:
                with open("/proc/%d/stat" % pid) as f:
                    fields = f.read().rsplit(")", 1)[1].split()
            except OSError:
                return cpu
            if fields[0] in ("Z", "X"):
                return cpu
            cpu = (int(fields[11]) + int(fields[12])) / ticks
            time.sleep(0.02)
        self.fail("the program still runs %.1f s after its terminal went away "
                  "(%.2f s of CPU)" % (limit, cpu))

    def test_terminal_closed_during_a_prompt(self):
        self.start()
        pid = self.program_pid()
        self.pane.tmux("kill-server")
        self.assertLess(self.wait_gone(pid), 0.5)

    def test_terminal_closed_while_the_hangup_signal_is_ignored(self):
        # Started as under nohup: no signal comes, the closed terminal is
        # seen by reading it.
        self.start(["sh", "-c", "trap '' HUP; exec \"$0\"", program()[-1]])
        pid = self.program_pid()
        self.pane.tmux("kill-server")
        self.assertLess(self.wait_gone(pid), 0.5)


if __name__ == "__main__":
    unittest.main()
