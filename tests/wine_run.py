"""Runs a Windows program under wine for the end-to-end tests:

    wine_run.py PROGRAM.exe

The wine loader is $PATCONV_WINE.  With standard input on a terminal the
loader simply takes this process's place.  Otherwise the run's standard
input is read in full and handed to the program, and its output is passed
on when it ends, with its exit status.

Why not wine alone: about one start in a thousand, under load, wine 8 ends
the process with status 1 before the program has run: nothing on standard
output, nothing on standard error, no file touched.  patconv itself never
ends like that (its first output, the title, reaches standard output before
any file is opened, and status 1 always comes with a line on standard
error), so such a run is started again, at most twice.  Each restart is
noted in $PATCONV_WINE_LOG when that is set, never on the program's streams.
"""
import os
import subprocess
import sys
import time

RESTARTS = 2


def note(text):
    log = os.environ.get("PATCONV_WINE_LOG")
    if log:
        with open(log, "a") as f:
            f.write("%s %s\n" % (time.strftime("%H:%M:%S"), text))


def main(argv):
    command = [os.environ["PATCONV_WINE"]] + argv[1:]
    if os.isatty(0):
        os.execv(command[0], command)
    answers = sys.stdin.buffer.read()
    for attempt in range(RESTARTS + 1):
        completed = subprocess.run(command, input=answers, stdout=subprocess.PIPE,
                                   stderr=subprocess.PIPE)
        never_ran = (completed.returncode == 1 and not completed.stdout
                     and not completed.stderr)
        if not never_ran or attempt == RESTARTS:
            break
        note("wine ended %s before it ran (status 1, no output): started again"
             % " ".join(argv[1:]))
    sys.stdout.buffer.write(completed.stdout)
    sys.stdout.buffer.flush()
    sys.stderr.buffer.write(completed.stderr)
    sys.stderr.buffer.flush()
    return completed.returncode


if __name__ == "__main__":
    sys.exit(main(sys.argv))
