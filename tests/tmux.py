"""A tmux pane to run patconv in, for end-to-end tests on a real terminal.

    with TmuxPane(width=80, height=25, cwd=directory) as pane:
        pane.start([patconv])
        pane.wait_for(lambda screen: "Filename to Open:? " in screen[4])
        pane.send_text("in.txt")
        pane.send_keys("Enter")
        status = pane.wait_exit()

The program runs under a small shell wrapper that records the terminal
settings (stty -g) before and after it and its exit status, so tests can
check that the terminal is left as it was found.  Each pane has a tmux
server of its own (-L), with escape-time 0 so an Escape arrives at once,
and counts the bells rung in it (bells()).
"""
import os
import shlex
import shutil
import subprocess
import time
import uuid


class TmuxPane:
    def __init__(self, width=80, height=25, cwd=None, history=2000):
        if shutil.which("tmux") is None:
            raise RuntimeError("tmux is not installed")
        self.width, self.height = width, height
        self.cwd = cwd or os.getcwd()
        self.history = history
        self.socket = "patconv-%d-%s" % (os.getpid(), uuid.uuid4().hex[:8])
        self.status_file = os.path.join(self.cwd, ".pane-status")
        self.before_file = os.path.join(self.cwd, ".pane-stty-before")
        self.after_file = os.path.join(self.cwd, ".pane-stty-after")
        self.bell_file = os.path.join(self.cwd, ".pane-bells")

    # --- tmux --------------------------------------------------------------
    def tmux(self, *args, check=True):
        completed = subprocess.run(["tmux", "-L", self.socket, "-f", "/dev/null"] + list(args),
                                   stdout=subprocess.PIPE, stderr=subprocess.PIPE, timeout=30)
        if check and completed.returncode != 0:
            raise RuntimeError("tmux %s: %s" % (args[0], completed.stderr.decode(errors="replace")))
        return completed.stdout.decode("utf-8", errors="replace")

    def start(self, argv, env=None, locale="C.UTF-8"):
        """Starts argv in a new pane; its environment is `env` added to a
        minimal one (TERM from tmux, a UTF-8 locale by default)."""
        for f in (self.status_file, self.before_file, self.after_file, self.bell_file):
            if os.path.exists(f):
                os.remove(f)
        command = " ".join(shlex.quote(a) for a in argv)
        # The shell catches SIGINT and SIGQUIT (a handler, not "ignore", which
        # the program would inherit) so that Ctrl+C and Ctrl+\ end the
        # program but not the shell.
        script = ("trap : INT QUIT; stty -g > %s; %s; echo $? > %s; stty -g > %s; exec sleep 600" % (
            shlex.quote(self.before_file), command, shlex.quote(self.status_file),
            shlex.quote(self.after_file)))
        exports = {"LANG": locale, "LC_ALL": locale, "TERM": "screen",
                   "PATH": os.environ.get("PATH", "")}
        # A sanitizer build keeps the options its test run was given.
        for name in ("ASAN_OPTIONS", "UBSAN_OPTIONS", "LSAN_OPTIONS"):
            if name in os.environ:
                exports[name] = os.environ[name]
        exports.update(env or {})
        prefix = " ".join("%s=%s" % (k, shlex.quote(v)) for k, v in exports.items())
        # The history limit is taken by a pane when it is made: set first.
        self.tmux("start-server", ";", "set-option", "-g", "history-limit", str(self.history),
                  ";", "new-session", "-d", "-x", str(self.width), "-y", str(self.height),
                  "-c", self.cwd, "env -i %s sh -c %s" % (prefix, shlex.quote(script)))
        self.tmux("set-option", "-g", "escape-time", "0")
        self.tmux("set-window-option", "-g", "aggressive-resize", "off")
        self.tmux("set-hook", "-g", "alert-bell",
                  "run-shell %s" % shlex.quote("echo >> " + shlex.quote(self.bell_file)))

    def close(self):
        self.tmux("kill-server", check=False)

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()

    # --- Input ---------------------------------------------------------------
    def send_text(self, text):
        """Types text literally (no key names)."""
        self.tmux("send-keys", "-l", text)

    def send_keys(self, *keys):
        """Presses tmux key names: Enter, Escape, Left, Home, BSpace, DC, C-c ..."""
        self.tmux("send-keys", *keys)

    def send_bytes(self, data):
        """Sends raw bytes as the terminal would (hex form of send-keys)."""
        self.tmux("send-keys", "-H", *["%02x" % b for b in data])

    def resize(self, width, height):
        self.tmux("resize-window", "-x", str(width), "-y", str(height))
        self.width, self.height = width, height

    def signal(self, signal_name):
        pid = self.tmux("display-message", "-p", "#{pane_pid}").strip()
        # The wrapper shell's child is the program.
        children = subprocess.run(["pgrep", "-P", pid], stdout=subprocess.PIPE).stdout.split()
        for child in children:
            subprocess.run(["kill", "-" + signal_name, child.decode()])

    # --- Output --------------------------------------------------------------
    def screen(self):
        """The visible rows, trailing blanks removed."""
        text = self.tmux("capture-pane", "-p", "-N")
        rows = [r.rstrip() for r in text.split("\n")[:self.height]]
        return rows + [""] * (self.height - len(rows))

    def history_rows(self):
        """The scroll-back rows above the visible screen."""
        text = self.tmux("capture-pane", "-p", "-N", "-S", "-", "-E", "-1")
        rows = text.split("\n")
        if rows and rows[-1] == "":
            rows.pop()
        return [r.rstrip() for r in rows]

    def cursor(self):
        """(column, row), 0-based."""
        x, y = self.tmux("display-message", "-p", "#{cursor_x},#{cursor_y}").strip().split(",")
        return int(x), int(y)

    def bells(self):
        """How many bells the pane has rung so far (tmux may count a quick
        run of bells as one)."""
        if not os.path.exists(self.bell_file):
            return 0
        with open(self.bell_file) as f:
            return len(f.readlines())

    def record_output(self, path):
        """From now on, copies every byte the program writes to `path`."""
        self.tmux("pipe-pane", "-O", "cat > " + shlex.quote(path))

    def cursor_visible(self):
        flag = self.tmux("display-message", "-p", "#{cursor_flag}").strip()
        return flag == "1"

    def wait_for(self, predicate, timeout=10.0, what="the expected screen"):
        """Waits until predicate(screen rows) is true; returns the rows."""
        deadline = time.monotonic() + timeout
        while True:
            rows = self.screen()
            if predicate(rows):
                return rows
            if time.monotonic() > deadline:
                raise AssertionError("timed out waiting for %s; screen:\n%s" % (
                    what, "\n".join("%2d|%s" % (i + 1, r) for i, r in enumerate(rows))))
            time.sleep(0.02)

    def wait_text(self, text, timeout=10.0):
        return self.wait_for(lambda rows: any(text in r for r in rows), timeout, repr(text))

    def wait_exit(self, timeout=10.0):
        """Waits for the program to end; returns its exit status."""
        deadline = time.monotonic() + timeout
        while not os.path.exists(self.after_file):
            if time.monotonic() > deadline:
                raise AssertionError("the program did not end; screen:\n" + "\n".join(self.screen()))
            time.sleep(0.02)
        time.sleep(0.05)
        with open(self.status_file) as f:
            return int(f.read().strip())

    def terminal_settings_kept(self):
        """True when stty -g after the program equals stty -g before it."""
        with open(self.before_file) as a, open(self.after_file) as b:
            return a.read() == b.read()

