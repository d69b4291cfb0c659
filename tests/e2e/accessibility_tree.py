#!/usr/bin/env python3
"""Reads the real program's accessibility tree as a screen reader reads it (AT-SPI, pyatspi).

Usage: accessibility_tree.py PROGRAM

The program starts on 8 December 2026 on a private X desktop (desktop.py) inside a session bus of
its own (dbus-run-session) with the accessibility bus (at-spi-bus-launcher), a memo on the 9th and
天皇誕生日 on the 23rd. The script then checks:
  - the month sheet is a table of 7 columns headed 日..土 and 5 week rows, named 2026年12月, whose
    cells name their day with its holiday and memo, the 8th focused and selected;
  - Right moves the focus (a focus event and the state) to the 9th, Shift+Right to 6 January
    2027, Ctrl+C shows twelve tables 2027年1月..2027年12月, the framed month focused;
  - the toolbar buttons carry their tips, the clock reads the time;
  - the holiday dialog, reached by keys alone, names its fields by their labels, and a holiday
    registered there on the 9th renames the 9th's cell (a name-change event);
  - Shift+F10 opens the window's system menu, and with it the About box;
  - the day dialog's memo box is named by the date in its band.

Debian packages: python3-pyatspi at-spi2-core dbus xvfb openbox trayer xdotool faketime.
"""

import os
import subprocess
import sys
import time

sys.dont_write_bytecode = True
HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)

from desktop import Desktop, check, wait_until  # noqa: E402

MEMO = "126^11^9^歯医者\r\n午後3時~".encode("cp932") + b"\0"
HOLIDAYS = "12^23^天皇誕生日^0~".encode("cp932")
WEEKDAYS = ["日", "月", "火", "水", "木", "金", "土"]
TOOL_TIPS = {"今日のスケジュール", "今月のスケジュール", "前年", "前月", "今月", "翌月", "翌年", "画面切り替え",
             "カーソル切り替え", "休日設定"}


def walk(node, depth=0):
    yield node
    if depth < 12:
        for i in range(node.childCount):
            child = node.getChildAtIndex(i)
            if child is not None:
                yield from walk(child, depth + 1)


class Reader:
    """The program as pyatspi sees it, with the names of what got the focus and what was renamed."""

    def __init__(self, pyatspi):
        self.pyatspi = pyatspi
        self.focused = []
        self.renamed = []
        pyatspi.Registry.registerEventListener(self._event, "object:state-changed:focused")
        pyatspi.Registry.registerEventListener(lambda e: self.renamed.append(e.source.name),
                                               "object:property-change:accessible-name")

    def _event(self, event):
        if event.detail1 == 1:
            self.focused.append(event.source.name)

    def pump(self, seconds=0.3):
        from gi.repository import GLib
        deadline = time.monotonic() + seconds
        context = GLib.MainContext.default()
        while time.monotonic() < deadline:
            while context.iteration(False):
                pass
            time.sleep(0.02)

    def app(self):
        desktop = self.pyatspi.Registry.getDesktop(0)
        for i in range(desktop.childCount):
            app = desktop.getChildAtIndex(i)
            if app is not None and app.name.lower() == "velmora":
                return app
        return None

    def find(self, role, name=None):
        app = self.app()
        return [n for n in walk(app) if n.getRole() == role and (name is None or n.name == name)] if app else []

    def tables(self):
        return self.find(self.pyatspi.ROLE_TABLE)

    def focused_cell(self, table):
        """The table itself or the cell in it that has the focus, or None."""
        for node in walk(table, 11):
            if node.getState().contains(self.pyatspi.STATE_FOCUSED):
                return node
        return None


def inside(program):
    # The session bus starts at-spi-bus-launcher, and with it the accessibility bus, on pyatspi's
    # first request.
    import pyatspi

    with Desktop("accessibility", program, None, None) as d:
        d.env = dict(d.env)
        d.env.pop("NO_AT_BRIDGE", None)
        d.env["DBUS_SESSION_BUS_ADDRESS"] = os.environ["DBUS_SESSION_BUS_ADDRESS"]
        d.env["QT_LINUX_ACCESSIBILITY_ALWAYS_ON"] = "1"
        run(d, Reader(pyatspi), pyatspi)


def run(d, reader, pyatspi):
    d.start_tray()
    d.start_program(files={"MemoData.txt": MEMO, "Static_holi.txt": HOLIDAYS})
    main = d.main_window()
    wait_until(lambda: len(reader.tables()) == 1, "the month sheet as one table", timeout=20)
    table = reader.tables()[0]
    check(table.name == "2026年12月", f"the month table is named {table.name!r}")
    shape = table.queryTable()
    check((shape.nRows, shape.nColumns) == (5, 7), f"December 2026 has {shape.nRows} x {shape.nColumns} cells")
    headers = [shape.getColumnHeader(c).name for c in range(7)]
    check(headers == WEEKDAYS, f"the column headers read {headers}")
    places = [(shape.getRowAtIndex(i), shape.getColumnAtIndex(i)) for i in (0, 7, 16)]
    check(places == [(-1, 0), (0, 0), (1, 2)], f"the header and two cells stand at {places}")
    names = {shape.getAccessibleAt(r, c).name for r in range(5) for c in range(7)}
    for wanted in ("2026年12月1日 火曜日", "2026年12月9日 水曜日 メモあり 歯医者",
                   "2026年12月23日 水曜日 祝日 天皇誕生日", "2026年12月31日 木曜日", ""):
        check(wanted in names, f"no cell is named {wanted!r}: {sorted(names)}")
    d.wait_active(main.wid, "the main window")
    cell = wait_until(lambda: reader.focused_cell(table), "a focused cell")
    check(cell.name == "2026年12月8日 火曜日", f"the focused cell is {cell.name!r}")
    check(cell.getState().contains(pyatspi.STATE_SELECTED), "the cursor's cell is not selected")

    clock = reader.find(pyatspi.ROLE_LABEL, "12月8日  9時5分")
    check(len(clock) == 1, "no label reads the clock 12月8日  9時5分")
    buttons = {b.name for b in reader.find(pyatspi.ROLE_PUSH_BUTTON)}
    check(TOOL_TIPS <= buttons, f"the toolbar buttons are named {sorted(buttons)}")

    reader.pump()
    reader.focused.clear()
    d.key("Right")

    def focus_is(name):
        reader.pump(0.1)
        tables = reader.tables()
        focused = [reader.focused_cell(t) for t in tables]
        return [f.name for f in focused if f is not None] == [name] and name in reader.focused
    wait_until(lambda: focus_is("2026年12月9日 水曜日 メモあり 歯医者"), "Right to focus the 9th")
    d.key("shift+Right")
    wait_until(lambda: focus_is("2027年1月6日 水曜日"), "Shift+Right to focus 6 January 2027")
    d.key("ctrl+c")
    wait_until(lambda: len(reader.tables()) == 12, "the year view's twelve tables")
    check([t.name for t in reader.tables()] == [f"2027年{m}月" for m in range(1, 13)],
          f"the year's tables are {[t.name for t in reader.tables()]}")
    # The frame stays on the slot it had in the year view at the start: December's.
    wait_until(lambda: focus_is("2027年12月"), "Ctrl+C to focus December 2027 as a whole")
    d.key("ctrl+c")

    # 設定 → 休日... → 追加..., by keys alone.
    wait_until(lambda: len(reader.tables()) == 1, "the month view again")
    d.key("shift+Left")
    wait_until(lambda: reader.tables()[0].name == "2026年12月", "Shift+Left to show December 2026 again")
    d.key("alt+h", "Return")
    holidays = d.wait_window("休日")
    d.wait_active(holidays, "the holiday list")
    d.key("Tab", "space")
    d.wait_active(d.wait_window("休日設定"), "the holiday dialog")
    fields = {n.name for n in reader.find(pyatspi.ROLE_TEXT)}
    check("休日名" in fields, f"the holiday dialog's text fields are named {sorted(fields)}")
    combos = reader.find(pyatspi.ROLE_COMBO_BOX)
    labels = sorted(r.getTarget(0).name for c in combos for r in c.getRelationSet()
                    if r.getRelationType() == pyatspi.RELATION_LABELLED_BY)
    check(labels == ["日", "月"], f"the holiday dialog's combo boxes are labelled {labels}")
    # A holiday on the 9th, registered by keys, renames its cell once the list closes.
    reader.pump()
    reader.renamed.clear()
    d.key("1", "2", "Tab", "9", "Tab")
    d.type("Test")
    d.key("Tab", "Tab", "space")
    d.wait_active(holidays, "the holiday list again")
    d.key("Escape")
    d.wait_active(main.wid, "the main window again")
    renamed = "2026年12月9日 水曜日 祝日 Test メモあり 歯医者"
    wait_until(lambda: reader.pump(0.1) or renamed in reader.renamed, "the 9th's cell to be renamed")
    # The About box, by the keyboard's context-menu key where the window manager keeps Alt+Space.
    d.key("shift+F10")
    d.wait_popup("the system menu to open on Shift+F10")
    d.key("Down", "Return")
    about = d.wait_window("ﾊﾞｰｼﾞｮﾝ情報 Velmora")
    d.wait_active(about, "the About box")
    d.key("Return")
    d.wait_active(main.wid, "the main window after the About box")
    # The day dialog's memo box is named by the date its band shows.
    d.key("Return")
    d.wait_active(d.wait_window("スケジュール"), "the day dialog")
    memo = reader.find(pyatspi.ROLE_TEXT, "2026年  12月  9日")
    check(len(memo) == 1, f"the memo box is named {[n.name for n in reader.find(pyatspi.ROLE_TEXT)]}")


def main():
    if len(sys.argv) == 3 and sys.argv[1] == "--inside":
        started = time.monotonic()
        inside(sys.argv[2])
        print(f"accessibility tree: passed in {time.monotonic() - started:.1f} s")
        return 0
    if len(sys.argv) != 2:
        print(__doc__, file=sys.stderr)
        return 2
    return subprocess.call(["dbus-run-session", "--", "/usr/bin/python3", os.path.abspath(__file__), "--inside",
                            sys.argv[1]], timeout=90)


if __name__ == "__main__":
    sys.exit(main())
