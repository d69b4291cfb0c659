#include "model/data_files.h"

#include "model/file_system_calls.h"
#include "model/record.h"
#include "model/text_file_format.h"
#include "model/year_calendar.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <new>
#include <optional>
#include <set>

namespace {

constexpr int kMaxLinkHops = 40;  // as the kernel's own limit on symbolic link chains
constexpr int kMaxTempNameTries = 100;

// Returns "dir/" of a path, or "" for a name in the current directory.
std::string DirectoryPart(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

std::string BaseName(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::optional<std::string> ReadLink(const std::string& path) {
    std::string target(256, '\0');
    for (;;) {
        const ssize_t length = ::readlink(path.c_str(), target.data(), target.size());
        if (length < 0) return std::nullopt;
        if (static_cast<std::size_t>(length) < target.size()) {
            target.resize(static_cast<std::size_t>(length));
            return target;
        }
        target.resize(target.size() * 2);
    }
}

// Follows symbolic links to the file that a save must replace, so that the links themselves stay.
// A dangling link resolves to the file it names, which the save then creates.
std::optional<std::string> ResolveSaveTarget(const std::string& name) {
    std::string path = name;
    for (int hop = 0; hop < kMaxLinkHops; ++hop) {
        struct stat status {};
        if (::lstat(path.c_str(), &status) != 0 || !S_ISLNK(status.st_mode)) return path;
        const std::optional<std::string> link = ReadLink(path);
        if (!link) return std::nullopt;
        path = !link->empty() && (*link)[0] == '/' ? *link : DirectoryPart(path) + *link;
    }
    return std::nullopt;
}

bool WriteAll(const FileSystemCalls& fs, int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t written = fs.writeFile(fd, bytes.data(), bytes.size());
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) return false;
        bytes.remove_prefix(static_cast<std::size_t>(written));
    }
    return true;
}

struct TempFile {
    std::string path;
    int fd = -1;
};

std::optional<TempFile> CreateTempBeside(const FileSystemCalls& fs, const std::string& target) {
    static unsigned serial = 0;
    const std::string prefix =
        DirectoryPart(target) + "." + BaseName(target) + "." + std::to_string(fs.processId()) + "-";
    for (int attempt = 0; attempt < kMaxTempNameTries; ++attempt) {
        TempFile temp;
        temp.path = prefix + std::to_string(++serial) + ".tmp";
        temp.fd = fs.openFile(temp.path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (temp.fd >= 0) return temp;
        if (errno != EEXIST) return std::nullopt;
    }
    return std::nullopt;
}

// Makes the rename itself durable. The new content is already in place when this runs, so a
// failure here does not turn the save into a failure.
void SyncDirectory(const FileSystemCalls& fs, const std::string& target) {
    const std::string directory = DirectoryPart(target);
    const int fd = fs.openFile(directory.empty() ? "." : directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC, 0);
    if (fd < 0) return;
    fs.syncFile(fd);
    fs.closeFile(fd);
}

bool IsWritable(const std::string& path, const struct stat& status) {
    // access() grants everything to root, so a file with no write bit counts as read-only too.
    return (status.st_mode & 0222) != 0 && ::access(path.c_str(), W_OK) == 0;
}

// The same for the directory in which the temporary file and the rename must happen.
bool IsDirectoryWritable(const std::string& target) {
    const std::string directory = DirectoryPart(target);
    struct stat status {};
    if (::stat(directory.empty() ? "." : directory.c_str(), &status) != 0)
        return true;  // the creation of the temporary file gives the real answer
    return (status.st_mode & 0222) != 0;
}

// Files that exist but whose last read failed. Their stores in memory do not hold what the files
// hold, so replacing such a file would lose its content.
std::set<std::string>& UnreadableFiles() {
    static std::set<std::string> files;
    return files;
}

// Keys are absolute, so that the same name in another directory is another file.
std::string FileKey(const std::string& name) {
    if (!name.empty() && name[0] == '/') return name;
    std::string directory(4096, '\0');
    if (::getcwd(directory.data(), directory.size()) == nullptr) return name;
    directory.resize(directory.find('\0'));
    return directory + "/" + name;
}

void NoteReadOutcome(const std::string& name, bool readable) {
    if (readable)
        UnreadableFiles().erase(FileKey(name));
    else
        UnreadableFiles().insert(FileKey(name));
}

// Returns the whole content of an open regular file, or std::nullopt when it cannot be read.
std::optional<std::string> ReadAll(const FileSystemCalls& fs, int fd) {
    struct stat status {};
    // A directory, a FIFO or a device in a data file's place is no store: reading it could block
    // the start-up or never end.
    if (fs.statFile(fd, &status) != 0 || !S_ISREG(status.st_mode)) return std::nullopt;
    try {
        std::string bytes;
        if (status.st_size > 0) bytes.reserve(static_cast<std::size_t>(status.st_size) + 1);
        // The size is only a hint: the file is read to its end, however long it has grown.
        char buffer[64 * 1024];
        for (;;) {
            const ssize_t count = fs.readFile(fd, buffer, sizeof buffer);
            if (count < 0 && errno == EINTR) continue;
            if (count < 0) return std::nullopt;
            if (count == 0) return bytes;
            bytes.append(buffer, static_cast<std::size_t>(count));
        }
    } catch (const std::bad_alloc&) {
        // A file larger than memory cannot be held; it counts as unreadable rather than ending
        // the program.
        return std::nullopt;
    }
}

}  // namespace

std::string YearHolidayFileName(int year) { return std::to_string(year) + "_holi.txt"; }

int WriteTextFile(const std::string& name, std::string_view text) {
    const FileSystemCalls& fs = CurrentFileSystemCalls();
    if (IsUnreadableFile(name)) return 0;
    const std::optional<std::string> target = ResolveSaveTarget(name);
    if (!target || !IsDirectoryWritable(*target)) return 0;

    struct stat status {};
    const bool exists = ::stat(target->c_str(), &status) == 0;
    if (!exists && errno != ENOENT) return 0;
    if (exists && (!S_ISREG(status.st_mode) || !IsWritable(*target, status))) return 0;

    std::optional<TempFile> temp = CreateTempBeside(fs, *target);
    if (!temp) return 0;

    const std::string bytes = EncodeTextFile(text);
    bool ok = WriteAll(fs, temp->fd, bytes) && fs.syncFile(temp->fd) == 0;
    if (ok && exists) ok = fs.chmodFile(temp->fd, status.st_mode & 07777) == 0;
    const bool closed = fs.closeFile(temp->fd) == 0;
    ok = ok && closed && fs.renameFile(temp->path.c_str(), target->c_str()) == 0;
    if (!ok) {
        fs.unlinkFile(temp->path.c_str());
        return 0;
    }
    SyncDirectory(fs, *target);
    return 1;
}

std::string ReadTextFile(const std::string& name) {
    const FileSystemCalls& fs = CurrentFileSystemCalls();
    // Non-blocking, so that opening a FIFO in a file's place returns at once.
    const int fd = fs.openFile(name.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC, 0);
    if (fd < 0) {
        // A missing file is an empty store that a save may create; any other failure is a file
        // that exists and must not be replaced.
        NoteReadOutcome(name, errno == ENOENT);
        return {};
    }
    const std::optional<std::string> bytes = ReadAll(fs, fd);
    fs.closeFile(fd);
    NoteReadOutcome(name, bytes.has_value());
    return bytes ? DecodeTextFile(*bytes) : std::string();
}

bool IsUnreadableFile(const std::string& name) { return UnreadableFiles().count(FileKey(name)) != 0; }

void ForgetUnreadableFiles() { UnreadableFiles().clear(); }

int SaveMemoData() { return WriteTextFile(kMemoFile, g_strMemoData); }

int SaveHolidayData() {
    if (!WriteTextFile(kStaticHolidayFile, g_strStaticHoliday)) return 0;
    if (!WriteTextFile(kDynamicHolidayFile, g_strDynamicHoliday)) return 0;
    return WriteTextFile(YearHolidayFileName(g_YearCalendar.year), g_strYearHoliday);
}

int LoadMemoData() {
    g_strMemoData = ReadTextFile(kMemoFile);
    return g_strMemoData.empty() ? 0 : 1;
}

int LoadHolidayData() {
    g_strStaticHoliday = ReadTextFile(kStaticHolidayFile);
    g_strDynamicHoliday = ReadTextFile(kDynamicHolidayFile);
    g_strYearHoliday = ReadTextFile(YearHolidayFileName(g_YearCalendar.year));
    const bool allFilled = !g_strStaticHoliday.empty() && !g_strDynamicHoliday.empty() && !g_strYearHoliday.empty();
    return allFilled ? 1 : 0;
}
