#!/usr/bin/env python3
"""Benchmarks of patconv.

  python3 bench/bench.py filter    a 1,000,000-row source converted with
                                   standard streams redirected, side by side
                                   with an awk one-line conversion and a copy
                                   (cat of the source to two files); peak
                                   RSS for 1,000 and 1,000,000 rows
  python3 bench/bench.py terminal  100,000 rows echoed to a real terminal (a
                                   tmux pane), next to cat of the same text

Options: --patconv PATH (default build/converter/patconv), --rows N,
--runs N (filter: best and median of N side-by-side runs, default 5;
terminal: best of N, default 3).
"""
import argparse
import os
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
        ours_argv = [args.patconv]
        awk_argv = [awk, "-v", "out=awk_out.txt", AWK_CONVERSION, "in.txt"]

        def ours():
            return run_once(ours_argv, work, stdin_path=answers,
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

        # Side by side: each round runs all three in turn, so that a busy
        # moment of the machine falls on all of them alike.
        times = {"ours": [], "copy": [], "awk": []}
        for _ in range(args.runs):
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
        for key, label in (("ours", "patconv (redirected)"),
                           ("copy", "copy: cat of the source, twice"),
                           ("awk", "%s one-line conversion" % awk)):
            print("%-34s %8.3f %8.3f" % (label, best_of[key], median_of[key]))
        print("%-34s %7.2f x %7.2f x   (target: at most 1.8 x)" % (
            "patconv / copy", best_of["ours"] / best_of["copy"],
            median_of["ours"] / median_of["copy"]))
        print("%-34s %7.1f x %7.1f x   (target: at least 10 x)" % (
            "%s / patconv" % awk, best_of["awk"] / best_of["ours"],
            median_of["awk"] / median_of["ours"]))
        print("peak RSS: %d KiB for 1,000 rows, %d KiB for %d rows: %+d KiB   "
              "(target: within 1024 KiB)" % (rss_small, rss_big, args.rows, rss_big - rss_small))
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


def main():
    parser = argparse.ArgumentParser(description=__doc__,
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("which", choices=["filter", "terminal"])
    parser.add_argument("--patconv", default=os.path.join(HERE, "..", "build", "converter", "patconv"))
    parser.add_argument("--rows", type=int, default=1000000)
    parser.add_argument("--runs", type=int, default=None)
    args = parser.parse_args()
    args.patconv = os.path.abspath(args.patconv)
    if args.runs is None:
        args.runs = 5 if args.which == "filter" else 3
    filter_bench(args) if args.which == "filter" else terminal_bench(args)


if __name__ == "__main__":
    main()
