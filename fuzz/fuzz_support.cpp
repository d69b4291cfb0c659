#include "fuzz/fuzz_support.h"

#include "model/data_files.h"
#include "model/file_system_calls.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace fuzz {
namespace {

struct OpenFile {
    std::string path;
    std::string bytes;
    std::size_t position = 0;
    bool writing = false;
    bool directory = false;
};

struct MemoryFiles {
    std::map<std::string, std::string> files;
    std::map<int, OpenFile> open;
    int nextFd = 1000;
    std::vector<std::size_t> chunks;
    std::size_t nextChunk = 0;
};

MemoryFiles& Files() {
    static MemoryFiles files;
    return files;
}

int OpenMemoryFile(const char* path, int flags, mode_t) {
    MemoryFiles& fs = Files();
    OpenFile file;
    file.path = path;
    if ((flags & O_DIRECTORY) != 0) {
        file.directory = true;
    } else {
        const auto it = fs.files.find(path);
        if ((flags & O_CREAT) != 0 && (flags & O_EXCL) != 0 && it != fs.files.end()) {
            errno = EEXIST;
            return -1;
        }
        if (it == fs.files.end() && (flags & O_CREAT) == 0) {
            errno = ENOENT;
            return -1;
        }
        file.writing = (flags & O_ACCMODE) != O_RDONLY;
        if (it != fs.files.end() && !file.writing) file.bytes = it->second;
        if (it == fs.files.end()) fs.files[path];
    }
    const int fd = fs.nextFd++;
    fs.open.emplace(fd, std::move(file));
    return fd;
}

ssize_t ReadMemoryFile(int fd, void* buffer, std::size_t count) {
    MemoryFiles& fs = Files();
    const auto it = fs.open.find(fd);
    if (it == fs.open.end()) {
        errno = EBADF;
        return -1;
    }
    if (!fs.chunks.empty()) {
        const std::size_t chunk = fs.chunks[fs.nextChunk++ % fs.chunks.size()];
        if (chunk == 0) {
            errno = EINTR;
            return -1;
        }
        count = std::min(count, chunk);
    }
    OpenFile& file = it->second;
    const std::size_t n = std::min(count, file.bytes.size() - file.position);
    file.bytes.copy(static_cast<char*>(buffer), n, file.position);
    file.position += n;
    return static_cast<ssize_t>(n);
}

ssize_t WriteMemoryFile(int fd, const void* buffer, std::size_t count) {
    const auto it = Files().open.find(fd);
    if (it == Files().open.end() || !it->second.writing) {
        errno = EBADF;
        return -1;
    }
    it->second.bytes.append(static_cast<const char*>(buffer), count);
    return static_cast<ssize_t>(count);
}

int CloseMemoryFile(int fd) {
    MemoryFiles& fs = Files();
    const auto it = fs.open.find(fd);
    if (it == fs.open.end()) {
        errno = EBADF;
        return -1;
    }
    if (it->second.writing) fs.files[it->second.path] = it->second.bytes;
    fs.open.erase(it);
    return 0;
}

int RenameMemoryFile(const char* from, const char* to) {
    MemoryFiles& fs = Files();
    const auto it = fs.files.find(from);
    if (it == fs.files.end()) {
        errno = ENOENT;
        return -1;
    }
    std::string bytes = std::move(it->second);
    fs.files.erase(it);
    fs.files[to] = std::move(bytes);
    return 0;
}

int UnlinkMemoryFile(const char* path) {
    if (Files().files.erase(path) == 0) {
        errno = ENOENT;
        return -1;
    }
    return 0;
}

int StatMemoryFile(int fd, struct stat* status) {
    const auto it = Files().open.find(fd);
    if (it == Files().open.end()) {
        errno = EBADF;
        return -1;
    }
    *status = {};
    status->st_mode = it->second.directory ? S_IFDIR | 0755 : S_IFREG | 0644;
    status->st_size = static_cast<off_t>(it->second.bytes.size());
    status->st_nlink = 1;
    return 0;
}

// One flat folder: the calls relative to a folder ignore it, and "." is the folder itself.
int OpenMemoryFileAt(int, const char* path, int flags, mode_t mode) {
    if (std::string_view(path) == "." || std::string_view(path) == "./") flags |= O_DIRECTORY;
    return OpenMemoryFile(path, flags, mode);
}

int StatMemoryFileAt(int, const char* path, struct stat* status, int) {
    const auto it = Files().files.find(path);
    if (it == Files().files.end()) {
        errno = ENOENT;
        return -1;
    }
    *status = {};
    status->st_mode = S_IFREG | 0644;
    status->st_size = static_cast<off_t>(it->second.size());
    status->st_nlink = 1;
    return 0;
}

int LinkMemoryFile(int, const char* from, int, const char* to, int) {
    MemoryFiles& fs = Files();
    const auto it = fs.files.find(from);
    if (it == fs.files.end()) {
        errno = ENOENT;
        return -1;
    }
    if (fs.files.count(to) != 0) {
        errno = EEXIST;
        return -1;
    }
    fs.files[to] = it->second;
    return 0;
}

int TruncateMemoryFile(int fd, off_t length) {
    const auto it = Files().open.find(fd);
    if (it == Files().open.end() || !it->second.writing) {
        errno = EBADF;
        return -1;
    }
    it->second.bytes.resize(static_cast<std::size_t>(length));
    return 0;
}

}  // namespace

void UseMemoryFiles() {
    // The data files hold descriptors of the files dropped here.
    ForgetDataFiles();
    MemoryFiles& fs = Files();
    fs.files.clear();
    fs.open.clear();
    fs.chunks.clear();
    fs.nextChunk = 0;
    FileSystemCalls calls = RealFileSystemCalls();
    calls.openFile = OpenMemoryFile;
    calls.readFile = ReadMemoryFile;
    calls.writeFile = WriteMemoryFile;
    calls.syncFile = [](int) { return 0; };
    calls.chmodFile = [](int, mode_t) { return 0; };
    calls.closeFile = CloseMemoryFile;
    calls.renameFile = RenameMemoryFile;
    calls.unlinkFile = UnlinkMemoryFile;
    calls.statFile = StatMemoryFile;
    calls.openAt = OpenMemoryFileAt;
    calls.statAt = StatMemoryFileAt;
    calls.readLinkAt = [](int, const char*, char*, std::size_t) -> ssize_t {
        errno = EINVAL;  // no file held is a link
        return -1;
    };
    calls.renameAt = [](int, const char* from, int, const char* to) { return RenameMemoryFile(from, to); };
    calls.linkAt = LinkMemoryFile;
    calls.unlinkAt = [](int, const char* path, int) { return UnlinkMemoryFile(path); };
    calls.accessAt = [](int, const char*, int, int) { return 0; };
    calls.chownFile = [](int, uid_t, gid_t) { return 0; };
    calls.truncateFile = TruncateMemoryFile;
    calls.currentDirectory = [](char* buffer, std::size_t size) -> char* {
        if (size < 8) return nullptr;
        return std::strcpy(buffer, "/memory");
    };
    // The same temporary names in every run, so that what a fuzz run explores depends on its seed.
    calls.processId = [] { return pid_t{1}; };
    SetFileSystemCallsForTesting(calls);
}

void PutFile(const std::string& path, std::string_view bytes) { Files().files[path] = std::string(bytes); }

bool GetFile(const std::string& path, std::string& bytes) {
    const auto it = Files().files.find(path);
    if (it == Files().files.end()) return false;
    bytes = it->second;
    return true;
}

std::vector<std::string> FileNames() {
    std::vector<std::string> names;
    for (const auto& [name, bytes] : Files().files) names.push_back(name);
    return names;
}

void SetReadChunks(std::vector<std::size_t> sizes) {
    Files().chunks = std::move(sizes);
    Files().nextChunk = 0;
}

void Fail(const char* what, std::string_view detail) {
    std::fprintf(stderr, "invariant broken: %s\n", what);
    if (!detail.empty()) {
        std::fprintf(stderr, "detail (%zu bytes):", detail.size());
        for (const char c : detail.substr(0, 256)) std::fprintf(stderr, " %02X", static_cast<unsigned char>(c));
        std::fprintf(stderr, "\n");
    }
    std::abort();
}

std::size_t FindDelimiter(std::string_view text, std::string_view delimiters) {
    for (std::size_t i = 0; i < text.size(); ++i) {
        const unsigned char byte = static_cast<unsigned char>(text[i]);
        if ((byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC))
            ++i;  // a lead byte: the next byte is its second byte
        else if (delimiters.find(static_cast<char>(byte)) != std::string_view::npos)
            return i;
    }
    return std::string_view::npos;
}

int DaysInMonth(long long yearSince1900, int month) {
    static constexpr int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const long long year = yearSince1900 + 1900;
    const bool leap = year % 4 == 0 && (year % 100 != 0 || year % 400 == 0);
    return month == 1 && leap ? 29 : kDays[month];
}

int WeekdayOfFirst(long long yearSince1900, int month) {
    // Days since 1970-01-01 of a proleptic Gregorian date, on the March-based year.
    long long year = yearSince1900 + 1900;
    const long long m = month + 1;
    year -= m <= 2 ? 1 : 0;
    const long long era = (year >= 0 ? year : year - 399) / 400;
    const long long yearOfEra = year - era * 400;
    const long long dayOfYear = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5;
    const long long dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    const long long days = era * 146097 + dayOfEra - 719468;
    // 1970-01-01 was a Thursday.
    return static_cast<int>(((days + 4) % 7 + 7) % 7);
}

}  // namespace fuzz
