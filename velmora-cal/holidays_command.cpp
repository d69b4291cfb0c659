#include "holidays_command.h"

#include "model/holiday_update.h"
#include "model/official_holidays.h"
#include "velmora-cal/folder_lock.h"
#include "velmora-cal/input_file.h"
#include "velmora-cal/messages.h"

#include <cstdio>
#include <optional>

int RunHolidaysUpdate(const std::string& listPath, const std::string& folder) {
    std::string error;
    const std::optional<std::string> list = cal::ReadInputFile(listPath, kMaxOfficialListBytes, error);
    if (!list) {
        cal::Complain(error);
        return kExitRefused;
    }
    const cal::CommandLock held;
    const FolderLock& lock = held.Lock();
    if (!lock.Held()) {
        cal::Complain(lock.GetState() == FolderLock::State::Busy ? cal::BusyRefusal(false) : cal::LockRefusal(lock));
        return kExitRefused;
    }

    const HolidayUpdateResult result = UpdateOfficialHolidays(*list);
    const bool japanese = cal::JapaneseMessages();
    for (const std::string& file : result.changedFiles)
        std::printf(japanese ? "%s を更新しました\n" : "updated %s\n", file.c_str());
    if (!result.backupFolder.empty())
        std::printf(japanese ? "元のファイルを %s/%s/ にコピーしました\n" : "old files copied to %s/%s/\n",
                    folder.c_str(), result.backupFolder.c_str());
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
        std::printf(japanese ? "%s の祝日はすでに最新です。何も変更していません\n"
                             : "the holidays of %s are up to date; nothing changed\n",
                    folder.c_str());
    else if (japanese)
        std::printf("%s に %d 個のファイルを書き込みました（年ごとの祝日 %d 件）\n", folder.c_str(),
                    result.filesWritten, result.recordsWritten);
    else
        std::printf("%s written in %s, %s in them\n", cal::Counted(result.filesWritten, "file", "files").c_str(),
                    folder.c_str(),
                    cal::Counted(result.recordsWritten, "one-year holiday record", "one-year holiday records").c_str());
    return kExitOk;
}
