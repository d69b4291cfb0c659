#include "velmora-cal/import_backup.h"

#include "ical/imported_events.h"
#include "model/data_files.h"
#include "model/file_system_calls.h"
#include "model/model_state.h"
#include "model/record.h"
#include "model/stable_hash.h"
#include "model/text_file_format.h"
#include "model/whole_file.h"
#include "model/year_calendar.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <vector>

namespace cal {
namespace {

constexpr int kMaxBackupNameTries = 100;
// How many imports back --undo reaches: older copies are removed, so that a folder imported into
// every day does not fill with copies of its memo file.
constexpr std::size_t kKeptBackups = 10;
// In each backup folder once the import has written the memo file: its size and hash then.
constexpr const char* kAfterNote = "after-import.txt";

std::optional<std::string> ReadRaw(const std::string& path, bool noFollow) {
    return ReadWholeFile(AT_FDCWD, path, {.noFollow = noFollow});
}

// Returns true when `path` is missing (as opposed to unreadable).
bool Missing(const std::string& path) {
    struct stat status {};
    return CurrentFileSystemCalls().statAt(AT_FDCWD, path.c_str(), &status, 0) != 0 && errno == ENOENT;
}

// Writes `bytes` under `path` whole: a kill leaves the old file or the new one.
bool WriteWhole(const std::string& path, const std::string& bytes) {
    const FileSystemCalls& fs = CurrentFileSystemCalls();
    const std::size_t slash = path.rfind('/');
    const std::string temp = path.substr(0, slash + 1) + "." + path.substr(slash + 1) + ".tmp";
    fs.unlinkAt(AT_FDCWD, temp.c_str(), 0);
    if (WriteNewFile(AT_FDCWD, temp, bytes, 0600) && fs.renameFile(temp.c_str(), path.c_str()) == 0) return true;
    fs.unlinkAt(AT_FDCWD, temp.c_str(), 0);
    return false;
}

// Returns the note of what a memo file holds: its size and an FNV-1a hash of its bytes.
std::string Fingerprint(const std::optional<std::string>& bytes) {
    if (!bytes) return "none\n";
    return std::to_string(bytes->size()) + " " + StableHashHex(*bytes) + "\n";
}

void RemoveBackup(const std::string& folder) {
    const FileSystemCalls& fs = CurrentFileSystemCalls();
    for (const char* name : {kMemoFile, ics::kImportedEventsFile, kAfterNote})
        fs.unlinkAt(AT_FDCWD, (folder + "/" + name).c_str(), 0);
    fs.unlinkAt(AT_FDCWD, folder.c_str(), AT_REMOVEDIR);
}

// Returns the backup folders of this user's imports, oldest first.
std::vector<std::string> Backups() {
    std::vector<std::pair<std::pair<std::string, int>, std::string>> found;
    DIR* folder = ::opendir(".");
    if (folder == nullptr) return {};
    const std::string prefix = kImportBackupPrefix;
    for (const dirent* entry = ::readdir(folder); entry != nullptr; entry = ::readdir(folder)) {
        const std::string name = entry->d_name;
        if (!name.starts_with(prefix)) continue;
        struct stat status {};
        if (CurrentFileSystemCalls().statAt(AT_FDCWD, name.c_str(), &status, AT_SYMLINK_NOFOLLOW) != 0 ||
            !S_ISDIR(status.st_mode) || status.st_uid != CurrentFileSystemCalls().effectiveUserId())
            continue;
        // "YYYYMMDD-HHMMSS", then "-N" for the N-th folder of one second.
        const std::string stamp = name.substr(prefix.size(), 15);
        const std::string more = name.substr(std::min(name.size(), prefix.size() + 16));
        int number = 1;
        if (!more.empty()) {
            if (more.find_first_not_of("0123456789") != std::string::npos || more.size() > 4) continue;
            number = std::stoi(more);
        }
        found.push_back({{stamp, number}, name});
    }
    ::closedir(folder);
    std::sort(found.begin(), found.end());
    std::vector<std::string> names;
    for (auto& [key, name] : found) names.push_back(std::move(name));
    return names;
}

}  // namespace

std::string KeepBeforeImport() {
    const FileSystemCalls& fs = CurrentFileSystemCalls();
    const std::string stem = kImportBackupPrefix + FileTimeStamp();
    std::string folder;
    for (int attempt = 1; attempt <= kMaxBackupNameTries && folder.empty(); ++attempt) {
        const std::string name = attempt == 1 ? stem : stem + "-" + std::to_string(attempt);
        if (fs.mkdirAt(AT_FDCWD, name.c_str(), 0700) == 0)
            folder = name;
        else if (errno != EEXIST)
            return {};
    }
    if (folder.empty()) return {};
    bool ok = true;
    for (const auto& [name, noFollow] :
         {std::pair{std::string(kMemoFile), false}, std::pair{std::string(ics::kImportedEventsFile), true}}) {
        if (Missing(name)) continue;
        const std::optional<std::string> bytes = ReadRaw(name, noFollow);
        ok = bytes && WriteWhole(folder + "/" + name, *bytes);
        if (!ok) break;
    }
    if (!ok) {
        RemoveBackup(folder);
        return {};
    }
    const std::vector<std::string> all = Backups();
    for (std::size_t i = 0; i + kKeptBackups < all.size(); ++i) RemoveBackup(all[i]);
    return folder;
}

bool NoteAfterImport(const std::string& backup) {
    return WriteWhole(backup + "/" + kAfterNote, Fingerprint(ReadRaw(kMemoFile, false)));
}

UndoOutcome UndoLastImport() {
    UndoOutcome outcome;
    std::vector<std::string> backups = Backups();
    for (; !backups.empty(); backups.pop_back()) {
        const std::string& backup = backups.back();
        outcome.backup = backup;
        const std::optional<std::string> now = Missing(kMemoFile) ? std::nullopt : ReadRaw(kMemoFile, false);
        if (!now && !Missing(kMemoFile)) {
            outcome.kind = UndoOutcome::Kind::Failed;
            outcome.error = std::string("cannot read ") + kMemoFile;
            return outcome;
        }
        const std::string copyPath = backup + "/" + kMemoFile;
        const std::optional<std::string> before = Missing(copyPath) ? std::nullopt : ReadRaw(copyPath, true);
        const std::optional<std::string> note = ReadRaw(backup + "/" + kAfterNote, true);
        if (!note) {
            // Stopped before it wrote the memo file: nothing of it to undo.
            if (now == before) {
                RemoveBackup(backup);
                continue;
            }
            outcome.kind = UndoOutcome::Kind::Unfinished;
            return outcome;
        }
        if (*note != Fingerprint(now)) {
            outcome.kind = UndoOutcome::Kind::ChangedSince;
            return outcome;
        }

        // Written back through the model, with the checks and the layout of every save.
        LoadMemoData();
        if (before) {
            g_strMemoData = DecodeTextFile(*before);
            if (SaveMemoData() == 0) {
                outcome.kind = UndoOutcome::Kind::Failed;
                outcome.error = std::string("cannot write ") + kMemoFile;
                return outcome;
            }
        } else if (CurrentFileSystemCalls().unlinkAt(AT_FDCWD, kMemoFile, 0) != 0 && errno != ENOENT) {
            outcome.kind = UndoOutcome::Kind::Failed;
            outcome.error = std::string("cannot remove ") + kMemoFile;
            return outcome;
        }
        const std::string recordCopy = backup + "/" + ics::kImportedEventsFile;
        const std::optional<std::string> record = Missing(recordCopy) ? std::nullopt : ReadRaw(recordCopy, true);
        ReadTextFile(ics::kImportedEventsFile);
        const bool recordBack =
            record ? WriteTextFile(ics::kImportedEventsFile, DecodeTextFile(*record)) != 0
                   : CurrentFileSystemCalls().unlinkAt(AT_FDCWD, ics::kImportedEventsFile, 0) == 0 || errno == ENOENT;
        if (!recordBack) {
            outcome.kind = UndoOutcome::Kind::Failed;
            outcome.error = std::string("cannot write ") + ics::kImportedEventsFile;
            return outcome;
        }
        RemoveBackup(backup);
        outcome.kind = UndoOutcome::Kind::Done;
        return outcome;
    }
    outcome.kind = UndoOutcome::Kind::NoImport;
    outcome.backup.clear();
    return outcome;
}

}  // namespace cal
