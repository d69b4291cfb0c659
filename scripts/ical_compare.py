#!/usr/bin/python3
"""Compares where `velmora-cal import` puts the events of iCalendar files with where an independent
reader (python3-icalendar with dateutil) puts them.

For each file, the independent reading is the set of (local date, first line of the event's text)
of every occurrence within a window of years (the --years, 2 by default, that hold the most event
starts of the file), RRULE, RDATE, EXDATE and EXRULE expanded with dateutil,
RECURRENCE-ID overrides put in the place of the instance they replace, an event longer than a day
on each of its days (DTEND exclusive), times moved into the local zone (TZ, Asia/Tokyo unless
--tz says otherwise). Velmora's reading is what `velmora-cal --dir EMPTY import FILE --from Y --to Y`
writes into MemoData.txt (code page 932), read back into (date, line) pairs. Both sides' texts are
brought to what code page 932 can hold before they are compared; a memo line's "HH:MM " time and
the 「（続き）」 mark of an event's later days are taken off its text (a time that differs from the
reader's is counted apart).

Prints per file and in total: the events (date, line) the reader found, how many landed, how many
are missing, how many lines Velmora wrote that the reader does not know (extra), how many landed at
another time of day; then the share landed and the number of files both read alike. A file the
reader cannot read (or not in --timeout seconds) is named and left out; a velmora-cal that bounds
the lines one event may add is asked for all of them (--all).

    scripts/ical_compare.py --cal build/dev/velmora-cal/velmora-cal /work/ical-corpus
"""

import argparse
import datetime as dt
import os
import re
import signal
import subprocess
import sys
import tempfile
import unicodedata
import zoneinfo
from collections import Counter
from pathlib import Path

import icalendar
from dateutil import rrule
from icalendar.timezone_cache import _timezone_cache as timezone_cache

# Unicode characters that code page 932 holds under another code point (as Windows maps them).
CP932_VARIANTS = str.maketrans({
    "\u301c": "\uff5e", "\u2016": "\u2225", "\u2212": "\uff0d", "\u00a2": "\uffe0",
    "\u00a3": "\uffe1", "\u00ac": "\uffe2", "\u2014": "\u2015", "\u00a6": "\uffe4",
})
ZONE_PREFIXES = ("/mozilla.org/", "/freeassociation.sourceforge.net/", "/softwarestudio.org/")
MAX_DAYS = 1000          # days one occurrence may span, as Velmora bounds it
MAX_OCCURRENCES = 50000  # instances of one event the reader expands up to the window's end
TIME_LINE = re.compile(r"^(\d\d):(\d\d) (.*)$", re.S)
CONTINUED = "（続き）"


class ReaderGaveUp(Exception):
    """The independent reader could not read the file in its time."""


def cp932_text(text):
    """The text as it reads after a trip through code page 932: 〓 for what it cannot hold."""
    out = []
    for char in unicodedata.normalize("NFC", text.translate(CP932_VARIANTS)):
        try:
            out.append(char.encode("cp932").decode("cp932"))
        except UnicodeEncodeError:
            out.append("〓")
    return "".join(out)


def text_lines(value):
    """The lines of a property's text, CR LF and CR made LF, blank lines at both ends dropped."""
    value = value[0] if isinstance(value, list) else value
    text = str(value or "").replace("\r\n", "\n").replace("\r", "\n").strip(" \t\n")
    return text.split("\n") if text else []


def decode_file(data):
    """The file's text: UTF-8 where it is, else code page 932, else Latin-1."""
    for encoding in ("utf-8-sig", "cp932"):
        try:
            return data.decode(encoding)
        except UnicodeDecodeError:
            pass
    return data.decode("latin-1")


def zone_of(tzid):
    """The system's zone for a TZID, the prefixes of old exports taken off, or None."""
    name = str(tzid).strip('"')
    names = [icalendar.windows_to_olson.WINDOWS_TO_OLSON.get(name, name)]
    for prefix in ZONE_PREFIXES:
        if name.startswith(prefix):  # "/mozilla.org/20070129_1/America/New_York": its zone's tail
            parts = name[len(prefix):].split("/")
            names = ["/".join(parts[i:]) for i in range(len(parts))]
    for candidate in names:
        try:
            return zoneinfo.ZoneInfo(candidate)
        except (ValueError, zoneinfo.ZoneInfoNotFoundError):
            pass
    return None


def moment(prop):
    """A date or datetime property's value; a TZID the library left unresolved looked up here."""
    prop = prop[0] if isinstance(prop, list) else prop  # a property given twice: its first
    value = prop.dt
    if isinstance(value, dt.datetime) and value.tzinfo is None and "TZID" in prop.params:
        zone = zone_of(prop.params["TZID"])
        if zone is not None:
            value = value.replace(tzinfo=zone)
    return value


def as_list(value):
    if value is None:
        return []
    return value if isinstance(value, list) else [value]


def wall(value, zone):
    """A value as a naive wall time in the event's zone (dates as midnight)."""
    if not isinstance(value, dt.datetime):
        return dt.datetime(value.year, value.month, value.day)
    if value.tzinfo is not None and zone is not None:
        value = value.astimezone(zone)
    return value.replace(tzinfo=None)


def attach(naive, zone):
    if zone is None:
        return naive
    if hasattr(zone, "localize"):
        return zone.localize(naive)
    return naive.replace(tzinfo=zone)


class Reader:
    """The independent reading of one file: (date, line) -> the reader's time of day (or None)."""

    def __init__(self, local_zone, first_year, last_year):
        self.local = local_zone
        self.first = dt.datetime(first_year, 1, 1)
        self.last = dt.datetime(last_year, 12, 31, 23, 59, 59)
        self.events = {}      # (date, text) -> set of "HH:MM" or None
        self.known = set()    # (date, text) of every line of an event's text, for extras
        self.untexted = 0

    def first_line(self, event):
        lines = text_lines(event.get("SUMMARY")) or text_lines(event.get("DESCRIPTION"))
        return lines[0] if lines else None

    def add(self, event, start, duration):
        """Puts one occurrence (an aware or naive datetime, or a date) on its local days."""
        line = self.first_line(event)
        if line is None:
            self.untexted += 1
            return
        all_lines = text_lines(event.get("SUMMARY")) + text_lines(event.get("DESCRIPTION"))
        if isinstance(start, dt.datetime):
            local = start.astimezone(self.local).replace(tzinfo=None) if start.tzinfo else start
            end = local + duration
            time = local.strftime("%H:%M")
            first_day, last_day = local.date(), end.date()
            if end > local and end.time() == dt.time(0, 0):
                last_day -= dt.timedelta(days=1)
        else:
            time = None
            first_day = start
            last_day = start + max(duration, dt.timedelta(days=1)) - dt.timedelta(days=1)
        last_day = min(max(last_day, first_day), first_day + dt.timedelta(days=MAX_DAYS))
        day = first_day
        while day <= last_day:
            if self.first.date() <= day <= self.last.date():
                key = (day, cp932_text(line))
                self.events.setdefault(key, set()).add(time if day == first_day else None)
                self.known.update((day, cp932_text(text.strip(" \t"))) for text in all_lines)
            day += dt.timedelta(days=1)

    def duration(self, event, start):
        if getattr(event.get("DTEND"), "dt", None) is not None:  # an unreadable DTEND is none
            end = moment(event["DTEND"])
            if isinstance(start, dt.datetime) != isinstance(end, dt.datetime):
                return dt.timedelta(0)
            if isinstance(start, dt.datetime) and (start.tzinfo is None) != (end.tzinfo is None):
                end = end.replace(tzinfo=start.tzinfo)
            return end - start
        if "DURATION" in event:
            return moment(event["DURATION"])
        return dt.timedelta(days=1) if not isinstance(start, dt.datetime) else dt.timedelta(0)

    def occurrences(self, event, start, zone):
        """The wall-time starts of a recurring event up to the window's end, in the event's zone."""
        first = wall(start, zone)
        rules = rrule.rruleset()
        if "RRULE" in event and any(r is None for r in as_list(event["RRULE"]) or [None]):
            raise ReaderGaveUp("an RRULE the library cannot read")
        for recur in as_list(event.get("RRULE")):
            recur = recur.copy()
            until = [wall(value, zone) for value in recur.pop("UNTIL", [])]
            if until and not isinstance(start, dt.datetime) and until[0].time() == dt.time(0, 0):
                until[0] = until[0].replace(hour=23, minute=59, second=59)
            rule = rrule.rrulestr(recur.to_ical().decode(), dtstart=first)
            rules.rrule(rule.replace(until=until[0]) if until else rule)
        for recur in as_list(event.get("EXRULE")):
            rules.exrule(rrule.rrulestr(recur.to_ical().decode(), dtstart=first))
        rules.rdate(first)  # the start is the first instance even where the rule does not match it
        for prop in as_list(event.get("RDATE")):
            for value in getattr(prop, "dts", []):  # an RDATE the library could not read has none
                item = value.dt[0] if isinstance(value.dt, tuple) else value.dt
                rules.rdate(wall(item, zone))
        for prop in as_list(event.get("EXDATE")):
            for value in getattr(prop, "dts", []):
                excluded = wall(value.dt, zone)
                if isinstance(start, dt.datetime) and isinstance(value.dt, dt.datetime):
                    rules.exdate(excluded)
                else:  # a date, or any EXDATE of an all-day series, takes out that day's instance
                    rules.exdate(excluded.replace(hour=first.hour, minute=first.minute, second=first.second))
        for count, item in enumerate(rules):
            if item > self.last + dt.timedelta(days=1):
                break
            if count == MAX_OCCURRENCES:
                raise ReaderGaveUp("more than %d instances of one event" % MAX_OCCURRENCES)
            yield item

    def read(self, calendar):
        masters, overrides = [], {}
        for event in calendar.walk("VEVENT"):
            if "DTSTART" not in event:
                continue
            if "RECURRENCE-ID" in event:
                overrides.setdefault(str(event.get("UID")), []).append(event)
            else:
                masters.append(event)
        # Instances whose series is not in the file stand as events of their own.
        uids = {str(event.get("UID")) for event in masters}
        masters += [e for uid in list(overrides) if uid not in uids for e in overrides.pop(uid)]
        for event in masters:
            start = moment(event["DTSTART"])
            zone = start.tzinfo if isinstance(start, dt.datetime) else None
            # An instance is named by its start; a RECURRENCE-ID that is a date (of a timed series too)
            # names the instance of that day.
            ids = [moment(o["RECURRENCE-ID"]) for o in overrides.get(str(event.get("UID")), [])]
            replaced = {wall(i, zone) for i in ids if isinstance(i, dt.datetime) and isinstance(start, dt.datetime)}
            replaced_days = {wall(i, zone).date() for i in ids if not isinstance(i, dt.datetime)
                             or not isinstance(start, dt.datetime)}
            if str(event.get("STATUS", "")).upper() == "CANCELLED":
                continue
            duration = self.duration(event, start)
            for item in self.occurrences(event, start, zone):
                if item in replaced or item.date() in replaced_days:
                    continue
                self.add(event, attach(item, zone) if isinstance(start, dt.datetime) else item.date(), duration)
        for events in overrides.values():
            for event in events:
                if str(event.get("STATUS", "")).upper() != "CANCELLED":
                    start = moment(event["DTSTART"])
                    self.add(event, start, self.duration(event, start))


def busiest_years(calendar, span, local_zone):
    """The first year of the `span` years holding the most event starts (the earliest of a tie)."""
    years = Counter()
    for event in calendar.walk("VEVENT"):
        if "DTSTART" in event:
            start = moment(event["DTSTART"])
            if isinstance(start, dt.datetime) and start.tzinfo is not None:
                start = start.astimezone(local_zone)
            years[start.year] += 1
    if not years:
        return None
    return max(sorted(years), key=lambda y: sum(years[y + i] for i in range(span)))


def parse(text):
    """The calendars of a file's text.

    The library keeps the zones of the VTIMEZONEs it reads in one cache for the process, the first
    of a name kept, and resolves a TZID only among those read before it: the cache is emptied for
    each file, and the text read twice so that a VTIMEZONE after its events counts too."""
    timezone_cache.clear()
    icalendar.Calendar.from_ical(text, multiple=True)
    return icalendar.Calendar.from_ical(text, multiple=True)


def read_independently(path, local_zone, span, seconds):
    def give_up(*_):
        raise ReaderGaveUp("took over %d s" % seconds)

    signal.signal(signal.SIGALRM, give_up)
    signal.alarm(seconds)
    try:
        text = decode_file(path.read_bytes())
        try:
            calendars = parse(text)
        except Exception:  # a VTIMEZONE or VALARM the library cannot read, text after the end
            for name in ("VTIMEZONE", "VALARM"):
                text = re.sub(r"(?ms)^BEGIN:%s.*?^END:%s\s*?$" % (name, name), "", text)
            text = text[:text.upper().rfind("END:VCALENDAR") + len("END:VCALENDAR")] + "\n"
            calendars = parse(text)
        whole = icalendar.Calendar()
        for calendar in calendars:
            for component in calendar.subcomponents:
                whole.add_component(component)
        first = busiest_years(whole, span, local_zone)
        if first is None:
            return None, None
        first = max(1, min(first, 9999 - span + 1))
        reader = Reader(local_zone, first, first + span - 1)
        reader.read(whole)
        return reader, first
    finally:
        signal.alarm(0)


def velmora_lines(folder):
    """(date, text) -> times of the lines of MemoData.txt, with the time and continuation mark off."""
    memo = folder / "MemoData.txt"
    lines = {}
    if not memo.exists():
        return lines
    data = memo.read_bytes().rstrip(b"\0").decode("cp932", errors="replace")
    for record in data.split("~"):
        fields = record.split("^", 3)
        if len(fields) < 4 or not all(f.lstrip("-").isdigit() for f in fields[:3]):
            continue
        day = dt.date(int(fields[0]) + 1900, int(fields[1]) + 1, int(fields[2]))
        for line in fields[3].replace("\r\r\n", "\n").replace("\r\n", "\n").split("\n"):
            time = None
            timed = TIME_LINE.match(line)
            if timed:
                time, line = "%s:%s" % timed.group(1, 2), timed.group(3)
            elif line.startswith(CONTINUED):
                line = line[len(CONTINUED):]
            if line.strip():
                lines.setdefault((day, cp932_text(line.strip(" \t"))), set()).add(time)
    return lines


def import_with_velmora(cal, path, first, last, local_zone, seconds, take_all):
    with tempfile.TemporaryDirectory(prefix="ical-compare-") as temp:
        command = [cal, "--dir", temp, "import", str(path), "--from", str(first), "--to", str(last)]
        if take_all:
            command.append("--all")
        env = dict(os.environ, TZ=local_zone.key, LANG="C.UTF-8")
        try:
            run = subprocess.run(command, env=env, capture_output=True, timeout=seconds, check=False)
        except subprocess.TimeoutExpired:
            return velmora_lines(Path(temp)), "hung (killed after %d s)" % seconds
        note = ""
        if run.returncode != 0:
            stderr = run.stderr.decode("utf-8", errors="replace").strip().splitlines()
            note = "exit %d: %s" % (run.returncode, stderr[-1] if stderr else "")
        return velmora_lines(Path(temp)), note


def compare(reader, written):
    """Counts of one file, and its missing and extra (date, text) pairs."""
    landed = [key for key in reader.events if key in written]
    missing = sorted(key for key in reader.events if key not in written)
    extra = sorted(key for key in written if key not in reader.events and key not in reader.known)
    time_off = [key for key in landed
                if {t for t in reader.events[key] if t} - {t for t in written[key] if t}]
    return {"found": len(reader.events), "landed": len(landed), "missing": missing,
            "extra": extra, "time_off": sorted(time_off)}


def ics_files(paths):
    for path in map(Path, paths):
        if path.is_dir():
            yield from sorted(p for p in path.rglob("*") if p.suffix.lower() in (".ics", ".ical", ".ifb"))
        else:
            yield path


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("paths", nargs="+", help="iCalendar files, or folders searched for *.ics")
    parser.add_argument("--cal", default="build/dev/velmora-cal/velmora-cal", help="velmora-cal to run")
    parser.add_argument("--tz", default="Asia/Tokyo", help="the local zone of both readings")
    parser.add_argument("--years", type=int, default=2, help="years in each file's window")
    parser.add_argument("--timeout", type=int, default=60, help="seconds for each side and file")
    parser.add_argument("--misses", action="store_true", help="list each missing and extra pair")
    args = parser.parse_args()
    local_zone = zoneinfo.ZoneInfo(args.tz)
    usage = subprocess.run([args.cal, "--help"], capture_output=True, check=False).stdout.decode()
    take_all = "--all" in usage  # a build that bounds an event's lines is asked for all of them

    total = Counter()
    unread = []
    print("%6s %6s %6s %6s %5s  %s" % ("found", "landed", "miss", "extra", "time", "file"))
    for path in ics_files(args.paths):
        try:
            reader, first = read_independently(path, local_zone, args.years, args.timeout)
        except Exception as error:  # the reader's own failure leaves the file out of the figure
            unread.append("%s: %s" % (path, str(error).splitlines()[0] if str(error) else type(error).__name__))
            continue
        if reader is None:
            total["eventless"] += 1
            continue
        last = first + args.years - 1
        written, note = import_with_velmora(args.cal, path, first, last, local_zone, args.timeout, take_all)
        counts = compare(reader, written)
        for key in ("found", "landed"):
            total[key] += counts[key]
        for key in ("missing", "extra", "time_off"):
            total[key] += len(counts[key])
        total["files"] += 1
        total["failed"] += bool(note)
        total["whole"] += counts["found"] > 0 and not counts["missing"] and not counts["extra"]
        print("%6d %6d %6d %6d %5d  %s [%d-%d]%s" % (
            counts["found"], counts["landed"], len(counts["missing"]), len(counts["extra"]),
            len(counts["time_off"]), path, first, last, "  " + note if note else ""))
        if args.misses:
            for label in ("missing", "extra", "time_off"):
                for day, text in counts[label]:
                    print("        %-8s %s %s" % (label, day, text[:70]))
    print("%6d %6d %6d %6d %5d  total of %d files (%d with a failed import; %d without events)" % (
        total["found"], total["landed"], total["missing"], total["extra"], total["time_off"],
        total["files"], total["failed"], total["eventless"]))
    for line in unread:
        print("not read by the independent reader: " + line)
    share = total["landed"] / total["found"] if total["found"] else 0.0
    print("share landed: %d of %d = %.1f%%; files read alike (nothing missing, nothing extra): %d"
          % (total["landed"], total["found"], 100 * share, total["whole"]))


if __name__ == "__main__":
    sys.exit(main())
