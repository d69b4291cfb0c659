#include "model/recovery.h"

#include "model/text_file_format.h"
#include "model/year_calendar.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

namespace {

constexpr const char* kUntoldList = ".untold";
constexpr int kMaxNameTries = 100;

std::string Environment(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr && value[0] == '/' ? std::string(value) : std::string();
}

// Creates each missing folder of `path` with mode 0700; returns true when `path` is then a folder.
bool MakeFolders(const std::string& path) {
    for (std::size_t slash = path.find('/', 1);; slash = path.find('/', slash + 1)) {
        const std::string prefix = path.substr(0, slash);
        if (::mkdir(prefix.c_str(), 0700) != 0 && errno != EEXIST) return false;
        if (slash == std::string::npos) break;
    }
    struct stat status {};
    return ::stat(path.c_str(), &status) == 0 && S_ISDIR(status.st_mode);
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

// "/home/u/cal" and "MemoData.txt" give "%2Fhome%2Fu%2Fcal%2FMemoData.txt": the whole path, kept
// readable, in one file name.
std::string EscapedPath(const std::string& folder, const std::string& name) {
    std::string escaped;
    for (const char c : folder + "/" + name) {
        if (c == '/')
            escaped += "%2F";
        else if (c == '%')
            escaped += "%25";
        else
            escaped += c;
    }
    return escaped;
}

bool WriteWhole(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t written = ::write(fd, bytes.data(), bytes.size());
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) return false;
        bytes.remove_prefix(static_cast<std::size_t>(written));
    }
    return true;
}

// Creates a new file for the copy: never one that exists, never through a link.
int CreateNew(const std::string& base, std::string& path) {
    for (int attempt = 0; attempt < kMaxNameTries; ++attempt) {
        path = attempt == 0 ? base : base + "-" + std::to_string(attempt + 1);
        const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (fd >= 0 || errno != EEXIST) return fd;
    }
    return -1;
}

void NoteUntold(const std::string& folder, const std::string& copy) {
    const std::string list = folder + "/" + kUntoldList;
    const int fd = ::open(list.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0) return;
    WriteWhole(fd, copy + "\n");
    ::fsync(fd);
    ::close(fd);
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
    const std::string folder = RecoveryFolder();
    std::string path;
    bool written = false;
    if (!folder.empty() && MakeFolders(folder)) {
        const int fd = CreateNew(folder + "/" + EscapedPath(CurrentFolder(), name) + "." + FileTimeStamp(), path);
        if (fd >= 0) {
            written = WriteWhole(fd, EncodeTextFile(store)) && ::fsync(fd) == 0;
            written = ::close(fd) == 0 && written;
            if (!written) ::unlink(path.c_str());
        }
    }
    if (!written) {
        std::fprintf(stderr, "velmora: %s could not be saved, nor kept in %s: %s\n", name.c_str(),
                     folder.empty() ? "a recovery folder (no HOME)" : folder.c_str(), std::strerror(errno));
        return {};
    }
    NoteUntold(folder, path);
    std::fprintf(stderr, "velmora: %s could not be saved; kept as %s\n", name.c_str(), path.c_str());
    return path;
}

std::vector<std::string> TakeUntoldRecoveryCopies() {
    const std::string folder = RecoveryFolder();
    if (folder.empty()) return {};
    const std::string list = folder + "/" + kUntoldList;
    const int fd = ::open(list.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) return {};
    std::string text;
    char buffer[4096];
    for (ssize_t count; (count = ::read(fd, buffer, sizeof buffer)) > 0;)
        text.append(buffer, static_cast<std::size_t>(count));
    ::close(fd);
    ::unlink(list.c_str());
    std::vector<std::string> copies;
    for (std::size_t start = 0; start < text.size();) {
        const std::size_t end = text.find('\n', start);
        const std::string copy = text.substr(start, end - start);
        struct stat status {};
        if (!copy.empty() && ::stat(copy.c_str(), &status) == 0) copies.push_back(copy);
        if (end == std::string::npos) break;
        start = end + 1;
    }
    return copies;
}
