#include "model/holiday_table.h"

#include "model/field_text.h"
#include "model/record.h"

#include <algorithm>
#include <cstdio>
#include <utility>
#include <vector>

namespace {

using DateKey = std::pair<int, int>;  // (month, day) as the record's numbers read

DateKey DateOf(std::string_view record) {
    const HolidayRecordFields fields = SplitHolidayRecord(record);
    return {fields.month, fields.day};
}

void AppendClosedRecords(std::string& out, std::string_view store) {
    while (!store.empty()) out += CloseRecord(CutRecord(store));
}

// One pass carries the latest date seen so far: a record moves on past every record whose date
// is the same or earlier, so records of equal dates change places on every pass.
void CarryingPass(const std::vector<DateKey>& keys, std::vector<std::size_t>& order, std::vector<std::size_t>& next) {
    next.clear();
    std::size_t carried = order.front();
    for (std::size_t i = 1; i < order.size(); ++i) {
        const std::size_t candidate = order[i];
        if (keys[carried] < keys[candidate]) {
            next.push_back(carried);
            carried = candidate;
        } else {
            next.push_back(candidate);
        }
    }
    next.push_back(carried);
    order.swap(next);
}

bool IsOrderedByDate(const std::vector<DateKey>& keys, const std::vector<std::size_t>& order) {
    for (std::size_t i = 1; i < order.size(); ++i) {
        if (keys[order[i]] < keys[order[i - 1]]) return false;
    }
    return true;
}

}  // namespace

std::string JoinHolidayStores(std::string_view fixedStore, std::string_view ruleStore, std::string_view oneYearStore) {
    std::string joined;
    joined.reserve(fixedStore.size() + ruleStore.size() + oneYearStore.size() + 3);
    for (const std::string_view store : {fixedStore, ruleStore, oneYearStore}) AppendClosedRecords(joined, store);
    return joined;
}

std::string SortHolidayRecords(std::string_view records) {
    std::vector<std::string> closed;
    std::vector<DateKey> keys;
    while (!records.empty()) {
        closed.push_back(CloseRecord(CutRecord(records)));
        keys.push_back(DateOf(closed.back()));
    }
    const std::size_t n = closed.size();
    std::vector<std::size_t> order(n);
    for (std::size_t i = 0; i < n; ++i) order[i] = i;

    if (n > 0) {
        std::vector<std::size_t> next;
        next.reserve(n);
        std::size_t passes = 0;
        while (passes < n + 1 && !IsOrderedByDate(keys, order)) {
            CarryingPass(keys, order, next);
            ++passes;
        }
        // Once ordered, each pass turns every run of equal dates one place to the left.
        const std::size_t remaining = n + 1 - passes;
        for (std::size_t start = 0; start < n;) {
            std::size_t end = start + 1;
            while (end < n && keys[order[end]] == keys[order[start]]) ++end;
            const std::size_t length = end - start;
            std::rotate(order.begin() + static_cast<std::ptrdiff_t>(start),
                        order.begin() + static_cast<std::ptrdiff_t>(start + remaining % length),
                        order.begin() + static_cast<std::ptrdiff_t>(end));
            start = end;
        }
    }

    std::string sorted;
    for (const std::size_t i : order) sorted += closed[i];
    return sorted;
}

std::string HolidayListLine(int month, int day, std::string_view name) {
    // "%2d月 %2d日　": 月 is 8C 8E, 日 is 93 FA, the ideographic space 81 40.
    char head[64];
    const int length = std::snprintf(head, sizeof head, "%2d\x8C\x8E %2d\x93\xFA\x81\x40", month, day);
    std::string line(head, static_cast<std::size_t>(length));
    line += name;
    return line;
}

std::string HolidayRecordAt(std::string_view records, int index) {
    if (index < 0) return {};
    std::string_view record;
    for (int i = 0; i <= index; ++i) {
        if (records.empty()) return {};
        record = CutRecord(records);
    }
    return std::string(record);
}

std::string& HolidayStoreOfKind(int kind) {
    if (kind == 0) return g_strStaticHoliday;
    if (kind >= 1 && kind <= 11) return g_strDynamicHoliday;
    return g_strYearHoliday;
}

std::string& HolidayStoreForPutBack(int kind) {
    if (kind == 0) return g_strStaticHoliday;
    if (kind == 100) return g_strYearHoliday;
    return g_strDynamicHoliday;
}

std::string& HolidayStoreForChoice(int choice) {
    if (choice == 0) return g_strStaticHoliday;
    if (choice == 1) return g_strDynamicHoliday;
    return g_strYearHoliday;
}

bool RemoveHolidayRecord(std::string& store, std::string_view record) {
    const std::string wanted = CloseRecord(record);
    std::string_view rest = store;
    while (!rest.empty()) {
        const std::size_t offset = store.size() - rest.size();
        const std::string_view candidate = CutRecord(rest);
        if (CloseRecord(candidate) == wanted) {
            store.erase(offset, candidate.size());
            return true;
        }
    }
    return false;
}

std::string* TakeOutHolidayRecord(std::string_view record) {
    std::string& designated = HolidayStoreOfKind(SplitHolidayRecord(record).kind);
    if (RemoveHolidayRecord(designated, record)) return &designated;
    // A record whose kind does not match its store (a "HappyMonday" week of 0 or above 11) would
    // otherwise stay for good and come back twice after a change.
    for (std::string* store : {&g_strStaticHoliday, &g_strDynamicHoliday, &g_strYearHoliday}) {
        if (store != &designated && RemoveHolidayRecord(*store, record)) return store;
    }
    return nullptr;
}

HolidayFields HolidayFieldsOfRecord(std::string_view record, int week) {
    const HolidayRecordFields parsed = SplitHolidayRecord(record);
    HolidayFields fields;
    fields.month = std::to_string(parsed.month);
    fields.day = std::to_string(parsed.day);
    fields.name = parsed.name;
    fields.choice = parsed.kind == 0 ? 0 : parsed.kind == 100 ? 2 : 1;
    fields.week = fields.choice == 1 ? parsed.kind : week;
    return fields;
}

std::string MakeHolidayRecord(std::string_view month, std::string_view day, std::string_view name, int choice,
                              int week) {
    const std::string kind = choice == 0 ? "0" : choice == 1 ? std::to_string(week) : "100";
    return ReplaceRecordDelimiters(month) + '^' + ReplaceRecordDelimiters(day) + '^' + ReplaceRecordDelimiters(name) +
           '^' + kind + '~';
}
