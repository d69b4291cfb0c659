#include "holidays_command.h"

#include "model/holiday_update.h"
#include "model/official_holidays.h"
#include "velmora-cal/input_file.h"
#include "velmora-cal/messages.h"

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

}  // namespace

int RunHolidaysUpdate(const std::string& listPath) {
    std::string error;
    const std::optional<std::string> list = cal::ReadInputFile(listPath, kMaxOfficialListBytes, error);
    if (!list) {
        cal::Complain(error);
        return kExitRefused;
    }
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
