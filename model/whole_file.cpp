#include "model/whole_file.h"

#include "model/file_system_calls.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <new>

std::optional<std::string> ReadToEnd(int fd, std::size_t maxBytes, std::size_t sizeHint) {
    const FileSystemCalls& fs = CurrentFileSystemCalls();
    try {
        std::string bytes;
        // The hint only makes room: the file is read to its end, however long it has grown.
        if (sizeHint > 0) bytes.reserve(std::min(sizeHint, maxBytes) + 1);
        char buffer[64 * 1024];
        for (;;) {
            const ssize_t count = fs.readFile(fd, buffer, sizeof buffer);
            if (count < 0 && errno == EINTR) continue;
            if (count < 0) return std::nullopt;
            if (count == 0) return bytes;
            if (static_cast<std::size_t>(count) > maxBytes - bytes.size()) {
                errno = EFBIG;
                return std::nullopt;
            }
            bytes.append(buffer, static_cast<std::size_t>(count));
        }
    } catch (const std::bad_alloc&) {
        // A file larger than memory cannot be held; it counts as unreadable rather than ending
        // the program.
        errno = ENOMEM;
        return std::nullopt;
    }
}

std::optional<std::string> ReadWholeFile(int folder, const std::string& name, const WholeFileRules& rules,
                                         WholeFileFault* fault, struct stat* status) {
    const FileSystemCalls& fs = CurrentFileSystemCalls();
    WholeFileFault ignored = WholeFileFault::None;
    WholeFileFault& step = fault != nullptr ? *fault : ignored;
    struct stat own {};
    struct stat& seen = status != nullptr ? *status : own;
    step = WholeFileFault::Open;
    const int fd =
        fs.openAt(folder, name.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | (rules.noFollow ? O_NOFOLLOW : 0), 0);
    if (fd < 0) return std::nullopt;
    std::optional<std::string> bytes;
    // A directory, a FIFO or a device in a file's place holds no file: reading it could block or
    // never end.
    if (fs.statFile(fd, &seen) != 0) {
        step = WholeFileFault::NotAFile;
    } else if (!S_ISREG(seen.st_mode)) {
        step = WholeFileFault::NotAFile;
        errno = EINVAL;
    } else if (rules.ownOnly && seen.st_uid != fs.effectiveUserId()) {
        step = WholeFileFault::NotOwn;
        errno = EPERM;
    } else if (static_cast<unsigned long long>(seen.st_size) > rules.maxBytes) {
        step = WholeFileFault::TooLarge;
        errno = EFBIG;
    } else {
        step = WholeFileFault::Read;
        bytes = ReadToEnd(fd, rules.maxBytes, static_cast<std::size_t>(seen.st_size));
        if (bytes) {
            step = WholeFileFault::None;
        } else if (errno == EFBIG) {
            step = WholeFileFault::TooLarge;
        }
    }
    // A file only read has nothing to lose at its close.
    const int error = errno;
    fs.closeFile(fd);
    errno = error;
    return bytes;
}

bool WriteAll(int fd, std::string_view bytes) {
    const FileSystemCalls& fs = CurrentFileSystemCalls();
    while (!bytes.empty()) {
        const ssize_t written = fs.writeFile(fd, bytes.data(), bytes.size());
        if (written < 0 && errno == EINTR) continue;
        if (written < 0) return false;
        if (written == 0) {
            // A write that stores nothing and reports no error would repeat for ever.
            errno = EIO;
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(written));
    }
    return true;
}

bool WriteNewFile(int folder, const std::string& name, std::string_view bytes, mode_t mode) {
    const FileSystemCalls& fs = CurrentFileSystemCalls();
    const int fd = fs.openAt(folder, name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode);
    if (fd < 0) return false;
    bool ok = WriteAll(fd, bytes) && fs.syncFile(fd) == 0;
    int error = errno;
    // The close of a written file may report a write the kernel could not make.
    if (fs.closeFile(fd) != 0 && ok) {
        ok = false;
        error = errno;
    }
    if (!ok) fs.unlinkAt(folder, name.c_str(), 0);
    errno = error;
    return ok;
}

std::optional<std::string> ReadLinkAt(int folder, const std::string& name) {
    std::string target(256, '\0');
    for (;;) {
        const ssize_t length = CurrentFileSystemCalls().readLinkAt(folder, name.c_str(), target.data(), target.size());
        if (length < 0) return std::nullopt;
        if (static_cast<std::size_t>(length) < target.size()) {
            target.resize(static_cast<std::size_t>(length));
            return target;
        }
        target.resize(target.size() * 2);
    }
}
