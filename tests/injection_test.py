"""A source file that tries to take over the terminal: notes and rows full of
escape sequences, C1 bytes, bells and backspaces, echoed to a real terminal
(a tmux pane).  The terminal's state must stay as the program left it, and
the screen must show the bytes as the console's pictures."""
import os
import unittest

from e2e import E2ETest, paste_warnings, program, terminal_rows
from tmux import TmuxPane

ESC = b"\x1b"
# Pictures a console shows for the control bytes 0x00-0x1F (0x00 is blank).
CONTROL_GLYPHS = (" \u263a\u263b\u2665\u2666\u2663\u2660\u2022\u25d8\u25cb\u25d9\u2642\u2640"
                  "\u266a\u266b\u263c\u25ba\u25c4\u2195\u203c\u00b6\u00a7\u25ac\u21a8\u2191"
                  "\u2193\u2192\u2190\u221f\u2194\u25b2\u25bc")

# The three notes of each row (3 bytes each, all of them echoed), and a
# filler for the rest of each cell, which stays in the file only.
NOTES = [
    (ESC + b"]0", b";pw", b"d\x07x"),                # a title spread over the notes
    (ESC + b"c ", b"\x9b2J", ESC + b"[m"),            # reset; C1 CSI: clear the screen
    (b"\x9b1m", ESC + b"[?", ESC + b"=\x08"),        # bold; keypad mode; a backspace
    (b"\x08\x08\x08", b"\x00\x0b\x0c", b"\x7f\x01\x1f"),
    (b"\xc2\x9b3", b"1m" + ESC, b"[2J"),             # UTF-8's C1 CSI, as two bytes
    (ESC + b"[2", b"J" + ESC + b"[", b"31m"),         # sequences cut by the row's pieces
    (ESC + b"]2", b";x" + ESC, b"\\ab"),              # a title ended by ESC \
    (b"a\tb", ESC + b"7" + ESC, b"8\x07\x07"),        # a tab; save and restore the cursor
]
FILLERS = [ESC + b"]0;title\x07", ESC + b"[2J", ESC + b"[31m", ESC + b"[?1049h", ESC + b"c",
           b"\x9b?25l", ESC + b"[?1000h", ESC + b"[?7l"]
PIECES = [b"....|..|", b" .... ....|", b" .... ....|", b" .... ...."]


def source_row(notes, sequence):
    """Three 12-byte cells around the notes, then a whole escape sequence
    in a fourth cell, which is not echoed."""
    cells = [b"|" + note + (sequence + b"." * 8)[:8] for note in notes]
    return b"".join(cells) + b"|" + sequence


def glyph(byte):
    if byte < 0x20:
        return CONTROL_GLYPHS[byte]
    if byte == 0x7F:
        return "\u2302"
    if byte == 0x98:
        return "?"
    if byte == 0xAD:
        return "-"
    return bytes([byte]).decode("cp1251")


def shown(echo):
    """The screen row that the echo of one row leaves, by the console's byte
    rules: BEL sounds and takes no cell, BS moves one cell left, TAB goes to
    the next multiple of 8, every other byte is one cell."""
    cells, x = {}, 0
    for byte in echo:
        if byte == 0x07:
            continue
        if byte == 0x08:
            x = max(0, x - 1)
        elif byte == 0x09:
            for _ in range(8 - x % 8):
                cells[x] = " "
                x += 1
        else:
            cells[x] = glyph(byte)
            x += 1
    return "".join(cells.get(i, " ") for i in range(max(cells) + 1)).rstrip()


class InjectionTest(E2ETest):
    def make_pane(self, width, height):
        pane = TmuxPane(width, height, cwd=self.directory)
        self.addCleanup(pane.close)
        return pane

    def flag(self, pane, name):
        return pane.tmux("display-message", "-p", "#{%s}" % name).strip()

    def assert_state_kept(self, pane, title):
        self.assertEqual(self.flag(pane, "pane_title"), title)
        self.assertEqual(self.flag(pane, "alternate_on"), "0")
        self.assertEqual(self.flag(pane, "keypad_flag"), "0")
        self.assertEqual(self.flag(pane, "keypad_cursor_flag"), "0")
        self.assertEqual(self.flag(pane, "cursor_flag"), "1")
        self.assertEqual(self.flag(pane, "wrap_flag"), "1")
        self.assertEqual(self.flag(pane, "origin_flag"), "0")
        self.assertEqual(self.flag(pane, "insert_flag"), "0")
        self.assertEqual(self.flag(pane, "mouse_any_flag"), "0")
        # No colour or other attribute anywhere: the program never chooses
        # one, and none may come from the file.
        styled = pane.tmux("capture-pane", "-p", "-e", "-S", "-")
        self.assertNotIn("\x1b", styled)

    def test_escape_sequences_in_a_file_are_shown_not_obeyed(self):
        rows = [source_row(n, f) for n, f in zip(NOTES, FILLERS)]
        source = b"ModPlug Tracker MOD\r\n" + b"\r\n".join(rows) + b"\r\n"
        self.write("in.txt", source)
        pane = self.make_pane(80, 25)
        pane.start(program())
        pane.wait_for(lambda r: r[4].startswith("Filename to Open:?"))
        title = self.flag(pane, "pane_title")
        pane.send_text("in.txt")
        pane.send_keys("Enter")
        pane.wait_text("Filename to SAVE Output as:?")
        pane.send_text("out.txt")
        pane.send_keys("Enter")
        self.assertEqual(pane.wait_exit(), 0)

        # The warnings below the rows scroll the screen: look at the
        # scroll-back too.
        screen = pane.history_rows() + pane.screen()
        echoes = [b"".join(p + n for p, n in zip(PIECES, notes + (b"",))) for notes in NOTES]
        expected = [shown(e) for e in echoes]
        self.assertEqual(screen[6], "Записи в файле:")
        self.assertEqual(screen[8:8 + len(expected)], expected)
        # Nothing was cleared, moved or drawn over: the title and the
        # dialogue are still there, and the warnings, their notes shown as
        # \xNN, stand where the last row's line end put the cursor.
        self.assertEqual(screen[0], "Korvani pattern CONVERTER V0.2 betta")
        self.assertEqual(screen[4], "Filename to Open:? in.txt")
        end = 8 + len(expected)
        warnings = terminal_rows(paste_warnings(source), 80)
        self.assertEqual(screen[end:end + len(warnings)], warnings)
        self.assertEqual(len(screen), end + len(warnings) + 1)
        self.assertEqual(screen[-1], "")
        self.assertEqual(pane.cursor(), (0, 24))
        self.assert_state_kept(pane, title)
        # The file itself gets the bytes unchanged.
        with open(os.path.join(self.directory, "out.txt"), "rb") as f:
            written = f.read().split(b"\r\n")
        self.assertEqual(written[1:-1], echoes)

    def test_a_one_row_terminal_gets_no_raw_bytes_either(self):
        # A terminal of one row has no room for the screen model's view; the
        # output must still be drawn, never passed through.  The error line
        # names a file with escape sequences too.
        rows = [source_row(n, f) for n, f in zip(NOTES, FILLERS)]
        self.write("in.txt", b"ModPlug\r\n" + b"\r\n".join(rows) + b"\r\n")
        self.write("answers", b"in.txt\n\x1b]2;owned\x07\xc2\x9b31m/out.txt\n")
        pane = self.make_pane(80, 1)
        pane.start(["sh", "-c", r'printf "\033]2;before\033\\"; exec "$0" < answers',
                    program()[-1]])
        self.assertEqual(pane.wait_exit(), 1)
        self.assert_state_kept(pane, "before")


if __name__ == "__main__":
    unittest.main()
