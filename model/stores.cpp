#include "model/stores.h"

#include "model/data_files.h"
#include "model/record.h"
#include "model/recovery.h"
#include "model/year_calendar.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <map>
#include <optional>

namespace {

// Holiday stores that could not be written, by file name. They stand in for their files: a rebuild
// reads the holidays again, and must not bring back the old file over an edit the user sees.
std::map<std::string, std::string>& Unsaved() {
    static std::map<std::string, std::string> stores;
    return stores;
}

// What each holiday file held when it was last read or written.
std::map<std::string, std::string>& OnDisk() {
    static std::map<std::string, std::string> stores;
    return stores;
}

std::vector<std::string_view> SortedRecords(std::string_view store) {
    std::vector<std::string_view> records;
    while (!store.empty()) records.push_back(CutRecord(store));
    std::sort(records.begin(), records.end());
    return records;
}

// Returns true when `store` holds a record (counted with its repeats) that the file does not.
bool GainsRecords(const std::string& name, const std::string& store) {
    const auto known = OnDisk().find(name);
    if (known == OnDisk().end()) return !store.empty();
    const std::vector<std::string_view> now = SortedRecords(store);
    const std::vector<std::string_view> before = SortedRecords(known->second);
    return !std::includes(before.begin(), before.end(), now.begin(), now.end());
}

std::string ReadHolidayFile(const std::string& name) {
    const auto unsaved = Unsaved().find(name);
    if (unsaved != Unsaved().end()) return unsaved->second;
    std::string store = ReadTextFile(name);
    OnDisk()[name] = store;
    return store;
}

bool IsDataFileName(std::string_view file) {
    if (file == kMemoFile || file == kStaticHolidayFile || file == kDynamicHolidayFile) return true;
    return file.ends_with("_holi.txt") && file.size() > 9 &&
           file.substr(0, file.size() - 9).find_first_not_of("-0123456789") == std::string_view::npos;
}

// Returns true for ".<file>.<pid>-<serial>.tmp", the name of a save's temporary file, where <file>
// is a data file or the backup copy ".<data file>.bak" that a hard-linked file's save writes first.
bool IsTempFileName(std::string_view name) {
    if (!name.starts_with('.') || !name.ends_with(".tmp")) return false;
    name.remove_prefix(1);
    name.remove_suffix(4);
    const std::size_t dot = name.rfind('.');
    if (dot == std::string_view::npos) return false;
    std::string_view file = name.substr(0, dot);
    const std::string_view serial = name.substr(dot + 1);
    if (file.starts_with('.') && file.ends_with(".bak")) file = file.substr(1, file.size() - 5);
    return IsDataFileName(file) && !serial.empty() && serial.find_first_not_of("-0123456789") == std::string_view::npos;
}

// What the memo file held when it was last read or written, and whether the saves since then
// failed and the user was told.
struct MemoFileState {
    std::optional<std::string> onDisk;  // none before the first read or write: an empty store then
    bool failing = false;
    bool failureTaken = false;
};

MemoFileState& MemoFile() {
    static MemoFileState state;
    return state;
}

void NoteMemoSave(bool saved) {
    MemoFileState& memo = MemoFile();
    if (saved) {
        memo.onDisk = g_strMemoData;
        memo.failing = false;
        memo.failureTaken = false;
    } else {
        memo.failing = true;
    }
}

struct PendingWrite {
    std::string name;
    std::string store;
};

}  // namespace

std::vector<std::string> UnsavedHolidayFiles() {
    std::vector<std::string> names;
    for (const auto& [name, store] : Unsaved()) names.push_back(name);
    return names;
}

int RemoveLeftoverTempFiles() {
    DIR* folder = ::opendir(".");
    if (folder == nullptr) return 0;
    int removed = 0;
    while (const dirent* entry = ::readdir(folder)) {
        if (!IsTempFileName(entry->d_name)) continue;
        struct stat status {};
        // Only a plain file of this user: never a link, never another user's file in a shared folder.
        if (::fstatat(::dirfd(folder), entry->d_name, &status, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(status.st_mode) ||
            status.st_uid != ::geteuid())
            continue;
        if (::unlinkat(::dirfd(folder), entry->d_name, 0) == 0) ++removed;
    }
    ::closedir(folder);
    return removed;
}

void StandInForTableFiles() {
    Unsaved()[kStaticHolidayFile] = g_strStaticHoliday;
    Unsaved()[kDynamicHolidayFile] = g_strDynamicHoliday;
}

void StandInForHolidayFile(const std::string& name, const std::string& store) { Unsaved()[name] = store; }

void ForgetHolidayFileStates() {
    Unsaved().clear();
    OnDisk().clear();
}

int SaveMemoData() {
    const int saved = WriteTextFile(kMemoFile, g_strMemoData);
    NoteMemoSave(saved != 0);
    return saved;
}

bool MemoDataUnsaved() {
    const std::optional<std::string>& onDisk = MemoFile().onDisk;
    return onDisk ? *onDisk != g_strMemoData : !g_strMemoData.empty();
}

int SaveMemoDataIfChanged() { return MemoDataUnsaved() ? SaveMemoData() : 1; }

bool TakeFirstMemoSaveFailure() {
    MemoFileState& memo = MemoFile();
    if (!memo.failing || memo.failureTaken) return false;
    memo.failureTaken = true;
    return true;
}

void ForgetMemoFileState() { MemoFile() = MemoFileState{}; }

// A record that moves from one file to another (a holiday whose kind changed) is first written to
// the file that gains it, so that a kill between two files leaves it in at least one. The fixed-date
// file goes last among the gaining ones: an empty fixed-date file makes the next start fill in the
// built-in table again, so a first start cut short is completed then. One-year stores of other
// years that could not be written before are written too.
int SaveHolidayData() {
    std::vector<PendingWrite> files = {{kDynamicHolidayFile, g_strDynamicHoliday},
                                       {YearHolidayFileName(g_YearCalendar.year), g_strYearHoliday}};
    for (const auto& [name, store] : Unsaved()) {
        if (name != kStaticHolidayFile && name != kDynamicHolidayFile && name != files[1].name)
            files.push_back({name, store});
    }
    std::vector<PendingWrite> order;
    for (const PendingWrite& file : files) {
        if (GainsRecords(file.name, file.store)) order.push_back(file);
    }
    order.push_back({kStaticHolidayFile, g_strStaticHoliday});
    for (const PendingWrite& file : files) {
        if (!GainsRecords(file.name, file.store)) order.push_back(file);
    }

    // After the first failure nothing more is written: a file that loses a record must not be
    // written while the file that gains it could not be.
    bool failed = false;
    for (PendingWrite& write : order) {
        if (!failed && WriteTextFile(write.name, write.store)) {
            Unsaved().erase(write.name);
            OnDisk()[write.name] = std::move(write.store);
        } else {
            failed = true;
            // A store that the file holds already is not lost; any other stands in for its file.
            const auto known = OnDisk().find(write.name);
            if (known != OnDisk().end() && known->second == write.store)
                Unsaved().erase(write.name);
            else
                Unsaved()[write.name] = std::move(write.store);
        }
    }
    return failed ? 0 : 1;
}

int LoadMemoData() {
    g_strMemoData = ReadTextFile(kMemoFile);
    MemoFile().onDisk = g_strMemoData;
    return g_strMemoData.empty() ? 0 : 1;
}

int LoadHolidayData() {
    g_strStaticHoliday = ReadHolidayFile(kStaticHolidayFile);
    g_strDynamicHoliday = ReadHolidayFile(kDynamicHolidayFile);
    g_strYearHoliday = ReadHolidayFile(YearHolidayFileName(g_YearCalendar.year));
    const bool allFilled = !g_strStaticHoliday.empty() && !g_strDynamicHoliday.empty() && !g_strYearHoliday.empty();
    return allFilled ? 1 : 0;
}

int SaveMemoDataOrRecover() {
    if (SaveMemoDataIfChanged()) return 1;
    WriteRecoveryCopy(kMemoFile, g_strMemoData);
    return 0;
}

int SaveHolidayDataOrRecover() {
    if (SaveHolidayData()) return 1;
    for (const auto& [name, store] : Unsaved()) WriteRecoveryCopy(name, store);
    return 0;
}
