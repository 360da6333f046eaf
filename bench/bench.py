#!/usr/bin/env python3
"""Benchmarks of patconv.

  python3 bench/bench.py filter    a 1,000,000-row source converted with
                                   standard streams redirected, next to an
                                   awk one-line conversion and cat; peak RSS
                                   for 1,000 and 1,000,000 rows
  python3 bench/bench.py terminal  100,000 rows echoed to a real terminal (a
                                   tmux pane), next to cat of the same text

Options: --patconv PATH (default build/converter/patconv), --rows N,
--runs N (best of N, default 3).
"""
import argparse
import os
import shutil
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


def timed(argv, cwd, stdin_path=None, stdout_path=os.devnull):
    """Runs argv once: (seconds, peak RSS in KiB).  The peak RSS comes from
    GNU time (Debian package "time"): a child of this Python process would
    report Python's own size as its peak."""
    rss_file = os.path.join(cwd, ".rss")
    wrapper = [GNU_TIME, "-f", "%M", "-o", rss_file] if os.path.exists(GNU_TIME) else []
    with open(stdin_path or os.devnull, "rb") as fin, open(stdout_path, "wb") as fout:
        start = time.perf_counter()
        status = subprocess.run(wrapper + argv, cwd=cwd, stdin=fin, stdout=fout).returncode
        elapsed = time.perf_counter() - start
    if status != 0:
        raise SystemExit("%s failed with status %d" % (argv[0], status))
    rss = 0
    if wrapper:
        with open(rss_file) as f:
            rss = int(f.read().split()[-1])
    return elapsed, rss


def best(argv, cwd, runs, **kwargs):
    results = [timed(argv, cwd, **kwargs) for _ in range(runs)]
    return min(r[0] for r in results), max(r[1] for r in results)


def work_directory():
    # Files in memory where there is a tmpfs, so that the disk's write-back
    # does not time both programs instead of the programs themselves.
    place = "/dev/shm" if os.path.isdir("/dev/shm") and os.access("/dev/shm", os.W_OK) else None
    return tempfile.mkdtemp(prefix="patconv-bench-", dir=place)


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
        ours = best([args.patconv], work, args.runs, stdin_path=answers,
                    stdout_path=os.path.join(work, "screen.txt"))
        awk = best(["awk", "-v", "out=awk_out.txt", AWK_CONVERSION, "in.txt"], work, args.runs,
                   stdout_path=os.path.join(work, "awk_screen.txt"))
        cat = best(["cat", "in.txt"], work, args.runs, stdout_path=os.path.join(work, "copy.txt"))
        with open(os.path.join(work, "out.txt"), "rb") as a, \
                open(os.path.join(work, "awk_out.txt"), "rb") as b:
            same = a.read() == b.read()
        make_source(source, 1000)
        small = best([args.patconv], work, args.runs, stdin_path=answers,
                     stdout_path=os.path.join(work, "screen.txt"))
        print("source: %d rows, %.1f MB" % (args.rows, size_mb))
        print("%-28s %8s %10s" % ("", "seconds", "peak RSS"))
        print("%-28s %8.3f %7d KiB" % ("patconv (redirected)", ours[0], ours[1]))
        print("%-28s %8.3f %7d KiB" % ("awk one-line conversion", awk[0], awk[1]))
        print("%-28s %8.3f %7d KiB" % ("cat of the source", cat[0], cat[1]))
        print("%-28s %8.3f %7d KiB" % ("patconv, 1,000 rows", small[0], small[1]))
        print("awk / patconv: %.1f x   (target: at least 5 x)" % (awk[0] / ours[0]))
        print("peak RSS 1,000,000 rows - 1,000 rows: %d KiB   (target: within 1024 KiB)"
              % (ours[1] - small[1]))
        print("awk output file identical to ours: %s" % same)
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
        print("patconv / cat: %.2f x   (target: within 3 x)" % (ours / cat))
    finally:
        shutil.rmtree(work, ignore_errors=True)


def main():
    parser = argparse.ArgumentParser(description=__doc__,
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("which", choices=["filter", "terminal"])
    parser.add_argument("--patconv", default=os.path.join(HERE, "..", "build", "converter", "patconv"))
    parser.add_argument("--rows", type=int, default=1000000)
    parser.add_argument("--runs", type=int, default=3)
    args = parser.parse_args()
    args.patconv = os.path.abspath(args.patconv)
    filter_bench(args) if args.which == "filter" else terminal_bench(args)


if __name__ == "__main__":
    main()
