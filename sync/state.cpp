#include "sync/state.h"

#include "model/field_escape.h"
#include "model/file_system_calls.h"
#include "model/own_folder.h"
#include "model/private_file.h"
#include "model/stable_hash.h"
#include "model/whole_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <initializer_list>
#include <vector>

namespace memosync {
namespace {

constexpr std::string_view kStateLayout = "velmora-sync-state 1";
constexpr const char* kStateFile = "state.txt";
// Ten years of long memos fit well below this; a larger file is no state of ours.
constexpr std::size_t kMaxStateFile = std::size_t{256} << 20;
constexpr int kStateTempTries = 16;

void AppendStateField(std::string& out, std::string_view field) {
    out += '\t';
    AppendFieldEscaped(out, field);
}

// Appends the fields, each after a tab, and the line's end.
void AppendStateFields(std::string& out, std::initializer_list<std::string_view> fields) {
    for (const std::string_view field : fields) AppendStateField(out, field);
    out += '\n';
}

// Appends an event's href, ETag, whether it is whole, then date and text of each line; a pending
// one's first pair says whether it is gone.
void AppendEventFields(std::string& out, const std::string& href, const EventItem& item, const bool* gone) {
    AppendStateField(out, href);
    AppendStateField(out, item.etag);
    AppendStateField(out, item.whole ? "1" : "0");
    if (gone != nullptr) {
        AppendStateField(out, "00000000");
        AppendStateField(out, *gone ? "gone" : "kept");
    }
    for (const EventLine& line : item.lines) {
        AppendStateField(out, line.date);
        AppendStateField(out, line.text);
    }
    out += '\n';
}

std::optional<std::vector<std::string>> SplitStateLine(std::string_view line) {
    // An escaped field holds no tab: the line's tabs are its separators.
    std::vector<std::string> fields;
    while (true) {
        const std::size_t tab = line.find('\t');
        std::optional<std::string> field = FieldUnescaped(line.substr(0, tab));
        if (!field) return std::nullopt;
        fields.push_back(std::move(*field));
        if (tab == std::string_view::npos) return fields;
        line.remove_prefix(tab + 1);
    }
}

bool IsStateDate(std::string_view date) {
    if (date.size() != 8) return false;
    for (const char c : date) {
        if (c < '0' || c > '9') return false;
    }
    return true;
}

// Puts one line's fields into `state`; false when they are no line of a state file.
bool TakeStateLine(const std::vector<std::string>& f, SyncState& state) {
    const std::string& kind = f[0];
    if (kind == "token" && f.size() == 2) {
        state.token = f[1];
        return true;
    }
    if (kind == "event-years" && f.size() == 2) {
        state.eventYears = f[1];
        return true;
    }
    if (kind == "day" && f.size() == 5 && IsStateDate(f[1])) {
        state.days[f[1]] = ItemState{.href = f[2], .etag = f[3], .base = f[4]};
        return true;
    }
    if (kind == "pending" && f.size() == 6 && IsStateDate(f[1])) {
        state.pending[f[1]] = PendingDay{.merged = f[5], .theirs = f[4], .etag = f[3], .href = f[2]};
        return true;
    }
    if ((kind == "event" || kind == "pending-event") && f.size() >= 4 && f.size() % 2 == 0 &&
        (f[3] == "0" || f[3] == "1")) {
        const bool pending = kind == "pending-event";
        EventItem item{.etag = f[2], .whole = f[3] == "1", .lines = {}};
        for (std::size_t i = 4; i < f.size(); i += 2) {
            if (!IsStateDate(f[i]) || f[i + 1].find('\n') != std::string::npos) return false;
            item.lines.push_back({f[i], f[i + 1]});
        }
        if (!pending) {
            state.events[f[1]] = std::move(item);
            return true;
        }
        // A pending event's first line field holds whether it is gone, ahead of its lines.
        if (item.lines.empty() || item.lines[0].date != "00000000" ||
            (item.lines[0].text != "gone" && item.lines[0].text != "kept"))
            return false;
        const bool gone = item.lines[0].text == "gone";
        item.lines.erase(item.lines.begin());
        state.pendingEvents[f[1]] = PendingEvent{gone, std::move(item)};
        return true;
    }
    if (kind == "other" && f.size() == 3) {
        state.others[f[1]] = f[2];
        return true;
    }
    return false;
}

}  // namespace

std::string FormatSyncState(const SyncState& state) {
    std::string out(kStateLayout);
    out += "\ntoken";
    AppendStateFields(out, {state.token});
    if (!state.eventYears.empty()) {
        out += "event-years";
        AppendStateFields(out, {state.eventYears});
    }
    for (const auto& [date, item] : state.days) {
        out += "day";
        AppendStateFields(out, {date, item.href, item.etag, item.base});
    }
    for (const auto& [date, day] : state.pending) {
        out += "pending";
        AppendStateFields(out, {date, day.href, day.etag, day.theirs, day.merged});
    }
    for (const auto& [href, item] : state.events) {
        out += "event";
        AppendEventFields(out, href, item, nullptr);
    }
    for (const auto& [href, pending] : state.pendingEvents) {
        out += "pending-event";
        AppendEventFields(out, href, pending.item, &pending.gone);
    }
    for (const auto& [href, etag] : state.others) {
        out += "other";
        AppendStateFields(out, {href, etag});
    }
    return out;
}

std::optional<SyncState> ParseSyncState(std::string_view text) {
    SyncState state;
    bool first = true;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        if (end == std::string_view::npos) return std::nullopt;  // a cut-off file
        const std::string_view line = text.substr(0, end);
        text.remove_prefix(end + 1);
        if (first) {
            if (line != kStateLayout) return std::nullopt;
            first = false;
            continue;
        }
        const auto fields = SplitStateLine(line);
        if (!fields) return std::nullopt;
        if (!TakeStateLine(*fields, state)) return std::nullopt;
    }
    if (first) return std::nullopt;
    return state;
}

std::string StateFolder(const std::string& dataFolder, const std::string& collectionUrl) {
    const std::string velmora = UserFolder("XDG_STATE_HOME", ".local/state");
    if (velmora.empty()) return {};
    std::string key = dataFolder;
    key += '\0';
    key += collectionUrl;
    // A stable hash, so that the folder of a collection never moves.
    return velmora + "/sync/" + StableHashHex(key);
}

std::optional<SyncState> LoadSyncState(const std::string& folder) {
    if (folder.empty()) return std::nullopt;
    WholeFileFault fault = WholeFileFault::None;
    const auto text = ReadWholeFile(AT_FDCWD, folder + "/" + kStateFile,
                                    {.noFollow = true, .ownOnly = true, .maxBytes = kMaxStateFile}, &fault);
    if (!text) {
        if (fault == WholeFileFault::Open && errno == ENOENT) return SyncState{};
        return std::nullopt;
    }
    return ParseSyncState(*text);
}

bool SaveSyncState(const std::string& folder, const SyncState& state) {
    return WriteUserFile(folder, kStateFile, FormatSyncState(state), true);
}

}  // namespace memosync
