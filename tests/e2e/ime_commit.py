#!/usr/bin/env python3
"""Types Japanese through fcitx5 and mozc into the real program's day dialog and checks that
text still being converted (the pre-edit, not yet committed by the input method) is stored.

Usage: ime_commit.py PROGRAM

Each case starts the program on 8 December 2026 in a fresh directory, opens the day dialog with
Enter, switches mozc on with Ctrl+Space and types "nihonn", so that にほん stands underlined as
the pre-edit. Then:
  committed  Enter (mozc commits にほん), the toolbar's check mark, SIGTERM. This proves that the
             input method works here; if it fails, the other cases prove nothing.
  toolbar    the toolbar's check mark while にほん is still pending, then SIGTERM.
  sigterm    SIGTERM while にほん is still pending (the open dialog is registered on the way out).
  stranded   fcitx5 killed while にほん is pending (it stays shown), "xy" typed, the check mark,
             SIGTERM. Fault: にほん was stored after xy though shown before it.
Each must leave MemoData.txt holding exactly 126^11^8^にほん~ (stranded: にほんxy) in code
page 932, then one NUL.

The whole session (Xvfb, openbox, a private D-Bus bus, fcitx5 with its own profile from ime/,
mozc, the program) runs in a temporary directory as the calling user, or, when called as root,
as the unprivileged user velmora-e2e (made here if missing), because mozc refuses to run as root.
The D-Bus traffic between fcitx5 and the program shows the pre-edit and every commit, so the test
knows, rather than guesses, that the text was still pending when the dialog was registered.

Debian packages: xvfb openbox dbus dbus-bin x11-utils xdotool imagemagick faketime fcitx5
fcitx5-mozc fcitx5-frontend-qt6 (and util-linux, passwd for runuser and useradd as root).
"""

import glob
import os
import pwd
import re
import shutil
import signal
import subprocess
import sys
import tempfile
import threading
import time

sys.dont_write_bytecode = True  # the tree may be another user's
from e2e_common import Failure, leak_suppressions, wait_for

USER = "velmora-e2e"
HERE = os.path.dirname(os.path.abspath(__file__))
CONFIG_DIR = os.path.join(HERE, "ime", "fcitx5")
TOOLS = ["Xvfb", "openbox", "dbus-run-session", "dbus-send", "dbus-monitor", "xdotool",
         "xwininfo", "xprop", "import", "fcitx5", "fcitx5-remote"]
PATH = "/usr/bin:/bin:/usr/sbin:/sbin"
TYPED_KEYS = ["n", "i", "h", "o", "n", "n"]  # romaji for にほん; a lone final n stays "ｎ"
WANT_PREEDIT = "にほん"
WANT_FILE = b"126^11^8^" + WANT_PREEDIT.encode("cp932") + b"~\0"
CASES = ("committed", "toolbar", "sigterm", "stranded")  # stranded ends the input method: last
# The program's clock: 8 December 2026, so the day dialog opens on 126^11^8.
FAKE_TIME = "@2026-12-08 09:05:00"
SESSION_TIMEOUT = 90


# ---------------------------------------------------------------------------------------------
# Outside the session: choose the user, lay out the temporary directory, run the session.

def outer(program):
    program = os.path.abspath(program)
    if not os.access(program, os.X_OK):
        print(f"FAIL: {program} is not an executable program")
        return 1
    missing = [tool for tool in TOOLS if shutil.which(tool, path=PATH) is None]
    if not os.path.exists("/usr/lib/mozc/mozc_server"):
        missing.append("mozc_server (fcitx5-mozc)")
    if not glob.glob("/usr/lib/*/fcitx5/fcitx5-mozc.so") + glob.glob("/usr/lib/fcitx5/fcitx5-mozc.so"):
        missing.append("the fcitx5 mozc addon (fcitx5-mozc)")
    if not glob.glob("/usr/lib/*/qt6/plugins/platforminputcontexts/libfcitx5platforminputcontextplugin.so"):
        missing.append("the Qt 6 fcitx5 input context (fcitx5-frontend-qt6)")
    if faketime_library() is None:
        missing.append("libfaketime (faketime)")
    if missing:
        print("FAIL: missing " + ", ".join(missing))
        return 1

    as_root = os.geteuid() == 0
    if as_root:
        try:
            pwd.getpwnam(USER)
        except KeyError:
            # A run beside this one may make the user first: only its absence afterwards counts.
            subprocess.run(["useradd", "--create-home", "--shell", "/usr/sbin/nologin", USER])
        try:
            account = pwd.getpwnam(USER)
        except KeyError:
            print(f"FAIL: could not make the user {USER}, whom mozc needs (it will not run as root)")
            return 1
    work = tempfile.mkdtemp(prefix="velmora-ime-")
    try:
        home = os.path.join(work, "home")
        shutil.copytree(CONFIG_DIR, os.path.join(home, ".config", "fcitx5"))
        script = os.path.join(work, "ime_commit.py")
        shutil.copy(os.path.abspath(__file__), script)
        shutil.copy(os.path.join(HERE, "e2e_common.py"), work)
        lsan_options = leak_suppressions(os.path.join(HERE, "ime", "lsan.supp"), work)
        if as_root:
            for root, dirs, files in os.walk(work):
                for name in [root] + [os.path.join(root, entry) for entry in dirs + files]:
                    os.chown(name, account.pw_uid, account.pw_gid)
            # The build tree may sit where that user cannot reach it (under /root, say): then it
            # runs a copy. The program looks for nothing beside itself.
            if subprocess.run(["runuser", "-u", USER, "--", "test", "-x", program]).returncode != 0:
                copy = os.path.join(work, "velmora")
                shutil.copy(program, copy)
                os.chown(copy, account.pw_uid, account.pw_gid)
                program = copy
        env = ["env", "-i", f"PATH={PATH}", "LANG=C.UTF-8", f"HOME={home}",
               "LSAN_OPTIONS=" + lsan_options]
        for name in ("ASAN_OPTIONS", "UBSAN_OPTIONS"):
            if name in os.environ:
                env.append(f"{name}={os.environ[name]}")
        command = env + ["dbus-run-session", "--", "python3", "-u", script, "--session", program, work]
        if as_root:
            command = ["runuser", "-u", USER, "--"] + command
        # A session of its own, so that whatever it leaves behind (mozc_server, which fcitx5
        # starts and nobody ends) can be ended as one process group.
        session = subprocess.Popen(command, cwd=work, start_new_session=True)
        try:
            status = session.wait(timeout=SESSION_TIMEOUT)
        except subprocess.TimeoutExpired:
            print(f"FAIL: the session did not finish within {SESSION_TIMEOUT} s")
            status = 1
        try:
            os.killpg(session.pid, signal.SIGKILL)
        except ProcessLookupError:
            pass
        session.wait()
        return 0 if status == 0 else 1
    finally:
        if os.environ.get("VELMORA_E2E_KEEP"):
            print(f"kept {work}")
        else:
            shutil.rmtree(work, ignore_errors=True)


def faketime_library():
    found = glob.glob("/usr/lib/*/faketime/libfaketimeMT.so.1") + glob.glob("/usr/lib/faketime/libfaketimeMT.so.1")
    return found[0] if found else None


# ---------------------------------------------------------------------------------------------
# Inside the session: a private bus is already up (dbus-run-session); the rest starts here.


def output(*command):
    try:
        result = subprocess.run(command, capture_output=True, text=True, timeout=10)
    except subprocess.TimeoutExpired:
        raise Failure(f"{' '.join(command)} did not answer within 10 s")
    return result.stdout.strip() if result.returncode == 0 else ""


def xdotool(*arguments):
    try:
        subprocess.run(("xdotool",) + arguments, timeout=10, check=True)
    except (subprocess.TimeoutExpired, subprocess.CalledProcessError) as error:
        raise Failure(f"xdotool {' '.join(arguments)} failed: {error}")


def activate(window_id, what):
    xdotool("windowactivate", window_id)
    wait_for(what + " to have the focus", lambda: output("xdotool", "getactivewindow") == window_id, 5)


def click(x, y):
    xdotool("mousemove", str(x), str(y))
    wait_for("the pointer to move", lambda: f"x:{x} y:{y} " in output("xdotool", "getmouselocation") + " ", 5)
    xdotool("click", "1")


class BusWatch:
    """Follows fcitx5's signals to the program: the pre-edit it shows and the text it commits."""

    def __init__(self):
        self._lock = threading.Lock()
        self._ready = False
        self.preedit = None
        self.commits = []
        self.process = subprocess.Popen(
            ["dbus-monitor", "--session", "type='signal',interface='org.fcitx.Fcitx.InputContext1'"],
            stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)
        threading.Thread(target=self._read, daemon=True).start()
        # It listens once it sees a signal of that interface; send one until it does.
        wait_for("dbus-monitor to listen", self._probe, 10)

    def _probe(self):
        subprocess.run(["dbus-send", "--session", "--type=signal", "/velmora/e2e", "org.fcitx.Fcitx.InputContext1.Probe"],
                       timeout=10)
        time.sleep(0.05)
        with self._lock:
            return self._ready

    def _read(self):
        # dbus-monitor prints a header line per message, then its arguments indented. A message
        # is taken in as each argument arrives: the next header may be long in coming.
        member, strings = None, []
        for line in self.process.stdout:
            if not line.startswith((" ", "\t")):
                found = re.search(r"member=(\w+)", line)
                member, strings = (found.group(1) if found else None), []
                with self._lock:
                    if member == "Probe":
                        self._ready = True
                    elif member == "UpdateFormattedPreedit":
                        self.preedit = ""  # an empty pre-edit has no string to follow
                continue
            found = re.match(r'\s+string "(.*)"$', line.rstrip("\n"))
            if not found:
                continue
            strings.append(found.group(1))
            with self._lock:
                if member == "UpdateFormattedPreedit":
                    self.preedit = "".join(strings)
                elif member == "CommitString":
                    self.commits.append(found.group(1))

    def snapshot(self):
        with self._lock:
            return self.preedit, list(self.commits)

    def reset(self):
        with self._lock:
            self.preedit, self.commits = None, []


def input_contexts():
    """fcitx5's input contexts, as {id: focused}."""
    info = output("dbus-send", "--session", "--print-reply", "--dest=org.fcitx.Fcitx5", "/controller",
                  "org.fcitx.Fcitx.Controller1.DebugInfo")
    return {found.group(1): found.group(2) == "1" for found in re.finditer(r"IC \[(\w+)\][^\n]* focus:(\d)", info)}


def window(title):
    ids = output("xdotool", "search", "--onlyvisible", "--name", f"^{title}$").split()
    return ids[0] if ids else None


def client_origin(window_id):
    info = output("xwininfo", "-id", window_id)
    x = re.search(r"Absolute upper-left X:\s+(-?\d+)", info)
    y = re.search(r"Absolute upper-left Y:\s+(-?\d+)", info)
    if not x or not y:
        raise Failure(f"xwininfo knows no window {window_id}")
    return int(x.group(1)), int(y.group(1))


def check_mark_position(window_id):
    """Screen position of the toolbar's first button, the green check mark, found by its pixels
    in the top of the dialog (menu bar and toolbar)."""
    shot = subprocess.run(["import", "-window", window_id, "-depth", "8", "ppm:-"],
                          capture_output=True, timeout=10).stdout
    header = re.match(rb"P6\s+(\d+)\s+(\d+)\s+255\s", shot)
    if not header:
        raise Failure("could not take a picture of the day dialog")
    width, height = int(header.group(1)), int(header.group(2))
    pixels = shot[header.end():]
    green = []
    for y in range(min(height, 90)):
        for x in range(min(width, 80)):
            r, g, b = pixels[3 * (y * width + x):3 * (y * width + x) + 3]
            if g > 90 and g > r + 50 and g > b + 50:
                green.append((x, y))
    if len(green) < 10:
        return None
    origin_x, origin_y = client_origin(window_id)
    return (origin_x + sum(x for x, _ in green) // len(green),
            origin_y + sum(y for _, y in green) // len(green))


def run_case(name, program, work, bus, environment, fcitx5):
    directory = os.path.join(work, "case-" + name)
    os.mkdir(directory)
    log_path = os.path.join(directory, "program.log")
    with open(log_path, "wb") as log:
        process = subprocess.Popen([program], cwd=directory, env=environment, stdout=log, stderr=log)
    try:
        main = wait_for("the main window カレンダー",
                        lambda: os.path.exists(os.path.join(directory, "Static_holi.txt")) and window("カレンダー"), 20)
        activate(main, "the main window")
        # Qt gives each focused window an input context of its own; once fcitx5 has the main
        # window's, the program is taking keys.
        wait_for("fcitx5 to see the main window's focus", lambda: any(input_contexts().values()), 10)
        before = set(input_contexts())
        bus.reset()
        xdotool("key", "Return")
        dialog = wait_for("the day dialog スケジュール", lambda: window("スケジュール"), 10)
        activate(dialog, "the day dialog")
        # The memo box has the keyboard focus once the dialog's own input context is focused.
        wait_for("the memo box to take the keyboard focus",
                 lambda: any(focused and ic not in before for ic, focused in input_contexts().items()), 10)
        # Polled: the dialog may be mapped before it is painted.
        check_mark = wait_for("the green check mark in the day dialog's toolbar", lambda: check_mark_position(dialog), 5)

        xdotool("key", "ctrl+space")
        wait_for("Ctrl+Space to switch the input method on", lambda: output("fcitx5-remote") == "2", 5)
        current = output("fcitx5-remote", "-n")
        if current != "mozc":
            raise Failure(f"Ctrl+Space switched to {current!r}, not mozc")
        xdotool("key", "--delay", "40", *TYPED_KEYS)
        # mozc_server starts on the first key, so the first case may wait a second or two. The
        # pre-edit in hiragana also shows that mozc is in its Hiragana mode.
        try:
            wait_for(f"mozc to show {WANT_PREEDIT} as the pre-edit", lambda: bus.snapshot()[0] == WANT_PREEDIT, 15)
        except Failure as failure:
            preedit, commits = bus.snapshot()
            raise Failure(f"{failure}; the last pre-edit was {preedit!r} (mozc in another mode if it is not "
                          f"empty), the commits {commits}")
        commits = bus.snapshot()[1]
        if commits:
            raise Failure(f"the input method committed {commits} while typing: mozc is not converting")
        time.sleep(0.3)  # the program paints the pre-edit it has just been sent

        want = WANT_FILE
        if name == "stranded":
            fcitx5.kill()
            fcitx5.wait()
            time.sleep(1)  # the program hears of it over the bus
            xdotool("type", "--delay", "40", "xy")
            want = b"126^11^8^" + (WANT_PREEDIT + "xy").encode("cp932") + b"~\0"
        if name == "committed":
            xdotool("key", "Return")
            wait_for("mozc to commit " + WANT_PREEDIT, lambda: bus.snapshot()[1] == [WANT_PREEDIT], 5)
            time.sleep(0.3)
        if name in ("committed", "toolbar", "stranded"):
            click(*check_mark)
            wait_for("the check mark to register the memo and close the day dialog",
                     lambda: window("スケジュール") is None, 5)
        process.send_signal(signal.SIGTERM)
        try:
            status = process.wait(timeout=10)
        except subprocess.TimeoutExpired:
            raise Failure("the program did not end within 10 s of SIGTERM")
        if status != 0:
            raise Failure(f"the program ended with status {status} on SIGTERM")

        try:
            with open(os.path.join(directory, "MemoData.txt"), "rb") as stored:
                got = stored.read()
        except FileNotFoundError:
            raise Failure("MemoData.txt was not written")
        if got != want:
            text = got.rstrip(b"\0").decode("cp932", errors="replace")
            raise Failure(f"MemoData.txt holds {got.hex(' ')} ({text!r}); want {want.hex(' ')}")
    except Failure:
        # For whoever keeps the directory (VELMORA_E2E_KEEP=1): what the screen showed.
        subprocess.run(["import", "-window", "root", os.path.join(directory, "screen.png")], timeout=10)
        with open(log_path, "rb") as log:
            tail = log.read()[-2000:].decode("utf-8", errors="replace")
        if tail.strip():
            print(f"--- the program's output ({name}):\n{tail}")
        raise
    finally:
        if process.poll() is None:
            process.kill()
            process.wait()


def session(program, work):
    home = os.environ["HOME"]
    runtime = os.path.join(work, "run")
    os.mkdir(runtime, 0o700)
    os.environ.update({
        "XDG_CONFIG_HOME": os.path.join(home, ".config"),
        "XDG_DATA_HOME": os.path.join(home, ".local", "share"),
        "XDG_CACHE_HOME": os.path.join(home, ".cache"),
        "XDG_RUNTIME_DIR": runtime,
    })
    started = []

    def start(name, *command):
        log = open(os.path.join(work, name + ".log"), "wb")
        started.append(subprocess.Popen(command, stdout=log, stderr=log))
        return started[-1]

    results = {}
    try:
        read_end, write_end = os.pipe()
        started.append(subprocess.Popen(
            ["Xvfb", "-displayfd", str(write_end), "-screen", "0", "1280x1024x24", "-nolisten", "tcp"],
            pass_fds=(write_end,), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL))
        os.close(write_end)
        with os.fdopen(read_end) as display_number:
            number = display_number.readline().strip()
        if not number:
            raise Failure("Xvfb did not start")
        os.environ["DISPLAY"] = ":" + number
        openbox = start("openbox", "openbox")
        try:
            wait_for("openbox", lambda: "window id #" in output("xprop", "-root", "_NET_SUPPORTING_WM_CHECK"), 30)
        except Failure as failure:
            with open(os.path.join(work, "openbox.log"), "rb") as log:
                said = log.read().decode("utf-8", errors="replace")
            state = "running" if openbox.poll() is None else f"ended with status {openbox.returncode}"
            raise Failure(f"{failure} (openbox {state} on {os.environ['DISPLAY']}; it said: {said!r})")
        # Only what the Qt client needs: its D-Bus frontend, plain keys and mozc. Not the X11
        # module: it moves each new input context into the display's focus group by an X message
        # that races the client's FocusIn over D-Bus, and a context that loses the race stays
        # unfocused until the window loses and regains the focus (here one window in ten or so).
        # Without it there are no groups to race; --keep, since fcitx5 otherwise ends when it has
        # no display connection.
        fcitx5 = start("fcitx5", "fcitx5", "--keep", "--disable=all", "--enable=dbus,dbusfrontend,keyboard,mozc")
        wait_for("fcitx5 on the session bus", lambda: output(
            "dbus-send", "--session", "--print-reply", "--dest=org.freedesktop.DBus", "/org/freedesktop/DBus",
            "org.freedesktop.DBus.NameHasOwner", "string:org.fcitx.Fcitx5").endswith("true"), 10)
        bus = BusWatch()
        started.append(bus.process)

        environment = {key: value for key, value in os.environ.items() if key != "QT_QPA_PLATFORM"}
        environment.update({
            "QT_IM_MODULE": "fcitx",
            "LD_PRELOAD": faketime_library(),
            "FAKETIME": FAKE_TIME,
            "FAKETIME_DONT_FAKE_MONOTONIC": "1",
            "NO_FAKE_STAT": "1",
            # A sanitizer build wants its runtime first; libfaketime is preloaded before it.
            "ASAN_OPTIONS": ":".join(filter(None, [os.environ.get("ASAN_OPTIONS"), "verify_asan_link_order=0"])),
        })
        for name in CASES:
            begun = time.monotonic()
            try:
                run_case(name, program, work, bus, environment, fcitx5)
                results[name] = None
                print(f"ok    {name} ({time.monotonic() - begun:.1f} s)")
            except Failure as failure:
                results[name] = str(failure)
                print(f"FAIL  {name}: {failure}")
                if name == "committed":
                    print("The input method does not work in this set-up, so the other cases would prove nothing.")
                    break
    except Failure as failure:
        print(f"FAIL: {failure}")
        results["set-up"] = str(failure)
    finally:
        for process in reversed(started):
            if process.poll() is None:
                process.terminate()
                try:
                    process.wait(timeout=5)
                except subprocess.TimeoutExpired:
                    process.kill()
                    process.wait()
    if results.get("committed", "") is not None or "set-up" in results:
        # fcitx5 writes its log in full only once it has ended; its own lines start with a level
        # letter and the date (the rest is the backtrace it prints on SIGTERM).
        try:
            with open(os.path.join(work, "fcitx5.log"), "rb") as log:
                lines = log.read().decode("utf-8", errors="replace").splitlines()
        except FileNotFoundError:
            lines = []
        print("--- fcitx5's log:\n" + "\n".join(line for line in lines if re.match(r"[DIWEF]\d{4}-", line)))
    failed = sum(1 for result in results.values() if result is not None)
    print(f"ime_commit: {len(results) - failed} of {len(CASES)} cases passed")
    return 1 if failed or len(results) < len(CASES) else 0


def main():
    if len(sys.argv) == 4 and sys.argv[1] == "--session":
        sys.exit(session(sys.argv[2], sys.argv[3]))
    if len(sys.argv) != 2:
        sys.exit(f"usage: {sys.argv[0]} PROGRAM")
    sys.exit(outer(sys.argv[1]))


if __name__ == "__main__":
    main()
