#include "model/memo_draft_file.h"

#include "model/file_system_calls.h"
#include "model/whole_file.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <utility>

namespace {

constexpr int kMaxTempNameTries = 100;
constexpr std::size_t kLongestDraft = std::size_t{256} * 1024 * 1024;  // far beyond any text typed or pasted

std::string AbsoluteEnvironment(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr && value[0] == '/' ? std::string(value) : std::string();
}

// Closes the descriptor when it goes.
class ScopedFd {
public:
    explicit ScopedFd(int fd) : m_fd(fd) {}
    ScopedFd(const ScopedFd&) = delete;
    ScopedFd& operator=(const ScopedFd&) = delete;
    ~ScopedFd() {
        if (m_fd >= 0) ::close(m_fd);
    }
    int get() const { return m_fd; }

private:
    int m_fd;
};

// Creates each missing folder of `path` with mode 0700.
void MakeFolders(const std::string& path) {
    for (std::size_t slash = path.find('/', 1);; slash = path.find('/', slash + 1)) {
        ::mkdir(path.substr(0, slash).c_str(), 0700);
        if (slash == std::string::npos) return;
    }
}

// Opens the draft folder, when it is a folder of this user's own (never through a link at its
// last step), narrowed to 0700 when it was looser; -1 otherwise. Another user's folder is never
// written in: that user could read or remove the drafts.
int OpenDraftFolder(bool create) {
    const std::string folder = DraftFolder();
    if (folder.empty()) return -1;
    if (create) MakeFolders(folder);
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) return -1;
    struct stat status {};
    if (::fstat(fd, &status) != 0 || !S_ISDIR(status.st_mode) || status.st_uid != ::geteuid() ||
        ((status.st_mode & 077) != 0 && ::fchmod(fd, 0700) != 0)) {
        ::close(fd);
        return -1;
    }
    return fd;
}

std::string TempPrefix(const std::string& name) { return "." + name + "."; }

// Removes this user's plain files named as the temporary files of the draft `name`.
void RemoveLeftoverTemps(int folder, const std::string& name) {
    const int listing = ::openat(folder, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (listing < 0) return;
    DIR* entries = ::fdopendir(listing);
    if (entries == nullptr) {
        ::close(listing);
        return;
    }
    const std::string prefix = TempPrefix(name);
    while (const dirent* entry = ::readdir(entries)) {
        const std::string_view entryName = entry->d_name;
        if (!entryName.starts_with(prefix) || !entryName.ends_with(".tmp")) continue;
        struct stat status {};
        if (::fstatat(folder, entry->d_name, &status, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(status.st_mode) &&
            status.st_uid == ::geteuid())
            ::unlinkat(folder, entry->d_name, 0);
    }
    ::closedir(entries);
}

}  // namespace

std::string DraftFolder() {
    std::string state = AbsoluteEnvironment("XDG_STATE_HOME");
    if (state.empty()) {
        const std::string home = AbsoluteEnvironment("HOME");
        if (home.empty()) return {};
        state = home + "/.local/state";
    }
    return state + "/velmora";
}

std::string CurrentDataFolderPath() {
    std::string path(4096, '\0');
    if (::getcwd(path.data(), path.size()) == nullptr) return {};
    path.resize(path.find('\0'));
    return path;
}

bool WriteMemoDraft(int year, int month, int day, std::string_view text) {
    const std::string dataFolder = CurrentDataFolderPath();
    const ScopedFd folder(OpenDraftFolder(true));
    if (dataFolder.empty() || folder.get() < 0) return false;
    const std::string name = DraftFileName(dataFolder);
    const std::string bytes = DraftFileBytes({dataFolder, year, month, day, std::string(text)});
    const FileSystemCalls& fs = CurrentFileSystemCalls();
    static unsigned serial = 0;
    for (int attempt = 0; attempt < kMaxTempNameTries; ++attempt) {
        const std::string temp =
            TempPrefix(name) + std::to_string(fs.processId()) + "-" + std::to_string(++serial) + ".tmp";
        if (!WriteNewFile(folder.get(), temp, bytes, 0600)) {
            if (errno == EEXIST) continue;
            return false;
        }
        if (fs.renameAt(folder.get(), temp.c_str(), folder.get(), name.c_str()) != 0) {
            fs.unlinkAt(folder.get(), temp.c_str(), 0);
            return false;
        }
        fs.syncFile(folder.get());
        return true;
    }
    return false;
}

bool RemoveMemoDraft() {
    const std::string dataFolder = CurrentDataFolderPath();
    const ScopedFd folder(OpenDraftFolder(false));
    if (dataFolder.empty() || folder.get() < 0) return true;  // no folder, so no draft in it
    const FileSystemCalls& fs = CurrentFileSystemCalls();
    if (fs.unlinkAt(folder.get(), DraftFileName(dataFolder).c_str(), 0) != 0) return errno == ENOENT;
    fs.syncFile(folder.get());
    return true;
}

std::optional<MemoDraft> ReadMemoDraft() {
    const std::string dataFolder = CurrentDataFolderPath();
    const ScopedFd folder(OpenDraftFolder(false));
    if (dataFolder.empty() || folder.get() < 0) return std::nullopt;
    const std::string name = DraftFileName(dataFolder);
    RemoveLeftoverTemps(folder.get(), name);
    const std::optional<std::string> bytes =
        ReadWholeFile(folder.get(), name, {.noFollow = true, .ownOnly = true, .maxBytes = kLongestDraft});
    if (!bytes) return std::nullopt;
    return ParseDraftFile(*bytes);
}
