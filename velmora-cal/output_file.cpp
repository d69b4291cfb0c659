#include "velmora-cal/output_file.h"

#include "model/data_files.h"
#include "model/file_system_calls.h"
#include "model/whole_file.h"
#include "velmora-cal/exit_status.h"
#include "velmora-cal/messages.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <optional>
#include <random>
#include <utility>

namespace cal {
namespace {

// Whether the file `base` of the folder is one of the calendar's data files of the current folder:
// a data file's name in the data folder itself, or the same file as one of them under any name.
bool IsDataFile(const struct stat& folder, const std::string& base, const struct stat* file) {
    std::vector<std::string> names = {kMemoFile, kStaticHolidayFile, kDynamicHolidayFile};
    const std::size_t digits = base.find_first_not_of("-0123456789");
    if (digits > 0 && digits != std::string::npos && base.substr(digits) == "_holi.txt") names.push_back(base);
    struct stat here {};
    if (::stat(".", &here) == 0 && here.st_dev == folder.st_dev && here.st_ino == folder.st_ino &&
        std::find(names.begin(), names.end(), base) != names.end())
        return true;
    return file != nullptr && std::any_of(names.begin(), names.end(), [file](const std::string& name) {
               struct stat data {};
               return ::stat(name.c_str(), &data) == 0 && data.st_dev == file->st_dev && data.st_ino == file->st_ino;
           });
}

constexpr int kMaxLinkHops = 40;  // as the kernel's own limit on symbolic link chains
constexpr int kMaxTempNameTries = 100;

std::string Reason(const std::string& what) { return what + ": " + std::strerror(errno); }

// A descriptor closed when it goes.
class Fd {
public:
    explicit Fd(int fd = -1) : m_fd(fd) {}
    Fd(Fd&& other) noexcept : m_fd(std::exchange(other.m_fd, -1)) {}
    Fd& operator=(Fd&& other) noexcept {
        std::swap(m_fd, other.m_fd);
        return *this;
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    ~Fd() {
        if (m_fd >= 0) ::close(m_fd);
    }
    int get() const { return m_fd; }
    int release() { return std::exchange(m_fd, -1); }

private:
    int m_fd;
};

std::pair<std::string, std::string> SplitPath(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) return {".", path};
    return {slash == 0 ? "/" : path.substr(0, slash), path.substr(slash + 1)};
}

// Creates a new temporary file beside `base` in the folder, never through a link; its name goes
// to `name`.
Fd CreateTemp(int folder, const std::string& base, std::string& name) {
    static constexpr char kLetters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    std::random_device seed;
    std::mt19937 random(seed());
    std::uniform_int_distribution<std::size_t> pick(0, sizeof kLetters - 2);
    for (int attempt = 0; attempt < kMaxTempNameTries; ++attempt) {
        name = "." + base + ".";
        for (int i = 0; i < 6; ++i) name += kLetters[pick(random)];
        Fd fd(CurrentFileSystemCalls().openAt(folder, name.c_str(),
                                              O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
        if (fd.get() >= 0 || errno != EEXIST) return fd;
    }
    return Fd();
}

}  // namespace

WriteResult WriteFileAtomically(const std::string& path, const std::string& bytes, const OutputVeto& veto,
                                std::string& error) {
    auto [folderPath, base] = SplitPath(path);
    // The kernel follows the links of the folder part, under its own rules for shared folders;
    // the last step is followed here, and only through links of this user or root.
    Fd folder(::open(folderPath.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
    struct stat file {};
    bool exists = false;
    for (int hop = 0;; ++hop) {
        if (folder.get() < 0) {
            error = Reason("cannot open the folder of " + path);
            return WriteResult::Failed;
        }
        if (base.empty() || base == "." || base == "..") {
            error = path + ": not a file name";
            return WriteResult::Failed;
        }
        if (::fstatat(folder.get(), base.c_str(), &file, AT_SYMLINK_NOFOLLOW) != 0) {
            if (errno != ENOENT) {
                error = Reason("cannot look at " + path);
                return WriteResult::Failed;
            }
            break;
        }
        if (!S_ISLNK(file.st_mode)) {
            exists = true;
            break;
        }
        if (file.st_uid != ::geteuid() && file.st_uid != 0) {
            error = path + ": a symbolic link of user id " + std::to_string(file.st_uid) + " leads there; not followed";
            return WriteResult::Refused;
        }
        const std::optional<std::string> link = hop < kMaxLinkHops ? ReadLinkAt(folder.get(), base) : std::nullopt;
        if (!link) {
            if (hop >= kMaxLinkHops) errno = ELOOP;
            error = Reason("cannot follow " + path);
            return WriteResult::Failed;
        }
        const std::size_t slash = link->rfind('/');
        base = slash == std::string::npos ? *link : link->substr(slash + 1);
        if (slash != std::string::npos)
            folder = Fd(::openat(folder.get(), slash == 0 ? "/" : link->substr(0, slash).c_str(),
                                 O_PATH | O_DIRECTORY | O_CLOEXEC));
    }
    struct stat folderStatus {};
    if (::fstat(folder.get(), &folderStatus) != 0) {
        error = Reason("cannot look at the folder of " + path);
        return WriteResult::Failed;
    }
    if (exists && !S_ISREG(file.st_mode)) {
        error = path + ": not a regular file";
        return WriteResult::Failed;
    }
    if (veto) {
        const std::string reason = veto(folderStatus, base, exists ? &file : nullptr);
        if (!reason.empty()) {
            error = reason;
            return WriteResult::Refused;
        }
    }
    mode_t mode = 0;
    if (exists) {
        mode = file.st_mode & 07777;
    } else {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        mode = 0666 & ~mask;
    }
    std::string temp;
    Fd fd = CreateTemp(folder.get(), base, temp);
    if (fd.get() < 0) {
        error = Reason("cannot create a temporary file beside " + path);
        return WriteResult::Failed;
    }
    const FileSystemCalls& fs = CurrentFileSystemCalls();
    std::string failure;
    if (!WriteAll(fd.get(), bytes))
        failure = Reason("cannot write " + temp);
    else if (fs.chmodFile(fd.get(), mode) != 0)
        failure = Reason("cannot set the permissions of " + temp);
    else if (fs.syncFile(fd.get()) != 0)
        failure = Reason("cannot flush " + temp);
    if (fs.closeFile(fd.release()) != 0 && failure.empty()) failure = Reason("cannot close " + temp);
    // The rename replaces the name itself: whatever was put there meanwhile is not followed.
    if (failure.empty() && fs.renameAt(folder.get(), temp.c_str(), folder.get(), base.c_str()) != 0)
        failure = Reason("cannot replace " + path);
    if (!failure.empty()) {
        fs.unlinkAt(folder.get(), temp.c_str(), 0);
        error = failure;
        return WriteResult::Failed;
    }
    // The rename itself is made durable by flushing the folder.
    const int readable = fs.openAt(folder.get(), ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC, 0);
    if (readable >= 0) {
        fs.syncFile(readable);
        fs.closeFile(readable);
    }
    return WriteResult::Written;
}

OutputVeto DataFilesVeto(const std::string& shownName) {
    return [shownName](const struct stat& folder, const std::string& base, const struct stat* existing) {
        return IsDataFile(folder, base, existing)
                   ? shownName + Tr(" is a data file of the calendar; choose another name",
                                    " はカレンダーのデータファイルです。別の名前を指定してください")
                   : std::string();
    };
}

int ExitStatusOfWrite(WriteResult result, const std::string& error) {
    switch (result) {
    case WriteResult::Written:
        return kExitOk;
    case WriteResult::Refused:
        Complain(error);
        return kExitRefused;
    case WriteResult::Failed:
        break;
    }
    Complain(error);
    return kExitFailed;
}

}  // namespace cal
