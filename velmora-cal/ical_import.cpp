#include "velmora-cal/ical_import.h"

#include "model/calendar_math.h"
#include "model/data_files.h"
#include "model/field_text.h"
#include "model/file_notices.h"
#include "model/record.h"
#include "model/year_calendar.h"
#include "platform/code_page.h"
#include "velmora-cal/exit_status.h"
#include "velmora-cal/folder_lock.h"
#include "velmora-cal/input_file.h"
#include "velmora-cal/messages.h"

#include <fcntl.h>
#include <libical/ical.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <tuple>

namespace cal {
namespace {

// The largest file an import reads: far above any calendar a person keeps.
constexpr std::size_t kMaxIcsBytes = std::size_t{64} * 1024 * 1024;
// How many repetitions of one rule an import walks through before it gives up on the rest.
constexpr int kMaxRuleSteps = 200000;

// Frees a libical component tree when it goes out of scope.
struct ComponentFree {
    void operator()(icalcomponent* component) const { icalcomponent_free(component); }
};
using ComponentPtr = std::unique_ptr<icalcomponent, ComponentFree>;

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
           });
}

// Returns the physical lines of the text, each without its line break.
std::vector<std::string_view> PhysicalLines(std::string_view text) {
    std::vector<std::string_view> lines;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        if (line.ends_with('\r')) line.remove_suffix(1);
        lines.push_back(line);
        if (end == std::string_view::npos) break;
        text.remove_prefix(end + 1);
    }
    return lines;
}

// Returns the text with CR LF and lone CR made LF and line breaks and spaces at both ends dropped.
std::string Tidy(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r') {
            if (i + 1 < text.size() && text[i + 1] == '\n') ++i;
            out += '\n';
        } else {
            out += text[i];
        }
    }
    const std::size_t first = out.find_first_not_of(" \t\n");
    if (first == std::string::npos) return "";
    return out.substr(first, out.find_last_not_of(" \t\n") - first + 1);
}

// The text a memo gets for an event: its summary, and a description that says more than the summary
// on the lines after it; a description that begins with the summary's line is the whole memo already.
std::string EventText(icalcomponent* event) {
    const char* summaryValue = icalcomponent_get_summary(event);
    const char* descriptionValue = icalcomponent_get_description(event);
    const std::string summary = Tidy(summaryValue != nullptr ? summaryValue : "");
    const std::string description = Tidy(descriptionValue != nullptr ? descriptionValue : "");
    if (description.empty() || description == summary) return summary;
    if (summary.empty() || description.starts_with(summary + "\n")) return description;
    return summary + "\n" + description;
}

struct LocalMoment {
    int year = 0;
    int monthIndex = 0;
    int day = 0;
    bool timed = false;
    int hour = 0;
    int minute = 0;
};

// Returns the local date (and time of day) of an iCalendar time: a date as it is, a time with a zone
// (UTC included) moved to the local zone, a floating time as it is written.
std::optional<LocalMoment> ToLocal(const icaltimetype& time) {
    LocalMoment moment;
    if (time.is_date || time.zone == nullptr) {
        moment.year = time.year;
        moment.monthIndex = time.month - 1;
        moment.day = time.day;
        moment.timed = !time.is_date;
        moment.hour = time.hour;
        moment.minute = time.minute;
    } else {
        const std::time_t instant = icaltime_as_timet_with_zone(time, time.zone);
        std::tm local{};
        if (::localtime_r(&instant, &local) == nullptr) return std::nullopt;
        moment.year = local.tm_year + 1900;
        moment.monthIndex = local.tm_mon;
        moment.day = local.tm_mday;
        moment.timed = true;
        moment.hour = local.tm_hour;
        moment.minute = local.tm_min;
    }
    if (moment.year < 1 || moment.monthIndex < 0 || moment.monthIndex > 11 || moment.day < 1 ||
        moment.day > DaysInMonth(moment.year, moment.monthIndex))
        return std::nullopt;
    return moment;
}

// Returns true when two times of one event stand for the same occurrence.
bool SameOccurrence(const icaltimetype& a, const icaltimetype& b) {
    if (a.is_date || b.is_date) return icaltime_compare_date_only(a, b) == 0;
    return icaltime_compare(a, b) == 0;
}

// A property's time, with the TZID it names looked up in the file's VTIMEZONEs or the system's zones.
icaltimetype PropertyTime(icalproperty* property, icalcomponent* event) {
    return icalproperty_get_datetime_with_component(property, event);
}

// Returns the first error libical noted on the event itself, or "" when there is none.
std::string EventError(icalcomponent* event) {
    icalproperty* error = icalcomponent_get_first_property(event, ICAL_XLICERROR_PROPERTY);
    if (error == nullptr) return "";
    const char* text = icalproperty_get_xlicerror(error);
    return text != nullptr && *text != '\0' ? text : "unreadable property";
}

bool IsHoliday(icalcomponent* event) {
    for (icalproperty* p = icalcomponent_get_first_property(event, ICAL_CATEGORIES_PROPERTY); p != nullptr;
         p = icalcomponent_get_next_property(event, ICAL_CATEGORIES_PROPERTY)) {
        const char* value = icalproperty_get_categories(p);
        if (value == nullptr) continue;
        std::string_view rest = value;
        while (!rest.empty()) {
            const std::size_t comma = rest.find(',');
            if (rest.substr(0, comma) == "祝日") return true;
            if (comma == std::string_view::npos) break;
            rest.remove_prefix(comma + 1);
        }
    }
    return false;
}

class EventReader {
public:
    EventReader(const ImportWindow& window, IcsReading& reading) : m_window(window), m_reading(reading) {}

    // Notes the instances that events with a RECURRENCE-ID move or cancel, so that the expansion of
    // their rule leaves them out.
    void NoteOverride(icalcomponent* event) {
        const icaltimetype id = icalcomponent_get_recurrenceid(event);
        const char* uid = icalcomponent_get_uid(event);
        if (icaltime_is_null_time(id) || uid == nullptr) return;
        m_overridden[uid].push_back(id);
    }

    // Reads one event; `where` names it in a report ("line 12").
    void Read(icalcomponent* event, const std::string& where) {
        const std::string error = EventError(event);
        if (!error.empty()) {
            m_reading.skipped.push_back(where + ": " + error);
            return;
        }
        const icaltimetype start = icalcomponent_get_dtstart(event);
        if (icaltime_is_null_time(start) || !icaltime_is_valid_time(start)) {
            m_reading.skipped.push_back(where + ": " + Tr("no start date (DTSTART)", "開始日（DTSTART）がありません"));
            return;
        }
        if (IsHoliday(event)) {
            ++m_reading.holidays;
            return;
        }
        if (icalcomponent_get_status(event) == ICAL_STATUS_CANCELLED) {
            ++m_reading.cancelled;
            return;
        }
        const std::string text = EventText(event);
        if (text.empty()) {
            m_reading.skipped.push_back(where + ": " + Tr("no summary", "件名がありません"));
            return;
        }

        std::vector<icaltimetype> times;
        const bool recurring = icalcomponent_get_first_property(event, ICAL_RRULE_PROPERTY) != nullptr ||
                               icalcomponent_get_first_property(event, ICAL_RDATE_PROPERTY) != nullptr;
        // An instance moved by RECURRENCE-ID is an event of its own, not a rule.
        if (!recurring || !icaltime_is_null_time(icalcomponent_get_recurrenceid(event)))
            times.push_back(start);
        else
            Expand(event, start, times);

        std::set<std::tuple<int, int, int, int, int, bool>> taken;
        for (const icaltimetype& time : times) {
            const std::optional<LocalMoment> moment = ToLocal(time);
            if (!moment) {
                m_reading.skipped.push_back(where + ": " + Tr("a date no calendar holds", "存在しない日付です"));
                continue;
            }
            if ((recurring || m_window.boundsSingleEvents) &&
                (moment->year < m_window.fromYear || moment->year > m_window.toYear))
                continue;
            if (!taken
                     .insert(
                         {moment->year, moment->monthIndex, moment->day, moment->hour, moment->minute, moment->timed})
                     .second)
                continue;
            IcsEvent out;
            out.year = moment->year;
            out.monthIndex = moment->monthIndex;
            out.day = moment->day;
            if (moment->timed) {
                char clock[16];
                std::snprintf(clock, sizeof clock, "%02d:%02d ", moment->hour, moment->minute);
                out.text = clock;
            }
            out.text += text;
            m_reading.events.push_back(std::move(out));
        }
    }

private:
    // Collects the occurrences of a recurring event that may fall in the window: the start, each
    // RRULE's repetitions and each RDATE, less each EXDATE and each instance overridden elsewhere.
    void Expand(icalcomponent* event, const icaltimetype& start, std::vector<icaltimetype>& times) {
        std::vector<icaltimetype> excluded;
        for (icalproperty* p = icalcomponent_get_first_property(event, ICAL_EXDATE_PROPERTY); p != nullptr;
             p = icalcomponent_get_next_property(event, ICAL_EXDATE_PROPERTY))
            excluded.push_back(PropertyTime(p, event));
        const char* uid = icalcomponent_get_uid(event);
        if (uid != nullptr) {
            const auto moved = m_overridden.find(uid);
            if (moved != m_overridden.end())
                excluded.insert(excluded.end(), moved->second.begin(), moved->second.end());
        }

        times.push_back(start);
        for (icalproperty* p = icalcomponent_get_first_property(event, ICAL_RRULE_PROPERTY); p != nullptr;
             p = icalcomponent_get_next_property(event, ICAL_RRULE_PROPERTY)) {
            const icalrecurrencetype rule = icalproperty_get_rrule(p);
            icalrecur_iterator* iterator = icalrecur_iterator_new(rule, start);
            if (iterator == nullptr) continue;
            // A rule without COUNT may start its walk a day before the window, in the start's own zone.
            icaltimetype windowStart = start;
            windowStart.year = m_window.fromYear;
            windowStart.month = 1;
            windowStart.day = 1;
            icaltime_adjust(&windowStart, -1, 0, 0, 0);
            if (rule.count == 0 && icaltime_compare(windowStart, start) > 0)
                icalrecur_iterator_set_start(iterator, windowStart);
            int steps = 0;
            for (icaltimetype next = icalrecur_iterator_next(iterator); !icaltime_is_null_time(next);
                 next = icalrecur_iterator_next(iterator)) {
                // A day past the window's last year is enough for any zone to bring back into it.
                if (next.year > m_window.toYear + 1 || (next.year == m_window.toYear + 1 && next.month > 1) ||
                    (next.year == m_window.toYear + 1 && next.day > 2))
                    break;
                if (++steps > kMaxRuleSteps) {
                    m_reading.stoppedLongRule = true;
                    break;
                }
                times.push_back(next);
            }
            icalrecur_iterator_free(iterator);
        }
        for (icalproperty* p = icalcomponent_get_first_property(event, ICAL_RDATE_PROPERTY); p != nullptr;
             p = icalcomponent_get_next_property(event, ICAL_RDATE_PROPERTY)) {
            icaltimetype time = PropertyTime(p, event);
            if (icaltime_is_null_time(time)) time = icalproperty_get_rdate(p).period.start;
            if (!icaltime_is_null_time(time)) times.push_back(time);
        }
        std::erase_if(times, [&](const icaltimetype& time) {
            return std::any_of(excluded.begin(), excluded.end(),
                               [&](const icaltimetype& out) { return SameOccurrence(time, out); });
        });
    }

    const ImportWindow& m_window;
    IcsReading& m_reading;
    std::map<std::string, std::vector<icaltimetype>> m_overridden;
};

// Returns the lines of a memo text (code page 932, CR LF or LF breaks), each without its break.
std::vector<std::string_view> MemoLines(std::string_view text) { return PhysicalLines(text); }

// Returns true when the lines of `part` stand one after another among the lines of `memo`.
bool HoldsLines(std::string_view memo, std::string_view part) {
    const std::vector<std::string_view> lines = MemoLines(memo);
    const std::vector<std::string_view> wanted = MemoLines(part);
    if (wanted.empty()) return true;
    return std::search(lines.begin(), lines.end(), wanted.begin(), wanted.end()) != lines.end();
}

// Appends `addition` to the memo text on a new line unless the memo holds its lines already.
bool AddToMemo(std::string& memo, const std::string& addition) {
    if (HoldsLines(memo, addition)) return false;
    if (!memo.empty()) memo += "\r\n";
    memo += addition;
    return true;
}

}  // namespace

IcsReading ReadIcsEvents(const std::string& ics, const ImportWindow& window) {
    IcsReading reading;
    std::string_view text = ics;
    if (text.starts_with("\xEF\xBB\xBF")) text.remove_prefix(3);
    // libical reads C strings: a NUL would end the text early, and UTF-16 text is full of them.
    if (text.find('\0') != std::string_view::npos) return reading;
    const std::vector<std::string_view> lines = PhysicalLines(text);
    const auto firstLine = std::find_if(lines.begin(), lines.end(), [](std::string_view line) {
        return line.find_first_not_of(" \t") != std::string_view::npos;
    });
    if (firstLine == lines.end() || !EqualsIgnoringCase(*firstLine, "BEGIN:VCALENDAR")) return reading;

    // The line of each event's BEGIN, to name a broken event by it.
    std::vector<std::size_t> eventLines;
    for (std::size_t i = 0; i < lines.size(); ++i)
        if (EqualsIgnoringCase(lines[i], "BEGIN:VEVENT")) eventLines.push_back(i + 1);

    icalerror_set_errors_are_fatal(0);
    const std::string owned(text);
    const ComponentPtr root(icalparser_parse_string(owned.c_str()));
    if (!root) return reading;
    std::vector<icalcomponent*> calendars;
    if (icalcomponent_isa(root.get()) == ICAL_VCALENDAR_COMPONENT) {
        calendars.push_back(root.get());
    } else {
        for (icalcomponent* c = icalcomponent_get_first_component(root.get(), ICAL_VCALENDAR_COMPONENT); c != nullptr;
             c = icalcomponent_get_next_component(root.get(), ICAL_VCALENDAR_COMPONENT))
            calendars.push_back(c);
    }
    if (calendars.empty()) return reading;
    reading.isCalendar = true;

    std::vector<icalcomponent*> events;
    for (icalcomponent* calendar : calendars)
        for (icalcomponent* e = icalcomponent_get_first_component(calendar, ICAL_VEVENT_COMPONENT); e != nullptr;
             e = icalcomponent_get_next_component(calendar, ICAL_VEVENT_COMPONENT))
            events.push_back(e);
    EventReader reader(window, reading);
    for (icalcomponent* event : events) reader.NoteOverride(event);
    for (std::size_t i = 0; i < events.size(); ++i) {
        const std::string where = events.size() == eventLines.size()
                                      ? Tr("line ", "") + std::to_string(eventLines[i]) + Tr("", " 行目")
                                      : Tr("event ", "") + std::to_string(i + 1) + Tr("", " 件目の予定");
        reader.Read(events[i], where);
    }
    return reading;
}

MergeResult MergeEvents(std::string& store, const std::vector<IcsEvent>& events) {
    MergeResult result;
    struct Addition {
        std::string text;  // code page 932, CR LF breaks, no record delimiter
        std::size_t replaced = 0;
    };
    std::map<std::tuple<int, int, int>, std::vector<Addition>> byDay;  // years since 1900, month 0..11, day
    for (const IcsEvent& event : events) {
        std::string crlf;
        for (const char c : event.text) {
            if (c == '\n') crlf += '\r';
            crlf += c;
        }
        Addition addition;
        addition.text = ReplaceRecordDelimiters(platform::Cp932FromUtf8(crlf, &addition.replaced));
        byDay[{event.year - 1900, event.monthIndex, event.day}].push_back(std::move(addition));
    }

    // Adds the day's events to `memo`; returns true when it changed.
    const auto addAll = [&result](std::string& memo, const std::vector<Addition>& additions) {
        bool changed = false;
        for (const Addition& addition : additions) {
            if (AddToMemo(memo, addition.text)) {
                ++result.added;
                result.replacedCharacters += addition.replaced;
                changed = true;
            } else {
                ++result.alreadyPresent;
            }
        }
        if (changed) ++result.days;
        return changed;
    };

    std::string merged;
    merged.reserve(store.size() + events.size() * 32);
    std::set<std::tuple<int, int, int>> done;
    for (std::string_view rest = store; !rest.empty();) {
        const std::string_view record = CutRecord(rest);
        const MemoRecordFields fields = SplitMemoRecord(record);
        const std::tuple<int, int, int> day{fields.year, fields.month, fields.day};
        const auto wanted = byDay.find(day);
        // Only the first record of a day is the day's memo: the day dialog opens that one.
        if (wanted == byDay.end() || !done.insert(day).second) {
            merged += CloseRecord(record);
            continue;
        }
        std::string memo(fields.text);
        if (addAll(memo, wanted->second))
            merged += MakeMemoRecord(fields.year, fields.month, fields.day, memo);
        else
            merged += CloseRecord(record);
    }
    for (const auto& [day, additions] : byDay) {
        if (done.contains(day)) continue;
        std::string memo;
        addAll(memo, additions);
        merged += MakeMemoRecord(std::get<0>(day), std::get<1>(day), std::get<2>(day), memo);
    }
    if (result.added > 0) store = std::move(merged);
    return result;
}

namespace {

// Returns what an import did or, for a dry run, would do, naming the data folder.
std::string ImportReport(const IcsReading& reading, const MergeResult& merged, bool dryRun, const std::string& folder) {
    std::string text;
    if (JapaneseMessages()) {
        if (dryRun) text += "試行のみ: ";
        if (merged.added == 0)
            text += folder + " のメモに追加する予定はありません。";
        else
            text += folder + " のメモに予定を " + std::to_string(merged.added) + " 件" +
                    (dryRun ? "追加します" : "追加しました") + "（" + std::to_string(merged.days) + " 日分）。";
        text += (dryRun ? "すでにある予定: " : "すでにあった予定: ") + std::to_string(merged.alreadyPresent) + " 件";
        if (!reading.skipped.empty()) text += "、取り込めない予定: " + std::to_string(reading.skipped.size()) + " 件";
        if (reading.holidays > 0) text += "、除いた祝日: " + std::to_string(reading.holidays) + " 件";
        text += "\n";
        if (merged.replacedCharacters > 0)
            text += "シフトJIS にない " + std::to_string(merged.replacedCharacters) + " 文字を「〓」に" +
                    (dryRun ? "置き換えます\n" : "置き換えました\n");
        return text;
    }
    text += (dryRun ? "dry run: " : "") + Counted(merged.added, "event", "events") +
            (dryRun ? " would be added" : " added") + " to the ";
    if (merged.added == 0)
        text += "memos in " + folder;
    else
        text += std::string(merged.days == 1 ? "memo of " : "memos of ") + Counted(merged.days, "day", "days") +
                " in " + folder;
    text += "; " + std::to_string(merged.alreadyPresent) + " already present";
    if (!reading.skipped.empty())
        text += "; " + Counted(static_cast<long long>(reading.skipped.size()), "broken event", "broken events") +
                " skipped";
    if (reading.holidays > 0) text += "; " + Counted(reading.holidays, "holiday", "holidays") + " left out";
    text += "\n";
    if (merged.replacedCharacters > 0)
        text += Counted(static_cast<long long>(merged.replacedCharacters), "character that code page 932 lacks",
                        "characters that code page 932 lacks") +
                (dryRun ? " would become 〓\n" : " became 〓\n");
    return text;
}

}  // namespace

int RunImport(const Options& options) {
    if (options.operands.size() > 1)
        return UsageProblem(Tr("import takes one file", "import に指定できるファイルは一つだけです"), "import");
    if (options.operands.empty())
        return UsageProblem(Tr("import needs an iCalendar file (or - for the input)",
                               "import には iCalendar ファイル（標準入力なら -）を指定してください"),
                            "import");
    const std::string& file = options.operands[0];
    const bool dryRun = options.Has(kOptionDryRun);
    const std::optional<int> fromYear = options.fromYear;
    const std::optional<int> toYear = options.toYear;
    const int thisYear = CurrentLocalTime().tm_year + 1900;
    ImportWindow window;
    window.boundsSingleEvents = fromYear.has_value() || toYear.has_value();
    window.fromYear = fromYear.value_or(toYear ? std::min(*toYear, thisYear) : thisYear);
    window.toYear = toYear.value_or(std::max(window.fromYear, thisYear + 1));
    if (window.fromYear > window.toYear)
        return UsageProblem(Tr("--from is after --to", "--from の年が --to の年より後です"), "import");

    std::string error;
    const std::optional<std::string> ics = ReadInputFile(ResolvePath(file, options.here), kMaxIcsBytes, error);
    if (!ics) {
        Complain(error);
        return kExitRefused;
    }
    const IcsReading reading = ReadIcsEvents(*ics, window);
    if (!reading.isCalendar) {
        Complain(file + Tr(": not an iCalendar file; nothing changed",
                           " は iCalendar ファイルではありません。何も変更していません"));
        return kExitRefused;
    }

    const FolderLock lock;
    if (!lock.Held()) {
        Complain(
            lock.GetState() == FolderLock::State::Busy
                ? Tr("a copy of the calendar is running in this folder; close it and try again; nothing changed",
                     "このフォルダでカレンダーが動いています。終了してからやり直してください。何も変更していません")
                : LockRefusal(lock));
        return kExitRefused;
    }
    for (const std::string& skipped : reading.skipped)
        Complain(file + ": " + skipped + Tr(" (event skipped)", "（この予定は取り込みません）"));
    if (reading.stoppedLongRule)
        Complain(Tr("a rule repeats too often; only its first repetitions were taken",
                    "繰り返しが多すぎる予定があります。最初の分だけを取り込みました"));

    LoadMemoData();
    if (IsUnreadableFile(kMemoFile)) {
        Complain(std::string(Tr("cannot read ", "読めません: ")) + kMemoFile +
                 Tr("; nothing changed", "。何も変更していません"));
        return kExitFailed;
    }
    std::string store = g_strMemoData;
    const MergeResult merged = MergeEvents(store, reading.events);
    if (!dryRun && merged.added > 0) {
        g_strMemoData = store;
        const bool saved = SaveMemoData() != 0;
        for (const FileNotice& notice : TakeFileNotices())
            if (!notice.path.empty())
                Complain(Tr("kept a copy of the old file: ", "元のファイルを残しました: ") + notice.path);
        if (!saved) {
            Complain(std::string(Tr("cannot write ", "書き込めません: ")) + kMemoFile +
                     Tr("; nothing changed", "。何も変更していません"));
            return kExitFailed;
        }
    }

    std::fputs(ImportReport(reading, merged, dryRun, options.folder).c_str(), stdout);
    return kExitOk;
}

}  // namespace cal
