#!/usr/bin/env python3
"""Benchmarks of patconv.

  python3 bench/bench.py filter    a 1,000,000-row source converted with
                                   standard streams redirected, side by side
                                   with an awk one-line conversion and a copy
                                   (cat of the source to two files); peak
                                   RSS for 1,000 and 1,000,000 rows
  python3 bench/bench.py terminal  100,000 rows echoed to a real terminal (a
                                   tmux pane), next to cat of the same text
  python3 bench/bench.py console   patconv.exe under wine (--exe, default
                                   build-windows/converter/patconv.exe) on
                                   wine's console in a tmux pane: the console
                                   calls a row of the echo (a relay trace of
                                   100 and 200 rows) and the seconds for 2,000
                                   rows, next to cmd's type of the same text

Options: --patconv PATH (default build/converter/patconv), --rows N,
--runs N (filter: best and median of N side-by-side runs, default 5;
terminal: best of N, default 3), --args=ARGS (filter: options for patconv,
as "--args=--full --channels 2,4,5"; the plain conversion is then timed
beside it).
"""
import argparse
import os
import shlex
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "tests"))

AWK_CONVERSION = r'''
BEGIN { ORS = "\r\n"; print "Vortex Tracker II v1.0 Pattern" > out }
{ sub(/\r$/, "")
  n1 = substr($0, 2, 3); n2 = substr($0, 14, 3); n3 = substr($0, 26, 3)
  if (n1 == "...") n1 = "---"; else if (n1 == "===") n1 = "R--"
  if (n2 == "...") n2 = "---"; else if (n2 == "===") n2 = "R--"
  if (n3 == "...") n3 = "---"; else if (n3 == "===") n3 = "R--"
  if (n1 == "odP") next
  row = "....|..|" n1 " .... ....|" n2 " .... ....|" n3 " .... ...."
  print row > out; print row }
'''

NOTES = ["C-5", "D#4", "...", "===", "G-6", "A#3", "...", "F-2"]


def make_source(path, rows):
    """A ModPlug-style four-channel pattern with CR LF line ends."""
    cells = [("|" + NOTES[i % len(NOTES)] + "01v64A08") for i in range(64)]
    with open(path, "wb") as f:
        f.write(b"ModPlug Tracker MOD\r\n")
        block = []
        for i in range(rows):
            block.append("".join(cells[(i + k * 3) % 64] for k in range(4)) + "\r\n")
            if len(block) == 10000:
                f.write("".join(block).encode())
                block = []
        f.write("".join(block).encode())


GNU_TIME = "/usr/bin/time"


def run_once(argv, cwd, stdin_path=None, stdout_path=os.devnull, removed=()):
    """Runs argv once; the wall-clock seconds.  The files named in `removed`
    (in cwd) and stdout_path are removed first, untimed: emptying a file of
    50 MB on a tmpfs takes longer than some of the runs timed here."""
    for name in list(removed) + ([stdout_path] if stdout_path != os.devnull else []):
        path = os.path.join(cwd, name)
        if os.path.exists(path):
            os.remove(path)
    with open(stdin_path or os.devnull, "rb") as fin, open(stdout_path, "wb") as fout:
        start = time.perf_counter()
        # The warnings a run of a big pattern gives (past the tracker's 256
        # rows) are not what is measured.
        status = subprocess.run(argv, cwd=cwd, stdin=fin, stdout=fout,
                                stderr=subprocess.DEVNULL).returncode
        elapsed = time.perf_counter() - start
    if status != 0:
        raise SystemExit("%s failed with status %d" % (argv[0], status))
    return elapsed


def peak_rss(argv, cwd, stdin_path=None, stdout_path=os.devnull):
    """The peak RSS of one run in KiB, from GNU time (Debian package "time"):
    a child of this Python process would report Python's own size as its
    peak.  0 without GNU time."""
    if not os.path.exists(GNU_TIME):
        return 0
    rss_file = os.path.join(cwd, ".rss")
    run_once([GNU_TIME, "-f", "%M", "-o", rss_file] + argv, cwd, stdin_path, stdout_path)
    with open(rss_file) as f:
        return int(f.read().split()[-1])


def work_directory():
    # Files in memory where there is a tmpfs, so that the disk's write-back
    # does not time both programs instead of the programs themselves.
    place = "/dev/shm" if os.path.isdir("/dev/shm") and os.access("/dev/shm", os.W_OK) else None
    return tempfile.mkdtemp(prefix="patconv-bench-", dir=place)


def awk_program():
    """mawk when it is there (Debian's default awk), else awk."""
    return "mawk" if shutil.which("mawk") else "awk"


def filter_bench(args):
    if not os.path.exists(GNU_TIME):
        print("note: %s is missing (Debian package \"time\"): no peak RSS figures" % GNU_TIME)
    work = work_directory()
    try:
        source = os.path.join(work, "in.txt")
        make_source(source, args.rows)
        answers = os.path.join(work, "answers")
        with open(answers, "w") as f:
            f.write("in.txt\nout.txt\n")
        size_mb = os.path.getsize(source) / 1e6
        awk = awk_program()
        extra = shlex.split(args.args)
        ours_argv = [args.patconv] + extra
        awk_argv = [awk, "-v", "out=awk_out.txt", AWK_CONVERSION, "in.txt"]

        def ours(argv=ours_argv):
            return run_once(argv, work, stdin_path=answers,
                            stdout_path=os.path.join(work, "screen.txt"), removed=["out.txt"])

        def copy():
            # Reading the source twice and writing two files: what a
            # conversion that reads the source and writes the file and the
            # echo cannot beat.
            return sum(run_once(["cat", "in.txt"], work, stdout_path=os.path.join(work, name))
                       for name in ("copy_a.txt", "copy_b.txt"))

        def awk_run():
            return run_once(awk_argv, work, stdout_path=os.path.join(work, "awk_screen.txt"),
                            removed=["awk_out.txt"])

        # Side by side: each round runs them all in turn, so that a busy
        # moment of the machine falls on all of them alike.
        times = {"ours": [], "copy": [], "awk": []}
        if extra:
            times["plain"] = []
        for _ in range(args.runs):
            if extra:
                times["plain"].append(ours([args.patconv]))
            times["ours"].append(ours())
            times["copy"].append(copy())
            times["awk"].append(awk_run())
        with open(os.path.join(work, "out.txt"), "rb") as a, \
                open(os.path.join(work, "awk_out.txt"), "rb") as b:
            same = a.read() == b.read()
        rss_big = peak_rss(ours_argv, work, stdin_path=answers,
                           stdout_path=os.path.join(work, "screen.txt"))
        make_source(source, 1000)
        rss_small = peak_rss(ours_argv, work, stdin_path=answers,
                             stdout_path=os.path.join(work, "screen.txt"))

        best_of = {k: min(v) for k, v in times.items()}
        median_of = {k: statistics.median(v) for k, v in times.items()}
        print("source: %d rows, %.1f MB; files in %s; %d side-by-side runs"
              % (args.rows, size_mb, os.path.dirname(work), args.runs))
        print("%-34s %8s %8s" % ("", "best s", "median s"))
        labels = [("ours", "patconv %s" % args.args if extra else "patconv (redirected)"),
                  ("copy", "copy: cat of the source, twice"),
                  ("awk", "%s one-line conversion" % awk)]
        if extra:
            labels.insert(1, ("plain", "patconv without options"))
        for key, label in labels:
            print("%-34s %8.3f %8.3f" % (label[:34], best_of[key], median_of[key]))
        if extra:
            print("%-34s %7.2f x %7.2f x   (target for --full: at most 1.5 x)" % (
                "with the options / without", best_of["ours"] / best_of["plain"],
                median_of["ours"] / median_of["plain"]))
        print("%-34s %7.2f x %7.2f x   (target: at most 1.8 x)" % (
            "patconv / copy", best_of["ours"] / best_of["copy"],
            median_of["ours"] / median_of["copy"]))
        print("%-34s %7.1f x %7.1f x   (target: at least 10 x)" % (
            "%s / patconv" % awk, best_of["awk"] / best_of["ours"],
            median_of["awk"] / median_of["ours"]))
        print("peak RSS: %d KiB for 1,000 rows, %d KiB for %d rows: %+d KiB   "
              "(target: within 1024 KiB)" % (rss_small, rss_big, args.rows, rss_big - rss_small))
        if not extra:
            print("%s output file identical to ours: %s" % (awk, same))
    finally:
        shutil.rmtree(work, ignore_errors=True)


def terminal_bench(args):
    from tmux import TmuxPane
    rows = args.rows if args.rows != 1000000 else 100000
    work = tempfile.mkdtemp(prefix="patconv-bench-")
    try:
        make_source(os.path.join(work, "in.txt"), rows)
        with open(os.path.join(work, "answers"), "w") as f:
            f.write("in.txt\n\n")
        # The text the echo draws, for cat to send to the same kind of terminal.
        subprocess.run([args.patconv], cwd=work, stdin=open(os.path.join(work, "answers")),
                       stdout=open(os.path.join(work, "echo.txt"), "wb"), check=True)

        def in_pane(command):
            times = []
            for _ in range(args.runs):
                with TmuxPane(80, 25, cwd=work) as pane:
                    script = ('s=$(date +%%s%%N); %s; e=$(date +%%s%%N); echo $(( (e-s)/1000 )) > took'
                              % command)
                    pane.start(["sh", "-c", script])
                    pane.wait_exit(timeout=600)
                    with open(os.path.join(work, "took")) as f:
                        times.append(int(f.read()) / 1e6)
            return min(times)

        ours = in_pane("%s < answers" % args.patconv)
        cat = in_pane("cat echo.txt")
        print("%d rows echoed to an 80x25 tmux pane" % rows)
        print("%-28s %8.3f s" % ("patconv", ours))
        print("%-28s %8.3f s" % ("cat of the same text", cat))
        print("patconv / cat: %.2f x   (target: at most 1.5 x)" % (ours / cat))
    finally:
        shutil.rmtree(work, ignore_errors=True)


# The console calls a relay trace counts: every call of the Windows device
# that reaches the console.
CONSOLE_CALLS = ("GetConsoleScreenBufferInfo", "SetConsoleCursorPosition", "WriteConsoleOutputW",
                 "FillConsoleOutputCharacterW", "FillConsoleOutputAttribute",
                 "ScrollConsoleScreenBufferW", "SetConsoleWindowInfo", "WriteConsoleW",
                 "GetConsoleCursorInfo", "SetConsoleCursorInfo", "GetConsoleMode",
                 "PeekConsoleInputW")


def console_bench(args):
    import re
    from tmux import TmuxPane
    sys.path.insert(0, os.path.join(HERE, "..", "tests"))
    wine = shutil.which("wine64") or shutil.which("wine") or "/usr/lib/wine/wine64"
    server = shutil.which("wineserver") or "/usr/lib/wine/wineserver"
    rows = args.rows if args.rows != 1000000 else 2000
    work = tempfile.mkdtemp(prefix="patconv-bench-")
    env = dict(os.environ, PATCONV_WINE=wine, WINESERVER=server, WINEPREFIX=os.path.join(
        work, "prefix"), WINEDEBUG="-all", DISPLAY="", WAYLAND_DISPLAY="")
    env["WINEDLLOVERRIDES"] = "mscoree,mshtml,explorer.exe,winemenubuilder.exe=d"
    prefix_tool = [sys.executable, os.path.join(HERE, "..", "tests", "wine_prefix.py")]
    try:
        subprocess.run(prefix_tool + ["setup"], env=env, check=True)
        shutil.copy(args.exe, os.path.join(work, "patconv.exe"))
        wine_env = {k: env[k] for k in ("WINEPREFIX", "WINESERVER", "WINEDEBUG",
                                        "WINEDLLOVERRIDES", "DISPLAY")}

        def in_pane(name, command, debug="-all"):
            """Seconds for `command` under cmd on wine's console; its
            standard error (the trace) into the file `name`.err."""
            with TmuxPane(80, 25, cwd=work) as pane:
                script = ('s=$(date +%%s%%N); %s cmd /c "%s" 2> %s.err; e=$(date +%%s%%N); '
                          'echo $(( (e-s)/1000 )) > took' % (wine, command, name))
                pane.start(["sh", "-c", script], env=dict(wine_env, WINEDEBUG=debug))
                pane.wait_exit(timeout=1800)
            with open(os.path.join(work, "took")) as f:
                return int(f.read()) / 1e6

        def calls(count):
            make_source(os.path.join(work, "in.txt"), count)
            in_pane("trace", "patconv.exe in.txt out.txt", "+relay")
            counted = dict.fromkeys(CONSOLE_CALLS, 0)
            call = re.compile(rb"Call [\w.]+\.(\w+)\(")
            with open(os.path.join(work, "trace.err"), "rb") as f:
                for line in f:
                    m = call.search(line)
                    if m and m.group(1).decode() in counted:
                        counted[m.group(1).decode()] += 1
            return counted

        # The relay trace only of the console calls, in the prefix's registry.
        subprocess.run([wine, "reg", "add", r"HKCU\Software\Wine\Debug", "/v", "RelayInclude",
                        "/t", "REG_SZ", "/d", ";".join(CONSOLE_CALLS), "/f"], env=env,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, check=True)
        few, more = calls(100), calls(200)
        per_row = {k: (more[k] - few[k]) / 100 for k in CONSOLE_CALLS if more[k] != few[k]}
        print("console calls a row (200 rows less 100 rows, a relay trace):")
        for name, count in sorted(per_row.items(), key=lambda item: -item[1]):
            print("  %-30s %6.2f" % (name, count))
        print("  %-30s %6.2f" % ("all", sum(per_row.values())))
        make_source(os.path.join(work, "in.txt"), rows)
        ours = min(in_pane("run", "patconv.exe in.txt out.txt") for _ in range(args.runs))
        with open(os.path.join(work, "out.txt"), "rb") as f:
            text = f.read()
        with open(os.path.join(work, "echo.txt"), "wb") as f:
            f.write(text)
        typed = min(in_pane("type", "type echo.txt") for _ in range(args.runs))
        print("%d rows echoed on wine's console (80x25 tmux pane), wine and cmd included" % rows)
        print("%-28s %8.3f s%s" % ("patconv.exe", ours,
                                     "   (target: at most 3 s)" if rows == 2000 else ""))
        print("%-28s %8.3f s" % ("type of the same rows", typed))
    finally:
        subprocess.run(prefix_tool + ["cleanup"], env=env, stdout=subprocess.DEVNULL)
        shutil.rmtree(work, ignore_errors=True)


def main():
    parser = argparse.ArgumentParser(description=__doc__,
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("which", choices=["filter", "terminal", "console"])
    parser.add_argument("--patconv", default=os.path.join(HERE, "..", "build", "converter", "patconv"))
    parser.add_argument("--exe", default=os.path.join(HERE, "..", "build-windows", "converter",
                                                      "patconv.exe"))
    parser.add_argument("--rows", type=int, default=1000000)
    parser.add_argument("--runs", type=int, default=None)
    parser.add_argument("--args", default="")
    args = parser.parse_args()
    args.patconv = os.path.abspath(args.patconv)
    if args.runs is None:
        args.runs = {"filter": 5, "terminal": 3}.get(args.which, 1)
    if args.which == "console":
        args.exe = os.path.abspath(args.exe)
        console_bench(args)
    else:
        filter_bench(args) if args.which == "filter" else terminal_bench(args)


if __name__ == "__main__":
    main()
