"""patconv with redirected standard input and output: the whole dialogue,
the conversion and the failures, compared byte for byte."""
import os
import random
import re
import subprocess
import unittest

from e2e import (CRLF, HEADER, MARKS, REFUSAL, SAMPLES, STATUS_LINE, TITLE, E2ETest, Result,
                 expected_rows, paste_refusal, paste_warnings, paste_warnings_for, program,
                 redirected_screen, stderr_lines, target_file, target_row, under_wine)

SOURCE = (b"ModPlug Tracker MOD\r\n"
          b"|C-501v64...|...........|===........\r\n"
          b"|...........|D#403......|c-5........|G-6........\r\n"
          b"|===........|^^^........|...........\r\n")
ROWS = [b"....|..|C-5 .... ....|--- .... ....|R-- .... ....",
        b"....|..|--- .... ....|D#4 .... ....|c-5 .... ....",
        b"....|..|R-- .... ....|^^^ .... ....|--- .... ...."]
# The third row has a note the tracker does not know: a paste of the whole
# would do nothing.
REFUSED = b"(source line 4): note '^^^' in channel 2 is not C-1...B-8, --- or R--"


class Dialogue(E2ETest):
    def test_normal_run(self):
        self.write("in.txt", SOURCE)
        r = self.run_patconv(b"in.txt\nout.txt\n")
        self.assertEqual(r.stdout, redirected_screen(ROWS))
        self.assertEqual(r.file("out.txt"), target_file(ROWS))
        self.assertEqual(r.status, 0)
        self.assertEqual(stderr_lines(r.stderr), [
            b"patconv: warning: 'out.txt': 1 of 3 rows will not paste into Vortex Tracker II"
            b" (the tracker refuses the whole paste)",
            b"patconv: warning:   line 4 " + REFUSED])

    def test_both_names_on_one_line(self):
        self.write("in.txt", SOURCE)
        r = self.run_patconv(b"  in.txt,out.txt\r\n")
        self.assertEqual(r.file("out.txt"), target_file(ROWS))
        self.assertEqual(r.status, 0)
        # Blanks inside a field belong to it: "in.txt " names another file.
        # Windows drops blanks at the end of a file name, so there the name
        # still reaches in.txt itself.
        r = self.run_patconv(b"in.txt , out2.txt\r\n")
        if under_wine():
            self.assertEqual(r.file("out2.txt"), target_file(ROWS))
            self.assertEqual(r.status, 0)
        else:
            self.assertFalse(r.exists("out2.txt"))
            self.assertEqual(r.status, 1)

    def test_quoted_names_keep_commas_and_blanks(self):
        self.write("a, b.txt", SOURCE)
        r = self.run_patconv(b'"a, b.txt"\n" out .txt"\n')
        self.assertEqual(r.file(" out .txt"), target_file(ROWS))

    def test_empty_names_are_refused_until_one_is_given(self):
        self.write("in.txt", SOURCE)
        r = self.run_patconv(b"\n   \n\t\nin.txt\nout.txt\n")
        self.assertEqual(r.stdout, redirected_screen(ROWS, refusals=3))
        self.assertEqual(r.status, 0)

    def test_empty_output_name_shows_rows_only(self):
        self.write("in.txt", SOURCE)
        r = self.run_patconv(b"in.txt\n\n")
        self.assertEqual(r.stdout, redirected_screen(ROWS))
        self.assertEqual(sorted(os.listdir(r.directory)), ["in.txt"])
        self.assertEqual(r.status, 0)
        # The warning names the rows shown.
        self.assertEqual(stderr_lines(r.stderr), [
            b"patconv: warning: the screen: 1 of 3 rows will not paste into Vortex Tracker II"
            b" (the tracker refuses the whole paste)",
            b"patconv: warning:   row 3 " + REFUSED])

    def test_exhausted_input_while_asking_for_the_output(self):
        self.write("in.txt", SOURCE)
        r = self.run_patconv(b"in.txt")
        self.assertEqual(r.stdout, redirected_screen(ROWS))
        self.assertEqual(r.status, 0)

    def test_exhausted_input_stops_the_refusals(self):
        r = self.run_patconv(b"")
        self.assertEqual(r.stdout, TITLE + CRLF + REFUSAL + CRLF + CRLF)
        self.assertEqual(r.status, 1)
        self.assertEqual(r.stderr.count(b"\n"), 1)
        self.assertIn(b"standard input", r.stderr)
        # A blank line first: refused as usual, then the end stops the run.
        r = self.run_patconv(b"\r\n  ")
        self.assertEqual(r.stdout, TITLE + CRLF + (REFUSAL + CRLF + CRLF) * 2)
        self.assertEqual(r.status, 1)

    def test_names_from_standard_input_are_their_bytes(self):
        # The bytes go to the system as they are: in its ANSI code page on
        # Windows (1252 under wine's C.UTF-8), unless they are UTF-8 beyond
        # ASCII (an answers file saved as UTF-8, its mark skipped).
        def on_disk(name):  # every name here goes beyond ASCII
            try:
                return name.decode("utf-8") and name
            except UnicodeDecodeError:
                return name.decode("cp1252").encode() if under_wine() else name
        names = [b"\xe4\xf6\xfc.txt", b"\xc2\xfb\xe2\xee\xe4.txt", "вывод.txt".encode()]
        pairs = [(i, o, None) for i, o in zip(names, names[1:] + names[:1])]
        pairs.append(("\ufeffпример.txt".encode(), "sortie_é.txt".encode(), None))
        # Answers saved as UTF-16 (Notepad's "Unicode") name files as UTF-8 does.
        pairs += [("пример.txt".encode(), "名前_é.txt".encode(), c) for c in ("utf-16-le",
                                                                          "utf-16-be")]
        for input_name, output_name, codec in pairs:
            with self.subTest(input=input_name, output=output_name, codec=codec):
                answers = input_name + b"\n" + output_name + b"\n"
                if codec:
                    answers = ("\ufeff" + answers.decode()).encode(codec)
                input_name = input_name.replace(b"\xef\xbb\xbf", b"")
                for name in os.listdir(self.directory.encode()):
                    os.remove(os.path.join(self.directory.encode(), name))
                with open(os.path.join(self.directory.encode(), on_disk(input_name)), "wb") as f:
                    f.write(SOURCE)
                r = self.run_patconv(answers, env={"LC_ALL": "C.UTF-8"})
                self.assertEqual(r.stdout, redirected_screen(ROWS))
                self.assertEqual(sorted(os.listdir(self.directory.encode())),
                                 sorted([on_disk(input_name), on_disk(output_name)]))
                self.assertEqual(r.file(on_disk(output_name)), target_file(ROWS))

    def test_answers_end_at_the_eof_mark(self):
        self.write("in.txt", SOURCE)
        r = self.run_patconv(b"in.txt\r\n\x1aout.txt\n")
        self.assertEqual(r.stdout, redirected_screen(ROWS))
        self.assertFalse(r.exists("out.txt"))


class Conversion(E2ETest):
    def convert(self, source):
        self.write("in.txt", source)
        r = self.run_patconv(b"in.txt\nout.txt\n")
        self.assertEqual(r.status, 0, r.stderr)
        return r

    def check(self, source, rows):
        r = self.convert(source)
        self.assertEqual(r.stdout, redirected_screen(rows))
        self.assertEqual(r.file("out.txt"), target_file(rows))
        self.assertEqual(stderr_lines(r.stderr), paste_warnings(source))
        if not os.environ.get("PATCONV_RUNNER"):  # wine and valgrind: too slow to run twice
            # Standard input ends where it ends, a file where its size says.
            self.assertEqual(self.run_patconv(source, arguments=["-"]).stdout, target_file(rows))
        return r

    def test_header_is_dropped_and_notes_mapped(self):
        self.check(b"ModPlug Tracker  IT\r\n|...........\r\n",
                   [b"....|..|--- .... ....| .... ....| .... ...."])

    def test_commas_split_a_line_into_two_rows(self):
        self.check(b"|C-5.,|D-5........|E-5\r\n",
                   [b"....|..|C-5 .... ....| .... ....| .... ....",
                    b"....|..|D-5 .... ....|E-5 .... ....| .... ...."])

    def test_last_line_without_line_end(self):
        self.check(b"|C-5\r\n|D-5", [target_row(b"|C-5"), target_row(b"|D-5")])

    def test_lf_only_and_lone_cr(self):
        self.check(b"|C-5\n|D-5\r|E-5\n",
                   [target_row(b"|C-5"), target_row(b"|D-5"), target_row(b"|E-5")])

    def test_eof_mark_ends_the_source(self):
        # It still ends the text, but no longer in silence.
        # Standard input and a FIFO say it as a file does.
        source = b"|C-5\r\n\x1a" + b"|D-5\r\n" * 1010
        r = self.check(source, [target_row(b"|C-5")])
        warning = (b"a 0x1A byte on line 2 ends the text; 6,060 bytes after it were not read")
        self.assertEqual(stderr_lines(r.stderr)[0], b"patconv: warning: 'in.txt': " + warning)
        r = self.run_patconv(source, arguments=["-", "out.txt"])
        self.assertEqual(stderr_lines(r.stderr)[0], b"patconv: warning: '-': " + warning)
        self.check(b"|C-5\x1a|D-5\r\n", [target_row(b"|C-5")])
        # At the end, alone or with more of them after it: no row, no word.
        self.check(b"|C-5\r\n\x1a", [target_row(b"|C-5")])
        self.check(b"|C-5\r\n\x1a\x1a\x1a", [target_row(b"|C-5")])

    def test_marked_sources_convert_as_their_ansi_text(self):
        # Notepad's "UTF-8" and "Unicode", PowerShell's `>`: the rows of the
        # same text saved as ANSI, '?' where Windows-1251 lacks a character.
        text = SOURCE.decode("cp1251") + "|\u0416-5 \u00e9\U0001F3B5\r\n|D-5\r\r\n|E-5\x1a t\r\n"
        ansi = text.encode("cp1251", "replace")
        self.assertIn(b"|\xc6-5 ??\r\n", ansi)
        for mark, codec in MARKS:
            with self.subTest(codec=codec):
                self.check(mark + text.encode(codec), expected_rows(ansi))

    def test_blank_lines_and_blanks_after_the_last_line(self):
        empty = b"....|..| .... ....| .... ....| .... ...."
        self.check(b"\r\n   \r\n|C-5\r\n  ", [empty, empty, target_row(b"|C-5"), empty])

    def test_lines_over_4096_bytes(self):
        line = b"|C-5" + b"x" * 5000
        self.check(line + b"\r\n", [target_row(line[:4096]), target_row(line[4096:])])

    def test_empty_source_gives_the_header_alone(self):
        r = self.check(b"", [])
        self.assertEqual(stderr_lines(r.stderr),
                         [b"patconv: warning: 'out.txt': no rows were converted"])

    def test_bytes_pass_unchanged(self):
        # Control bytes, a BEL and Windows-1251 letters reach both outputs
        # as they are.
        source = b"|\x07\x1b[\xff\xc7\x00z\r\n"
        self.check(source, [target_row(b"|\x07\x1b[\xff\xc7\x00z")])

    def test_random_sources_follow_the_reading_rules(self):
        rng = random.Random(20261207)
        alphabet = [b"a", b"C-5", b"...", b"===", b"|", b",", b'"', b" ", b"\t",
                    b"\r\n", b"\n", b"\r", b"odP", b"x" * 40]
        for _ in range(60):
            pieces = [rng.choice(alphabet) for _ in range(rng.randrange(0, 30))]
            if rng.random() < 0.1:
                pieces.insert(rng.randrange(len(pieces) + 1), b"\x1a")
            source = b"".join(pieces)
            with self.subTest(source=source):
                self.check(source, expected_rows(source))
        # Sources of rows that cross the 8192-byte read buffer: a line end
        # that sits just before, on or just after the buffer's end (a CR LF
        # split over it among them), lines of 4095 to 4097 bytes.
        cells = [b"|C-501v64...", b"|...........", b"|===........", b"|D#4", b"|odP", b"",
                 b"  |C-5", b"\t|", b'"|C,5" ', b'|C"5', b"|a\tb", b"|\x00\xff"]
        ends = [b"\r\n"] * 12 + [b"\n", b"\r", b",", b"\r\r\n", b"\n\r"]
        for _ in range(24):
            buffer_end = 8192 * rng.choice([1, 2])
            line_end_at = buffer_end + rng.choice([-3, -2, -1, 0, 1])
            source = bytearray()
            while len(source) < buffer_end + 400:
                if len(source) < line_end_at <= len(source) + 60:
                    source += b"|" + b"." * (line_end_at - len(source) - 1) + b"\r\n"
                elif rng.random() < 0.01:
                    source += b"|C-5" + b"x" * rng.choice([4091, 4092, 4093]) + b"\r\n"
                else:
                    source += b"".join(rng.choice(cells) for _ in range(rng.randrange(5)))
                    source += rng.choice(ends)
            if rng.random() < 0.2:
                source = source[:rng.randrange(len(source))]  # the last line without its end
            if rng.random() < 0.1:
                source.insert(rng.randrange(len(source)), 0x1a)
            source = bytes(source)
            with self.subTest(length=len(source), line_end_at=line_end_at):
                self.check(source, expected_rows(source))


class Failures(E2ETest):
    def test_an_input_that_cannot_be_opened_touches_no_file(self):
        # Neither created nor emptied: not even the source itself, named for
        # the output after a slip in the input name.
        self.write("in.txt", SOURCE)
        self.write("old.txt", b"kept")
        for name in (b"missing.txt", b"\x00in.txt", b"PRN:"):
            for output in (b"out.txt", b"old.txt", b"in.txt"):
                r = self.run_patconv(name + b"\n" + output + b"\n")
                self.assertEqual(r.stdout, redirected_screen([]))
                self.assertEqual(r.status, 1)
                self.assertEqual(r.stderr.count(b"\n"), 1)
                self.assertIn(b"input file '" + name.replace(b"\x00", b"\\x00"), r.stderr)
                self.assertEqual(sorted(os.listdir(r.directory)), ["in.txt", "old.txt"])
                self.assertEqual((r.file("in.txt"), r.file("old.txt")), (SOURCE, b"kept"))

    def test_same_file_for_input_and_output_is_left_intact(self):
        self.write("in.txt", SOURCE)
        for answers in (b"in.txt\nin.txt\n", b"in.txt\n./in.txt\n"):
            r = self.run_patconv(answers)
            self.assertEqual(r.file("in.txt"), SOURCE)
            self.assertEqual(r.stdout, redirected_screen(ROWS))
            self.assertEqual(r.status, 1)
            self.assertIn(b"in.txt", r.stderr)

    @unittest.skipIf(under_wine(), "links are a POSIX matter here")
    def test_same_file_through_a_link(self):
        self.write("in.txt", SOURCE)
        os.symlink("in.txt", os.path.join(self.directory, "link.txt"))
        r = self.run_patconv(b"in.txt\nlink.txt\n")
        self.assertEqual(r.file("in.txt"), SOURCE)
        self.assertEqual(r.status, 1)

    def test_name_with_a_nul_byte_names_no_file(self):
        self.write("in.txt", SOURCE)
        r = self.run_patconv(b"in.txt\x00tail\nout.txt\n")
        self.assertFalse(r.exists("out.txt"))
        self.assertEqual(r.status, 1)
        self.assertIn(b"\\x00", r.stderr)  # shown, not sent raw
        r = self.run_patconv(b"in.txt\nout2.txt\x00\n")
        self.assertFalse(r.exists("out2.txt"))
        self.assertEqual(r.status, 1)

    def test_reserved_device_names_are_not_opened(self):
        self.write("in.txt", SOURCE)
        # Refused everywhere; then the names Windows takes for devices, which
        # are file names like any other on Linux.
        names = [(name, True) for name in (b"COM1:", b"lpt:", b"PRN:", b"CONS:", b"SCRN:", b"pipe:")]
        names += [(name, under_wine()) for name in (
            b"CON", b"nul.txt", b"Com1", b"AUX .txt", b"CONOUT$", b"lpt9.", b"\\\\.\\C:",
            b"\\\\?\\GLOBALROOT\\Device\\Null")]
        for name, refused in names:
            r = self.run_patconv(b"in.txt\n" + name + b"\n")
            self.assertEqual(r.stdout, redirected_screen(ROWS))
            self.assertEqual(r.status, 1 if refused else 0, name)
            if refused:
                self.assertEqual(sorted(os.listdir(r.directory)), ["in.txt"])
                self.assertIn(b"reserved device name", r.stderr)
            else:
                self.assertEqual(r.file(name), target_file(ROWS))
                os.remove(os.path.join(r.directory.encode(), name))
        # As the input too; and a device reached by a name that is not
        # reserved is refused once opened.  No output is made.
        if under_wine():
            for name in (b"con.txt", b"\\\\.\\C:", b"/dev/null"):
                r = self.run_patconv(name + b"\nout.txt\n")
                self.assertEqual((r.status, os.path.exists(r.directory + "/out.txt")), (1, False))
                self.assertIn(b"cannot open input file '" + name + b"': ", r.stderr)

    def test_output_in_a_missing_directory(self):
        self.write("in.txt", SOURCE)
        r = self.run_patconv(b"in.txt\nno/such/dir/out.txt\n")
        self.assertEqual(r.stdout, redirected_screen(ROWS))
        self.assertEqual(r.status, 1)
        self.assertIn(b"no/such/dir/out.txt", r.stderr)

    def test_input_is_a_directory(self):
        os.mkdir(os.path.join(self.directory, "sub"))
        r = self.run_patconv(b"sub\nout.txt\n")
        self.assertFalse(r.exists("out.txt"))
        self.assertEqual(r.status, 1)

    @unittest.skipIf(under_wine() or not os.path.exists("/dev/full"), "needs /dev/full")
    def test_output_to_a_full_disk(self):
        self.write("in.txt", SOURCE)
        r = self.run_patconv(b"in.txt\n/dev/full\n")
        self.assertEqual(r.stdout, redirected_screen(ROWS))
        self.assertEqual(r.status, 1)
        self.assertEqual(r.stderr.count(b"\n"), 1)
        self.assertIn(b"/dev/full", r.stderr)

    @unittest.skipIf(under_wine(), "pipes of the POSIX shell")
    def test_closed_standard_output_keeps_the_file(self):
        rows = [b"....|..|C-5 .... ....|--- .... ....|R-- .... ...."] * 20000
        self.write("in.txt", b"|C-5........|...........|===\r\n" * 20000)
        self.write("answers", b"in.txt\nout.txt\n")
        script = '"$0" < answers | head -c 10 > /dev/null; echo "${PIPESTATUS[0]}" > status'
        subprocess.run(["bash", "-c", script, os.environ["PATCONV"]], cwd=self.directory,
                       timeout=60, check=True)
        with open(os.path.join(self.directory, "status")) as f:
            self.assertEqual(f.read().strip(), "0")
        with open(os.path.join(self.directory, "out.txt"), "rb") as f:
            self.assertEqual(f.read(), target_file(rows))


class Song(E2ETest):
    COPY = (b"ModPlug Tracker  IT\r\nOrders: 0,1,+,0,2,-,1\r\nRows: 64\r\n"
            b"|C-501v64A03|...........\r\n|...........|===........\r\n"
            b"Rows: 1\r\n|D-502......\r\nRows: 1\r\n|E-503......\r\n")

    def test_module_to_standard_output_or_a_file(self):
        self.write("My song.txt", self.COPY)
        r = self.run_patconv(self.COPY, arguments=["--song", "-", "-"])
        self.assertEqual((r.status, stderr_lines(r.stderr)),
                         (0, [b"patconv: '-': 3 patterns, 4 rows, 4 positions"]))
        self.assertIn(b"\r\nTitle=\r\nAuthor=\r\nNoteTable=2\r\nSpeed=3\r\nPlayOrder=L0,1,0,2\r\n"
                      b"\r\n[Ornament1]\r\n", r.stdout)
        f = self.run_patconv(b"", arguments=["--song", "My song.txt", "out.txt"])
        self.assertEqual(f.file("out.txt"), r.stdout.replace(b"Title=", b"Title=My song"))

    def test_a_copy_that_makes_no_module_writes_nothing(self):
        self.write("module.txt", b"[Module]\r\nVortexTrackerII=1\r\n")
        cases = [(b"Rows: 1\r\n|C-501......\r\n" * 86,
                  b"the song has at least 86 patterns; a module holds at most 85"),
                 (b"Orders: " + b"0," * 257 + b"\r\n|C-501......\r\n",
                  b"the song's play order has at least 257 positions; a module holds at most 256"),
                 (b"ModPlug Tracker  IT\r\nOrders: 0,-\r\n", b"'in.txt' holds no pattern rows")]
        for copy, error in cases:
            self.write("in.txt", copy)
            for target in ("module.txt", "new.txt"):
                r = self.run_patconv(b"", arguments=["--song", "in.txt", target])
                self.assertEqual((r.status, stderr_lines(r.stderr)), (1, [b"patconv: " + error]))
                self.assertEqual(sorted(os.listdir(r.directory)), ["in.txt", "module.txt"])
                self.assertEqual(r.file("module.txt"), b"[Module]\r\nVortexTrackerII=1\r\n")


class Arguments(E2ETest):
    def test_command_lines(self):
        with open(os.path.join(os.path.dirname(__file__), "..", "CMakeLists.txt")) as f:
            version = b"patconv %s\n" % re.search(
                r"project\(patconv VERSION (\S+)", f.read()).group(1).encode()
        usage = b"Usage: patconv [OPTIONS] [SOURCE [TARGET]]\n"
        screen, file = redirected_screen(ROWS), target_file(ROWS)
        hint = b" (patconv --help lists the options)"
        warnings = paste_warnings(SOURCE)
        # The options, one case each (their words: the command-line table).
        fitted = [b"....|..|C-5 .... ....|--- .... ....|R-- .... ....",
                  b"....|..|--- .... ....|D#4 .... ....|C-5 .... ....",
                  b"....|..|R-- .... ....|R-- .... ....|--- .... ...."]
        full = [fitted[0].replace(b"C-5 ....", b"C-5 1..F"), fitted[1].replace(b"D#4 .", b"D#4 3"),
                fitted[2]]
        chosen = [b"....|..|--- .... ....|C-4 .... ....|--- .... ....",
                  b"....|..|D#3 .... ....|--- .... ....|--- .... ....",
                  b"....|..|^^^ .... ....|R-- .... ....|--- .... ...."]
        fit_warning = [b"patconv: warning: fitted for the tracker: 1 note cut or fade written as "
                       b"R--, 1 lower-case note upper-cased"]
        # Arguments, standard input, standard output (of the usage text its
        # first line), status, standard error's lines, the files made.
        cases = [
            (["--help", "x"], b"", usage, 0, [], {}),
            (["x", "-h"], b"", usage, 0, [], {}),
            (["--version"], b"", version, 0, [], {}),
            (["-V", "--bad"], b"", version, 0, [], {}),
            (["in.txt", "--bad"], b"", b"", 2,
             [b"patconv: unknown option '--bad'" + hint], {}),
            (["a", "b", "c"], b"", b"", 2, [b"patconv: too many names, from 'c' on" + hint], {}),
            (["in.txt", "-c"], b"", b"", 2,
             [b"patconv: --clipboard takes no names, but 'in.txt' was given" + hint], {}),
            (["--", "-x.txt", "out.txt"], b"", screen, 0, warnings, {"out.txt": file}),
            (["in.txt", "out.txt"], b"", screen, 0, warnings, {"out.txt": file}),
            (["in.txt"], b"out.txt\n", screen, 0, warnings, {"out.txt": file}),
            (["", "out.txt"], b"in.txt\n", redirected_screen(ROWS, refusals=1), 0, warnings,
             {"out.txt": file}),
            (["-", "-"], SOURCE, file, 0, paste_warnings(SOURCE, b"-"), {}),
            (["-"], SOURCE, file, 0, paste_warnings(SOURCE, b"-"), {}),
            (["in.txt", "-"], b"", file, 0, paste_warnings(SOURCE, b"-"), {}),
            (["-", "out.txt"], SOURCE, screen, 0, warnings, {"out.txt": file}),
            (["in.txt", "in.txt"], b"", b"", 1, [b"patconv: cannot open output file 'in.txt':"
                                               b" it is the file being read; left unchanged"],
             {}),
            # Names given are checked before the screen; a pattern is never
            # replaced without -f.
            (["--", "in.txt", "-x.txt"], b"", b"", 1,
             [b"patconv: cannot open output file '-x.txt': it holds something other than"
              b" converted text; left unchanged (-f replaces it)"], {}),
            (["-f", "--", "in.txt", "-x.txt"], b"", screen, 0, paste_warnings(SOURCE, b"-x.txt"),
             {"-x.txt": file}),
            ([".", "out.txt"], b"", b"", 1, [b"patconv: cannot open input file '.': it is a folder"],
             {}),
            (["no.txt"], b"out.txt\n", b"", 1,
             [b"patconv: cannot open input file 'no.txt': it does not exist"], {}),
            (["in.txt", "no/out.txt"], b"", b"", 1,
             [b"patconv: cannot open output file 'no/out.txt': its folder does not exist"], {}),
            (["", "-"], b"in.txt\n", b"", 2, [b"patconv: an empty SOURCE names no file" + hint],
             {}),
            (["--full", "in.txt", "out.txt"], b"", redirected_screen(full), 0, fit_warning,
             {"out.txt": target_file(full)}),
            (["--fit", "-"], SOURCE, target_file(fitted), 0, fit_warning, {}),
            (["--channels", "2,1", "--octave", "-1", "in.txt", "-"], b"", target_file(chosen), 0,
             paste_warnings_for(list(zip(chosen, [2, 3, 4])), b"-"), {}),
            (["--octave", "8", "in.txt", "out.txt"], b"", b"", 2,
             [b"patconv: --octave '8': the shift is a number from -7 to 7" + hint], {}),
        ]
        if under_wine():  # as every Windows tool, not a name
            cases.append((["/?"], b"", usage, 0, [], {}))
            cases.append((["in.txt", "NUL"], b"", b"", 1,
                          [b"patconv: cannot open output file 'NUL': it is a device name"], {}))
        for arguments, answers, stdout, status, errors, files in cases:
            with self.subTest(arguments=arguments):
                self.write("in.txt", SOURCE)
                self.write("-x.txt", SOURCE)
                r = self.run_patconv(answers, arguments=arguments)
                shown = r.stdout
                if stdout in (usage, version):  # text: CR LF from patconv.exe
                    shown = shown.replace(b"\r\n", b"\n")[:len(stdout) if stdout is usage else None]
                self.assertEqual(shown, stdout)
                self.assertEqual((r.status, stderr_lines(r.stderr)), (status, errors))
                made = {n: r.file(n) for n in os.listdir(self.directory)}
                self.assertEqual(made, dict({"in.txt": SOURCE, "-x.txt": SOURCE}, **files))
                for name in files:
                    os.remove(os.path.join(self.directory, name))

    @unittest.skipIf(under_wine(), "standard input is a file of the POSIX shell")
    def test_output_that_is_standard_inputs_file(self):
        self.write("in.txt", SOURCE)
        with open(os.path.join(self.directory, "in.txt"), "rb") as source:
            r = subprocess.run(program() + ["-", "in.txt"], stdin=source, stdout=subprocess.PIPE,
                               stderr=subprocess.PIPE, cwd=self.directory, timeout=60)
        self.assertEqual(r.returncode, 1)
        self.assertEqual(Result(r, self.directory).file("in.txt"), SOURCE)


class Samples(E2ETest):
    """Patterns published by tracker users, checked against the rules."""

    # Whole four-channel patterns: the tracker takes every row.  The others
    # are 1- and 2-channel selections, or have text or blank lines.
    PASTE_CLEAN = {"it_4ch_mptpatterns_readme_no_header.txt",
                   "mod_4ch_protrackr_example_64rows.txt",
                   "mpt_16ch_pastebin_YV8uYRqM_first6rows.txt"}

    def test_samples(self):
        names = sorted(n for n in os.listdir(SAMPLES) if n.endswith(".txt"))
        self.assertGreaterEqual(len(names), 8)
        self.assertLess(self.PASTE_CLEAN, set(names))
        for name in names:
            with open(os.path.join(SAMPLES, name), "rb") as f:
                source = f.read()
            with self.subTest(sample=name):
                self.write("in.txt", source)
                r = self.run_patconv(b"in.txt\nout.txt\n")
                rows = expected_rows(source)
                self.assertEqual(r.file("out.txt"), target_file(rows))
                self.assertEqual(r.stdout, redirected_screen(rows))
                # A header whose characters 2 to 4 read "odP" never shows.
                self.assertNotIn(b"|odP", r.stdout)
                self.assertEqual(r.status, 0)
                self.assertEqual(stderr_lines(r.stderr), paste_warnings(source))
                self.assertEqual(r.stderr == b"", name in self.PASTE_CLEAN)

    def test_options_give_rows_the_tracker_takes(self):
        # --full: rows the tracker takes, a sample only beside a note, a
        # volume, a speed command B; --fit: the same notes alone; --octave:
        # those notes shifted.  The warnings name only what was changed or
        # left out.
        cell = (rb"\|(---|R--|[A-G][-#][1-8]) [.1-9A-V]\.\.[.1-9A-F] "
                rb"(\.{4}|B\.(\.[1-9A-F]|[1-9A-F][0-9A-F]))")
        warned = (rb"^patconv: warning: (fitted for the tracker|"
                  rb"left out, no counterpart in the tracker|--octave 1): ")
        notes = lambda row: [row[at:at + 3] for at in (8, 22, 36)]
        up = lambda n: (n if not n[2:].isdigit() else b"---" if n[2:] == b"8" else
                        n[:2] + bytes([n[2] + 1]))
        # Wine and valgrind: too slow for a second list (channel 3 has the speeds).
        lists = ["2,4,5"] if os.environ.get("PATCONV_RUNNER") else ["2,4,5", "3,1"]
        carried = set()
        for name in sorted(n for n in os.listdir(SAMPLES) if n.endswith(".txt")):
            with open(os.path.join(SAMPLES, name), "rb") as f:
                self.write("in.txt", f.read())
            for channels in lists:
                runs = [self.run_patconv(b"", arguments=options + ["--channels", channels,
                                                                   "in.txt", "-"])
                        for options in (["--full"], ["--fit"], ["--fit", "--octave", "1"])]
                full, fit, shifted = (r.stdout.split(CRLF)[1:-1] for r in runs)
                with self.subTest(sample=name, channels=channels):
                    self.assertEqual([r.status for r in runs], [0, 0, 0])
                    for line in b"".join(r.stderr for r in runs).splitlines():
                        self.assertRegex(line, warned)
                    for row in full:
                        self.assertRegex(row, rb"^\.{4}\|\.\.(" + cell + rb"){3}$")
                        self.assertIsNone(paste_refusal(row))
                        for at in (8, 22, 36):
                            if row[at + 4] != ord("."):
                                self.assertRegex(row[at:at + 3], rb"[A-G]")
                            carried |= {kind for kind, i in (("sample", 4), ("volume", 7),
                                                             ("speed", 9))
                                        if row[at + i] != ord(".")}
                    self.assertEqual(fit, [re.sub(rb" \S{4} \S{4}", b" .... ....", row)
                                           for row in full])
                    self.assertEqual([notes(row) for row in shifted],
                                     [[up(n) for n in notes(row)] for row in fit])
        if len(lists) > 1:
            self.assertEqual(carried, {"sample", "volume", "speed"})

    def test_rows_have_the_target_trackers_layout(self):
        # Rows of real target files: the separators stand where ours do.
        with open(os.path.join(SAMPLES, "target",
                               "Bulba-Impro_for_Axor.vt1_text_module.txt"), "rb") as f:
            target_rows = [l for l in f.read().split(CRLF) if l.startswith(b"....|..|")]
        self.assertGreater(len(target_rows), 500)
        with open(os.path.join(SAMPLES, "mod_4ch_protrackr_example_64rows.txt"), "rb") as f:
            ours = expected_rows(f.read())
        notes = lambda row: [row[8:11], row[22:25], row[36:39]]
        self.write("in.txt", b"\n".join(b"".join(b"|" + n + b"........" for n in notes(t))
                                        for t in target_rows[:64]))
        r = self.run_patconv(b"in.txt\nout.txt\n")
        produced = r.file("out.txt").split(CRLF)[1:-1]
        self.assertEqual(len(produced), 64)
        separators = lambda row: [i for i, c in enumerate(row) if c in b"| "]
        full_rows = produced + [row for row in ours if len(row) == 49]
        self.assertGreater(len(full_rows), 100)
        for row in full_rows:
            self.assertEqual(separators(row), separators(target_rows[0]))
        # The notes of the real rows come back unchanged.
        self.assertEqual([notes(p) for p in produced], [notes(t) for t in target_rows[:64]])


if __name__ == "__main__":
    unittest.main()
