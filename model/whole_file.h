#pragma once

#include <sys/stat.h>
#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// Whole files read and written through the file-system calls (model/file_system_calls.h), so that
// a test can fail any call of any of them.

inline constexpr std::size_t kNoSizeLimit = SIZE_MAX;

// How ReadWholeFile opens and checks a file.
struct WholeFileRules {
    bool noFollow = false;  // never through a symbolic link at the last step of the name
    bool ownOnly = false;   // only a file of this user's
    std::size_t maxBytes = kNoSizeLimit;
};

// Which step kept ReadWholeFile from reading a file.
enum class WholeFileFault {
    None,
    Open,      // the file could not be opened
    NotAFile,  // its status could not be read, or it is no regular file
    NotOwn,    // it is another user's, and the rules ask for one of this user's
    TooLarge,  // it holds more than the rules allow
    Read,      // a read failed, or the bytes do not fit in memory
};

// Returns what can be read from `fd` from where it stands to its end, however long the file grows
// meanwhile (a pipe: until it closes), going on after interrupted reads; `sizeHint` is what the
// caller expects, to be room made at once. std::nullopt with errno set when a read fails, EFBIG
// when more than `maxBytes` come, ENOMEM when they do not fit in memory.
std::optional<std::string> ReadToEnd(int fd, std::size_t maxBytes = kNoSizeLimit, std::size_t sizeHint = 0);

// Returns the whole of the regular file `name` in the folder `folder` (AT_FDCWD: the current
// directory; an absolute name needs none), opened without blocking so that a FIFO in its place
// holds nobody up, and read as ReadToEnd reads; a file larger than the cap is refused by its size
// before a byte is read, and again while reading. std::nullopt otherwise, with `fault` (when
// given) naming the step and errno its error (EPERM for another user's file, EFBIG for one too
// large). `status` (when given) gets the file's status once it is open.
std::optional<std::string> ReadWholeFile(int folder, const std::string& name, const WholeFileRules& rules,
                                         WholeFileFault* fault = nullptr, struct stat* status = nullptr);

// Writes all of `bytes` to `fd`, going on after short and interrupted writes; false with errno set
// when a write fails, EIO when one stores nothing.
bool WriteAll(int fd, std::string_view bytes);

// Writes `bytes` as the new file `name` in the folder `folder` (never over a file that is there,
// never through a link) with the permission bits `mode` less the umask, flushed to disk; false
// with errno set, and nothing left under the name, when any step fails (EEXIST: the name is taken).
bool WriteNewFile(int folder, const std::string& name, std::string_view bytes, mode_t mode);

// Returns the target of the symbolic link `name` in the folder `folder`, however long;
// std::nullopt with errno set when it cannot be read (EINVAL: no link).
std::optional<std::string> ReadLinkAt(int folder, const std::string& name);
