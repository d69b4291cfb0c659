#include "sync/mapping.h"

#include "ical/ics_reading.h"
#include "ical/ics_text.h"
#include "model/calendar_math.h"

#include <libical/ical.h>

#include <ctime>
#include <memory>

namespace memosync {
namespace {

constexpr std::string_view kDayUidPrefix = "velmora-day-";

struct ComponentFree {
    void operator()(icalcomponent* component) const { icalcomponent_free(component); }
};

std::string NextDate(std::string_view date) {
    const int year = std::stoi(std::string(date.substr(0, 4)));
    int month = std::stoi(std::string(date.substr(4, 2)));
    int day = std::stoi(std::string(date.substr(6, 2))) + 1;
    int nextYear = year;
    if (day > DaysInMonth(year, month - 1)) {
        day = 1;
        if (++month > 12) {
            month = 1;
            ++nextYear;
        }
    }
    if (nextYear > 9999) return "";
    char text[40];
    std::snprintf(text, sizeof text, "%04d%02d%02d", nextYear, month, day);
    return text;
}

std::string LineFeedsOnly(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r') {
            out += '\n';
            if (i + 1 < text.size() && text[i + 1] == '\n') ++i;
        } else {
            out += text[i];
        }
    }
    return out;
}

std::string_view FirstLine(std::string_view text) { return text.substr(0, text.find('\n')); }

std::string_view TrimBlanks(std::string_view text) {
    const std::size_t first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos) return {};
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

}  // namespace

std::string DayUid(std::string_view date) { return std::string(kDayUidPrefix) + std::string(date); }

std::string DateOfDayUid(std::string_view uid) {
    if (!uid.starts_with(kDayUidPrefix)) return "";
    const std::string_view date = uid.substr(kDayUidPrefix.size());
    if (date.size() != 8 || date.find_first_not_of("0123456789") != std::string_view::npos) return "";
    const int month = std::stoi(std::string(date.substr(4, 2)));
    const int day = std::stoi(std::string(date.substr(6, 2)));
    const int year = std::stoi(std::string(date.substr(0, 4)));
    if (year < 1 || month < 1 || month > 12 || day < 1 || day > DaysInMonth(year, month - 1)) return "";
    return std::string(date);
}

std::string DayCalendar(std::string_view date, std::string_view text, std::string_view stamp) {
    std::string out = "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//Velmora//sync 1.0//JA\r\nCALSCALE:GREGORIAN\r\n";
    ics::DayEvent event;
    event.uid = DayUid(date);
    event.stamp = std::string(stamp);
    event.date = std::string(date);
    event.nextDate = NextDate(date);
    event.summary = FirstLine(text);
    event.description = text;
    ics::AppendDayEvent(out, event);
    out += "END:VCALENDAR\r\n";
    return out;
}

std::string StampNow() {
    const std::time_t now = std::time(nullptr);
    std::tm utc{};
    gmtime_r(&now, &utc);
    char text[17];
    std::strftime(text, sizeof text, "%Y%m%dT%H%M%SZ", &utc);
    return text;
}

ServerItem ReadServerItem(std::string_view ical) {
    ServerItem item;
    const std::unique_ptr<icalcomponent, ComponentFree> root(icalparser_parse_string(std::string(ical).c_str()));
    if (!root) {
        item.error = "no iCalendar text";
        return item;
    }
    icalcomponent* event = icalcomponent_isa(root.get()) == ICAL_VEVENT_COMPONENT
                               ? root.get()
                               : icalcomponent_get_first_component(root.get(), ICAL_VEVENT_COMPONENT);
    if (event == nullptr) {
        // To-dos and journals are no memo; they stay on the server as they are.
        item.kind =
            icalcomponent_get_first_real_component(root.get()) != nullptr ? ItemKind::Other : ItemKind::Unreadable;
        if (item.kind == ItemKind::Unreadable) item.error = "no event in the iCalendar text";
        return item;
    }
    const char* uid = icalcomponent_get_uid(event);
    item.date = DateOfDayUid(uid != nullptr ? uid : "");
    if (item.date.empty()) {
        item.kind = ItemKind::Other;
        return item;
    }
    item.kind = ItemKind::Day;
    const char* summary = icalcomponent_get_summary(event);
    const char* description = icalcomponent_get_description(event);
    item.text = ics::WithBlankEnds(LineFeedsOnly(description != nullptr ? description : ""),
                                   ics::XPropertyValue(event, ics::kBlankEndsProperty));
    // A calendar that shows only the title lets its user edit only that: the title then stands
    // for the memo's first line.
    const std::string title = LineFeedsOnly(summary != nullptr ? summary : "");
    if (description == nullptr) {
        item.text = title;
    } else if (!TrimBlanks(title).empty() && TrimBlanks(title) != TrimBlanks(FirstLine(item.text))) {
        const std::size_t end = item.text.find('\n');
        item.text = end == std::string::npos ? title : title + item.text.substr(end);
    }
    return item;
}

}  // namespace memosync
