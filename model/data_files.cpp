#include "model/data_files.h"

#include "model/file_notices.h"
#include "model/file_system_calls.h"
#include "model/record.h"
#include "model/save_decision.h"
#include "model/text_file_format.h"
#include "model/whole_file.h"
#include "model/year_calendar.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <ctime>
#include <map>
#include <optional>
#include <utility>
#include <vector>

namespace {

constexpr int kMaxLinkHops = 40;  // as the kernel's own limit on symbolic link chains
constexpr int kMaxTempNameTries = 100;
constexpr int kMaxCopyNameTries = 100;
// O_PATH: a folder that may be searched but not listed (mode 0300) still holds our files.
constexpr int kOpenFolder = O_PATH | O_DIRECTORY | O_CLOEXEC;

// Returns "dir/" of a path, or "" for a name in the current directory.
std::string DirectoryPart(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

std::string BaseName(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// A descriptor closed through the file system calls when it goes; a borrowed one is never closed.
class Descriptor {
public:
    Descriptor() = default;
    explicit Descriptor(int fd) : m_fd(fd) {}
    static Descriptor Borrow(int fd) {
        Descriptor borrowed(fd);
        borrowed.m_owned = false;
        return borrowed;
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    Descriptor(Descriptor&& other) noexcept
        : m_fd(std::exchange(other.m_fd, -1)), m_owned(std::exchange(other.m_owned, true)) {}
    Descriptor& operator=(Descriptor&& other) noexcept {
        if (this != &other) {
            Close();
            m_fd = std::exchange(other.m_fd, -1);
            m_owned = std::exchange(other.m_owned, true);
        }
        return *this;
    }
    ~Descriptor() { Close(); }

    int get() const { return m_fd; }
    bool valid() const { return m_fd >= 0; }
    // Returns what the close returned; 0 for a borrowed or no descriptor.
    int Close() {
        const int fd = std::exchange(m_fd, -1);
        if (fd < 0 || !m_owned) return 0;
        return CurrentFileSystemCalls().closeFile(fd);
    }

private:
    int m_fd = -1;
    bool m_owned = true;
};

FileIdentity IdentityOf(const struct stat& status) {
    return {status.st_dev, status.st_ino,   status.st_size, status.st_mtim,
            status.st_uid, status.st_nlink, status.st_mode};
}

// What the program knows of one data file name since it last read or wrote it.
struct FileRecord {
    bool unreadable = false;         // a file exists that could not be read
    bool resolved = false;           // the name was followed to a folder and a base name
    std::vector<std::string> links;  // the text of each symbolic link followed from the name
    dev_t folderDevice = 0;
    ino_t folderInode = 0;
    std::optional<FileIdentity> file;            // the file read or written; none when none existed
    bool foreign = false;                        // the file read does not look like one of ours
    std::optional<FileIdentity> written;         // the file this program last wrote there
    std::optional<FileIdentity> originalKept;    // the foreign file already copied aside
    std::optional<FileIdentity> foreignNoticed;  // the foreign file already told about
};

struct DataFilesState {
    int folder = -1;  // the data folder: the current directory at the first use
    std::string folderPath;
    std::map<std::string, FileRecord> records;
};

DataFilesState& State() {
    static DataFilesState state;
    return state;
}

// Returns the descriptor of the data folder, opening it at the first use, or -1.
int DataFolder() {
    DataFilesState& state = State();
    if (state.folder >= 0) return state.folder;
    const FileSystemCalls& fs = CurrentFileSystemCalls();
    state.folder = fs.openFile(".", kOpenFolder, 0);
    if (state.folder < 0) return -1;
    std::string path(4096, '\0');
    if (fs.currentDirectory(path.data(), path.size()) != nullptr) state.folderPath = path.substr(0, path.find('\0'));
    return state.folder;
}

// Returns a path to show the user for a path relative to the data folder.
std::string ShownPath(const std::string& path) {
    const std::string& folder = State().folderPath;
    if ((!path.empty() && path[0] == '/') || folder.empty()) return path;
    return folder == "/" ? "/" + path : folder + "/" + path;
}

// Where a data file name leads: the folder and base name of the file that a save replaces,
// after the symbolic links that the user made; the links themselves stay.
struct Resolution {
    Descriptor folder;
    std::string base;
    std::string path;  // the file's path, relative to the data folder unless absolute
    std::vector<std::string> links;
    struct stat folderStatus {};
    std::optional<struct stat> file;  // what stands at the base name; none when nothing does
};

// Whether a symbolic link with this status may be followed: only links of this user, or of root,
// who could write the file anyway. Another user's link in a folder they may write leads wherever
// that user wants, such as to this user's own files.
bool MayFollowLink(const FileSystemCalls& fs, const struct stat& link) {
    return link.st_uid == fs.effectiveUserId() || link.st_uid == 0;
}

// Follows the name from the data folder; std::nullopt with errno set when it cannot, and with
// `foreignLink` set when the way leads through a link that is not ours to follow. A dangling
// link resolves to the name it holds, which a save then creates.
std::optional<Resolution> Resolve(const FileSystemCalls& fs, int dataFolder, const std::string& name,
                                  bool& foreignLink) {
    foreignLink = false;
    Resolution r;
    r.path = name;
    r.base = BaseName(name);
    const std::string directory = DirectoryPart(name);
    r.folder = directory.empty() ? Descriptor::Borrow(dataFolder)
                                 : Descriptor(fs.openAt(dataFolder, directory.c_str(), kOpenFolder, 0));
    for (int hop = 0;; ++hop) {
        if (!r.folder.valid()) return std::nullopt;
        if (r.base.empty() || r.base == "." || r.base == "..") {
            errno = EISDIR;
            return std::nullopt;
        }
        struct stat status {};
        if (fs.statAt(r.folder.get(), r.base.c_str(), &status, AT_SYMLINK_NOFOLLOW) != 0) {
            if (errno != ENOENT) return std::nullopt;
            break;
        }
        if (!S_ISLNK(status.st_mode)) {
            r.file = status;
            break;
        }
        if (!MayFollowLink(fs, status)) {
            foreignLink = true;
            errno = EACCES;
            return std::nullopt;
        }
        if (hop == kMaxLinkHops) {
            errno = ELOOP;
            return std::nullopt;
        }
        const std::optional<std::string> link = ReadLinkAt(r.folder.get(), r.base);
        if (!link) return std::nullopt;
        r.links.push_back(*link);
        r.path = !link->empty() && (*link)[0] == '/' ? *link : DirectoryPart(r.path) + *link;
        r.base = BaseName(*link);
        const std::string linkDirectory = DirectoryPart(*link);
        if (!linkDirectory.empty())
            r.folder = Descriptor(fs.openAt(r.folder.get(), linkDirectory.c_str(), kOpenFolder, 0));
    }
    if (fs.statFile(r.folder.get(), &r.folderStatus) != 0) return std::nullopt;
    return r;
}

bool SameResolution(const FileRecord& record, const Resolution& now) {
    return record.links == now.links && record.folderDevice == now.folderStatus.st_dev &&
           record.folderInode == now.folderStatus.st_ino;
}

void NoteResolution(FileRecord& record, const Resolution& now) {
    record.resolved = true;
    record.links = now.links;
    record.folderDevice = now.folderStatus.st_dev;
    record.folderInode = now.folderStatus.st_ino;
}

// Returns the content of the file at `base` when it is still the inode `expected`.
std::optional<std::string> ReadCurrent(int folder, const std::string& base, const struct stat& expected) {
    struct stat status {};
    std::optional<std::string> bytes = ReadWholeFile(folder, base, {.noFollow = true}, nullptr, &status);
    if (status.st_dev != expected.st_dev || status.st_ino != expected.st_ino) return std::nullopt;
    return bytes;
}

struct TempFile {
    std::string name;
    Descriptor fd;
};

std::optional<TempFile> CreateTempBeside(const FileSystemCalls& fs, int folder, const std::string& base) {
    static unsigned serial = 0;
    const std::string prefix = "." + base + "." + std::to_string(fs.processId()) + "-";
    for (int attempt = 0; attempt < kMaxTempNameTries; ++attempt) {
        TempFile temp;
        temp.name = prefix + std::to_string(++serial) + ".tmp";
        temp.fd = Descriptor(
            fs.openAt(folder, temp.name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666));
        if (temp.fd.valid()) return temp;
        if (errno != EEXIST) return std::nullopt;
    }
    return std::nullopt;
}

// Makes a rename in the folder durable. The new content is already in place when this runs, so a
// failure here does not turn the save into a failure.
// The folder is held with O_PATH, which cannot be synced: a readable descriptor is opened for it.
// Failing here does not fail the save, whose bytes are in place.
void SyncFolder(const FileSystemCalls& fs, int folder) {
    const int readable = fs.openAt(folder, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC, 0);
    if (readable < 0) return;
    fs.syncFile(readable);
    fs.closeFile(readable);
}

// Gives a new file the owner, group and permission bits of the file it stands in for. Where the
// system does not let us give the owner (we are not root), the group alone is tried; where
// neither is allowed, the file stays ours.
bool TakeOverOwnerAndMode(const FileSystemCalls& fs, int fd, const struct stat& old) {
    struct stat now {};
    if (fs.statFile(fd, &now) != 0) return false;
    if (now.st_uid != old.st_uid || now.st_gid != old.st_gid) {
        if (fs.chownFile(fd, old.st_uid, old.st_gid) != 0) {
            if (errno != EPERM) return false;
            if (now.st_gid != old.st_gid && fs.chownFile(fd, static_cast<uid_t>(-1), old.st_gid) != 0 && errno != EPERM)
                return false;
        }
    }
    // After the owner, as a change of owner clears the set-user-ID and set-group-ID bits.
    return fs.chmodFile(fd, old.st_mode & 07777) == 0;
}

// Writes `bytes` as the file `base` in the folder, atomically: a temporary file beside it,
// flushed, then renamed over it. `old` gives owner and mode; a new file gets 0666 minus the umask.
// On success `written` holds the new file's status.
bool ReplaceAtomically(const FileSystemCalls& fs, int folder, const std::string& base, std::string_view bytes,
                       const struct stat* old, struct stat& written) {
    std::optional<TempFile> temp = CreateTempBeside(fs, folder, base);
    if (!temp) return false;
    bool ok = WriteAll(temp->fd.get(), bytes);
    ok = ok && (old == nullptr || TakeOverOwnerAndMode(fs, temp->fd.get(), *old));
    ok = ok && fs.syncFile(temp->fd.get()) == 0 && fs.statFile(temp->fd.get(), &written) == 0;
    const bool closed = temp->fd.Close() == 0;
    ok = ok && closed && fs.renameAt(folder, temp->name.c_str(), folder, base.c_str()) == 0;
    if (!ok) {
        fs.unlinkAt(folder, temp->name.c_str(), 0);
        return false;
    }
    SyncFolder(fs, folder);
    return true;
}

// Writes `bytes` as the new file `name` (never replacing one), flushed, with the owner and mode of
// `old`; removes it again on failure.
bool WriteNewCopy(const FileSystemCalls& fs, int folder, const std::string& name, std::string_view bytes,
                  const struct stat& old) {
    Descriptor fd(fs.openAt(folder, name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
    if (!fd.valid()) return false;
    bool ok = WriteAll(fd.get(), bytes) && TakeOverOwnerAndMode(fs, fd.get(), old) && fs.syncFile(fd.get()) == 0;
    ok = fd.Close() == 0 && ok;
    if (!ok) fs.unlinkAt(folder, name.c_str(), 0);
    return ok;
}

// Keeps the file now at `base` as "<base>.<kind>-YYYYMMDD-HHMMSS" beside it: a second link to its
// inode, or a copy of `content` when one is given (the inode is about to be written in place) or
// when the link cannot be made. Returns the copy's name, or std::nullopt when nothing was kept.
std::optional<std::string> KeepCopy(const FileSystemCalls& fs, int folder, const std::string& base, const char* kind,
                                    const struct stat& current, const std::string* content) {
    const std::string stem = base + "." + kind + "-" + FileTimeStamp();
    std::optional<std::string> bytes;
    if (content != nullptr) bytes = *content;
    for (int attempt = 1; attempt <= kMaxCopyNameTries; ++attempt) {
        const std::string name = attempt == 1 ? stem : stem + "-" + std::to_string(attempt);
        if (!bytes) {
            if (fs.linkAt(folder, base.c_str(), folder, name.c_str(), 0) == 0) return name;
            if (errno == EEXIST) continue;
            // A file system without hard links, or a link count at its limit: copy the bytes.
            bytes = ReadCurrent(folder, base, current);
            if (!bytes) return std::nullopt;
        }
        if (WriteNewCopy(fs, folder, name, *bytes, current)) return name;
        if (errno != EEXIST) return std::nullopt;
    }
    return std::nullopt;
}

// Writes `bytes` into the inode at `base` itself, so that its other hard links see them too;
// first the old content goes to ".<base>.bak" beside it. A write that fails half-way puts the
// old content back as well as it can.
bool WriteInPlace(const FileSystemCalls& fs, int folder, const std::string& base, std::string_view bytes,
                  const std::string& oldBytes, const struct stat& current, struct stat& written) {
    struct stat backup {};
    if (!ReplaceAtomically(fs, folder, "." + base + ".bak", oldBytes, &current, backup)) return false;
    const auto openSame = [&] {
        Descriptor fd(fs.openAt(folder, base.c_str(), O_WRONLY | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC, 0));
        struct stat status {};
        if (fd.valid() &&
            (fs.statFile(fd.get(), &status) != 0 || status.st_dev != current.st_dev || status.st_ino != current.st_ino))
            fd = Descriptor();
        return fd;
    };
    const auto writeWhole = [&](int fd, std::string_view content) {
        return WriteAll(fd, content) && fs.truncateFile(fd, static_cast<off_t>(content.size())) == 0 &&
               fs.syncFile(fd) == 0;
    };
    Descriptor fd = openSame();
    if (!fd.valid()) return false;
    bool ok = writeWhole(fd.get(), bytes) && fs.statFile(fd.get(), &written) == 0;
    ok = fd.Close() == 0 && ok;
    if (!ok) {
        const Descriptor again = openSame();
        if (again.valid()) writeWhole(again.get(), oldBytes);
    }
    return ok;
}

void Refuse(const std::string& name) { RecordFileNotice({FileNoticeKind::SaveRefused, name, ""}); }

// Gathers what a save of the file `record` last saw decides from, now that the name leads to `now`.
SaveFacts FactsOf(const FileSystemCalls& fs, const FileRecord& record, const Resolution& now) {
    SaveFacts facts;
    facts.read = {record.links, record.folderDevice, record.folderInode, record.file};
    facts.foreign = record.foreign;
    facts.originalKept = record.originalKept;
    facts.now = {now.links, now.folderStatus.st_dev, now.folderStatus.st_ino,
                 now.file ? std::optional<FileIdentity>(IdentityOf(*now.file)) : std::nullopt};
    facts.folderOwner = now.folderStatus.st_uid;
    facts.folderMode = now.folderStatus.st_mode;
    facts.user = fs.effectiveUserId();
    const int folder = now.folder.get();
    facts.fileWritable = now.file && fs.accessAt(folder, now.base.c_str(), W_OK, 0) == 0;
    // Asked only where a save would make a new file: a hard-linked file is written in place.
    facts.folderTakesNewFile = (!now.file || now.file->st_nlink <= 1) && fs.accessAt(folder, ".", W_OK | X_OK, 0) == 0;
    return facts;
}

// Makes an unresolved record (a name written before any read, or read where it led nowhere) take
// what stands there now as the file read; false when that is no regular file.
bool TakeAsRead(FileRecord& record, const Resolution& now) {
    if (record.resolved) return true;
    const struct stat* current = now.file ? &*now.file : nullptr;
    if (current != nullptr && !S_ISREG(current->st_mode)) return false;
    NoteResolution(record, now);
    record.file = current != nullptr ? std::optional<FileIdentity>(IdentityOf(*current)) : std::nullopt;
    return true;
}

}  // namespace

std::string YearHolidayFileName(int year) { return std::to_string(year) + "_holi.txt"; }

int WriteTextFile(const std::string& name, std::string_view text) {
    const FileSystemCalls& fs = CurrentFileSystemCalls();
    if (IsUnreadableFile(name)) return 0;
    const int dataFolder = DataFolder();
    if (dataFolder < 0) return 0;
    bool foreignLink = false;
    std::optional<Resolution> now = Resolve(fs, dataFolder, name, foreignLink);
    if (!now) {
        if (foreignLink) Refuse(name);
        return 0;
    }
    const int folder = now->folder.get();
    const struct stat* current = now->file ? &*now->file : nullptr;

    FileRecord& record = State().records[name];
    if (!TakeAsRead(record, *now)) return 0;
    const SavePlan plan = DecideSave(FactsOf(fs, record, *now));
    switch (plan.action) {
    case SaveAction::Replace:
    case SaveAction::InPlace:
        break;
    case SaveAction::Refuse:
        Refuse(name);
        return 0;
    case SaveAction::Fail:
        return 0;
    }

    const std::string bytes = EncodeTextFile(text);
    const bool inPlace = plan.action == SaveAction::InPlace;
    std::optional<std::string> oldBytes;
    if (inPlace || plan.keepOriginal) {
        oldBytes = ReadCurrent(folder, now->base, *current);
        if (!oldBytes) return 0;
    }
    // A foreign file that already holds the new bytes loses nothing when replaced.
    if (plan.keepOriginal && *oldBytes != bytes) {
        const std::optional<std::string> copy =
            KeepCopy(fs, folder, now->base, "orig", *current, inPlace ? &*oldBytes : nullptr);
        if (!copy) return 0;
        record.originalKept = record.file;
        RecordFileNotice({FileNoticeKind::OriginalKept, name, ShownPath(DirectoryPart(now->path) + *copy)});
    }
    if (plan.keepConflict) {
        const std::optional<std::string> copy =
            KeepCopy(fs, folder, now->base, "conflict", *current, inPlace ? &*oldBytes : nullptr);
        if (!copy) return 0;
        RecordFileNotice({FileNoticeKind::ConflictKept, name, ShownPath(DirectoryPart(now->path) + *copy)});
    }

    struct stat written {};
    const bool ok = inPlace ? WriteInPlace(fs, folder, now->base, bytes, *oldBytes, *current, written)
                            : ReplaceAtomically(fs, folder, now->base, bytes, current, written);
    if (!ok) return 0;
    record.file = IdentityOf(written);
    record.written = record.file;
    record.foreign = false;
    return 1;
}

bool CanWriteTextFile(const std::string& name) {
    const FileSystemCalls& fs = CurrentFileSystemCalls();
    if (IsUnreadableFile(name)) return false;
    const int dataFolder = DataFolder();
    if (dataFolder < 0) return false;
    bool foreignLink = false;
    const std::optional<Resolution> now = Resolve(fs, dataFolder, name, foreignLink);
    if (!now) return false;
    const auto it = State().records.find(name);
    FileRecord record = it != State().records.end() ? it->second : FileRecord{};
    if (!TakeAsRead(record, *now)) return false;
    const SaveAction action = DecideSave(FactsOf(fs, record, *now)).action;
    return action == SaveAction::Replace || action == SaveAction::InPlace;
}

std::string ReadTextFile(const std::string& name) {
    const FileSystemCalls& fs = CurrentFileSystemCalls();
    FileRecord& record = State().records[name];
    FileRecord fresh;
    // What this program wrote, kept aside or told about stays known across reads.
    fresh.written = record.written;
    fresh.originalKept = record.originalKept;
    fresh.foreignNoticed = record.foreignNoticed;
    record = std::move(fresh);

    const int dataFolder = DataFolder();
    if (dataFolder < 0) {
        record.unreadable = true;
        return {};
    }
    bool foreignLink = false;
    const std::optional<Resolution> now = Resolve(fs, dataFolder, name, foreignLink);
    if (!now) {
        // A missing folder is an empty store that a save may create; any other failure, another
        // user's link among them, is a file that exists and must not be replaced.
        record.unreadable = foreignLink || errno != ENOENT;
        return {};
    }
    NoteResolution(record, *now);
    if (!now->file) return {};
    // The last step follows no link, so the file read is the one just resolved.
    WholeFileFault fault = WholeFileFault::None;
    struct stat status {};
    const std::optional<std::string> bytes =
        ReadWholeFile(now->folder.get(), now->base, {.noFollow = true}, &fault, &status);
    if (!bytes) {
        // Gone since it was resolved: an empty store, as a missing file is.
        record.unreadable = fault != WholeFileFault::Open || errno != ENOENT;
        return {};
    }
    record.file = IdentityOf(status);
    record.foreign = LooksForeign(*bytes) && !SameContent(record.written, record.file);
    if (record.foreign && !SameContent(record.foreignNoticed, record.file)) {
        record.foreignNoticed = record.file;
        RecordFileNotice({FileNoticeKind::ForeignFileRead, name, ""});
    }
    return DecodeTextFile(*bytes);
}

bool IsUnreadableFile(const std::string& name) {
    const auto& records = State().records;
    const auto it = records.find(name);
    return it != records.end() && it->second.unreadable;
}

bool DataFileChangedOnDisk(const std::string& name) {
    const auto& records = State().records;
    const auto it = records.find(name);
    if (it == records.end() || !it->second.resolved || it->second.unreadable) return false;
    const FileRecord& record = it->second;
    const int dataFolder = DataFolder();
    if (dataFolder < 0) return true;
    bool foreignLink = false;
    const std::optional<Resolution> now = Resolve(CurrentFileSystemCalls(), dataFolder, name, foreignLink);
    if (!now || !SameResolution(record, *now)) return true;
    if (!now->file || !record.file) return now->file.has_value() != record.file.has_value();
    return !SameContent(record.file, IdentityOf(*now->file));
}

void ForgetDataFiles() {
    DataFilesState& state = State();
    // Straight to the system: the calls in use may be a test's failing ones.
    if (state.folder >= 0) ::close(state.folder);
    state.folder = -1;
    state.folderPath.clear();
    state.records.clear();
    ClearFileNotices();
}
