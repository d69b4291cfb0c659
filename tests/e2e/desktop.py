"""A private X desktop for one end-to-end case: Xvfb, openbox, trayer and the real program.

Everything here is seen from outside the program, the way a user meets it: windows are found by
their titles, driven with xdotool, and checked by the pixels of screenshots, by the X server's
idea of their state (xwininfo, xprop, wmctrl) and by the bytes of the files they write.
Standard library only.
"""

import ctypes
import math
import os
import re
import select
import shutil
import signal
import subprocess
import tempfile
import time

# The program's clock stands still at this moment (a Tuesday); monotonic time runs on, since
# Qt's timers need it.
FAKE_NOW = "@2026-12-08 09:05:00"

MAIN_TITLE = "カレンダー"
BACKGROUND = (192, 192, 192)
CURSOR = (131, 241, 233)
TOOLBAR_HEIGHT = 26  # client pixels above the calendar area and above the dialogs' bands

# Variables of the calling session that would change how Qt draws, where it talks to, or which data
# folder the programs take.
_SCRUBBED = (
    "QT_QPA_PLATFORM", "QT_QPA_PLATFORMTHEME", "QT_STYLE_OVERRIDE", "QT_SCALE_FACTOR",
    "QT_SCREEN_SCALE_FACTORS", "QT_AUTO_SCREEN_SCALE_FACTOR", "QT_ENABLE_HIGHDPI_SCALING",
    "QT_FONT_DPI", "QT_IM_MODULE", "XMODIFIERS", "GTK_IM_MODULE", "WAYLAND_DISPLAY",
    "DBUS_SESSION_BUS_ADDRESS", "SESSION_MANAGER", "XAUTHORITY",
    "VELMORA_DIR",  # the launcher's and velmora-cal's data folder: the case's own is meant
)


class Failure(AssertionError):
    """A check of a case did not hold."""


def check(condition, message):
    if not condition:
        raise Failure(message)


def wait_until(predicate, what, timeout=5.0, interval=0.05):
    """Calls predicate until it returns something true and returns that; fails after timeout."""
    deadline = time.monotonic() + timeout
    while True:
        value = predicate()
        if value:
            return value
        if time.monotonic() >= deadline:
            raise Failure(f"waited {timeout:g} s for {what}")
        time.sleep(interval)


def holds_for(predicate, seconds, interval=0.05):
    """Returns True when predicate stays true for the whole time (for things that must not happen)."""
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        if not predicate():
            return False
        time.sleep(interval)
    return True


def _die_with_parent():
    # Children go when the harness goes, even when it is killed: no Xvfb is left behind.
    libc = ctypes.CDLL(None, use_errno=True)
    libc.prctl(1, signal.SIGKILL)  # PR_SET_PDEATHSIG


# ---------------------------------------------------------------------------------------------
# Images

class Image:
    """RGB pixels, 3 bytes each, rows top to bottom."""

    def __init__(self, width, height, data, path=None):
        check(len(data) == width * height * 3, f"{path}: {len(data)} bytes for {width}x{height}")
        self.width = width
        self.height = height
        self.data = data
        self.path = path

    @classmethod
    def load_ppm(cls, path):
        """Reads a binary PPM, as render_reference writes them."""
        with open(path, "rb") as f:
            raw = f.read()
        fields = re.match(rb"P6\s+(\d+)\s+(\d+)\s+(\d+)\s", raw)
        check(fields is not None and fields.group(3) == b"255", f"{path}: not an 8-bit binary PPM")
        width, height = int(fields.group(1)), int(fields.group(2))
        return cls(width, height, raw[fields.end():fields.end() + width * height * 3], path)

    def pixel(self, x, y):
        i = (y * self.width + x) * 3
        return tuple(self.data[i:i + 3])

    def row(self, y, x0=0, x1=None):
        x1 = self.width if x1 is None else x1
        start = (y * self.width + x0) * 3
        return self.data[start:start + (x1 - x0) * 3]

    def crop(self, x, y, width, height):
        x0, y0 = max(0, x), max(0, y)
        x1, y1 = min(self.width, x + width), min(self.height, y + height)
        rows = b"".join(self.row(yy, x0, x1) for yy in range(y0, y1))
        return Image(max(0, x1 - x0), max(0, y1 - y0), rows)

    def bbox_of(self, wanted):
        """The smallest (x, y, w, h) holding every pixel for which wanted(rgb) is true, or None."""
        xs, ys = [], []
        for y in range(self.height):
            for x in range(self.width):
                if wanted(self.pixel(x, y)):
                    xs.append(x)
                    ys.append(y)
        if not xs:
            return None
        return min(xs), min(ys), max(xs) - min(xs) + 1, max(ys) - min(ys) + 1

    def find(self, needle, region=None):
        """Every (x, y) where needle's pixels stand exactly in this image, inside region (x, y, w, h)."""
        rx, ry, rw, rh = region if region is not None else (0, 0, self.width, self.height)
        rx, ry = max(0, rx), max(0, ry)
        rw, rh = min(rw, self.width - rx), min(rh, self.height - ry)
        hits = []
        if needle.width == 0 or needle.width > rw or needle.height > rh:
            return hits
        first = needle.row(0)
        for y in range(ry, ry + rh - needle.height + 1):
            line = self.row(y, rx, rx + rw)
            start = line.find(first)
            while start != -1:
                if start % 3 == 0:
                    x = rx + start // 3
                    if all(self.row(y + k, x, x + needle.width) == needle.row(k)
                           for k in range(1, needle.height)):
                        hits.append((x, y))
                start = line.find(first, start + 1)
        return hits

    def holds_at(self, needle, x, y):
        return all(self.row(y + k, x, x + needle.width) == needle.row(k) for k in range(needle.height))

    def scaled(self, factor):
        """Every pixel repeated factor times across and down: what enlarging a 1x drawing gives."""
        rows = []
        for y in range(self.height):
            line = self.row(y)
            wide = b"".join(line[i:i + 3] * factor for i in range(0, len(line), 3))
            rows.extend([wide] * factor)
        return Image(self.width * factor, self.height * factor, b"".join(rows))


# ---------------------------------------------------------------------------------------------
# Windows

class Geometry:
    """What xwininfo says of a window: its inside on the screen, and whether it is shown."""

    def __init__(self, wid, x, y, width, height, viewable, override_redirect):
        self.wid, self.x, self.y, self.width, self.height = wid, x, y, width, height
        self.viewable = viewable
        self.override_redirect = override_redirect

    @property
    def centre(self):
        return self.x + self.width // 2, self.y + self.height // 2

    @property
    def right(self):
        return self.x + self.width

    @property
    def rect(self):
        return self.x, self.y, self.width, self.height

    def __repr__(self):
        return (f"window 0x{self.wid:x} {self.width}x{self.height}+{self.x}+{self.y}"
                f"{'' if self.viewable else ' (unmapped)'}")


class _X11:
    """The few Xlib calls no command-line tool answers: who owns a selection."""

    def __init__(self):
        self.lib = ctypes.CDLL("libX11.so.6")
        self.lib.XOpenDisplay.restype = ctypes.c_void_p
        self.lib.XOpenDisplay.argtypes = [ctypes.c_char_p]
        self.lib.XInternAtom.restype = ctypes.c_ulong
        self.lib.XInternAtom.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_int]
        self.lib.XGetSelectionOwner.restype = ctypes.c_ulong
        self.lib.XGetSelectionOwner.argtypes = [ctypes.c_void_p, ctypes.c_ulong]
        self.lib.XCloseDisplay.argtypes = [ctypes.c_void_p]

    def selection_owner(self, display, selection):
        dpy = self.lib.XOpenDisplay(display.encode())
        if not dpy:
            return 0
        try:
            return self.lib.XGetSelectionOwner(dpy, self.lib.XInternAtom(dpy, selection.encode(), 0))
        finally:
            self.lib.XCloseDisplay(dpy)


# ---------------------------------------------------------------------------------------------
# The desktop

class Desktop:
    """One X server with a window manager, optionally a notification area, and the program.

    Use it as a context manager: on leaving, every process it started is ended, and when the case
    failed, its screenshots and logs are kept in a folder named on stderr.
    """

    def __init__(self, case, program, reference, artifacts, screen=(1280, 1024), scale=None, keep=False, cal=None):
        self.case = case
        self.program_path = os.path.abspath(program)
        # velmora-cal: as given, else where the build tree puts it beside the program's folder.
        self.cal_path = os.path.abspath(cal or os.path.join(os.path.dirname(self.program_path), "..",
                                                            "velmora-cal", "velmora-cal"))
        self.reference_path = os.path.abspath(reference) if reference else None
        self.artifacts = artifacts
        self.screen = screen
        self.scale = scale
        self.keep = keep  # keep the screenshots and logs of a passing case too
        self.root = tempfile.mkdtemp(prefix=f"velmora-e2e-{case}-")
        self.data = os.path.join(self.root, "data")
        self.shots = os.path.join(self.root, "shots")
        self.refs = os.path.join(self.root, "references")
        for folder in (self.data, self.shots, self.refs):
            os.makedirs(folder)
        self.display = None
        self.clock_file = None
        self.env = None
        self.program = None
        self._processes = []  # (name, Popen), in start order
        self._shot_count = 0
        self._x11 = _X11()
        self._reference_cache = {}
        self._root = None

    # -- set-up and tear-down ----------------------------------------------------------------

    def __enter__(self):
        try:
            self._start_x()
            self._start_window_manager()
        except BaseException:
            self._tear_down(failed=True)
            raise
        return self

    def __exit__(self, kind, value, trace):
        failed = kind is not None
        if failed and self.display is not None:
            try:
                self.shot("at-failure")
                with open(os.path.join(self.root, "windows.log"), "w") as f:
                    f.write(self.run(["xwininfo", "-root", "-tree"], check=False))
            except Exception:  # the server itself may be what failed
                pass
        self._tear_down(failed)
        return False

    def _log(self, name):
        return open(os.path.join(self.root, f"{name}.log"), "wb")

    def _spawn(self, name, argv, env=None, cwd=None, pass_fds=()):
        with self._log(name) as log:
            process = subprocess.Popen(argv, env=env if env is not None else self.env, cwd=cwd,
                                       stdin=subprocess.DEVNULL, stdout=log, stderr=subprocess.STDOUT,
                                       start_new_session=True, pass_fds=pass_fds,
                                       preexec_fn=_die_with_parent)
        self._processes.append((name, process))
        return process

    def _start_x(self):
        width, height = self.screen
        read_end, write_end = os.pipe()
        try:
            # -noreset: the server would otherwise start afresh whenever its last client leaves
            # (each xdotool or xprop call is a client that comes and goes), and refuse whoever
            # connects at that moment: openbox, say.
            server = self._spawn("xvfb", ["Xvfb", "-displayfd", str(write_end), "-screen", "0",
                                          f"{width}x{height}x24", "-dpi", "96", "-nolisten", "tcp",
                                          "-noreset"],
                                 env=dict(os.environ), pass_fds=(write_end,))
            os.close(write_end)
            write_end = None
            number = b""
            deadline = time.monotonic() + 10
            while not number.endswith(b"\n"):
                check(server.poll() is None, "Xvfb ended at start (see xvfb.log)")
                check(time.monotonic() < deadline, "Xvfb did not name its display within 10 s")
                ready, _, _ = select.select([read_end], [], [], 0.2)
                if ready:
                    chunk = os.read(read_end, 64)
                    check(chunk, "Xvfb closed its display pipe")
                    number += chunk
        finally:
            os.close(read_end)
            if write_end is not None:
                os.close(write_end)
        self.display = f":{int(number)}"

        env = {k: v for k, v in os.environ.items() if k not in _SCRUBBED}
        env["DISPLAY"] = self.display
        for name in ("XDG_RUNTIME_DIR", "XDG_CONFIG_HOME", "XDG_CACHE_HOME", "XDG_DATA_HOME",
                     "XDG_STATE_HOME"):
            folder = os.path.join(self.root, name.lower())
            os.makedirs(folder, mode=0o700)
            env[name] = folder
        env["NO_AT_BRIDGE"] = "1"
        # Temporary files and sockets (the program's single-copy socket among them) go with the case.
        env["TMPDIR"] = os.path.join(self.root, "tmp")
        os.makedirs(env["TMPDIR"])
        # No session bus: the tray icon is then an XEmbed window, which trayer takes in. A bus
        # address that nothing serves, because with none at all libdbus would start a bus for
        # the display through dbus-launch, a daemon that outlives the case.
        env["DBUS_SESSION_BUS_ADDRESS"] = f"unix:path={os.path.join(self.root, 'no-session-bus')}"
        self.env = env

    def _start_window_manager(self):
        with open("/etc/xdg/openbox/rc.xml", encoding="utf-8") as f:
            rc = f.read()
        # The program answers Alt+Space itself (its system menu); openbox's own binding of the
        # key would take it first.
        rc, removed = re.subn(r'\s*<keybind key="A-space">.*?</keybind>', "", rc, flags=re.S)
        check(removed == 1, "openbox's rc.xml has no A-space binding to remove")
        path = os.path.join(self.root, "openbox-rc.xml")
        with open(path, "w", encoding="utf-8") as f:
            f.write(rc)
        self._spawn("openbox", ["openbox", "--config-file", path])
        wait_until(self._window_manager_frames_a_window, "openbox to manage windows", timeout=10)

    def _window_manager_frames_a_window(self):
        """Maps a probe window and tells whether openbox framed it. A window mapped while openbox
        is still starting is lost to it (never shown), so readiness is judged by a real window."""
        probe = self._spawn("probe", ["xmessage", "-name", "velmora-e2e-probe", "-geometry", "+0+0", "probe"])
        try:
            def framed():
                found = self.run(["xdotool", "search", "--classname", "velmora-e2e-probe"], check=False).split()
                return any("_NET_FRAME_EXTENTS(CARDINAL)" in self.run(["xprop", "-id", w, "_NET_FRAME_EXTENTS"],
                                                                       check=False) for w in found)
            return wait_until(framed, "a probe window to be framed", timeout=1.5)
        except Failure:
            return False
        finally:
            os.killpg(probe.pid, signal.SIGKILL)
            probe.wait()
            self._processes.remove(("probe", probe))

    def start_tray(self):
        """Starts trayer at the bottom right and waits until it takes the notification area."""
        self._spawn("trayer", ["trayer", "--edge", "bottom", "--align", "right", "--widthtype",
                               "pixel", "--width", "100", "--height", "24", "--transparent", "false",
                               "--tint", "0xffffff"])
        def ready():
            panel = self.tray_panel()
            return (panel is not None and self.is_shown(panel)
                    and self._x11.selection_owner(self.display, "_NET_SYSTEM_TRAY_S0") != 0)
        wait_until(ready, "trayer to show its panel and take the notification area")

    def stop(self, helper):
        """Kills a helper of the desktop (trayer, openbox), as one goes that crashes or restarts."""
        for name, process in self._processes:
            if name == helper and process.poll() is None:
                os.killpg(process.pid, signal.SIGKILL)
                process.wait()

    def start_session_bus(self):
        """A session bus of the case's own with Debian's dunst serving notifications on it, and
        dbus-monitor writing each Notify call to notify.log (see notify_calls)."""
        self._spawn("dbus-daemon", ["dbus-daemon", "--session", "--nofork", "--print-address=1"])
        address = wait_until(lambda: self._log_text("dbus-daemon").partition("\n")[0] if
                             self._log_text("dbus-daemon").endswith("\n") else None, "the session bus's address")
        self.env["DBUS_SESSION_BUS_ADDRESS"] = address
        self._spawn("notify", ["dbus-monitor", "--session",
                               "type='method_call',interface='org.freedesktop.Notifications',member='Notify'"])
        # dunst's menu of the shown notifications' actions, answered by a script instead of dmenu:
        # it picks the first line that holds the text of the file `action` (see choose_action).
        pick = os.path.join(self.root, "pick-action")
        with open(pick, "w") as f:
            f.write(f'#!/bin/sh\ngrep -m1 -F -- "$(cat {self.root}/action)"\n')
        os.chmod(pick, 0o755)
        os.makedirs(os.path.join(self.env["XDG_CONFIG_HOME"], "dunst"))
        with open(os.path.join(self.env["XDG_CONFIG_HOME"], "dunst", "dunstrc"), "w") as f:
            f.write(f"[global]\n    dmenu = {pick}\n")
        self._spawn("dunst", ["dunst"])

        def served():
            reply = self.run(["dbus-send", "--session", "--print-reply", "--dest=org.freedesktop.DBus",
                              "/org/freedesktop/DBus", "org.freedesktop.DBus.NameHasOwner",
                              "string:org.freedesktop.Notifications"], check=False)
            return "boolean true" in reply
        wait_until(served, "dunst to serve org.freedesktop.Notifications")

    def choose_action(self, label):
        """Picks the action `label` of the shown notifications from dunst's menu, as a user does."""
        with open(os.path.join(self.root, "action"), "w") as f:
            f.write(label)
        self.run(["dunstctl", "context"])

    def _log_text(self, name):
        with open(os.path.join(self.root, f"{name}.log"), "rb") as f:
            return f.read().decode(errors="replace")

    def notify_calls(self):
        """Each Notify call seen on the bus so far: (app name, icon, summary, body, [actions], {hints})."""
        calls = []
        for block in self._log_text("notify").split("method call ")[1:]:
            strings = re.findall(r'^\s*string "(.*?)"$', block, re.M | re.S)
            if len(strings) < 4:
                continue
            actions_part = block.split("array [", 1)[1].split("]", 1)[0] if "array [" in block else ""
            actions = re.findall(r'string "(.*?)"$', actions_part, re.M | re.S)
            hints_part = block.split("array [", 2)[2] if block.count("array [") >= 2 else ""
            hints = dict(re.findall(r'string "(.*?)"\s+variant\s+string "(.*?)"', hints_part, re.S))
            calls.append((strings[0], strings[1], strings[2], strings[3], actions, hints))
        return calls

    def set_clock(self, moment):
        """Moves the running program's wall clock to `moment` ("2026-12-08 10:00:00"), where it then
        stands still (monotonic time runs on); only for a program started with clock_file."""
        with open(self.clock_file + ".new", "w") as f:
            f.write(moment + "\n")
        os.replace(self.clock_file + ".new", self.clock_file)

    def start_program(self, files=None, launcher=False, clock=None):
        """Starts the program in the data folder (holding `files`: name -> bytes) at FAKE_NOW; with
        `launcher`, as the desktop entry starts it: through velmora-launch beside it, from the case's
        root, the data folder then being the launcher's default one. With `clock` ("2026-12-08
        09:05:00"), its wall clock stands at that moment instead, and set_clock moves it."""
        if launcher:
            self.data = os.path.join(self.env["XDG_DATA_HOME"], "velmora")
        for name, content in (files or {}).items():
            with open(os.path.join(self.data, name), "wb") as f:
                f.write(content)
        env = dict(self.env)
        if self.scale is not None:
            env["QT_SCALE_FACTOR"] = str(self.scale)
        # libfaketime preloaded as the faketime command does, but with the program as our own
        # child, so that its pid and exit status are its own.
        env["LD_PRELOAD"] = "/usr/$LIB/faketime/libfaketime.so.1"
        env["FAKETIME"] = FAKE_NOW
        env["FAKETIME_DONT_FAKE_MONOTONIC"] = "1"
        if clock is not None:
            # Read again at every call, so that set_clock moves the clock of the running program.
            self.clock_file = os.path.join(self.root, "clock")
            self.set_clock(clock)
            del env["FAKETIME"]
            env["FAKETIME_TIMESTAMP_FILE"] = self.clock_file
            env["FAKETIME_NO_CACHE"] = "1"
        # Files keep their real times: libfaketime shifts what fstat says but not what fstatat
        # says, and the program compares the two to tell whether another program changed a file.
        env["NO_FAKE_STAT"] = "1"
        # The pointer must not rest where the window opens: moving over the day grid moves the cursor.
        self.park_pointer()
        if launcher:
            argv, cwd = [os.path.join(os.path.dirname(self.program_path), "velmora-launch")], self.root
        else:
            argv, cwd = [self.program_path], self.data
        self.program = self._spawn("velmora", argv, env=env, cwd=cwd)
        return self.program

    def start(self, tray=True, files=None, launcher=False, clock=None):
        """The usual beginning: notification area, program, its main window painted."""
        if tray:
            self.start_tray()
        self.start_program(files=files, launcher=launcher, clock=clock)
        main = self.main_window()
        cells = main.framed_cells(self.shot("started"))
        check(cells == [(2, 2)], f"the program opened with its cursor around cell {cells}, not around "
                                 f"8 December 2026: is libfaketime installed?")
        return main

    def spawn_window(self, argv, title):
        """Starts another X client (xmessage, say) and waits for its window `title`."""
        self._spawn(os.path.basename(argv[0]), argv)
        return wait_until(lambda: self.window(title), f"the window {title!r}")

    def _tear_down(self, failed):
        if failed:
            with open(os.path.join(self.root, "processes.log"), "w") as f:
                for name, process in self._processes:
                    status = process.poll()
                    f.write(f"{name} pid {process.pid}: {'running' if status is None else f'ended with {status}'}\n")
                f.write(f"display {self.display}\n")
        for name, process in reversed(self._processes):
            if process.poll() is not None:
                continue
            try:
                if name == "xvfb":
                    # Xvfb removes its socket on SIGTERM.
                    os.killpg(process.pid, signal.SIGTERM)
                    try:
                        process.wait(timeout=3)
                        continue
                    except subprocess.TimeoutExpired:
                        pass
                os.killpg(process.pid, signal.SIGKILL)
            except ProcessLookupError:
                pass
            process.wait()
        log = os.path.join(self.root, "velmora.log")
        if failed and os.path.exists(log):
            with open(log, "rb") as f:
                tail = f.read().decode(errors="replace").splitlines()[-15:]
            if tail:
                print("the program's last output:\n  " + "\n  ".join(tail), flush=True)
        try:
            if (failed or self.keep) and self.artifacts:
                kept = os.path.join(self.artifacts, self.case)
                shutil.rmtree(kept, ignore_errors=True)
                os.makedirs(self.artifacts, exist_ok=True)
                # The screenshots, logs, references and data files; not the sockets and caches.
                shutil.copytree(self.root, kept, ignore=shutil.ignore_patterns("xdg_*", "tmp"), symlinks=True)
                print(f"screenshots and logs of the case are in {kept}", flush=True)
        finally:
            shutil.rmtree(self.root, ignore_errors=True)

    # -- commands on the display -------------------------------------------------------------

    def run_cal(self, args, cwd):
        """Runs velmora-cal with `args` from `cwd` in the case's session, messages in English;
        returns its exit status, stdout and stderr (text)."""
        env = dict(self.env, LANG="C", TZ="Asia/Tokyo")
        result = subprocess.run([self.cal_path, *args], env=env, cwd=cwd, capture_output=True, timeout=10)
        return result.returncode, result.stdout.decode(), result.stderr.decode()

    def run(self, argv, check=True, timeout=10):
        result = subprocess.run(argv, env=self.env, capture_output=True, timeout=timeout)
        if check and result.returncode != 0:
            raise Failure(f"{' '.join(argv)} failed: {result.stderr.decode(errors='replace').strip()}")
        return result.stdout.decode(errors="replace")

    def xdotool(self, *args):
        return self.run(["xdotool", *[str(a) for a in args]])

    def key(self, *keys):
        """Presses and releases each key (xdotool names: Escape, Down, shift+Return, alt+space)."""
        self.xdotool("key", "--delay", "40", *keys)

    def keydown(self, key):
        self.xdotool("keydown", key)

    def keyup(self, key):
        self.xdotool("keyup", key)

    def type(self, text):
        self.xdotool("type", "--delay", "40", text)

    def move(self, x, y):
        self.xdotool("mousemove", x, y)

    def click(self, x, y, button=1, repeat=1):
        self.move(x, y)
        self.xdotool("click", "--repeat", repeat, "--delay", "80", button)

    def hover(self, x, y):
        """Brings the pointer to rest at (x, y), coming from just beside it, as a hand does."""
        self.move(x - 3, y)
        time.sleep(0.15)  # two moves at once reach Qt as one, and a tool tip needs a real one
        self.move(x, y)

    def park_pointer(self):
        """Moves the pointer to the top-left corner, off every window, where it touches nothing."""
        self.move(2, 2)

    # -- windows ------------------------------------------------------------------------------

    def windows(self, name=None, classname=None):
        """The ids of the shown windows whose title matches ^name$ (or whose class name is classname)."""
        argv = ["xdotool", "search", "--onlyvisible"]
        argv += ["--name", f"^{re.escape(name)}$"] if name is not None else ["--classname", classname]
        out = self.run(argv, check=False)
        return [int(w) for w in out.split()]

    def window(self, name):
        """The id of the one shown window titled `name`, or None."""
        found = self.windows(name=name)
        check(len(found) <= 1, f"{len(found)} windows titled {name!r} are shown")
        return found[0] if found else None

    def geometry(self, wid):
        out = self.run(["xwininfo", "-id", str(wid)], check=False)
        if "Absolute upper-left X" not in out:
            return None

        def field(label):
            return re.search(rf"{label}:\s+(\S+)", out).group(1)

        return Geometry(wid, int(field("Absolute upper-left X")), int(field("Absolute upper-left Y")),
                        int(field("Width")), int(field("Height")), field("Map State") == "IsViewable",
                        field("Override Redirect State") == "yes")

    def is_shown(self, wid):
        g = self.geometry(wid)
        return g is not None and g.viewable

    def parent(self, wid):
        out = self.run(["xwininfo", "-children", "-id", str(wid)], check=False)
        found = re.search(r"Parent window id: (0x[0-9a-f]+)", out)
        return int(found.group(1), 16) if found else None

    def root_window(self):
        if self._root is None:
            out = self.run(["xwininfo", "-root"])
            self._root = int(re.search(r"Window id: (0x[0-9a-f]+)", out).group(1), 16)
        return self._root

    def popups(self):
        """The program's shown pop-up windows (menus, tool tips): override-redirect top-levels."""
        root = self.root_window()
        found = []
        for wid in self.windows(classname="velmora"):
            g = self.geometry(wid)
            if g is not None and g.viewable and g.override_redirect and self.parent(wid) == root:
                found.append(g)
        return found

    def active_window(self):
        out = self.run(["xdotool", "getactivewindow"], check=False).strip()
        return int(out) if out else None

    def wm_state(self, wid):
        """ICCCM state the window manager gives the window: 'Normal', 'Iconic', 'Withdrawn' or None."""
        out = self.run(["xprop", "-id", str(wid), "WM_STATE"], check=False)
        found = re.search(r"window state: (\w+)", out)
        return found.group(1) if found else None

    def tray_panel(self):
        """trayer's panel window, or None."""
        out = self.run(["xwininfo", "-root", "-tree"], check=False)
        found = re.search(r'(0x[0-9a-f]+) "panel": \("panel" "trayer"\)', out)
        return int(found.group(1), 16) if found else None

    def tray_icon(self):
        """Geometry of the program's window that trayer embeds, or None."""
        panel = self.tray_panel()
        if panel is None:
            return None
        out = self.run(["xwininfo", "-tree", "-id", str(panel)], check=False)
        for line in out.splitlines():
            found = re.match(r'\s*(0x[0-9a-f]+) .*\("velmora" "[^"]*"\)', line)
            if found:
                g = self.geometry(int(found.group(1), 16))
                if g is not None and g.viewable and g.width > 1:
                    return g
        return None

    def wait_tray_icon(self):
        return wait_until(self.tray_icon, "the program's icon in the notification area")

    def wait_window(self, name, timeout=5.0):
        """Waits for the window titled `name` to be shown where the window manager leaves it."""
        wid = wait_until(lambda: self.window(name), f"the window {name!r} to be shown", timeout)
        self.wait_settled(wid, name)
        return wid

    def wait_settled(self, wid, what):
        """Waits until the window stands still: a window shown again is placed anew after mapping."""
        seen = []

        def still():
            g = self.geometry(wid)
            seen.append(g.rect if g is not None else None)
            return len(seen) >= 3 and seen[-1] == seen[-2] == seen[-3]
        wait_until(still, f"the window {what!r} to stand still", interval=0.06)

    def wait_gone(self, wid, what, timeout=5.0):
        wait_until(lambda: not self.is_shown(wid), f"{what} to be unmapped", timeout)

    def wait_active(self, wid, what, timeout=5.0):
        wait_until(lambda: self.active_window() == wid, f"{what} to be the active window", timeout)

    def wait_popup(self, what, timeout=5.0):
        """Waits for exactly one pop-up of the program to be shown and returns its geometry."""
        found = wait_until(self.popups, what, timeout)
        check(len(found) == 1, f"{len(found)} pop-ups are shown: {found}")
        return found[0]

    def wait_no_popup(self, what, timeout=5.0):
        wait_until(lambda: not self.popups(), what, timeout)

    # -- the program ------------------------------------------------------------------------

    def main_window(self, timeout=10.0):
        """Waits for the main window to be shown and painted."""
        def shown():
            if self.program is not None and self.program.poll() is not None:
                raise Failure(f"the program ended with status {self.program.returncode} (see velmora.log)")
            return self.window(MAIN_TITLE)
        wait_until(shown, f"the window {MAIN_TITLE!r} to be shown", timeout)
        wid = self.wait_window(MAIN_TITLE)
        calendar = Calendar(self, wid)
        calendar.wait_painted()
        return calendar

    def wait_exit(self, timeout=5.0):
        """Waits for the program to end and returns its exit status."""
        try:
            return self.program.wait(timeout=timeout)
        except subprocess.TimeoutExpired:
            raise Failure(f"the program still runs {timeout:g} s later") from None

    def running(self):
        return self.program is not None and self.program.poll() is None

    def file(self, name):
        with open(os.path.join(self.data, name), "rb") as f:
            return f.read()

    def choose_tray_exit(self):
        """Right click on the tray icon, checks where the menu opens, and chooses its "終了"."""
        icon = self.wait_tray_icon()
        x, y = icon.centre
        self.click(x, y, button=3)
        menu = self.wait_popup("the tray's menu to open on a right click")
        check(menu.right == x and menu.y == y - 30,
              f"the tray's menu stands at {menu}; its right edge belongs at x {x} and its top at y {y - 30}")
        self.click(*menu.centre)
        return self.wait_exit()

    # -- screenshots and references ----------------------------------------------------------

    def shot(self, label):
        """A screenshot of the whole screen, kept under `label` in the case's folder."""
        self._shot_count += 1
        path = os.path.join(self.shots, f"{self._shot_count:02d}-{label}.png")
        self.run(["import", "-window", "root", path])
        rgb = subprocess.run(["convert", path, "-depth", "8", "rgb:-"], check=True,
                             capture_output=True).stdout
        return Image(self.screen[0], self.screen[1], rgb, path)

    def reference(self, *args):
        """Runs render_reference with the arguments on this display; returns (image, numbers printed)."""
        if args not in self._reference_cache:
            check(self.reference_path is not None, "no render_reference program was given")
            path = os.path.join(self.refs, f"{len(self._reference_cache):02d}.ppm")
            # In the program's own setting: a scale factor changes how Qt hints glyphs, even on
            # an image.
            env = dict(self.env)
            if self.scale is not None:
                env["QT_SCALE_FACTOR"] = str(self.scale)
            result = subprocess.run([self.reference_path, *args, "--out", path], env=env,
                                    capture_output=True, timeout=20)
            check(result.returncode == 0,
                  f"render_reference {' '.join(args)} failed: {result.stderr.decode(errors='replace')}")
            numbers = [int(n) for n in result.stdout.split()]
            self._reference_cache[args] = (Image.load_ppm(path), numbers)
        return self._reference_cache[args]

    def text(self, text, fg, bg, family=None, pixels=None, font_of=None, antialias=True, ratio=None,
             hinting=None):
        """A reference rendering of a text (see render_reference); colours are RRGGBB or palette roles."""
        args = ["text", "--text", text, "--fg", fg, "--bg", bg]
        args += ["--family", family] if family else ["--font-of", font_of]
        if pixels:
            args += ["--pixels", str(pixels)]
        if not antialias:
            args.append("--no-antialias")
        if ratio:
            args += ["--ratio", str(ratio)]
        if hinting:
            args += ["--hinting", hinting]
        return TextImage(self.reference(*args)[0], text)


class TextImage:
    """A reference text: the whole opaque cell, and its ink with where the ink starts in the cell."""

    def __init__(self, cell, text):
        self.cell = cell
        self.text = text
        counts = {}
        for i in range(0, len(cell.data), 3):
            key = cell.data[i:i + 3]
            counts[key] = counts.get(key, 0) + 1
        self.background = tuple(max(counts, key=counts.get))
        box = cell.bbox_of(lambda p: p != self.background)
        check(box is not None, f"the reference of {text!r} shows no ink")
        self.offset = box[:2]
        self.ink = cell.crop(*box)

    def find_in(self, shot, region):
        """Where the text's cell starts, for each place in region where its ink stands exactly."""
        ox, oy = self.offset
        return [(x - ox, y - oy) for x, y in shot.find(self.ink, region)]

    def stands_at(self, shot, x, y):
        """True when the ink stands exactly as it would with the cell at (x, y)."""
        return shot.holds_at(self.ink, x + self.offset[0], y + self.offset[1])


# ---------------------------------------------------------------------------------------------
# Windows of the program

def client_origin(shot, g, scale=1):
    """Client (0, 0) of a window whose client area has a 26-pixel toolbar above a (192, 192, 192)
    area: the first row, 5 pixels in from its left, where that grey starts, less the toolbar."""
    x = g.x + round(5 * scale)
    for y in range(g.y, g.y + g.height - 3):
        if all(shot.pixel(x, y + k) == BACKGROUND for k in range(4)):
            return g.x, y - round(TOOLBAR_HEIGHT * scale)
    raise Failure(f"no (192, 192, 192) area found in {g}")


def ink_runs(profile, min_gap):
    """(start, end) of the runs of True in profile, runs closer than min_gap joined."""
    runs = []
    for i, inked in enumerate(profile):
        if not inked:
            continue
        if runs and i - runs[-1][1] <= min_gap:
            runs[-1][1] = i + 1
        else:
            runs.append([i, i + 1])
    return [tuple(r) for r in runs]


def menu_titles(shot, g, bar_height):
    """The x extents (screen) of the titles in a window's menu bar, found by their ink."""
    background = shot.pixel(g.x + 1, g.y + 1)
    rows = range(g.y + 2, g.y + bar_height - 3)
    profile = [any(shot.pixel(x, y) != background for y in rows) for x in range(g.x + 1, g.right - 1)]
    return [(g.x + 1 + a, g.x + 1 + b) for a, b in ink_runs(profile, min_gap=6)]


def menu_items(shot, popup):
    """The y extents (screen) of the item texts of a pop-up menu, found by their ink."""
    inner = range(popup.x + 4, popup.right - 4)
    background = shot.pixel(popup.x + 3, popup.y + 3)
    rows = range(popup.y + 2, popup.y + popup.height - 2)
    profile = [any(shot.pixel(x, y) != background for x in inner) for y in rows]
    return [(popup.y + 2 + a, popup.y + 2 + b) for a, b in ink_runs(profile, min_gap=2) if b - a >= 5]


def footprint(v, scale):
    """The device pixels that the window's pixel v covers at the scale."""
    return range(math.floor(v * scale), math.ceil((v + 1) * scale))


class Calendar:
    """The main window "カレンダー" as the screen shows it. Positions are its own (logical) client
    pixels; at a scale factor each covers scale x scale device pixels."""

    def __init__(self, desktop, wid):
        self.desktop = desktop
        self.wid = wid
        self.scale = desktop.scale or 1

    def geometry(self):
        g = self.desktop.geometry(self.wid)
        check(g is not None, "the main window is gone")
        return g

    def origin(self, shot):
        """The screen position of client pixel (0, 0): the window's inside below its menu bar."""
        return client_origin(shot, self.geometry(), self.scale)

    def menu_bar_height(self, shot):
        return self.origin(shot)[1] - self.geometry().y

    @staticmethod
    def cell_frame(column, row):
        """The cursor frame around the month view's cell: left, top, right, bottom (client)."""
        return 30 * column + 23, 20 * row + 58, 30 * column + 53, 20 * row + 78

    def outline(self, frame):
        left, top, right, bottom = frame
        pixels = [(x, y) for y in range(top, bottom) for x in (left, right - 1)]
        return pixels + [(x, y) for x in range(left + 1, right - 1) for y in (top, bottom - 1)]

    def frames(self, shot, frame, origin=None):
        """True when the frame's one-pixel outline stands in full in the cursor colour."""
        ox, oy = origin or self.origin(shot)
        s = self.scale
        return all(any(shot.pixel(ox + px, oy + py) == CURSOR for px in footprint(x, s) for py in footprint(y, s))
                   for x, y in self.outline(frame))

    def framed_cells(self, shot):
        """The month view's (column, row) cells whose cursor frame stands on the screen."""
        origin = self.origin(shot)
        return [(c, r) for r in range(1, 7) for c in range(7) if self.frames(shot, self.cell_frame(c, r), origin)]

    def wait_painted(self):
        """Waits until a month sheet stands in the window with its cursor frame around one cell."""
        def painted():
            shot = self.desktop.shot("main-window")
            try:
                return len(self.framed_cells(shot)) == 1
            except Failure:  # not yet painted at all
                return False
        wait_until(painted, "the main window's month sheet and cursor frame to be painted")

    def wait_framed(self, cell, what, timeout=3.0):
        """Waits until the cursor frame stands around `cell` (column, row) and nowhere else."""
        seen = {}

        def framed():
            seen["cells"] = self.framed_cells(self.desktop.shot("frame"))
            return seen["cells"] == [cell]
        try:
            wait_until(framed, what, timeout)
        except Failure:
            raise Failure(f"{what}: the cursor frame stands around {seen.get('cells')} instead of {[cell]}") from None

    def activate(self):
        self.desktop.xdotool("windowactivate", "--sync", self.wid)
        self.desktop.wait_active(self.wid, "the main window")


class Dialog:
    """A dialog with a menu bar, a 26-pixel toolbar and a (192, 192, 192) band below it."""

    def __init__(self, desktop, title):
        self.desktop = desktop
        self.title = title
        self.wid = desktop.wait_window(title)

    def geometry(self):
        g = self.desktop.geometry(self.wid)
        check(g is not None, f"the window {self.title!r} is gone")
        return g

    def origin(self, shot):
        return client_origin(shot, self.geometry())

    def band(self, shot):
        """The pixels of the band (client rows 26..45, the window's width)."""
        ox, oy = self.origin(shot)
        return shot.crop(ox, oy + TOOLBAR_HEIGHT, self.geometry().width, 20)
