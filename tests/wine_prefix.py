"""Sets up and removes the wine prefix that the Windows build's tests run in.

    wine_prefix.py setup      a fresh prefix at $WINEPREFIX, its server kept up
    wine_prefix.py cleanup    the server stopped and the prefix removed

The environment names the tools: PATCONV_WINE (the wine loader, wine64 or
wine) and WINESERVER (the server, which wine itself also reads); setup
empties the log of wine_run.py (PATCONV_WINE_LOG) and cleanup counts it.

Why a server that stays up: the loader starts its server with no grace
time, so every run of a program would start the server and the prefix's
background processes anew (seconds each), and those processes would keep
the run's standard streams open after the program has ended.  Started once
here, with their streams on /dev/null, they serve every test of the run.
"""
import os
import shutil
import subprocess
import sys
import time

BOOT_TIMEOUT = 240


# What the tests run with, unless the environment says otherwise.  Without
# a window system the desktop process (explorer) cannot start, and wine's
# console would wait seconds for it at the first key; .NET and the HTML
# engine would be offered for installation.
DLL_OVERRIDES = "mscoree,mshtml,explorer.exe,winemenubuilder.exe=d"


def environment():
    env = dict(os.environ)
    env.setdefault("WINEDEBUG", "-all")
    env.setdefault("WINEDLLOVERRIDES", DLL_OVERRIDES)
    # No window system: console programs only.
    env.update({"DISPLAY": "", "WAYLAND_DISPLAY": ""})
    return env


def detached(argv, env, timeout=None):
    """Runs argv with every standard stream on /dev/null, in a session of its
    own, so that what it leaves running holds nothing of ours."""
    with open(os.devnull, "r+b") as null:
        return subprocess.run(argv, stdin=null, stdout=null, stderr=null, env=env,
                              start_new_session=True, timeout=timeout).returncode


def stop_server(env):
    server = env["WINESERVER"]
    if os.path.isdir(env["WINEPREFIX"]):
        detached([server, "-k"], env, timeout=60)
        detached([server, "-w"], env, timeout=60)


def setup(env):
    prefix = env["WINEPREFIX"]
    stop_server(env)  # a run that was interrupted may have left one
    if env.get("PATCONV_WINE_LOG") and os.path.exists(env["PATCONV_WINE_LOG"]):
        os.remove(env["PATCONV_WINE_LOG"])
    shutil.rmtree(prefix, ignore_errors=True)
    os.makedirs(prefix)
    started = time.monotonic()
    # Persistent: it stays up until cleanup stops it.
    subprocess.Popen([env["WINESERVER"], "-p"], stdin=subprocess.DEVNULL,
                     stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, env=env,
                     start_new_session=True)
    status = detached([env["PATCONV_WINE"], "wineboot", "--init"], env, timeout=BOOT_TIMEOUT)
    system = os.path.join(prefix, "drive_c", "windows", "system32")
    if status != 0 or not os.path.isdir(system):
        print("wineboot failed (status %d) in %s" % (status, prefix))
        return 1
    print("wine prefix %s ready in %.1f s" % (prefix, time.monotonic() - started))
    return 0


def cleanup(env):
    stop_server(env)
    shutil.rmtree(env["WINEPREFIX"], ignore_errors=True)
    print("wine prefix %s removed" % env["WINEPREFIX"])
    log = env.get("PATCONV_WINE_LOG")
    if log and os.path.exists(log):
        with open(log) as f:
            print("programs started again by wine_run.py: %d (%s)" % (len(f.readlines()), log))
    return 0


def main(argv):
    actions = {"setup": setup, "cleanup": cleanup}
    if len(argv) != 2 or argv[1] not in actions:
        print(__doc__)
        return 2
    env = environment()
    for name in ("WINEPREFIX", "PATCONV_WINE", "WINESERVER"):
        if not env.get(name):
            print("%s is not set" % name)
            return 2
    return actions[argv[1]](env)


if __name__ == "__main__":
    sys.exit(main(sys.argv))
