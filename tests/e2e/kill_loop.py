#!/usr/bin/env python3
"""SIGKILLs the real program at random moments (in its start, just after a 登録 or 削除, at any
moment) while xdotool registers and deletes memos through the day dialog and the month list; after
each kill every data file must parse, each day hold what its last 登録 or 削除 that returned before
the kill left (or what one still under way may leave), and the next start leave no temporary file.

    kill_loop.py PROGRAM [--kills N] [--seed S] [--budget SECONDS] [--artifacts FOLDER]
"""

import argparse
import os
import random
import re
import signal
import subprocess
import sys
import threading
import time

sys.dont_write_bytecode = True  # no __pycache__ in the source tree

from desktop import MAIN_TITLE, Desktop, Failure, check  # noqa: E402

DAY_DIALOG, MONTH_LIST, NOTICE = "スケジュール", "スケジュール表(1ヶ月)", "Velmora"
# Memos of other years, some 700 kB, so that every save takes a while.
OTHERS = "".join(f"{60 + i // 372}^{i // 31 % 12}^{i % 31 + 1}^週の会議 第{i}回~" for i in range(20000))
STORES = {"MemoData.txt": r"-?\d+\^-?\d+\^-?\d+\^[^~]*~", "Static_holi.txt": r"-?\d+\^-?\d+\^[^~^]*\^[^~]*~"}
STORES.update({name: STORES["Static_holi.txt"] for name in ("Dynamic_holi.txt", "126_holi.txt")})


class Died(Exception):
    """The program ended while a step waited for it."""


class Loop:
    def __init__(self, d, rng):
        self.d, self.rng, self.lock, self.timer = d, rng, threading.Lock(), threading.Timer(0, None)
        self.kills, self.returned, self.findings, self.written = 0, 0, [], {"MemoData.txt"}
        self.memos = {day: f"seed{day}" for day in range(1, 13)}  # memos to delete from the first start
        self.modes, self.stuck = {}, []

    def keys(self, *keys, command="key"):
        self.d.run(["xdotool", command, "--delay", "30", *keys], check=False, timeout=3)

    def active(self):
        """(id, title) of the window with the keyboard, in two calls ten times quicker than a search."""
        wid = re.search(r"# (0x[0-9a-f]+)", self.d.run(["xprop", "-root", "_NET_ACTIVE_WINDOW"], check=False))
        info = wid and self.d.run(["xwininfo", "-id", wid.group(1)], check=False)
        title = info and re.search(r'Window id: \S+ "(.*)"', info)
        return (int(wid.group(1), 16), title.group(1)) if title else (None, None)

    def wait(self, predicate, what, timeout=10.0):
        deadline = time.monotonic() + timeout
        while self.d.program.poll() is None:
            if value := predicate():
                return value
            check(time.monotonic() < deadline, f"waited {timeout:g} s for {what}")
            time.sleep(0.03)
        raise Died()

    def window(self, *titles, timeout=10.0):
        """Waits until a window titled one of `titles` has the keyboard; returns (id, title)."""
        return self.wait(lambda: (lambda w, t: t in titles and (w, t))(*self.active()), titles[0], timeout)

    def gone(self, wid):
        self.wait(lambda: not self.d.is_shown(wid), "a window to close")

    def kill(self):
        with self.lock:
            if not self.killed and self.d.program.poll() is None:
                self.killed = True
                os.kill(self.d.program.pid, signal.SIGKILL)

    def arm(self, delay):
        self.timer.cancel()
        self.timer = threading.Timer(delay, self.kill)
        self.timer.start()

    def start(self, mode):
        """Starts the program, answering いいえ to a draft offered back and OK to where it went."""
        self.killed, self.mode, self.saves = False, mode, self.rng.randint(1, 2)
        self.d.start_program()
        if mode:
            self.arm({"start": self.rng.uniform(0, 0.8), "any": self.rng.uniform(0.8, 6), "save": 12}[mode])
        while (found := self.window(MAIN_TITLE, NOTICE, timeout=20))[1] != MAIN_TITLE:
            self.keys("Escape")
            self.gone(found[0])
        return found[0]

    def edit(self, day, text):
        """In the day dialog: 登録 of `text`, or 削除 for None, taken as done once seen to return."""
        wid = self.window(DAY_DIALOG)[0]
        if text:
            self.keys("ctrl+a")
            self.keys(text, command="type")
        self.pending.setdefault(day, set()).add(text)
        self.keys(*(["Tab", "Return"] if text else ["Tab", "Tab", "Return"]))
        self.saves -= 1
        if self.mode == "save" and self.saves == 0:
            self.arm(self.rng.uniform(0, 0.06))  # while the save runs
        self.gone(wid)
        with self.lock:
            if not self.killed:  # it closed after its save, before the kill
                self.confirmed[day], self.pending[day], self.returned = text, set(), self.returned + 1

    def open_month_list(self):
        """編集 → 今月...; a key that comes before the menu is open is lost, so the menu is tried again."""
        for attempt in range(1, 4):
            self.keys("alt+e")
            time.sleep(0.2 * attempt)
            self.keys("k")
            try:
                return self.window(MONTH_LIST, timeout=3)[0]
            except Failure:
                if self.d.popups():  # the menu that missed its key; Escape on the window would hide it
                    self.keys("Escape")
        raise Failure("編集 → 今月... opened no month list")

    def life(self, mode):
        self.confirmed, self.pending, cursor = dict(self.memos), {}, 8
        try:
            main = self.start(mode)
            self.check_no_temp_files()
            while True:
                through_list, delete = self.rng.random() < 0.5, self.rng.random() < 0.4
                days = range(1, 11) if through_list else range(6, 13)  # the list's first lines; the 8th's week
                held = [day for day in days if self.confirmed.get(day)]
                day = self.rng.choice(held if delete and held else days)
                text = None if delete and held else f"k{self.kills}x{self.rng.randrange(10**6)}"
                if self.active()[0] != main:
                    self.d.run(["xdotool", "windowactivate", "--sync", str(main)], check=False, timeout=3)
                    self.wait(lambda: self.active()[0] == main, "the main window to take the keyboard")
                if through_list:
                    wid = self.open_month_list()
                    self.keys("End", "Home", *["Down"] * (day - 1), "Return")  # Home alone selects no line
                    self.edit(day, text)
                    self.wait(lambda: self.active()[0] == wid, "the month list to come back")
                    self.keys("Escape")
                    self.gone(wid)
                else:
                    self.keys(*["Right" if day > cursor else "Left"] * abs(day - cursor), "Return")
                    cursor = day
                    self.edit(day, text)
        except (Died, Failure, subprocess.TimeoutExpired) as error:
            time.sleep(0.3)
            if not isinstance(error, Died) and self.d.program.poll() is None:
                # No kill explains it. Now and then openbox loses a window that is hidden and shown
                # again (it stays mapped, unmanaged, without the keyboard): a fresh openbox, and this
                # life ends with a kill too. A program that hangs would do it in every life.
                self.stuck.append(f"kill {self.kills + 1}: {error}")
                check(len(self.stuck) <= 3, f"steps that did not finish: {self.stuck}")
                self.kill()
                self.d.stop("openbox")
                self.d._start_window_manager()
        self.d.program.wait()
        self.timer.cancel()
        self.kills += 1
        self.modes[mode] = self.modes.get(mode, 0) + 1
        self.check_files()

    def check_files(self):
        def finding(found, text):
            if found:
                self.findings.append(f"kill {self.kills} ({self.mode}): {text}")

        stores = {}
        for name, record in STORES.items():
            if name not in self.written and not os.path.exists(os.path.join(self.d.data, name)):
                continue  # the first start writes the holiday files
            self.written.add(name)
            try:
                raw = self.d.file(name)
            except OSError as error:
                return finding(True, str(error))
            stores[name] = raw[:-1].replace(b"\r\n", b"\n").decode("cp932", "replace")
            finding(not raw.endswith(b"\0") or re.fullmatch(f"(?:{record})*", stores[name]) is None,
                    f"{name} is no whole store and one NUL")
        records = [record + "~" for record in stores["MemoData.txt"].split("~")[:-1]]
        finding("".join(r for r in records if not r.startswith("126^11^")) != OTHERS,
                "the memos of other years changed")
        finding(any(".conflict-" in name for name in os.listdir(self.d.data)),
                "a conflict copy was made, though no other program wrote")
        december = [record[:-1].split("^", 3) for record in records if record.startswith("126^11^")]
        now = {int(day): text or None for _, _, day, text in december}
        finding(len(now) != len(december), "a day has two records")
        for day in sorted(set(now) | set(self.confirmed) | set(self.pending)):
            before = self.confirmed.get(day)
            finding(now.get(day) not in {before} | self.pending.get(day, set()),
                    f"day {day} holds {now.get(day)!r}: " + (f"{before!r} registered before the kill is lost"
                                                             if before else "deleted before the kill, it is back"))
        self.memos = now

    def check_no_temp_files(self):
        state = os.path.join(self.d.env["XDG_STATE_HOME"], "velmora")
        left = [name for folder in (self.d.data, state) if os.path.isdir(folder)
                for name in os.listdir(folder) if re.fullmatch(r"\..*\.tmp", name)]
        if left:
            self.findings.append(f"the start after kill {self.kills} left temporary files: {left}")


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("program")
    parser.add_argument("--kills", type=int, default=52)
    parser.add_argument("--seed", type=int, default=18)
    parser.add_argument("--budget", type=float, default=200.0, help="seconds of kills at most")
    parser.add_argument("--artifacts", help="where a failing run keeps its screenshots and logs")
    args = parser.parse_args()
    rng = random.Random(args.seed)
    try:
        with Desktop("kill_loop", args.program, None, args.artifacts, screen=(800, 600)) as d:
            loop, began = Loop(d, rng), time.monotonic()
            with open(os.path.join(d.data, "MemoData.txt"), "wb") as f:
                f.write((OTHERS + "".join(f"126^11^{day}^{text}~" for day, text in loop.memos.items())).encode("cp932"))
                f.write(b"\0")
            d.start_tray()
            while loop.kills < args.kills and time.monotonic() - began < args.budget:
                loop.life(rng.choices(["start", "save", "any"], weights=[2, 5, 3])[0])
            loop.start(None)  # the clean-up after the last kill
            loop.check_no_temp_files()
            loop.kill()
            print(f"kill_loop: seed {args.seed}, {loop.kills} kills in {time.monotonic() - began:.0f} s "
                  f"{loop.modes}, {loop.returned} 登録 or 削除 returned before a kill; {len(loop.stuck)} "
                  f"with a fresh window manager {loop.stuck}", *(f"  {finding}" for finding in loop.findings),
                  sep="\n", flush=True)
            check(not loop.findings, f"{len(loop.findings)} findings")
            check(loop.kills >= min(50, args.kills), f"only {loop.kills} kills in {args.budget:g} s")
    except Failure as failure:
        print(f"FAIL kill_loop: {failure}", flush=True)
        return 1
    print("PASS kill_loop", flush=True)
    return 0


if __name__ == "__main__":
    sys.exit(main())
