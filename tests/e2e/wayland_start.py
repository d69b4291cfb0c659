#!/usr/bin/env python3
"""Starts the real program as a Wayland client.

Usage: wayland_start.py PROGRAM

  compositor     Under weston's headless backend (a compositor with no screen) the program must
                 open its main window カレンダー, name itself org.velmora.Velmora (the application
                 id a Wayland desktop matches to its desktop file, for the icon and the name),
                 write its holiday files, and on SIGTERM end with status 0, writing no
                 MemoData.txt (no memo changed). The client's own protocol log (WAYLAND_DEBUG=client) shows
                 what it asked of the compositor.
  no-compositor  With QT_QPA_PLATFORM=wayland and a WAYLAND_DISPLAY that nothing serves, the
                 program must end within 5 s with status 1 and one line on stderr that names
                 Wayland, rather than abort with a core dump.

Runs as root or as any user; needs Debian's weston and qt6-wayland.
"""

import datetime
import os
import re
import shutil
import signal
import socket
import subprocess
import sys
import tempfile
import time

sys.dont_write_bytecode = True  # the tree may be another user's
from e2e_common import Failure, leak_suppressions, wait_for

HERE = os.path.dirname(os.path.abspath(__file__))
APP_ID = "org.velmora.Velmora"
TITLE = "カレンダー"


def listening(path):
    """Whether something accepts connections on the Unix socket at path (the file alone may be
    left from a compositor that died)."""
    probe = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
    try:
        probe.connect(path)
        return True
    except OSError:
        return False
    finally:
        probe.close()


def window_shown(protocol, title):
    """Whether the client's protocol log shows a toplevel window of that title on screen: the
    title set, the compositor's first configure acknowledged and a buffer attached to its surface."""
    for toplevel in re.findall(r'xdg_toplevel@(\d+)\.set_title\("' + re.escape(title) + r'"\)', protocol):
        role = re.search(r"xdg_surface@(\d+)\.get_toplevel\(new id xdg_toplevel@" + toplevel + r"\)", protocol)
        if not role:
            continue
        surface = re.search(r"get_xdg_surface\(new id xdg_surface@" + role.group(1) + r", wl_surface@(\d+)\)", protocol)
        if (surface and re.search(r"xdg_surface@" + role.group(1) + r"\.ack_configure\(", protocol)
                and re.search(r"wl_surface@" + surface.group(1) + r"\.attach\(wl_buffer@", protocol)):
            return True
    return False


def client_environment(runtime, display, scratch):
    environment = {key: value for key, value in os.environ.items()
                   if key not in ("DISPLAY", "WAYLAND_DEBUG", "QT_QPA_PLATFORM", "WAYLAND_SOCKET")}
    environment.update({"QT_QPA_PLATFORM": "wayland", "WAYLAND_DISPLAY": display, "XDG_RUNTIME_DIR": runtime,
                        "LSAN_OPTIONS": leak_suppressions(os.path.join(HERE, "wayland", "lsan.supp"), scratch)})
    # Under a sanitizer: Mesa's EGL driver has no frame pointers, so only the slow unwinder reaches
    # the frames in libEGL_mesa that its suppression names.
    environment["ASAN_OPTIONS"] = ":".join(filter(None, [os.environ.get("ASAN_OPTIONS"), "fast_unwind_on_malloc=0"]))
    return environment


def compositor_environment(runtime):
    # Nothing that would make weston a client of another desktop.
    environment = {key: value for key, value in os.environ.items()
                   if key not in ("DISPLAY", "WAYLAND_DISPLAY", "WAYLAND_SOCKET", "WAYLAND_DEBUG")}
    environment["XDG_RUNTIME_DIR"] = runtime
    return environment


def tail(path, size=3000):
    try:
        with open(path, "rb") as file:
            return file.read()[-size:].decode("utf-8", errors="replace")
    except FileNotFoundError:
        return ""


def case_compositor(program, scratch):
    runtime = os.path.join(scratch, "run-weston")
    os.mkdir(runtime, 0o700)  # private, as a runtime directory must be: weston and Qt warn of any other mode
    data = os.path.join(scratch, "data-weston")
    os.mkdir(data)
    display = f"velmora-e2e-{os.getpid()}"
    weston_log = os.path.join(scratch, "weston.log")
    with open(weston_log, "wb") as log:
        weston = subprocess.Popen(["weston", "--backend=headless-backend.so", f"--socket={display}", "--no-config"],
                                  env=compositor_environment(runtime), stdout=log, stderr=log,
                                  start_new_session=True)
    program_process = None
    try:
        def compositor_up():
            if weston.poll() is not None:
                raise Failure(f"weston ended with status {weston.returncode}:\n{tail(weston_log)}")
            return listening(os.path.join(runtime, display))
        wait_for("weston to listen", compositor_up, 15)

        environment = client_environment(runtime, display, scratch)
        environment["WAYLAND_DEBUG"] = "client"
        year_file = f"{datetime.date.today().year - 1900}_holi.txt"
        stderr_path = os.path.join(scratch, "program-weston.stderr")
        with open(stderr_path, "wb") as stderr, open(os.path.join(scratch, "program-weston.stdout"), "wb") as stdout:
            program_process = subprocess.Popen([program], cwd=data, env=environment, stdout=stdout, stderr=stderr)

        def protocol():
            with open(stderr_path, "rb") as file:
                return file.read().decode("utf-8", errors="replace")

        def window_up():
            if program_process.poll() is not None:
                raise Failure(f"the program ended with status {program_process.returncode} before its window was up:\n"
                              + tail(stderr_path))
            files = all(os.path.exists(os.path.join(data, name))
                        for name in ("Static_holi.txt", "Dynamic_holi.txt", year_file))
            return files and window_shown(protocol(), TITLE)
        wait_for(f"the main window {TITLE} on screen and the holiday files", window_up, 20)

        # Checked to the end, so that one run tells every fault.
        problems = []
        app_ids = re.findall(r'xdg_toplevel@\d+\.set_app_id\("([^"]*)"\)', protocol())
        if not app_ids or any(app_id != APP_ID for app_id in app_ids):
            problems.append(f"the program set the application id(s) {app_ids}, not {APP_ID}")

        program_process.send_signal(signal.SIGTERM)
        try:
            status = program_process.wait(timeout=10)
        except subprocess.TimeoutExpired:
            raise Failure("the program did not end within 10 s of SIGTERM")
        if status != 0:
            problems.append(f"the program ended with status {status} on SIGTERM")
        if os.path.exists(os.path.join(data, "MemoData.txt")):
            problems.append("MemoData.txt was written though no memo changed")
        if problems:
            raise Failure("; ".join(problems))
        print(f"      {len(app_ids)} window(s) named {APP_ID}; ended with status 0; no MemoData.txt written")
    finally:
        if program_process is not None and program_process.poll() is None:
            program_process.kill()
            program_process.wait()
        # weston starts helpers of its own (its shell, its keyboard), all in its process group.
        try:
            os.killpg(weston.pid, signal.SIGTERM)
            weston.wait(timeout=10)
        except ProcessLookupError:
            pass
        except subprocess.TimeoutExpired:
            os.killpg(weston.pid, signal.SIGKILL)
            weston.wait()


def case_no_compositor(program, scratch):
    runtime = os.path.join(scratch, "run-empty")
    os.mkdir(runtime, 0o700)
    data = os.path.join(scratch, "data-empty")
    os.mkdir(data)
    display = "velmora-e2e-nobody"
    begun = time.monotonic()
    try:
        result = subprocess.run([program], cwd=data, env=client_environment(runtime, display, scratch),
                                capture_output=True, timeout=5)
    except subprocess.TimeoutExpired as timeout:
        raise Failure("the program still ran 5 s after it was started with no compositor; its stderr:\n"
                      + (timeout.stderr or b"").decode("utf-8", errors="replace"))
    elapsed = time.monotonic() - begun
    stderr = result.stderr.decode("utf-8", errors="replace")
    lines = [line for line in stderr.splitlines() if line.strip()]
    problems = []
    if result.returncode < 0:
        problems.append(f"it was killed by signal {-result.returncode}")
    elif result.returncode != 1:
        problems.append(f"it ended with status {result.returncode}, not 1")
    if len(lines) != 1:
        problems.append(f"it wrote {len(lines)} lines on stderr, not one")
    elif "wayland" not in lines[0].lower():
        problems.append("its message does not name Wayland")
    cores = [name for name in os.listdir(data) if name == "core" or name.startswith("core.")]
    if cores:
        problems.append(f"it left {cores}")
    if problems:
        raise Failure("with no compositor, " + "; ".join(problems) + f" (after {elapsed:.1f} s). Its stderr:\n{stderr}")


def main():
    if len(sys.argv) != 2:
        sys.exit(f"usage: {sys.argv[0]} PROGRAM")
    program = os.path.abspath(sys.argv[1])
    if shutil.which("weston") is None:
        print("FAIL: weston is not installed (Debian package weston)")
        sys.exit(1)
    failed = 0
    for name, case in (("compositor", case_compositor), ("no-compositor", case_no_compositor)):
        scratch = tempfile.mkdtemp(prefix="velmora-wayland-")
        begun = time.monotonic()
        try:
            case(program, scratch)
            print(f"ok    {name} ({time.monotonic() - begun:.1f} s)")
        except Failure as failure:
            failed += 1
            print(f"FAIL  {name}: {failure}")
        finally:
            if os.environ.get("VELMORA_E2E_KEEP"):
                print(f"kept {scratch}")
            else:
                shutil.rmtree(scratch, ignore_errors=True)
    print(f"wayland_start: {2 - failed} of 2 cases passed")
    sys.exit(1 if failed else 0)


if __name__ == "__main__":
    main()
