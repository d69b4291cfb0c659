#include "velmora-cal/folder_lock.h"

#include "model/folder_holder.h"

#include "velmora-cal/messages.h"

#include <cstring>
#include <optional>

namespace cal {

CommandLock::CommandLock() {
    // Without the note the calendar still stays out; it only says less about why.
    if (m_lock.Held()) WriteFolderHolder({});
}

CommandLock::~CommandLock() {
    // The note goes while the lock is still held, so that it never names a command that has let go.
    if (m_lock.Held()) RemoveFolderHolder({});
}

std::string LockRefusal(const FolderLock& lock) {
    const std::string why = std::strerror(lock.Error());
    switch (lock.GetState()) {
    case FolderLock::State::CannotOpen: {
        const std::optional<uid_t> owner = lock.ForeignOwner();
        return std::string("cannot open the lock file ") + kFolderLockFile +
               (owner ? " of user id " + std::to_string(*owner) : std::string()) + " (" + why + "); nothing changed";
    }
    case FolderLock::State::NotAFile:
        return std::string("the lock file ") + kFolderLockFile + " is not a regular file; nothing changed";
    case FolderLock::State::Busy:
    case FolderLock::State::CannotLock:
        return std::string("cannot lock ") + kFolderLockFile + ": " + why;
    case FolderLock::State::Held:
        break;
    }
    return {};
}

std::string BusyRefusal(bool nothingChanged) {
    const std::string tail = nothingChanged ? Tr("; nothing changed", "。何も変更していません") : std::string();
    if (const std::optional<FolderHolder> holder = ReadFolderHolder({}))
        return Tr("another velmora-cal (process ", "別の velmora-cal（プロセス番号 ") + std::to_string(holder->pid) +
               Tr(") is changing the files of this folder; try again when it has ended",
                  "）がこのフォルダのファイルを書き換えています。終わってからやり直してください") +
               tail;
    return Tr("a copy of the calendar is running in this folder; close it and try again",
              "このフォルダでカレンダーが動いています。終了してからやり直してください") +
           tail;
}

}  // namespace cal
