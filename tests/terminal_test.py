"""patconv on a real terminal (a tmux pane): the screen it draws, typing and
editing the answers, and how it leaves the terminal."""
import os
import re
import shutil
import subprocess
import time
import unittest

from e2e import E2ETest, paste_warnings, program, terminal_rows
from tmux import TmuxPane

SOURCE = (b"ModPlug Tracker MOD\r\n" +
          b"".join(b"|C-%d01v64...|...........|===........\r\n" % (i % 8) for i in range(40)))
ROW = "....|..|C-%d .... ....|--- .... ....|R-- .... ...."
REFUSAL = "Имя файла не может быть пустым!"
STATUS_LINE = "Записи в файле:"


class TerminalTest(E2ETest):
    width, height = 80, 25

    def setUp(self):
        super().setUp()
        self.pane = TmuxPane(self.width, self.height, cwd=self.directory)
        self.addCleanup(self.pane.close)

    def start(self):
        self.pane.start(program())
        return self.pane.wait_for(lambda rows: rows[4].startswith("Filename to Open:?"),
                                  what="the first prompt on row 5")

    def answer(self, text):
        self.pane.send_text(text)
        self.pane.send_keys("Enter")


class StartScreen(TerminalTest):
    def test_title_prompt_and_cursor(self):
        self.pane.start(["sh", "-c", "printf 'old shell output\\n%.0s' 1 2 3 4 5 6 7 8; exec \"$0\"",
                         program()[-1]])
        rows = self.pane.wait_for(lambda r: r[4].startswith("Filename to Open:?"))
        self.assertEqual(rows[0], "Korvani pattern CONVERTER V0.2 betta")
        self.assertEqual(rows[1:4], ["", "", ""])
        self.assertEqual(rows[4], "Filename to Open:?")
        self.assertTrue(all(r == "" for r in rows[5:]))
        # The cursor stands after "? ", shown.
        self.assertEqual(self.pane.cursor(), (19, 4))
        self.assertTrue(self.pane.cursor_visible())
        # What the terminal showed before is in its scroll-back, whole.
        self.assertEqual(self.pane.history_rows(), ["old shell output"] * 8)

    def test_typed_characters_are_echoed_as_typed(self):
        self.start()
        self.pane.send_text("abc")
        self.pane.wait_for(lambda r: r[4] == "Filename to Open:? abc")
        self.assertEqual(self.pane.cursor(), (22, 4))
        self.pane.send_text("Жук")  # Cyrillic, typed in UTF-8
        self.pane.wait_for(lambda r: r[4] == "Filename to Open:? abcЖук")


class Dialogue(TerminalTest):
    def test_conversion_is_echoed_and_scrolls_with_history_kept(self):
        self.write("in.txt", SOURCE)
        self.start()
        self.answer("in.txt")
        self.pane.wait_text("Filename to SAVE Output as:?")
        self.answer("out.txt")
        self.assertEqual(self.pane.wait_exit(), 0)
        rows = self.pane.screen()
        expected_rows = [ROW % (i % 8) for i in range(40)]
        # The last rows fill the screen, and below them the warnings about
        # the notes C-0, which the tracker does not take; the cursor ended
        # below those.
        warnings = terminal_rows(paste_warnings(SOURCE), self.width)
        self.assertEqual(rows[:self.height - 1], (expected_rows + warnings)[-(self.height - 1):])
        history = self.pane.history_rows()
        everything = history + rows
        self.assertIn("Korvani pattern CONVERTER V0.2 betta", everything)
        self.assertIn("Filename to Open:? in.txt", everything)
        self.assertIn("Filename to SAVE Output as:? out.txt", everything)
        self.assertIn(STATUS_LINE, everything)
        start = everything.index(STATUS_LINE)
        self.assertEqual(everything[start + 1], "")
        self.assertEqual(everything[start + 2:start + 42], expected_rows)
        self.assertEqual(everything[start + 42:start + 42 + len(warnings)], warnings)
        with open(os.path.join(self.directory, "out.txt"), "rb") as f:
            self.assertEqual(f.read().count(b"\r\n"), 41)
        self.assertTrue(self.pane.terminal_settings_kept())

    def test_empty_name_is_refused_in_readable_cyrillic(self):
        self.write("in.txt", SOURCE[:200])
        self.start()
        self.pane.send_keys("Enter")
        rows = self.pane.wait_for(lambda r: r[7].startswith("Filename to Open:?"))
        self.assertEqual(rows[4], "Filename to Open:?")
        self.assertEqual(rows[5], REFUSAL)
        self.assertEqual(rows[6], "")
        self.assertEqual(self.pane.cursor(), (19, 7))
        self.answer("in.txt")
        self.pane.wait_text("Filename to SAVE Output as:?")
        self.answer("")
        self.assertEqual(self.pane.wait_exit(), 0)
        self.assertFalse(os.path.exists(os.path.join(self.directory, "out.txt")))

    def test_error_lines_stand_below_the_final_screen(self):
        # The status line stays whole, and each error line comes below the
        # output once the screen is final: a missing input, and a write
        # error found when the output is closed.
        self.write("in.txt", SOURCE.replace(b"|C-0", b"|C-8"))
        for answers, error in (
                (("missing.txt", "out.txt"),
                 "patconv: cannot open input file 'missing.txt': No such file or directory"),
                (("in.txt", "/dev/full"),
                 "patconv: output file '/dev/full': cannot write: No space left on device")):
            with self.subTest(answers=answers):
                self.start()
                self.answer(answers[0])
                self.pane.wait_text("Filename to SAVE Output as:?")
                self.answer(answers[1])
                self.assertEqual(self.pane.wait_exit(), 1)
                rows = self.pane.history_rows() + self.pane.screen()
                start = rows.index(STATUS_LINE)
                shown = [r for r in rows[start + 2:] if r]
                self.assertEqual(shown[-1], error)
                self.assertTrue(all(r.startswith("....|..|") for r in shown[:-1]), shown)
                self.assertEqual(rows[start + 1], "")
                self.assertTrue(self.pane.terminal_settings_kept())
                self.pane.close()
                self.pane = TmuxPane(self.width, self.height, cwd=self.directory)
                self.addCleanup(self.pane.close)

    def test_an_error_line_outlives_ctrl_c(self):
        # The output cannot be made; Ctrl+C during the long echo that
        # follows (a million rows) still leaves the error line below the
        # screen.
        self.write("in.txt", b"|C-501v64...|...........|===........\r\n" * 1000000)
        self.start()
        self.answer("in.txt")
        self.pane.wait_text("Filename to SAVE Output as:?")
        self.answer("missing/out.txt")
        self.pane.wait_for(lambda rows: rows[-2].startswith("....|..|C-5"))
        self.pane.send_keys("C-c")
        self.assertEqual(self.pane.wait_exit(), 130)
        shown = [r for r in self.pane.screen() if r]
        self.assertEqual(shown[-1], "patconv: cannot open output file 'missing/out.txt': "
                                    "No such file or directory")
        self.assertTrue(self.pane.terminal_settings_kept())

    def test_ctrl_c_while_converting_says_what_the_output_holds(self):
        # Below the screen, the rows the file holds as the program ends.
        self.write("in.txt", b"|C-501v64...|...........|===........\r\n" * 1000000)
        out = os.path.join(self.directory, "out.txt")
        self.start()
        self.answer("in.txt")
        self.pane.wait_text("Filename to SAVE Output as:?")
        self.answer("out.txt")
        self.pane.wait_for(lambda rows: os.path.exists(out) and os.path.getsize(out))
        self.pane.send_keys("C-c")
        self.assertEqual(self.pane.wait_exit(), 130)
        with open(out, "rb") as f:
            held = f.read().count(b"\r\n") - 1
        self.assertLess(held, 1000000)
        self.assertEqual([r for r in self.pane.screen() if r][-1],
                         "patconv: interrupted: 'out.txt' holds only the first %s rows"
                         % format(held, ","))
        self.assertEqual(self.pane.cursor(), (0, 24))
        self.assertTrue(self.pane.terminal_settings_kept())

    def test_a_pasted_answer_arrives_whole(self):
        # 600 characters pasted in one piece are more than the key queue
        # holds: the rest waits in the terminal, and the name is the file's.
        self.write("in.txt", SOURCE)
        name = "./" * 297 + "in.txt"
        self.start()
        self.pane.tmux("set-buffer", name)
        self.pane.tmux("paste-buffer")
        self.pane.wait_for(lambda rows: "".join(rows[4:]).endswith("in.txt"))
        self.pane.send_keys("Enter")
        self.pane.wait_text("Filename to SAVE Output as:?")
        self.answer("out.txt")
        self.assertEqual(self.pane.wait_exit(), 0)
        with open(os.path.join(self.directory, "out.txt"), "rb") as f:
            self.assertEqual(f.read().count(b"\r\n"), 41)

    def test_names_as_arguments(self):
        # The name answers the first question, shown as if typed (ä, which
        # Windows-1251 lacks, as '?'); the second is asked.
        self.write("bär.txt", SOURCE[:200])
        self.pane.start(program() + ["bär.txt"])
        rows = self.pane.wait_for(lambda r: r[5] == "Filename to SAVE Output as:?")
        self.assertEqual(rows[4], "Filename to Open:? b?r.txt")
        self.assertEqual(self.pane.cursor(), (29, 5))
        self.answer("out.txt")
        self.assertEqual(self.pane.wait_exit(), 0)
        with open(os.path.join(self.directory, "out.txt"), "rb") as f:
            self.assertEqual(f.read().count(b"\r\n"), 6)
        # "-" reads no keys as a pattern; the converted text alone goes to
        # a terminal, its control bytes as '?'.
        self.write("in.txt", b"|\x1b[2J.......|\x07\r\n")
        for arguments, shown in ((["-"], "patconv: standard input is a terminal: redirect or pipe"
                                         " the pattern into it"),
                                 (["in.txt", "-"], "....|..|?[2 .... ....|? .... ....| .... ....")):
            self.pane.close()
            self.pane = TmuxPane(self.width, self.height, cwd=self.directory)
            self.addCleanup(self.pane.close)
            self.pane.start(program() + arguments)
            self.assertEqual(self.pane.wait_exit(), 2 if arguments == ["-"] else 0)
            self.assertIn(shown, self.pane.screen())
            self.assertTrue(self.pane.terminal_settings_kept())

    def test_long_rows_wrap_at_the_right_edge(self):
        self.pane = TmuxPane(30, 12, cwd=self.directory)
        self.addCleanup(self.pane.close)
        self.write("in.txt", b"|C-5........|D-5........|E-5\r\n")
        self.pane.start(program())
        self.pane.wait_for(lambda r: r[4].startswith("Filename to Open:?"))
        self.answer("in.txt")
        self.pane.wait_text("SAVE")
        self.answer("")
        self.assertEqual(self.pane.wait_exit(), 0)
        row = "....|..|C-5 .... ....|D-5 .... ....|E-5 .... ...."
        rows = self.pane.history_rows() + self.pane.screen()
        i = rows.index(row[:30])
        self.assertEqual(rows[i + 1], row[30:])


class Editing(TerminalTest):
    def test_editing_keys_shape_the_answer(self):
        self.write("in.txt", SOURCE[:200])
        self.write("t       .txt", b"")  # the name a Tab makes below
        self.start()
        p = self.pane
        # Escape throws a whole line away.
        p.send_text("garbage")
        p.wait_for(lambda r: r[4].endswith("garbage"))
        p.send_keys("Escape")
        p.wait_for(lambda r: r[4] == "Filename to Open:?")
        self.assertEqual(p.cursor(), (19, 4))
        # Insert in the middle, Home / End, Delete, Backspace and Ctrl+H
        # (0x08, also VTE's Ctrl+Backspace).
        p.send_text("xin.tt")
        p.send_keys("Left")
        p.send_text("x")
        p.send_keys("Home", "DC", "End")
        p.send_text("qq")
        p.send_keys("BSpace", "C-h")
        p.wait_for(lambda r: r[4] == "Filename to Open:? in.txt")
        self.assertEqual(p.cursor(), (25, 4))
        p.send_keys("Left", "Left", "Right", "Enter")
        p.wait_text("Filename to SAVE Output as:?")
        # Tab: spaces to the next multiple of 8 in the line.
        p.send_text("t")
        p.send_keys("Tab")
        p.send_text(".txt")
        p.wait_for(lambda r: r[5] == "Filename to SAVE Output as:? t       .txt")
        p.send_keys("Enter")
        self.assertEqual(p.wait_exit(), 0)
        with open(os.path.join(self.directory, "t       .txt"), "rb") as f:
            converted = f.read()
        self.assertTrue(converted.startswith(b"Vortex Tracker II v1.0 Pattern\r\n....|..|C-0"))

    def test_terminal_reports_typed_inside_a_name_leave_it_as_typed(self):
        # Reports a terminal sends of its own (a mouse left on by a program
        # that crashed, a colour reply, a DCS string) are no keys.
        self.start()
        p = self.pane
        p.send_text("a")
        p.send_bytes(b"\x1b[M !!")
        p.send_text("b")
        p.send_bytes(b"\x1b]11;rgb:0000/0000/0000\x07")
        p.send_text("c")
        p.send_bytes(b"\x1bP1$r0m\x1b\\")
        p.send_text("d")
        p.wait_for(lambda r: r[4].endswith("d"))
        self.assertEqual(p.screen()[4], "Filename to Open:? abcd")

    def test_delete_at_the_end_and_ignored_keys_change_nothing(self):
        self.start()
        p = self.pane
        p.send_text("ab")
        p.send_keys("DC", "Right", "IC", "PPage", "NPage", "F1", "F5", "F12", "BTab", "C-Left")
        p.send_text("c")
        p.wait_for(lambda r: r[4] == "Filename to Open:? abc")
        self.assertEqual(p.cursor(), (22, 4))

    def test_home_left_of_a_line_wrapped_over_rows(self):
        self.pane = TmuxPane(20, 8, cwd=self.directory)
        self.addCleanup(self.pane.close)
        self.pane.start(program())
        self.pane.wait_for(lambda r: r[4].startswith("Filename to Open:?"))
        p = self.pane
        p.send_text("abcdefghij")  # the prompt leaves one cell: the line wraps
        p.wait_for(lambda r: r[4] == "Filename to Open:? a" and r[5] == "bcdefghij")
        p.send_keys("Home")
        p.send_text("X")
        p.wait_for(lambda r: r[4] == "Filename to Open:? X" and r[5] == "abcdefghij")
        self.assertEqual(p.cursor(), (0, 5))
        # Up and Down move by a whole width only where the line has one.
        p.send_keys("Up", "Down")
        p.send_text("Y")
        p.wait_for(lambda r: r[4] == "Filename to Open:? X" and r[5] == "Yabcdefghij")
        self.assertEqual(p.cursor(), (1, 5))


class Resizing(TerminalTest):
    def convert_after_resize(self, width, height, source=SOURCE):
        # Octaves 1 to 8: the tracker takes every row, so that no warning
        # comes below the screen.
        self.write("in.txt", source.replace(b"|C-0", b"|C-8"))
        self.start()
        self.pane.resize(width, height)
        self.pane.wait_for(lambda r: len(r) == height and any("Filename to Open:?" in x for x in r))
        self.answer("in.txt")
        self.pane.wait_text("SAVE")
        self.answer("")
        self.assertEqual(self.pane.wait_exit(), 0)
        return self.pane.history_rows() + self.pane.screen()

    def test_the_answer_line_follows_the_width_while_typing(self):
        # Narrower, the prompt and the name wrap at the new width; wider
        # again, they stand on one row as before: the screen shows the name
        # that Enter uses.
        self.write("in.txt", SOURCE[:200])
        name = "./" * 12 + "in.txt"
        self.start()
        self.pane.send_text(name)
        self.pane.wait_for(lambda r: r[4].endswith("in.txt"))
        self.pane.resize(30, 25)
        whole = "Filename to Open:? " + name
        self.pane.wait_for(lambda r: r[4:6] == [whole[:30], whole[30:]])
        self.pane.resize(80, 25)
        self.pane.wait_for(lambda r: r[4:6] == [whole, ""])
        self.assertEqual(self.pane.cursor(), (len(whole), 4))
        self.pane.send_keys("Enter")
        self.pane.wait_text("Filename to SAVE Output as:?")

    def test_a_shorter_terminal_keeps_every_row_in_order(self):
        rows = self.convert_after_resize(60, 12)
        start = len(rows) - 1 - rows[::-1].index(STATUS_LINE)
        self.assertEqual(rows[start + 2:start + 42], [ROW % (i % 8 or 8) for i in range(40)])
        self.assertTrue(self.pane.terminal_settings_kept())

    def test_a_taller_terminal_is_used_and_keeps_every_row(self):
        # 80 x 25 made 80 x 50 at the prompt, then 64 rows: the rows below
        # the first 25 are used, and what scrolls goes to the scroll-back.
        source = (b"ModPlug Tracker MOD\r\n" + b"".join(
            b"|C-%d01v64...|...........|===........\r\n" % (i % 8) for i in range(64)))
        rows = self.convert_after_resize(80, 50, source)
        start = len(rows) - 1 - rows[::-1].index(STATUS_LINE)
        self.assertEqual(rows[start + 2:start + 66], [ROW % (i % 8 or 8) for i in range(64)])
        screen = self.pane.screen()
        self.assertEqual(screen[48], ROW % (63 % 8 or 8))
        self.assertEqual(screen[49], "")
        self.assertTrue(self.pane.terminal_settings_kept())


    def test_resizes_during_the_echo_keep_every_row(self):
        # Taller, shorter, narrower, wider while 100,000 numbered rows are
        # echoed: each row is still on the screen or in the scroll-back
        # (which has room for them all, also when they wrap at 45 columns).
        count = 100000
        self.write("in.txt", b"".join(b"|%03d........|%03d........|===\r\n" % divmod(i, 1000)
                                      for i in range(count)))
        self.pane = TmuxPane(self.width, self.height, cwd=self.directory, history=3 * count)
        self.addCleanup(self.pane.close)
        self.start()
        self.answer("in.txt")
        self.pane.wait_text("Filename to SAVE Output as:?")
        self.answer("")
        for width, height in ((80, 50), (80, 20), (60, 30), (100, 40), (45, 25), (80, 25)):
            time.sleep(0.03)
            self.pane.resize(width, height)
        self.assertEqual(self.pane.wait_exit(60), 0)
        text = self.pane.tmux("capture-pane", "-p", "-J", "-S", "-")
        seen = {int(a) * 1000 + int(b)
                for a, b in re.findall(r"\.\.\.\.\|\.\.\|(\d{3}) \.\.\.\. \.\.\.\.\|(\d{3}) ", text)}
        self.assertEqual([i for i in range(count) if i not in seen][:10], [])


class Charsets(TerminalTest):
    """The terminal's charset is the locale's, the C locale's UTF-8; a typed
    character that Windows-1251 lacks is refused with a tone."""

    def names(self):
        return sorted(n for n in os.listdir(self.directory.encode()) if not n.startswith(b"."))

    def test_c_locale_reads_utf8_and_edits_whole_letters(self):
        self.write("тест", SOURCE[:200])
        self.pane.start(program(), locale="C")
        self.pane.wait_for(lambda r: r[4].startswith("Filename to Open:?"))
        self.pane.send_keys("Enter")
        self.pane.send_text("тестXт")
        self.pane.send_keys("Left", "BSpace", "End", "BSpace")  # the X, the last т
        rows = self.pane.wait_for(lambda r: r[7] == "Filename to Open:? тест")
        self.assertEqual(rows[5], REFUSAL)
        self.pane.send_keys("Enter")
        self.pane.wait_text("SAVE")
        self.pane.send_text("Björk.txt")
        self.pane.wait_for(lambda r: r[8].endswith("? Bjrk.txt") and self.pane.bells() > 0)
        self.pane.send_keys("Enter")
        self.assertEqual(self.pane.wait_exit(), 0)
        self.assertEqual(self.pane.screen()[9], STATUS_LINE)
        self.assertEqual(self.names(), [b"Bjrk.txt", "тест".encode()])

    def test_koi8r_locale(self):
        # The locale is made for the test; the pane, a UTF-8 terminal, is
        # only looked at through the bytes the program writes to it.
        localedef = shutil.which("localedef")
        if localedef is None:
            self.skipTest("no localedef to make a KOI8-R locale (Debian package libc-bin)")
        locales = os.path.join(self.directory, ".locales")
        os.makedirs(locales)
        subprocess.run([localedef, "-i", "ru_RU", "-f", "KOI8-R", locales + "/ru_RU.KOI8-R"],
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        if not os.path.isdir(locales + "/ru_RU.KOI8-R"):
            self.skipTest("localedef cannot make ru_RU.KOI8-R (Debian package locales)")
        koi8 = lambda text: text.encode("koi8_r")
        with open(os.path.join(self.directory.encode(), koi8("тест")), "wb") as f:
            f.write(SOURCE[:200])
        self.pane.start(program(), env={"LOCPATH": locales}, locale="ru_RU.KOI8-R")
        self.pane.record_output(os.path.join(self.directory, ".shown"))
        self.pane.wait_for(lambda r: r[4].startswith("Filename to Open:?"))
        self.pane.send_keys("Enter")
        # 0x80, a box-drawing line in KOI8-R, is refused.
        self.pane.send_bytes(koi8("тест\r") + b"\x80" + koi8("вывод.txt"))
        self.pane.wait_for(lambda r: self.pane.bells() > 0, what="a tone")
        self.pane.send_keys("Enter")
        self.assertEqual(self.pane.wait_exit(), 0)
        with open(os.path.join(self.directory, ".shown"), "rb") as f:
            shown = f.read()
        self.assertIn(koi8(REFUSAL), shown)
        self.assertIn(koi8(STATUS_LINE), shown)
        self.assertEqual(self.names(), sorted([koi8("вывод.txt"), koi8("тест")]))


class Leaving(TerminalTest):
    def test_ctrl_c_during_a_prompt_ends_at_once(self):
        self.start()
        self.pane.send_text("half")
        self.pane.wait_for(lambda r: r[4].endswith("half"))
        self.pane.send_keys("C-c")
        self.assertEqual(self.pane.wait_exit(), 130)
        self.assertTrue(self.pane.terminal_settings_kept())
        self.assertTrue(self.pane.cursor_visible())

    def test_sigterm_during_a_prompt_restores_the_terminal(self):
        self.start()
        self.pane.signal("TERM")
        self.assertEqual(self.pane.wait_exit(), 143)
        self.assertTrue(self.pane.terminal_settings_kept())
        # What the shell writes next ("Terminated") starts a line of its own.
        self.assertEqual(self.pane.screen()[4], "Filename to Open:?")

    def test_modes_set_before_the_start_are_kept(self):
        # The keypad in application mode and colours of the user's: the
        # program draws in the terminal's default colours and puts back the
        # user's; the keypad it never touches.
        self.write("in.txt", SOURCE[:200])
        self.pane.start(["sh", "-c", "printf '\\033=\\033[33;44m'; \"$0\"; s=$?; printf AFTER; "
                         "exit $s", program()[-1]])
        self.pane.wait_for(lambda rows: rows[4].startswith("Filename to Open:?"))
        self.answer("in.txt")
        self.pane.wait_text("Filename to SAVE Output as:?")
        self.answer("")
        self.assertEqual(self.pane.wait_exit(), 0)
        flag = lambda name: self.pane.tmux("display-message", "-p", "#{%s}" % name).strip()
        self.assertEqual(flag("keypad_flag"), "1")
        self.assertEqual(flag("cursor_flag"), "1")
        styled = self.pane.tmux("capture-pane", "-p", "-e").split("\n")
        self.assertIn("\x1b[33m\x1b[44mAFTER", [r for r in styled if "AFTER" in r][0])
        self.assertNotIn("\x1b", "".join(r for r in styled if "Filename" in r))

    def test_hangup_ends_the_program(self):
        self.start()
        self.pane.signal("HUP")
        self.assertEqual(self.pane.wait_exit(), 129)


if __name__ == "__main__":
    unittest.main()
