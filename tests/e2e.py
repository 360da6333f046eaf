"""Shared helpers for the end-to-end tests of the built patconv.

PATCONV names the program to run; PATCONV_RUNNER, when set, is a command
that runs it (for example "wine" for the Windows build).
"""
import os
import re
import shlex
import shutil
import subprocess
import tempfile
import unittest

TITLE = b"Korvani pattern CONVERTER V0.2 betta"
OPEN_PROMPT = b"Filename to Open:"
SAVE_PROMPT = b"Filename to SAVE Output as:"
REFUSAL = bytes.fromhex(
    "C8ECFF20F4E0E9EBE020EDE520ECEEE6E5F220E1FBF2FC20EFF3F1F2FBEC21")  # "Имя файла не может быть пустым!"
STATUS_LINE = bytes.fromhex("C7E0EFE8F1E820E220F4E0E9EBE53A")   # "Записи в файле:"
HEADER = b"Vortex Tracker II v1.0 Pattern"
CRLF = b"\r\n"

SAMPLES = os.environ.get("SAMPLES", os.path.join(os.path.dirname(__file__), "samples"))


def program():
    path = os.environ.get("PATCONV")
    if not path:
        raise unittest.SkipTest("PATCONV is not set")
    runner = shlex.split(os.environ.get("PATCONV_RUNNER", ""))
    return runner + [path]


def under_wine():
    return "wine" in os.environ.get("PATCONV_RUNNER", "")


class Result:
    def __init__(self, completed, directory):
        self.stdout = completed.stdout
        self.stderr = completed.stderr
        self.status = completed.returncode
        self.directory = directory

    def file(self, name):  # a str or bytes name
        with open(os.path.join(os.fsencode(self.directory), os.fsencode(name)), "rb") as f:
            return f.read()

    def exists(self, name):
        return os.path.exists(os.path.join(self.directory, name))


class E2ETest(unittest.TestCase):
    """Runs patconv in a temporary directory of its own."""

    def setUp(self):
        self.directory = tempfile.mkdtemp(prefix="patconv-e2e-")
        self.addCleanup(shutil.rmtree, self.directory, True)

    def write(self, name, data):
        path = os.path.join(self.directory, name)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "wb") as f:
            f.write(data)
        return path

    def run_patconv(self, answers, timeout=60, stdout=subprocess.PIPE, env=None, arguments=()):
        """Runs with `answers` on standard input; `env` adds to the environment."""
        completed = subprocess.run(program() + list(arguments), input=answers, stdout=stdout,
                                   stderr=subprocess.PIPE, cwd=self.directory,
                                   timeout=timeout, env=dict(os.environ, **(env or {})))
        return Result(completed, self.directory)


# --- The rules, written out on their own to check the program against ---------

MARKS = ((b"\xef\xbb\xbf", "utf-8"), (b"\xff\xfe", "utf-16-le"), (b"\xfe\xff", "utf-16-be"))


def ansi_text(source):
    """A source as the reader takes it: text after a UTF-8 or UTF-16
    byte-order mark as Windows-1251 bytes ('?' for characters the code page
    lacks), anything else as it is.  Returns the text and how many bytes of
    the source follow its first 0x1A (None without one)."""
    mark, codec = next(((m, c) for m, c in MARKS if source.startswith(m)), (b"", None))
    chars = source[len(mark):].decode(codec, "replace") if codec else source
    cut = chars.find("\x1a" if codec else b"\x1a")
    after = None
    if cut >= 0:
        after = len(source) - len(mark) - len(chars[:cut + 1].encode(codec) if codec else
                                               chars[:cut + 1])
        if not chars[cut:].strip("\x1a" if codec else b"\x1a"):
            after = 0  # only more of them: the text's end, nothing cut
    return (chars.encode("cp1251", "replace") if codec else chars), after


def field_reader(data, lines=None, end_line=None):
    """Fields a source file yields, by the reading rules: CR LF as LF, the
    first 0x1A ends the data, blanks skipped, commas and line ends end fields,
    quotes protect, 4096 bytes at most.  Returns the list of fields; when
    `lines` is a list, the line each field starts on is appended to it, and
    the line the reader ends on to `end_line`."""
    data = data.split(b"\x1a")[0]
    # Translate, remembering the source position after each delivered byte.
    chars, positions, i = [], [], 0
    while i < len(data):
        if data[i] == 0x0D and i + 1 < len(data) and data[i + 1] == 0x0A:
            chars.append(0x0A); i += 2
        else:
            chars.append(data[i]); i += 1
        positions.append(i)
    fields, k, put_back = [], 0, []
    ended = False

    def get():
        nonlocal k, ended
        if put_back:
            return put_back.pop()
        if k < len(chars):
            k += 1
            return chars[k - 1]
        ended = True
        return None

    def at_end():
        if put_back:
            return False
        return ended or k >= len(chars)  # a 0x1A next is the end too

    line = 1
    while not at_end():
        if lines is not None:
            lines.append(line)
        field, quoted = bytearray(), False
        c = get()
        while c in (0x20, 0x09):
            c = get()
        finish = None
        while c is not None and finish is None:
            if c == 0x0A:
                line += 1
                break
            if c == 0x0D:
                n = get()
                if n not in (0x0A, None):
                    put_back.append(n)
                line += 1
                break
            if c == 0x22 and quoted:
                finish = get()
                break
            if c == 0x22 and not field:
                quoted = True
            elif c == 0x2C and not quoted:
                break
            else:
                field.append(c)
            c = get()
            if c is None or len(field) == 4096:
                finish = c
                break
        if finish is not None:
            c = finish
            while c in (0x20, 0x09):
                c = get()
            if c in (0x0D, 0x0A):
                n = get() if c == 0x0D else 0x0A
                if n not in (0x0A, None):
                    put_back.append(n)
                line += 1
            elif c not in (0x2C, None):
                put_back.append(c)
        fields.append(bytes(field))
    if end_line is not None:
        end_line.append(line)
    return fields


def target_row(source_row):
    """The target row for a source row, or None when it is dropped."""
    def note(start):
        cut = source_row[start:start + 3]
        return {b"...": b"---", b"===": b"R--"}.get(cut, cut)
    n1, n2, n3 = note(1), note(13), note(25)
    if n1 == b"odP":
        return None
    return (b"....|..|" + n1 + b" .... ....|" + n2 + b" .... ....|" + n3 + b" .... ....")


def expected_rows(source):
    rows = [target_row(f) for f in field_reader(ansi_text(source)[0])]
    return [r for r in rows if r is not None]


def paste_refusal(row):
    """Why Vortex Tracker II refuses a target row in a paste, or None: rows
    of 49 characters whose notes, upper-cased, are ---, R-- or C-1 to B-8
    (E# and B# taken, B#8 not), or start with a space (skipped)."""
    if len(row) != 49:
        return b"row is %d characters, the tracker needs 49" % len(row)
    for channel, start in ((1, 8), (2, 22), (3, 36)):
        note = row[start:start + 3]
        if not note.startswith(b" ") and not re.fullmatch(rb"---|R--|[CDEFGAB][-#][1-8]", note.upper()) or \
                note.upper() == b"B#8":
            shown = b"".join(bytes([b]) if 0x20 <= b < 0x7F else b"\\x%02X" % b for b in note)
            return b"note '%s' in channel %d is not C-1...B-8, --- or R--" % (shown, channel)
    return None


def paste_warnings_for(kept, output=b"out.txt"):
    """The warning lines on standard error for the kept rows, given as
    (row, source line) pairs, written to `output` (b"": the screen only)."""
    where = b"'" + output + b"'" if output else b"the screen"
    if not kept:
        return [b"patconv: warning: " + where + b": no rows were converted"]
    refused = [(i, line, paste_refusal(row)) for i, (row, line) in enumerate(kept, 1)
               if paste_refusal(row)]
    lines = []
    if refused:
        which = (b"the only row" if len(kept) == 1 else b"%s of %s rows" % (
            format(len(refused), ",").encode(), format(len(kept), ",").encode()))
        lines.append(where + b": " + which + b" will not paste into Vortex Tracker II "
                     b"(the tracker refuses the whole paste)")
    for i, line, reason in refused[:5]:
        place = b"line %d" % (i + 1) if output else b"row %d" % i
        lines.append(b"  %s (source line %d): %s" % (place, line, reason))
    if len(kept) > 256:  # a pattern's rows: the rest of a paste is lost
        lines.append(where + b": only the first 256 of %s rows will paste (the tracker's "
                     b"pattern limit)" % format(len(kept), ",").encode())
    return [b"patconv: warning: " + line for line in lines]


def paste_warnings(source, output=b"out.txt", name=b"in.txt"):
    """The warning lines for converting the bytes of a source file: a 0x1A
    before its end first, then what the tracker will refuse."""
    lines, end_line = [], []
    text, after = ansi_text(source)
    rows = [target_row(f) for f in field_reader(text, lines, end_line)]
    warnings = []
    if after:
        warnings.append(b"patconv: warning: '%s': a 0x1A byte on line %d ends the text; %s "
                        % (name, end_line[0], format(after, ",").encode())
                        + (b"byte after it was not read" if after == 1 else
                           b"bytes after it were not read"))
    return warnings + paste_warnings_for(
        [(r, n) for r, n in zip(rows, lines) if r is not None], output)


def stderr_lines(stderr):
    """The lines of standard error, without their line ends (CR LF from the
    Windows build)."""
    text = stderr.replace(b"\r\n", b"\n")
    return text.split(b"\n")[:-1] if text else []


def terminal_rows(lines, width):
    """The rows a terminal `width` columns wide shows for lines of ASCII
    text written one after the other (long lines wrap)."""
    rows = []
    for line in lines:
        text = line.decode("ascii")
        rows += [text[i:i + width].rstrip() for i in range(0, max(len(text), 1), width)]
    return rows


def redirected_screen(rows, refusals=0):
    """What standard output receives when both streams are redirected."""
    out = TITLE + CRLF + (REFUSAL + CRLF + CRLF) * refusals + STATUS_LINE + CRLF + CRLF
    return out + b"".join(r + CRLF for r in rows)


def target_file(rows):
    return HEADER + CRLF + b"".join(r + CRLF for r in rows)
