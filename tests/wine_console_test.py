"""patconv.exe on a console: wine's console in a tmux pane.

Wine, started from a terminal, gives a console program a console of its own
that draws on that terminal and reads its keys there, so the Windows device
runs here on the real console calls: the screen buffer, the cursor, key
records from ReadConsoleInputW decoded with MapVirtualKeyW.

The environment of the run (see tests/CMakeLists.txt): PATCONV names
patconv.exe, PATCONV_RUNNER the wine loader, and WINEPREFIX, WINESERVER,
WINEDEBUG and WINEDLLOVERRIDES the prefix that wine_prefix.py set up.

Wine takes its code pages from the locale, like Windows from its settings:
the pane's C.UTF-8 gives the console code page 437 and ANSI code page 1252,
and `chcp N` in cmd changes the console's.  The program draws and reads
through the Unicode calls, so the Russian lines read as Cyrillic and typed
names are used as typed under every console code page.
"""
import os
import shutil
import tempfile
import time
import unittest

from e2e import (REFUSAL, STATUS_LINE, TITLE, expected_rows, program,
                 target_file)
from tmux import TmuxPane

SOURCE = (b"ModPlug Tracker MOD\r\n"
          b"|C-501v64...|...........|===........\r\n"
          b"|...........|D#403......|c-5........|G-6........\r\n")
ROWS = expected_rows(SOURCE)

# Home and End as xterm sends them: wine's console does not know tmux's own
# forms (ESC [ 1 ~ and ESC [ 4 ~) and hands them on as empty key records.
HOME = b"\x1b[H"
END = b"\x1b[F"

CLOSE = "Press any key to close this window."

# Wine's first start of a program may take a few seconds.
START_TIMEOUT = 30
WINE_VARIABLES = ("WINEPREFIX", "WINESERVER", "WINEDEBUG", "WINEDLLOVERRIDES", "HOME")


def shown(data):
    """Windows-1251 bytes as the console shows them, whatever its code page."""
    return data.decode("cp1251")


class WineConsoleTest(unittest.TestCase):
    def setUp(self):
        if not os.environ.get("PATCONV_RUNNER"):
            raise unittest.SkipTest("PATCONV_RUNNER (wine) is not set")
        if shutil.which("tmux") is None:
            raise unittest.SkipTest("tmux is not installed")
        self.directory = tempfile.mkdtemp(prefix="patconv-wine-")
        self.addCleanup(shutil.rmtree, self.directory, True)
        with open(os.path.join(self.directory, "in.txt"), "wb") as f:
            f.write(SOURCE)
        self.pane = None
        self.start()

    def start(self, code_page=None, stdout=None, arguments="", alone=False):
        """Starts patconv.exe with `arguments` in a new pane: through cmd,
        which shares the console with it (after `chcp code_page`, running a
        copy in the directory, with its standard output sent to the file
        `stdout`, if named), or `alone` in the console wine gives it."""
        if self.pane is not None:
            self.pane.close()
        self.pane = TmuxPane(width=80, height=25, cwd=self.directory)
        self.addCleanup(self.pane.close)
        env = {name: os.environ[name] for name in WINE_VARIABLES if name in os.environ}
        env["DISPLAY"] = ""  # console only: no window system
        argv = program()
        command = "Z:" + argv[-1].replace("/", "\\")
        if code_page is not None:
            shutil.copy(argv[-1], os.path.join(self.directory, "patconv.exe"))
            command = "chcp %d & patconv.exe" % code_page
        command += " " + arguments if arguments else ""
        command += " > " + stdout if stdout else ""
        if alone:
            argv = argv + arguments.split()
        else:
            argv = argv[:-1] + ["cmd", "/c", command]
        self.pane.start(argv, env=env)

    def screen_text(self):
        return "\n".join("%2d|%s" % (i + 1, r) for i, r in enumerate(self.pane.screen()))

    def wait_row(self, row, text, timeout=10.0):
        """Waits until the 1-based `row` reads exactly `text`."""
        return self.pane.wait_for(lambda rows: rows[row - 1] == text, timeout,
                                  "row %d to read %r" % (row, text))

    def wait_prompt(self):
        self.wait_row(1, TITLE.decode(), START_TIMEOUT)
        self.wait_row(5, "Filename to Open:?", START_TIMEOUT)
        # The cursor waits after "? " (0-based column 19 of row 5).
        self.pane.wait_for(lambda rows: self.pane.cursor() == (19, 4), 5, "the cursor after '? '")

    def output(self):
        with open(os.path.join(self.directory, "out.txt"), "rb") as f:
            return f.read()

    def test_dialogue_and_conversion(self):
        self.wait_prompt()
        rows = self.pane.screen()
        self.assertEqual(rows[1:4], ["", "", ""])
        self.pane.send_text("in.txt")
        self.wait_row(5, "Filename to Open:? in.txt")
        self.assertEqual(self.pane.cursor(), (25, 4))
        self.pane.send_keys("Enter")
        self.wait_row(6, "Filename to SAVE Output as:?")
        self.pane.send_text("out.txt")
        self.pane.send_keys("Enter")
        self.assertEqual(self.pane.wait_exit(20), 0, self.screen_text())
        rows = self.pane.screen()
        self.assertEqual(rows[5], "Filename to SAVE Output as:? out.txt")
        self.assertEqual(rows[6], shown(STATUS_LINE))
        self.assertEqual(rows[7], "")
        self.assertEqual(rows[8:8 + len(ROWS)], [r.decode() for r in ROWS])
        self.assertEqual(self.output(), target_file(ROWS))

    def files(self):
        return sorted(n for n in os.listdir(self.directory)
                      if not n.startswith(".") and n != "patconv.exe")

    def answer(self, text):
        self.pane.send_text(text)
        self.pane.send_keys("Enter")

    def test_texts_and_typed_names_under_every_code_page(self):
        # Whatever the console's code page, the Russian lines read as
        # Cyrillic and typed Cyrillic names are the names of the files.
        with open(os.path.join(self.directory, "файл.txt"), "wb") as f:
            f.write(SOURCE)
        for code_page in (None, 866, 1251, 65001):
            with self.subTest(code_page=code_page):
                if code_page is not None:
                    self.start(code_page)
                self.wait_prompt()
                self.pane.send_keys("Enter")
                self.wait_row(8, "Filename to Open:?")
                self.answer("файл.txt")
                self.wait_row(9, "Filename to SAVE Output as:?")
                self.answer("вывод.txt")
                self.assertEqual(self.pane.wait_exit(20), 0, self.screen_text())
                self.assertEqual(self.pane.screen()[5:11], [
                    "Имя файла не может быть пустым!", "", "Filename to Open:? файл.txt",
                    "Filename to SAVE Output as:? вывод.txt", "Записи в файле:", ""])
                self.assertEqual(self.files(), ["in.txt", "вывод.txt", "файл.txt"])
                with open(os.path.join(self.directory, "вывод.txt"), "rb") as f:
                    self.assertEqual(f.read(), target_file(ROWS))
                os.remove(os.path.join(self.directory, "вывод.txt"))

    def test_character_outside_windows_1251_is_refused_with_a_tone(self):
        # ä is in code page 1252, not in Windows-1251.  The error line about
        # a missing typed name reads as typed, though 1252 has no Cyrillic.
        self.start(1252)
        self.wait_prompt()
        self.answer("нет.txt")
        self.wait_row(6, "Filename to SAVE Output as:?")
        self.pane.send_text("bär")
        self.pane.wait_for(lambda rows: rows[5].endswith("? br") and self.pane.bells() > 0, 10,
                           "br and a tone")
        self.pane.send_keys("Enter")
        self.assertEqual(self.pane.wait_exit(20), 1, self.screen_text())
        error = "patconv: cannot open input file 'нет.txt': No such file or directory"
        self.assertIn(error, self.pane.screen())
        self.assertEqual(self.files(), ["in.txt"])  # no output without the input
        # With standard output sent to a file, nothing is drawn on the
        # console, and the line is written to it at once, as text that reads
        # the same.
        self.start(1252, stdout="screen.txt")
        self.pane.wait_for(any, START_TIMEOUT, "chcp's line")
        self.answer("нет.txt")
        self.answer("x.txt")
        self.assertEqual(self.pane.wait_exit(20), 1, self.screen_text())
        # Wine's terminal echoes what is typed before the program first asks
        # for keys, so the line may follow an echoed name on its row.
        self.assertTrue(any(error in row for row in self.pane.screen()), self.screen_text())

    def test_editing_keys_arrive_as_console_key_records(self):
        # Backspace, Home, Delete, End and Left reach the line editor as key
        # records of ReadConsoleInputW: "xin.xtz" is edited into "in.txt".
        self.wait_prompt()
        self.pane.send_text("xin.xtz")
        self.wait_row(5, "Filename to Open:? xin.xtz")
        self.pane.send_keys("BSpace")
        self.pane.send_bytes(HOME)
        self.pane.send_keys("DC")
        self.pane.send_bytes(END)
        self.pane.send_keys("Left", "Left")
        self.pane.send_text("t")
        self.wait_row(5, "Filename to Open:? in.txt")
        # Just after the inserted "t", before "xt".
        self.pane.wait_for(lambda rows: self.pane.cursor() == (23, 4), 5, "the cursor after 't'")
        self.pane.send_keys("Enter")
        self.wait_row(6, "Filename to SAVE Output as:?")
        self.pane.send_text("out.txt")
        self.pane.send_keys("Enter")
        self.assertEqual(self.pane.wait_exit(20), 0, self.screen_text())
        self.assertEqual(self.output(), target_file(ROWS))

    def test_empty_name_is_refused_and_asked_again(self):
        self.wait_prompt()
        self.pane.send_keys("Enter")
        self.wait_row(8, "Filename to Open:?")
        rows = self.pane.screen()
        self.assertEqual(rows[4:7], ["Filename to Open:?", shown(REFUSAL), ""])
        self.pane.send_text("in.txt")
        self.pane.send_keys("Enter")
        self.wait_row(9, "Filename to SAVE Output as:?")
        self.pane.send_keys("Enter")
        # No output file: the rows are shown all the same.
        self.assertEqual(self.pane.wait_exit(20), 0, self.screen_text())
        rows = self.pane.screen()
        self.assertEqual(rows[9:11], [shown(STATUS_LINE), ""])
        self.assertEqual(rows[11:11 + len(ROWS)], [r.decode() for r in ROWS])
        self.assertEqual(sorted(n for n in os.listdir(self.directory) if not n.startswith(".")),
                         ["in.txt"])

    def test_rows_scroll_up_at_the_bottom(self):
        # 64 rows do not fit: line feeds on the last row move the buffer up, so
        # the window ends with the last 24 printed lines and the row the cursor
        # waits on, and the history holds the rest, after the first clear's rows.
        notes = [b"%c%c%d" % (c, s, o) for o in range(1, 6) for c in b"CDEFGAB" for s in b"-#"][:64]
        source = b"".join(b"|" + n + b"........|===........|...\r\n" for n in notes)
        with open(os.path.join(self.directory, "in.txt"), "wb") as f:
            f.write(source)
        rows = [r.decode() for r in expected_rows(source)]
        self.assertEqual(len(rows), 64)
        self.wait_prompt()
        self.pane.send_text("in.txt")
        self.pane.send_keys("Enter")
        self.wait_row(6, "Filename to SAVE Output as:?")
        self.pane.send_text("out.txt")
        self.pane.send_keys("Enter")
        self.assertEqual(self.pane.wait_exit(20), 0, self.screen_text())
        printed = ([TITLE.decode(), "", "", "", "Filename to Open:? in.txt",
                    "Filename to SAVE Output as:? out.txt", shown(STATUS_LINE), ""]
                   + rows + [""])
        self.assertEqual(self.pane.screen(), printed[-25:])
        self.assertEqual(self.pane.history_rows(), [""] * 25 + printed[:-25])
        self.assertEqual(self.output(), target_file(expected_rows(source)))

    def test_error_line_stands_below_the_final_screen(self):
        # Standard error is the console: the line waits until the program
        # has let it go, then stands on a line of its own below the output.
        self.wait_prompt()
        self.pane.send_text("missing.txt")
        self.pane.send_keys("Enter")
        self.wait_row(6, "Filename to SAVE Output as:?")
        self.pane.send_text("out.txt")
        self.pane.send_keys("Enter")
        self.assertEqual(self.pane.wait_exit(20), 1, self.screen_text())
        rows = self.pane.screen()
        self.assertEqual(rows[6:9], [shown(STATUS_LINE), "",
                                     "patconv: cannot open input file 'missing.txt': "
                                     "No such file or directory"])
        self.assertEqual(rows[9:], [""] * 16)

    def test_an_error_line_outlives_ctrl_c(self):
        # The output cannot be made; Ctrl+C during the long echo that
        # follows ends the process in the system's handler, and the line
        # that waited for the console still stands below the screen.
        with open(os.path.join(self.directory, "long.txt"), "wb") as f:
            f.write(b"|C-501v64...|...........|===........\r\n" * 200000)
        self.wait_prompt()
        self.pane.send_text("long.txt")
        self.pane.send_keys("Enter")
        self.wait_row(6, "Filename to SAVE Output as:?")
        self.pane.send_text("missing/out.txt")
        self.pane.send_keys("Enter")
        self.pane.wait_for(lambda rows: rows[-2].startswith("....|..|C-5"), 20, "the echo")
        self.pane.send_keys("C-c")
        self.pane.wait_exit(20)
        shown_rows = [r for r in self.pane.screen() if r]
        self.assertEqual(shown_rows[-1], "patconv: cannot open output file 'missing/out.txt': "
                                         "No such file or directory", self.screen_text())

    def test_ctrl_c_while_converting_says_what_the_output_holds(self):
        # The system's handler ends the process; ours first writes, below
        # the screen, how many rows the file holds as the process ends.
        with open(os.path.join(self.directory, "long.txt"), "wb") as f:
            f.write(b"|C-501v64...|...........|===........\r\n" * 200000)
        self.wait_prompt()
        self.answer("long.txt")
        self.wait_row(6, "Filename to SAVE Output as:?")
        self.answer("out.txt")
        out = os.path.join(self.directory, "out.txt")
        self.pane.wait_for(lambda rows: os.path.exists(out) and os.path.getsize(out), 20,
                           "rows in the file")
        self.pane.send_keys("C-c")
        self.pane.wait_exit(20)
        rows = self.output().count(b"\r\n") - 1
        self.assertLess(rows, 200000)
        self.assertTrue(self.output().endswith(b"\r\n"))  # cut back to its whole rows
        self.assertEqual([r for r in self.pane.screen() if r][-1],
                         "patconv: interrupted: 'out.txt' holds only the first %s rows"
                         % format(rows, ","), self.screen_text())

    def test_a_pasted_answer_arrives_whole(self):
        # 600 characters in one piece, more than the key queue holds: the
        # rest waits in the console's input and the name is the file's.
        self.wait_prompt()
        self.pane.tmux("set-buffer", "./" * 297 + "in.txt")
        self.pane.tmux("paste-buffer")
        self.pane.wait_for(lambda rows: rows[11].endswith("in.txt"), 20, "the whole name")
        self.pane.send_keys("Enter")
        self.wait_row(13, "Filename to SAVE Output as:?", 20)
        self.pane.send_text("out.txt")
        self.pane.send_keys("Enter")
        self.assertEqual(self.pane.wait_exit(20), 0, self.screen_text())
        self.assertEqual(self.output(), target_file(ROWS))

    def test_ctrl_c_ends_the_program_at_the_prompt(self):
        self.wait_prompt()
        self.pane.send_text("in")
        self.wait_row(5, "Filename to Open:? in")
        # The engine leaves Ctrl+C unhandled, so the system's default handler
        # ends the process: nothing more is shown, not even the line end of
        # the answer.  (A Ctrl+C taken as a key would leave the prompt
        # waiting.)  The status is the system's: STATUS_CONTROL_C_EXIT on
        # Windows, 0 from wine 8's default handler, so it is not compared.
        self.pane.send_keys("C-c")
        self.pane.wait_exit(10)
        rows = self.pane.screen()
        self.assertEqual(rows[4], "Filename to Open:? in")
        self.assertEqual(rows[5:], [""] * 20)


    def test_names_as_arguments_under_code_page_866(self):
        # The wide command line: a Cyrillic name reaches the file as given
        # and shows as typed, though code page 866 is no Windows-1251.  Cmd
        # shares the console, so no closing line follows.
        with open(os.path.join(self.directory, "файл.txt"), "wb") as f:
            f.write(SOURCE)
        self.start(866, arguments="файл.txt")
        self.wait_row(5, "Filename to Open:? файл.txt", START_TIMEOUT)
        self.wait_row(6, "Filename to SAVE Output as:?")
        self.answer("вывод.txt")
        self.assertEqual(self.pane.wait_exit(20), 0, self.screen_text())
        self.assertNotIn(CLOSE, self.pane.screen())
        with open(os.path.join(self.directory, "вывод.txt"), "rb") as f:
            self.assertEqual(f.read(), target_file(ROWS))

    def test_window_of_its_own_waits_for_a_key(self):
        # Alone on its console (wine started from a terminal, as Explorer
        # starts a double-clicked program), the program ends below its error
        # line with the closing line, and waits; a key ends it with its
        # status, Ctrl+C at once.
        self.start(arguments="missing.txt out.txt", alone=True)
        error = "patconv: cannot open input file 'missing.txt': it does not exist"
        rows = self.pane.wait_for(lambda rows: CLOSE in rows, START_TIMEOUT, "the closing line")
        self.assertEqual(rows[rows.index(CLOSE) - 1], error)
        self.assertEqual(self.pane.cursor(), (len(CLOSE), rows.index(CLOSE)))
        time.sleep(0.5)
        self.assertFalse(os.path.exists(self.pane.status_file))
        self.pane.send_keys("x")
        self.assertEqual(self.pane.wait_exit(10), 1)
        self.start(arguments="in.txt out.txt", alone=True)
        self.pane.wait_for(lambda rows: CLOSE in rows, START_TIMEOUT, "the closing line")
        self.pane.send_keys("C-c")
        self.pane.wait_exit(10)
        self.assertEqual(self.output(), target_file(ROWS))


if __name__ == "__main__":
    unittest.main()
