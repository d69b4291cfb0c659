#include "model/recovery.h"

#include "model/file_system_calls.h"
#include "model/own_folder.h"
#include "model/text_file_format.h"
#include "model/whole_file.h"
#include "model/year_calendar.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cinttypes>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <optional>

namespace {

constexpr const char* kUntoldList = ".untold";
// The list of untold copies in a folder that took a copy in place of the recovery folder.
constexpr const char* kFallbackUntoldList = ".velmora-untold";
// Names a copy kept in the home folder, where it must say what it is.
constexpr const char* kHomeCopyPrefix = "velmora-recovery-";
constexpr int kMaxNameTries = 100;
constexpr std::size_t kMaxNameBytes = 255;  // the longest file name Linux file systems take

std::string Environment(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr && value[0] == '/' ? std::string(value) : std::string();
}

// The data folder's path, even when the folder has been deleted meanwhile (the kernel then adds
// " (deleted)", which the copy's name keeps as a hint).
std::string CurrentFolder() {
    std::string path(4096, '\0');
    const ssize_t length = ::readlink("/proc/self/cwd", path.data(), path.size());
    if (length > 0) {
        path.resize(static_cast<std::size_t>(length));
        return path;
    }
    if (::getcwd(path.data(), path.size()) != nullptr) return path.substr(0, path.find('\0'));
    return "unknown-folder";
}

std::string Escaped(const std::string& text) {
    std::string escaped;
    for (const char c : text) {
        if (c == '/')
            escaped += "%2F";
        else if (c == '%')
            escaped += "%25";
        else
            escaped += c;
    }
    return escaped;
}

// "/home/u/cal" and "MemoData.txt" give "%2Fhome%2Fu%2Fcal%2FMemoData.txt": the whole path, kept
// readable, in one file name. A path too long for `budget` bytes keeps its start, cut between two
// characters, then "~", a hash of the whole path and the file's name, so that the name still fits
// and still tells copies of different folders apart.
std::string EscapedPath(const std::string& folder, const std::string& name, std::size_t budget) {
    const std::string whole = Escaped(folder + "/" + name);
    if (whole.size() <= budget) return whole;
    std::uint64_t hash = 1469598103934665603ULL;  // FNV-1a
    for (const char c : folder + "/" + name) {
        hash ^= static_cast<unsigned char>(c);
        hash *= 1099511628211ULL;
    }
    char hex[24];
    std::snprintf(hex, sizeof hex, "~%016" PRIx64, hash);
    const std::string tail = hex + Escaped("/" + name);
    std::string head = Escaped(folder);
    std::size_t cut = budget > tail.size() ? std::min(head.size(), budget - tail.size()) : 0;
    // Never inside an escape or a UTF-8 character.
    if (cut >= 1 && head[cut - 1] == '%') cut -= 1;
    if (cut >= 2 && head[cut - 2] == '%') cut -= 2;
    while (cut > 0 && cut < head.size() && (static_cast<unsigned char>(head[cut]) & 0xC0) == 0x80) --cut;
    return head.substr(0, cut) + tail;
}

// Writes `bytes` to a new file `stem` (or "stem-2", ...) in the folder: never one that exists,
// never through a link; returns its name there, or "" with errno set.
std::string WriteNew(int folder, const std::string& stem, std::string_view bytes) {
    for (int attempt = 0; attempt < kMaxNameTries; ++attempt) {
        const std::string name = attempt == 0 ? stem : stem + "-" + std::to_string(attempt + 1);
        if (WriteNewFile(folder, name, bytes, 0600)) return name;
        if (errno != EEXIST) return {};
    }
    errno = EEXIST;
    return {};
}

void NoteUntold(int folder, const char* list, const std::string& copy) {
    const FileSystemCalls& fs = CurrentFileSystemCalls();
    const int fd = fs.openAt(folder, list, O_WRONLY | O_CREAT | O_APPEND | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0) return;
    WriteAll(fd, copy + "\n");
    fs.syncFile(fd);
    fs.closeFile(fd);
}

// The places a recovery copy may go, in the order they are tried.
enum class PlaceKind { Recovery, DataFolder, Home };
struct Place {
    PlaceKind kind;
    std::string path;  // the folder
};

std::vector<Place> Places() {
    std::vector<Place> places;
    if (const std::string folder = RecoveryFolder(); !folder.empty()) places.push_back({PlaceKind::Recovery, folder});
    // The data folder itself, beside the file that could not be written, then the home folder.
    places.push_back({PlaceKind::DataFolder, CurrentFolder()});
    if (const std::string home = Environment("HOME"); !home.empty()) places.push_back({PlaceKind::Home, home});
    return places;
}

const char* ListName(const Place& place) {
    return place.kind == PlaceKind::Recovery ? kUntoldList : kFallbackUntoldList;
}

// Opens the place's folder when it is one of this user's (the recovery folder made when
// missing); the data folder only while it is the current directory still.
int OpenPlace(const Place& place, bool create, std::string& problem) {
    const bool recovery = place.kind == PlaceKind::Recovery;
    const int fd =
        OpenOwnFolder(place.path, recovery ? FolderUse::Private : FolderUse::OwnFiles, recovery && create, problem);
    if (fd < 0 || place.kind != PlaceKind::DataFolder) return fd;
    struct stat here {};
    struct stat there {};
    if (::stat(".", &here) == 0 && ::fstat(fd, &there) == 0 && here.st_dev == there.st_dev &&
        here.st_ino == there.st_ino)
        return fd;
    ::close(fd);
    problem = place.path + ": not the data folder";
    return -1;
}

}  // namespace

std::string RecoveryFolder() {
    std::string state = Environment("XDG_STATE_HOME");
    if (state.empty()) {
        const std::string home = Environment("HOME");
        if (home.empty()) return {};
        state = home + "/.local/state";
    }
    return state + "/velmora/recovery";
}

std::string WriteRecoveryCopy(const std::string& name, std::string_view store) {
    const std::string bytes = EncodeTextFile(store);
    const std::string stamp = FileTimeStamp();
    const std::string folder = CurrentFolder();
    // Room for "." and the time, and "-100" when that name is taken.
    const std::size_t room = kMaxNameBytes - stamp.size() - 5;
    std::string problems;
    for (const Place& place : Places()) {
        std::string problem;
        const int fd = OpenPlace(place, true, problem);
        std::string copy;
        if (fd >= 0) {
            // In the recovery folder the name says where the file belongs; beside the file its own
            // name is enough; in the home folder it also says what it is.
            std::string stem;
            switch (place.kind) {
            case PlaceKind::Recovery:
                stem = EscapedPath(folder, name, room) + "." + stamp;
                break;
            case PlaceKind::DataFolder:
                stem = name + ".recovery-" + stamp;
                break;
            case PlaceKind::Home:
                stem = kHomeCopyPrefix + EscapedPath(folder, name, room - std::strlen(kHomeCopyPrefix)) + "." + stamp;
                break;
            }
            copy = WriteNew(fd, stem, bytes);
            if (copy.empty()) problem = place.path + ": " + std::strerror(errno);
        }
        if (!copy.empty()) {
            const std::string path = place.path + (place.path == "/" ? "" : "/") + copy;
            NoteUntold(fd, ListName(place), path);
            ::close(fd);
            std::fprintf(stderr, "velmora: %s could not be saved; kept as %s\n", name.c_str(), path.c_str());
            return path;
        }
        if (fd >= 0) ::close(fd);
        problems += (problems.empty() ? "" : "; ") + problem;
    }
    std::fprintf(stderr, "velmora: %s could not be saved, nor kept in a recovery copy (%s)\n", name.c_str(),
                 problems.c_str());
    return {};
}

std::vector<std::string> TakeUntoldRecoveryCopies() {
    std::vector<std::string> copies;
    for (const Place& place : Places()) {
        std::string problem;
        const int folder = OpenPlace(place, false, problem);
        if (folder < 0) continue;
        // Only a list of this user's own counts: anyone else's could name any file. A list that
        // cannot be read now stays, to be told at a later start.
        const std::optional<std::string> list =
            ReadWholeFile(folder, ListName(place), {.noFollow = true, .ownOnly = true});
        if (list) CurrentFileSystemCalls().unlinkAt(folder, ListName(place), 0);
        ::close(folder);
        if (!list) continue;
        const std::string& text = *list;
        for (std::size_t start = 0; start < text.size();) {
            const std::size_t end = text.find('\n', start);
            const std::string copy = text.substr(start, end - start);
            if (!copy.empty() && ::access(copy.c_str(), F_OK) == 0) copies.push_back(copy);
            if (end == std::string::npos) break;
            start = end + 1;
        }
    }
    return copies;
}
