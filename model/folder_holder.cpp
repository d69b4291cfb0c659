#include "model/folder_holder.h"

#include "model/file_system_calls.h"
#include "model/whole_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>

namespace {

constexpr const char* kProgram = "velmora-cal";

std::string InFolder(const std::string& folder, const std::string& name) {
    return folder.empty() ? name : folder + (folder.ends_with('/') ? "" : "/") + name;
}

}  // namespace

bool WriteFolderHolder(const std::string& folder) {
    const FileSystemCalls& fs = CurrentFileSystemCalls();
    const std::string note = std::string(kProgram) + "\n" + std::to_string(::getpid()) + "\n";
    const std::string temp = InFolder(folder, std::string(".") + kFolderHolderFile + "." + std::to_string(::getpid()));
    const std::string path = InFolder(folder, kFolderHolderFile);
    fs.unlinkAt(AT_FDCWD, temp.c_str(), 0);
    // Renamed into place, so that a reader finds the old note or the new one, never half of one.
    if (!WriteNewFile(AT_FDCWD, temp, note, 0644)) return false;
    if (fs.renameFile(temp.c_str(), path.c_str()) == 0) return true;
    fs.unlinkAt(AT_FDCWD, temp.c_str(), 0);
    return false;
}

void RemoveFolderHolder(const std::string& folder) {
    CurrentFileSystemCalls().unlinkAt(AT_FDCWD, InFolder(folder, kFolderHolderFile).c_str(), 0);
}

std::optional<FolderHolder> ReadFolderHolder(const std::string& folder) {
    const std::optional<std::string> note =
        ReadWholeFile(AT_FDCWD, InFolder(folder, kFolderHolderFile), {.noFollow = true, .maxBytes = 64});
    if (!note) return std::nullopt;
    const std::string expected = std::string(kProgram) + "\n";
    if (!note->starts_with(expected) || !note->ends_with('\n')) return std::nullopt;
    const std::string digits = note->substr(expected.size(), note->size() - expected.size() - 1);
    if (digits.empty() || digits.size() > 9 || digits.find_first_not_of("0123456789") != std::string::npos)
        return std::nullopt;
    const pid_t pid = static_cast<pid_t>(std::stol(digits));
    // A note left by a command that was killed names a process that is gone (or, rarely, another
    // one: the calendar removes the note whenever it takes the lock itself).
    if (pid <= 0 || (::kill(pid, 0) != 0 && errno != EPERM)) return std::nullopt;
    return FolderHolder{kProgram, pid};
}
