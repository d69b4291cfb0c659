#!/usr/bin/python3
"""velmora-cal's sync commands end to end: the real program against a Radicale this test starts,
with python3-caldav as a second device editing the same calendar.

`sync_cli_test.py VELMORA_CAL commands`: set-up with --password-command, bad input, a pass each
way, a conflict kept both, the phone's characters the memo file lacks, the folder's lock, an
emptied calendar, forget.
`sync_cli_test.py VELMORA_CAL xandikos`: the set-up, the passes, the conflict and the characters
against Xandikos (no authentication, its calendars under /user/calendars/).
`sync_cli_test.py VELMORA_CAL keyring`: run inside dbus-run-session; the password typed on a
terminal without echo, kept in gnome-keyring and removed again by forget."""

import fcntl
import os
import pty
import select
import signal
import subprocess
import sys
import tempfile
import time
import urllib.request

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from servers import Server  # noqa: E402

import caldav  # noqa: E402

CAL = sys.argv[1]
failures = []


def check(ok, what):
    if not ok:
        failures.append(what)
        print("FAIL:", what, flush=True)


class Folder:
    def __init__(self, root):
        self.root = root
        self.data = os.path.join(root, "data")
        os.makedirs(self.data)
        self.env = dict(os.environ, HOME=os.path.join(root, "home"), LANG="C", TZ="Asia/Tokyo")
        for name in ("XDG_CONFIG_HOME", "XDG_STATE_HOME", "VELMORA_DIR", "LC_ALL", "LC_MESSAGES"):
            self.env.pop(name, None)

    def cal(self, *args):
        run = subprocess.run([CAL, "--dir", self.data, *args], env=self.env, capture_output=True, text=True,
                             stdin=subprocess.DEVNULL, timeout=60)
        return run.returncode, run.stdout, run.stderr

    def memos(self, text=None):
        path = os.path.join(self.data, "MemoData.txt")
        if text is not None:
            open(path, "wb").write(text.encode("cp932"))
        return open(path, "rb").read()

    def config_files(self):
        folder = os.path.join(self.root, "home/.config/velmora/sync")
        return [os.path.join(folder, f) for f in os.listdir(folder)] if os.path.isdir(folder) else []

    def state_files(self):
        return [f for _, _, files in os.walk(os.path.join(self.root, "home/.local/state/velmora/sync")) for f in files]


def one_error_line(run, status, says, what):
    code, _, err = run
    check(code == status, f"{what}: status {code}, not {status} ({err!r})")
    check(err.count("\n") == 1 and err.startswith("velmora-cal: ") and says in err, f"{what}: said {err!r}")


def calendar_url(server, name="Velmora"):
    home = "user/calendars/" if server.kind == "xandikos" else server.user + "/"
    return server.url + home + name + "/"


def login(server, password_command="echo secret"):
    """velmora-cal's set-up options for the server: Xandikos asks for no credentials."""
    return [] if server.kind == "xandikos" else ["--user", server.user, "--password-command", password_command]


def phone_calendar(server):
    credentials = {} if server.kind == "xandikos" else {"username": server.user, "password": server.password}
    return caldav.DAVClient(server.url, **credentials).calendar(url=calendar_url(server))


def phone_event(calendar, date):
    return calendar.event_by_url(str(calendar.url) + f"velmora-day-{date}.ics")


def set_description(event, text):
    vevent = event.vobject_instance.vevent
    vevent.description.value = text
    vevent.summary.value = text.split("\n")[0]
    event.save()


def two_devices(server, f, setup_args):
    """The set-up on the memos f holds (two days), a first pass, a change each side, a pass with nothing
    changed, and both changing the same line (both kept)."""
    code, out, err = f.cal("sync", "setup", server.url, *setup_args)
    check(code == 0 and calendar_url(server) + " (made now)" in out, f"set-up: {code} {out!r} {err!r}")
    code, out, err = f.cal("sync")
    check(code == 0 and "up 2, down 0, merged 0, kept both 0" in out, f"first pass: {code} {out!r} {err!r}")
    phone = phone_calendar(server)
    event = phone_event(phone, "20261209")
    check(event.vobject_instance.vevent.description.value == "10:00 歯医者\n持ち物: 保険証",
          "the phone reads the memo")

    # One change on each side: each goes across.
    set_description(event, "10:00 歯医者\n持ち物: 保険証\n11:30 薬局 〜 駅前")
    f.memos(f.memos().decode("cp932").replace("会議", "会議 15:00"))
    code, out, _ = f.cal("sync")
    check(code == 0 and "up 1, down 1, merged 0, kept both 0" in out, f"a change each side: {out!r}")
    _, day, _ = f.cal("day", "2026-12-09")
    check("11:30 薬局" in day, f"the phone's line is in the day: {day!r}")
    check(phone_event(phone, "20261210").vobject_instance.vevent.description.value == "会議 15:00",
          "the desktop's edit is on the phone")
    code, out, _ = f.cal("sync")
    check(code == 0 and "up 0, down 0, merged 0, kept both 0, deleted on the server 0, deleted here 0" in out,
          f"a pass with nothing changed: {out!r}")

    # Both change the same line: both versions kept.
    set_description(phone_event(phone, "20261210"), "会議 16:00")
    f.memos(f.memos().decode("cp932").replace("会議 15:00", "会議 14:00"))
    code, out, _ = f.cal("sync")
    check(code == 0 and "kept both 1" in out, f"a conflict: {out!r}")
    _, day, _ = f.cal("day", "2026-12-10")
    check("会議 14:00" in day and "会議 16:00" in day and "別の端末での変更" in day, f"both versions: {day!r}")


# The phone's characters that code page 932 lacks or holds in another form: the line the phone
# wrote, its bytes in the memo file, and what `velmora-cal day` shows of it.
PHONE_LINES = [
    ("波\u301cダッシュ", "波".encode("cp932") + b"\x81\x60" + "ダッシュ".encode("cp932"), "波～ダッシュ"),
    ("1\u22122", b"1\x81\x7c2", "1－2"),
    ("全角\uff5e", "全角".encode("cp932") + b"\x81\x60", "全角～"),
    ("寿司 \U0001f363", "寿司 ".encode("cp932") + b"\x81\xac", "寿司 〓"),
    ("\U00020bb7野家", b"\x81\xac" + "野家".encode("cp932"), "〓野家"),
]


def characters(server, f):
    """A day the phone wrote with characters the memo file lacks: what the file holds and the day shows;
    a pass from Velmora leaves the server's item as it was; a line edited here goes up as edited while
    the lines around it keep the phone's characters."""
    phone = phone_calendar(server)
    written = "\n".join(line for line, _, _ in PHONE_LINES) + "\nメモ"
    phone.save_event("\r\n".join(["BEGIN:VCALENDAR", "VERSION:2.0", "PRODID:-//phone//EN", "BEGIN:VEVENT",
                                    "UID:velmora-day-20261211", "DTSTAMP:20261201T000000Z",
                                    "DTSTART;VALUE=DATE:20261211", "DTEND;VALUE=DATE:20261212",
                                    "SUMMARY:" + PHONE_LINES[0][0],
                                    "DESCRIPTION:" + written.replace("\n", "\\n"), "END:VEVENT", "END:VCALENDAR",
                                    ""]))
    code, out, _ = f.cal("sync")
    check(code == 0 and "down 1," in out, f"the phone's day comes down: {out!r}")
    memo = f.memos()
    for line, held, shown in PHONE_LINES:
        check(held + b"\r\r\n" in memo, f"{line!r} is held as {held!r} in {memo!r}")
    _, day, _ = f.cal("day", "2026-12-11")
    check(all(shown in day for _, _, shown in PHONE_LINES), f"the day shows {day!r}")
    before = phone_event(phone, "20261211")
    code, out, _ = f.cal("sync")
    after = phone_event(phone, "20261211")
    check(code == 0 and "up 0, down 0," in out and after.data == before.data and
          after.vobject_instance.vevent.description.value == written,
          f"a pass leaves the phone's characters on the server: {out!r} {after.data!r}")

    f.memos(f.memos().decode("cp932").replace("寿司 〓", "寿司 〓 予約済").replace("\r\nメモ~", "\r\nメモ 編集~"))
    code, out, _ = f.cal("sync")
    pushed = phone_event(phone, "20261211").vobject_instance.vevent.description.value
    expected = written.replace("寿司 \U0001f363", "寿司 〓 予約済").replace("メモ", "メモ 編集")
    check(code == 0 and "up 1, down 0," in out and pushed == expected,
          f"the edited lines go up as edited, the others as the phone wrote them: {out!r} {pushed!r}")


def commands():
    with tempfile.TemporaryDirectory(prefix="velmora-sync-cli-") as root, Server("radicale") as server, \
            Server("plain") as plain, Server("radicale-tls") as tls:
        f = Folder(os.path.join(root, "desktop"))
        laptop = Folder(os.path.join(root, "laptop"))
        password_file = os.path.join(root, "password")
        open(password_file, "w").write("secret\nsecond line\n")
        f.memos("126^11^9^10:00 歯医者\r\n持ち物: 保険証~\r\n126^11^10^会議~\r\n")
        before = f.memos()

        one_error_line(f.cal("sync"), 2, "is not set up for sync", "sync before any set-up")
        one_error_line(f.cal("sync", "setup", server.url, "--user", "velmora", "--password-command", "echo wrong"),
                       1, "refused the user name or password", "a wrong password")
        one_error_line(f.cal("sync", "setup", server.url, "--user", "velmora", "--password-command", "false"), 2,
                       "the password command ended with status 1", "a password command that fails")
        one_error_line(f.cal("sync", "setup", plain.url), 1, "", "a web server that is no CalDAV server")
        one_error_line(f.cal("sync", "setup", server.url, "--ca", "missing.pem"), 2, "cannot read the CA file",
                       "a missing CA file")
        one_error_line(f.cal("sync", "setup", "ftp://127.0.0.1/"), 2, "not an http or https URL", "an ftp URL")
        one_error_line(f.cal("sync", "setup", server.url.replace("//", "//velmora:secret@")), 2,
                       "give the user with --user", "a password in the URL")
        one_error_line(f.cal("sync", "setup", tls.url, "--user", "velmora", "--password-command", "echo secret"), 1,
                       "certificate", "a private server's certificate without --ca")
        check(f.config_files() == [] and f.memos() == before, "a refused set-up keeps nothing and changes no memo")

        two_devices(server, f, login(server, f"cat '{password_file}'"))
        configs = f.config_files()
        check(len(configs) == 1 and os.stat(configs[0]).st_mode & 0o777 == 0o600, f"one 0600 set-up: {configs}")
        check("secret" not in open(configs[0]).read().replace(password_file, ""), "the set-up holds no password")
        one_error_line(f.cal("sync", "setup", server.url), 2, "is set up already", "a second set-up")
        phone = phone_calendar(server)

        # A second computer set up on the same calendar takes every memo down.
        code, out, _ = laptop.cal("sync", "setup", tls.url, "--user", "velmora", "--password-command", "echo secret",
                                  "--ca", tls.certificate)
        check(code == 0, f"set-up with --ca: {out!r}")
        code, out, err = laptop.cal("sync")
        check(code == 0 and "up 0, down 0," in out, f"a pass over https with --ca: {out!r} {err!r}")
        tls.stop()
        gone = laptop.cal("sync")
        one_error_line(gone, 1, tls.url, "a pass with the server gone")
        check(gone[1] == "", f"a pass that moved nothing and failed says no sync: {gone[1]!r}")
        laptop.cal("sync", "forget")
        code, out, _ = laptop.cal("sync", "setup", server.url, "--user", "velmora", "--password-command",
                                  "echo secret")
        check(code == 0 and "(found on the server)" in out, f"a second computer's set-up: {out!r}")
        code, out, _ = laptop.cal("sync")
        check(code == 0 and "up 0, down 2," in out, f"a second computer's first pass: {out!r}")
        _, day, _ = laptop.cal("day", "2026-12-09")
        check("持ち物: 保険証\n11:30 薬局" in day, f"the second computer's day: {day!r}")
        memo = laptop.memos()
        check("持ち物: 保険証\r\r\n11:30 薬局".encode("cp932") in memo,
              f"the memo's breaks are CR LF, CR CR LF in the file, as the calendar writes them: {memo!r}")

        # The password changed on the server since the set-up: told, nothing changed.
        open(password_file, "w").write("old\n")
        held = f.memos()
        one_error_line(f.cal("sync"), 1, "refused the user name or password", "a pass with a wrong password")
        check(f.memos() == held, "a pass refused by the server changes no memo")
        open(password_file, "w").write("secret\n")

        # The folder's lock held by a calendar that does not answer: the pass waits for it to end,
        # changing nothing meanwhile, and then runs.
        with open(os.path.join(f.data, ".velmora.lock"), "a+") as lock:
            fcntl.flock(lock, fcntl.LOCK_EX)
            held = f.memos()
            waiting = subprocess.Popen([CAL, "--dir", f.data, "sync"], env=f.env, stdout=subprocess.PIPE,
                                       stderr=subprocess.PIPE, text=True)
            time.sleep(1.5)
            check(waiting.poll() is None and f.memos() == held, "a pass did not wait for the folder's lock")
        out, err = waiting.communicate(timeout=60)
        check(waiting.returncode == 0 and "waiting for it to end" in err and out.startswith("synced with "),
              f"the pass after the lock: {waiting.returncode} {out!r} {err!r}")

        characters(server, f)

        # Every item gone on the server at once is not mirrored without --accept-empty.
        for item in phone.events():
            item.delete()
        held = f.memos()
        one_error_line(f.cal("sync"), 2, "--accept-empty", "an emptied calendar")
        check(f.memos() == held, "an emptied calendar refused changes no memo")
        code, out, _ = f.cal("sync", "--accept-empty")
        check(code == 0 and "deleted here 3" in out, f"--accept-empty: {out!r}")
        _, day, _ = f.cal("day", "2026-12-09")
        check("歯医者" not in day, f"the day emptied: {day!r}")

        code, out, _ = f.cal("sync", "status")
        check(code == 0 and "password: from the command cat" in out and server.url in out, f"status: {out!r}")
        code, out, _ = f.cal("sync", "forget")
        check(code == 0 and "no longer syncs" in out, f"forget: {out!r}")
        check(f.config_files() == [] and f.state_files() == [], "forget leaves no set-up and no state")
        one_error_line(f.cal("sync", "status"), 2, "is not set up for sync", "status after forget")
        interrupted(server, root)


def interrupted(server, root):
    """A pass answered 500 after the server stored an item, then one killed between two PUTs: the next
    passes finish the job with each memo once on the server and the memo file as it was."""
    f = Folder(os.path.join(root, "interrupted"))
    days = range(1, 31)
    f.memos("".join(f"126^11^{day}^メモ {day}\r\n二行目~\r\n" for day in days))
    before = f.memos()
    proxy = subprocess.Popen(["/usr/bin/python3", os.path.join(os.path.dirname(__file__), "fault_proxy.py"),
                              server.url], stdin=subprocess.PIPE, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL,
                             text=True)
    try:
        url = proxy.stdout.readline().strip()

        def fault(query):
            return urllib.request.urlopen(url + "__fault__" + query, timeout=10).read().decode()

        code, out, err = f.cal("sync", "setup", url, "--user", "velmora", "--password-command", "echo secret",
                               "--calendar", "Killed")
        check(code == 0, f"set-up behind the proxy: {out!r} {err!r}")
        fault("?kind=500-after&method=PUT")
        one_error_line(f.cal("sync"), 1, "the server answered 500", "a 500 after the server stored the item")
        fault("?kind=slow&method=PUT&count=1000&seconds=0.15")
        pass_ = subprocess.Popen([CAL, "--dir", f.data, "sync"], env=f.env, stdout=subprocess.DEVNULL,
                                 stderr=subprocess.DEVNULL)
        time.sleep(1.5)
        os.kill(pass_.pid, signal.SIGKILL)
        pass_.wait()
        puts = fault("/log").count("PUT ")
        check(2 < puts < 31, f"the pass was killed between its PUTs ({puts} sent)")
        fault("/reset")
        code, out, err = f.cal("sync")
        check(code == 0, f"the pass after the kill: {out!r} {err!r}")
        fault("/reset")
        code, out, _ = f.cal("sync")
        check(code == 0 and "up 0, down 0, merged 0, kept both 0, deleted on the server 0, deleted here 0" in out,
              f"then nothing moves: {out!r}")
        check("PUT " not in fault("/log") and "DELETE " not in fault("/log"), "a pass with no change writes nothing")
        # Another computer stores the same new day while this pass's PUT is on its way: a 412,
        # and the day merged with itself, once on both sides.
        f.memos(f.memos().decode("cp932") + "126^11^31^大晦日の準備\r\n買い物~\r\n")
        before = f.memos()
        fault("?kind=slow&method=PUT&seconds=1.5")
        pass_ = subprocess.Popen([CAL, "--dir", f.data, "sync"], env=f.env, stdout=subprocess.PIPE, text=True)
        time.sleep(0.5)
        ics = "\r\n".join(["BEGIN:VCALENDAR", "VERSION:2.0", "PRODID:-//other//EN", "BEGIN:VEVENT",
                             "UID:velmora-day-20261231", "DTSTAMP:20261231T000000Z", "DTSTART;VALUE=DATE:20261231",
                             "DTEND;VALUE=DATE:20270101", "SUMMARY:大晦日の準備", "DESCRIPTION:大晦日の準備\\n買い物",
                             "END:VEVENT", "END:VCALENDAR", ""])
        stored = caldav.DAVClient(server.url, username=server.user, password=server.password).put(
            server.url + server.user + "/Killed/velmora-day-20261231.ics", ics,
            {"Content-Type": "text/calendar", "If-None-Match": "*"})
        out, _ = pass_.communicate(timeout=30)
        check(stored.status == 201 and pass_.returncode == 0 and "up 0, down 0, merged 0," in out,
              f"the same day from two computers at once: {stored.status} {out!r}")
    finally:
        proxy.stdin.close()
        proxy.wait(timeout=10)
    client = caldav.DAVClient(server.url, username=server.user, password=server.password)
    events = client.calendar(url=server.url + server.user + "/Killed/").events()
    texts = sorted(str(e.vobject_instance.vevent.description.value) for e in events)
    check(texts == sorted([f"メモ {day}\n二行目" for day in days] + ["大晦日の準備\n買い物"]),
          f"each memo once on the server: {texts}")
    check(f.memos() == before, f"the memo file as it was, no line doubled: {f.memos()!r}")


def typed_on_a_terminal(f, args, password):
    """Runs velmora-cal on a terminal of its own, types `password` at its prompt; returns its status and all
    the terminal showed."""
    pid, fd = pty.fork()
    if pid == 0:
        os.execve(CAL, [CAL, "--dir", f.data, *args], f.env)
    shown, typed = b"", False
    deadline = time.monotonic() + 30
    while time.monotonic() < deadline:
        ready, _, _ = select.select([fd], [], [], 1)
        if not ready:
            continue
        try:
            chunk = os.read(fd, 4096)
        except OSError:
            break
        if not chunk:
            break
        shown += chunk
        if not typed and b"Password for" in shown:
            # Echo is off before the prompt is written: what is typed now shows only if it stays on.
            os.write(fd, password.encode() + b"\n")
            typed = True
    _, status = os.waitpid(pid, 0)
    return os.waitstatus_to_exitcode(status), shown.decode(errors="replace")


def xandikos():
    with tempfile.TemporaryDirectory(prefix="velmora-sync-xandikos-") as root, Server("xandikos") as server:
        f = Folder(root)
        f.memos("126^11^9^10:00 歯医者\r\n持ち物: 保険証~\r\n126^11^10^会議~\r\n")
        two_devices(server, f, login(server))
        characters(server, f)


def keyring():
    with tempfile.TemporaryDirectory(prefix="velmora-sync-key-") as root, Server("radicale") as server:
        f = Folder(root)
        os.makedirs(f.env["HOME"])
        f.env["XDG_RUNTIME_DIR"] = runtime = os.path.join(root, "run")
        os.makedirs(runtime, mode=0o700)
        # A keyring of this test's own on the session bus dbus-run-session started, its login
        # collection made and unlocked with a password of the test.
        daemon = subprocess.run(["gnome-keyring-daemon", "--unlock", "--components=secrets"], input=b"velmora-test",
                                env=f.env, capture_output=True, timeout=30)
        check(daemon.returncode == 0, f"gnome-keyring-daemon: {daemon.stderr!r}")
        f.env.update(line.split("=", 1) for line in daemon.stdout.decode().splitlines() if "=" in line)
        f.memos("126^11^9^歯医者~\r\n")
        code, shown = typed_on_a_terminal(f, ["sync", "setup", server.url, "--user", "velmora"], "secret")
        check(code == 0 and "set up to sync" in shown, f"set-up on a terminal: {code} {shown!r}")
        check("secret" not in shown, f"the password is not echoed: {shown!r}")
        saved = f.config_files()
        check(len(saved) == 1, "one set-up")
        config = open(saved[0]).read()
        check("secret" not in config and "password-command=\n" in config, f"the set-up names no password: {config!r}")
        code, out, err = f.cal("sync")
        check(code == 0 and "up 1" in out, f"a pass with the keyring's password: {out!r} {err!r}")
        code, out, _ = f.cal("sync", "status")
        check("password: in the Secret Service" in out, f"status: {out!r}")
        code, out, _ = f.cal("sync", "forget")
        check(code == 0, f"forget: {out!r}")
        # The same set-up put back finds no password: forget removed it from the keyring.
        open(saved[0], "w").write(config)
        one_error_line(f.cal("sync"), 1, "holds no password", "a pass after forget")


if __name__ == "__main__":
    started = time.monotonic()
    {"commands": commands, "xandikos": xandikos, "keyring": keyring}[sys.argv[2]]()
    print(f"{sys.argv[2]}: {len(failures)} failures, {time.monotonic() - started:.1f} s")
    sys.exit(1 if failures else 0)
