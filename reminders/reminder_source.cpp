#include "reminders/reminder_source.h"

#include "model/whole_file.h"
#include "reminders/reminder_memory.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <set>

namespace {

constexpr std::size_t kMaxMemoFile = std::size_t{256} << 20;

long long Nanoseconds(const timespec& time) {
    return static_cast<long long>(time.tv_sec) * 1000000000LL + time.tv_nsec;
}

}  // namespace

ReminderSource::ReminderSource(std::string memoFile) : m_memoFile(std::move(memoFile)) {}

void ReminderSource::StoreChanged(std::string_view store) {
    m_fromStore = FindReminders(store);
    Join();
}

bool ReminderSource::LookAtFile() {
    struct stat status {};
    std::optional<FileMark> mark;
    if (::stat(m_memoFile.c_str(), &status) == 0) {
        mark = FileMark{status.st_dev, status.st_ino, status.st_size, Nanoseconds(status.st_mtim),
                        Nanoseconds(status.st_ctim)};
    }
    if (mark == m_mark) return false;
    m_mark = mark;
    const auto bytes = mark ? ReadWholeFile(AT_FDCWD, m_memoFile, {.maxBytes = kMaxMemoFile}) : std::nullopt;
    m_fromFile = bytes ? FindReminders(*bytes) : std::vector<Reminder>{};
    Join();
    return true;
}

void ReminderSource::Join() {
    m_all = m_fromStore;
    // The file as the calendar last saved it: nothing to join.
    if (m_fromFile == m_fromStore || m_fromFile.empty()) {
        m_all = SoonestFirst(std::move(m_all));
        return;
    }
    std::set<std::string> seen;
    for (const Reminder& reminder : m_fromStore) seen.insert(ReminderKey({}, reminder));
    for (const Reminder& reminder : m_fromFile) {
        if (seen.insert(ReminderKey({}, reminder)).second) m_all.push_back(reminder);
    }
    m_all = SoonestFirst(std::move(m_all));
}
