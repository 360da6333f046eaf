"""Shared helpers for the end-to-end tests of the built patconv.

PATCONV names the program to run; PATCONV_RUNNER, when set, is a command
that runs it (for example "wine" for the Windows build).
"""
import os
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

    def file(self, name):
        with open(os.path.join(self.directory, name), "rb") as f:
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

    def run_patconv(self, answers, timeout=60, stdout=subprocess.PIPE):
        completed = subprocess.run(program(), input=answers, stdout=stdout,
                                   stderr=subprocess.PIPE, cwd=self.directory,
                                   timeout=timeout)
        return Result(completed, self.directory)


# --- The rules, written out on their own to check the program against ---------

def field_reader(data):
    """Fields a source file yields, by the reading rules: CR LF as LF, the
    first 0x1A ends the data, blanks skipped, commas and line ends end fields,
    quotes protect, 4096 bytes at most.  Returns the list of fields."""
    size_marker = len(data)  # the size measured at open counts every byte
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
        if ended:
            return True
        return (positions[k - 1] if k else 0) >= size_marker

    while not at_end():
        field, quoted = bytearray(), False
        c = get()
        while c in (0x20, 0x09):
            c = get()
        finish = None
        while c is not None and finish is None:
            if c == 0x0A:
                break
            if c == 0x0D:
                n = get()
                if n not in (0x0A, None):
                    put_back.append(n)
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
            if c == 0x0D:
                n = get()
                if n not in (0x0A, None):
                    put_back.append(n)
            elif c not in (0x0A, 0x2C, None):
                put_back.append(c)
        fields.append(bytes(field))
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
    rows = [target_row(f) for f in field_reader(source)]
    return [r for r in rows if r is not None]


def redirected_screen(rows, refusals=0):
    """What standard output receives when both streams are redirected."""
    out = TITLE + CRLF + (REFUSAL + CRLF + CRLF) * refusals + STATUS_LINE + CRLF + CRLF
    return out + b"".join(r + CRLF for r in rows)


def target_file(rows):
    return HEADER + CRLF + b"".join(r + CRLF for r in rows)
