#include "reminders/reminder_memory.h"

#include "model/field_escape.h"
#include "model/private_file.h"

#include <cstdlib>
#include <vector>

namespace {

constexpr std::string_view kMemoryHeader = "velmora reminders 1\n";
constexpr const char* kMemoryFile = "reminders";

std::vector<std::string_view> SplitTabs(std::string_view line) {
    std::vector<std::string_view> fields;
    while (true) {
        const std::size_t tab = line.find('\t');
        fields.push_back(line.substr(0, tab));
        if (tab == std::string_view::npos) return fields;
        line.remove_prefix(tab + 1);
    }
}

// The folder field, the first of a key: keys of one folder begin with it and a tab.
std::string FolderPrefix(std::string_view folder) {
    std::string prefix;
    AppendFieldEscaped(prefix, folder);
    return prefix + '\t';
}

}  // namespace

std::string ReminderKey(std::string_view folder, const Reminder& reminder) {
    std::string key = FolderPrefix(folder);
    key += ReminderDate(reminder);
    key += '\t';
    key += ReminderClock(reminder);
    key += '\t';
    AppendFieldEscaped(key, reminder.line);
    return key;
}

std::string ReminderMemoryBytes(const ReminderMemory& memory) {
    std::string out(kMemoryHeader);
    for (const std::string& key : memory.told) out += "T\t" + key + '\n';
    for (const auto& [key, when] : memory.snoozes) out += "S\t" + std::to_string(when) + '\t' + key + '\n';
    return out;
}

ReminderMemory ParseReminderMemory(std::string_view bytes) {
    ReminderMemory memory;
    if (!bytes.starts_with(kMemoryHeader)) return memory;
    bytes.remove_prefix(kMemoryHeader.size());
    while (!bytes.empty()) {
        const std::size_t end = bytes.find('\n');
        const std::string_view line = bytes.substr(0, end);
        bytes.remove_prefix(end == std::string_view::npos ? bytes.size() : end + 1);
        // A key has four fields: folder, day, time, line.
        const std::vector<std::string_view> fields = SplitTabs(line);
        if (fields.size() == 5 && fields[0] == "T") {
            memory.told.emplace(line.substr(2));
        } else if (fields.size() == 6 && fields[0] == "S") {
            char* numberEnd = nullptr;
            const std::string number(fields[1]);
            const long long when = std::strtoll(number.c_str(), &numberEnd, 10);
            if (number.empty() || *numberEnd != '\0') continue;
            memory.snoozes[std::string(line.substr(3 + number.size()))] = static_cast<std::time_t>(when);
        }
    }
    return memory;
}

void ForgetToldBefore(ReminderMemory& memory, std::string_view firstKept) {
    std::erase_if(memory.told, [firstKept](const std::string& key) {
        const std::vector<std::string_view> fields = SplitTabs(key);
        return fields.size() < 2 || fields[1] < firstKept;
    });
}

namespace {

ReminderMemory WholeMemoryFile() {
    const auto bytes = ReadUserFile(UserFolder("XDG_STATE_HOME", ".local/state"), kMemoryFile);
    return bytes ? ParseReminderMemory(*bytes) : ReminderMemory{};
}

}  // namespace

ReminderMemory LoadReminderMemory(std::string_view folder) {
    const std::string prefix = FolderPrefix(folder);
    ReminderMemory memory = WholeMemoryFile();
    std::erase_if(memory.told, [&prefix](const std::string& key) { return !key.starts_with(prefix); });
    std::erase_if(memory.snoozes, [&prefix](const auto& entry) { return !entry.first.starts_with(prefix); });
    return memory;
}

bool SaveReminderMemory(const ReminderMemory& memory, std::string_view folder) {
    const std::string prefix = FolderPrefix(folder);
    ReminderMemory merged = WholeMemoryFile();
    const auto ours = [&prefix](const std::string& key) { return key.starts_with(prefix); };
    std::erase_if(merged.snoozes, [&ours](const auto& entry) { return ours(entry.first); });
    std::erase_if(merged.told, ours);
    merged.snoozes.insert(memory.snoozes.begin(), memory.snoozes.end());
    merged.told.insert(memory.told.begin(), memory.told.end());
    return WriteUserFile(UserFolder("XDG_STATE_HOME", ".local/state"), kMemoryFile, ReminderMemoryBytes(merged), true);
}
