#include "holidays_command.h"

#include "model/holiday_update.h"
#include "model/official_holidays.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <optional>

namespace {

// The name of the lock file that a running calendar holds in its data folder.
constexpr const char* kLockFileName = ".velmora.lock";

// Takes the calendar's kernel lock on the data folder, as the calendar itself takes it; returns its
// descriptor (held until the program ends), or -1 after telling why on stderr.
int TakeFolderLock() {
    // O_NOFOLLOW: a link planted in a shared folder leads nowhere.
    const int fd = ::open(kLockFileName, O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK, 0600);
    if (fd < 0) {
        std::fprintf(stderr, "velmora-cal: cannot open the lock file %s: %s\n", kLockFileName, std::strerror(errno));
        return -1;
    }
    int result = 0;
    do {
        result = ::flock(fd, LOCK_EX | LOCK_NB);
    } while (result != 0 && errno == EINTR);
    if (result != 0) {
        if (errno == EWOULDBLOCK)
            std::fprintf(stderr,
                         "velmora-cal: a copy of the calendar is running in this folder; close it and try again\n");
        else
            std::fprintf(stderr, "velmora-cal: cannot lock %s: %s\n", kLockFileName, std::strerror(errno));
        ::close(fd);
        return -1;
    }
    return fd;
}

// Returns the whole list file, refusing anything but a regular file of at most the list's size limit
// before reading a byte of it.
std::optional<std::string> ReadList(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        std::fprintf(stderr, "velmora-cal: cannot open %s: %s\n", path.c_str(), std::strerror(errno));
        return std::nullopt;
    }
    struct stat status {};
    if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
        std::fprintf(stderr, "velmora-cal: %s is not a regular file\n", path.c_str());
        ::close(fd);
        return std::nullopt;
    }
    if (static_cast<unsigned long long>(status.st_size) > kMaxOfficialListBytes) {
        std::fprintf(stderr, "velmora-cal: %s: the file is larger than %zu bytes; it is not the official list\n",
                     path.c_str(), kMaxOfficialListBytes);
        ::close(fd);
        return std::nullopt;
    }
    std::string bytes;
    char buffer[64 * 1024];
    for (;;) {
        const ssize_t count = ::read(fd, buffer, sizeof buffer);
        if (count < 0 && errno == EINTR) continue;
        if (count < 0) {
            std::fprintf(stderr, "velmora-cal: cannot read %s: %s\n", path.c_str(), std::strerror(errno));
            ::close(fd);
            return std::nullopt;
        }
        if (count == 0) break;
        bytes.append(buffer, static_cast<std::size_t>(count));
        // A file that grew after the size check is still held to the limit.
        if (bytes.size() > kMaxOfficialListBytes) break;
    }
    ::close(fd);
    return bytes;
}

}  // namespace

int RunHolidaysUpdate(const std::string& listPath) {
    const std::optional<std::string> list = ReadList(listPath);
    if (!list) return kExitRefused;
    const int lock = TakeFolderLock();
    if (lock < 0) return kExitRefused;

    const HolidayUpdateResult result = UpdateOfficialHolidays(*list);
    for (const std::string& file : result.changedFiles) std::printf("updated %s\n", file.c_str());
    if (!result.backupFolder.empty()) std::printf("old files copied to %s/\n", result.backupFolder.c_str());
    if (!result.ok) {
        std::fprintf(stderr, "velmora-cal: %s%s%s\n",
                     result.errorKind == HolidayUpdateError::BadList ? listPath.c_str() : "",
                     result.errorKind == HolidayUpdateError::BadList ? ": " : "", result.error.c_str());
        ::close(lock);
        return result.errorKind == HolidayUpdateError::WriteFailed ||
                       result.errorKind == HolidayUpdateError::BackupFailed ||
                       result.errorKind == HolidayUpdateError::UnreadableFile
                   ? kExitFailed
                   : kExitRefused;
    }
    if (result.filesWritten == 0)
        std::printf("the holidays are up to date; nothing changed\n");
    else
        std::printf("%d files written, %d one-year holiday records in them\n", result.filesWritten,
                    result.recordsWritten);
    ::close(lock);
    return kExitOk;
}
