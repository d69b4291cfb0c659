#include "sync/state.h"

#include "model/file_system_calls.h"
#include "model/own_folder.h"
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
    for (const char c : field) {
        switch (c) {
        case '\\':
            out += "\\\\";
            break;
        case '\t':
            out += "\\t";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        default:
            out += c;
        }
    }
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
    std::vector<std::string> fields(1);
    for (std::size_t i = 0; i < line.size(); ++i) {
        const char c = line[i];
        if (c == '\t') {
            fields.emplace_back();
        } else if (c != '\\') {
            fields.back() += c;
        } else {
            if (++i == line.size()) return std::nullopt;
            switch (line[i]) {
            case '\\':
                fields.back() += '\\';
                break;
            case 't':
                fields.back() += '\t';
                break;
            case 'n':
                fields.back() += '\n';
                break;
            case 'r':
                fields.back() += '\r';
                break;
            default:
                return std::nullopt;
            }
        }
    }
    return fields;
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

std::string AbsoluteStateVariable(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr && value[0] == '/' ? std::string(value) : std::string();
}

// FNV-1a: stable across builds and machines, so the folder of a collection never moves.
std::uint64_t StableHash(std::string_view bytes) {
    std::uint64_t hash = 14695981039346656037ULL;
    for (const char c : bytes) {
        hash ^= static_cast<unsigned char>(c);
        hash *= 1099511628211ULL;
    }
    return hash;
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
    std::string base = AbsoluteStateVariable("XDG_STATE_HOME");
    if (base.empty()) {
        const std::string home = AbsoluteStateVariable("HOME");
        if (home.empty()) return {};
        base = home + "/.local/state";
    }
    std::string key = dataFolder;
    key += '\0';
    key += collectionUrl;
    char hex[17];
    std::snprintf(hex, sizeof hex, "%016llx", static_cast<unsigned long long>(StableHash(key)));
    return base + "/velmora/sync/" + hex;
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
    if (folder.empty()) return false;
    std::string problem;
    const int path = OpenOwnFolder(folder, FolderUse::Private, true, problem);
    if (path < 0) return false;
    // The O_PATH descriptor checked the way there; files are made through a real one.
    const int fd = ::openat(path, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    ::close(path);
    if (fd < 0) return false;
    const std::string bytes = FormatSyncState(state);
    const FileSystemCalls& fs = CurrentFileSystemCalls();
    bool written = false;
    for (int attempt = 0; attempt < kStateTempTries && !written; ++attempt) {
        const std::string temp = ".state." + std::to_string(fs.processId()) + "-" + std::to_string(attempt) + ".tmp";
        if (!WriteNewFile(fd, temp, bytes, 0600)) {
            if (errno == EEXIST) continue;
            break;
        }
        if (fs.renameAt(fd, temp.c_str(), fd, kStateFile) != 0) {
            fs.unlinkAt(fd, temp.c_str(), 0);
            break;
        }
        fs.syncFile(fd);
        written = true;
    }
    ::close(fd);
    return written;
}

}  // namespace memosync
