#include "holidays_command.h"

#include "model/holiday_update.h"
#include "model/official_holidays.h"
#include "velmora-cal/folder_lock.h"
#include "velmora-cal/input_file.h"
#include "velmora-cal/messages.h"

#include <cstdio>
#include <optional>

int RunHolidaysUpdate(const std::string& listPath) {
    std::string error;
    const std::optional<std::string> list = cal::ReadInputFile(listPath, kMaxOfficialListBytes, error);
    if (!list) {
        cal::Complain(error);
        return kExitRefused;
    }
    const FolderLock lock;
    if (!lock.Held()) {
        cal::Complain(lock.GetState() == FolderLock::State::Busy
                          ? "a copy of the calendar is running in this folder; close it and try again"
                          : cal::LockRefusal(lock));
        return kExitRefused;
    }

    const HolidayUpdateResult result = UpdateOfficialHolidays(*list);
    for (const std::string& file : result.changedFiles) std::printf("updated %s\n", file.c_str());
    if (!result.backupFolder.empty()) std::printf("old files copied to %s/\n", result.backupFolder.c_str());
    if (!result.ok) {
        std::fprintf(stderr, "velmora-cal: %s%s%s\n",
                     result.errorKind == HolidayUpdateError::BadList ? listPath.c_str() : "",
                     result.errorKind == HolidayUpdateError::BadList ? ": " : "", result.error.c_str());
        return result.errorKind == HolidayUpdateError::WriteFailed ||
                       result.errorKind == HolidayUpdateError::BackupFailed ||
                       result.errorKind == HolidayUpdateError::CannotReplace ||
                       result.errorKind == HolidayUpdateError::UnreadableFile
                   ? kExitFailed
                   : kExitRefused;
    }
    if (result.filesWritten == 0)
        std::printf("the holidays are up to date; nothing changed\n");
    else
        std::printf("%d files written, %d one-year holiday records in them\n", result.filesWritten,
                    result.recordsWritten);
    return kExitOk;
}
