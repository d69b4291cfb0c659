#pragma once

#include "reminders/reminder_list.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The reminders of a data folder as the running calendar sees them: those of its memo store and
// those of the memo file on disk, which another program (an import, a sync) may have changed
// since the calendar read it. Each is read again only when it changed.
class ReminderSource {
public:
    // `memoFile`: the memo file's name in the current directory.
    explicit ReminderSource(std::string memoFile);

    // The memo store may have changed: finds its reminders again.
    void StoreChanged(std::string_view store);
    // Looks at the memo file's status and, when it changed since the last look, reads its
    // reminders again. Returns true when it read.
    bool LookAtFile();
    // Returns the reminders of both, each once, soonest first (of one time: the store's first).
    const std::vector<Reminder>& Reminders() const { return m_all; }

private:
    struct FileMark {
        unsigned long long device = 0, inode = 0;
        long long size = 0, modified = 0, changed = 0;  // times in nanoseconds
        bool operator==(const FileMark&) const = default;
    };
    void Join();

    std::string m_memoFile;
    std::optional<FileMark> m_mark;  // std::nullopt: no file seen yet, or none there
    std::vector<Reminder> m_fromStore, m_fromFile, m_all;
};
