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
    AppendStateField(out, state.token);
    out += '\n';
    for (const auto& [date, item] : state.days) {
        out += "day";
        for (const std::string_view field : {std::string_view(date), std::string_view(item.href),
                                             std::string_view(item.etag), std::string_view(item.base)}) {
            AppendStateField(out, field);
        }
        out += '\n';
    }
    for (const auto& [date, day] : state.pending) {
        out += "pending";
        for (const std::string_view field :
             {std::string_view(date), std::string_view(day.href), std::string_view(day.etag),
              std::string_view(day.theirs), std::string_view(day.merged)}) {
            AppendStateField(out, field);
        }
        out += '\n';
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
        const auto& f = *fields;
        if (f[0] == "token" && f.size() == 2) {
            state.token = f[1];
        } else if (f[0] == "day" && f.size() == 5 && IsStateDate(f[1])) {
            state.days[f[1]] = ItemState{.href = f[2], .etag = f[3], .base = f[4]};
        } else if (f[0] == "pending" && f.size() == 6 && IsStateDate(f[1])) {
            state.pending[f[1]] = PendingDay{.merged = f[5], .theirs = f[4], .etag = f[3], .href = f[2]};
        } else {
            return std::nullopt;
        }
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
