#include "model/file_system_calls.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>

namespace {

// Constant-initialised, so the calls are in place before any other static object could use them.
constexpr FileSystemCalls kRealCalls{
    [](const char* path, int flags, mode_t mode) { return ::open(path, flags, mode); },
    [](int fd, void* buffer, std::size_t count) { return ::read(fd, buffer, count); },
    [](int fd, const void* buffer, std::size_t count) { return ::write(fd, buffer, count); },
    [](int fd) { return ::fsync(fd); },
    [](int fd, mode_t mode) { return ::fchmod(fd, mode); },
    [](int fd) { return ::close(fd); },
    [](const char* from, const char* to) { return std::rename(from, to); },
    [](const char* path) { return ::unlink(path); },
    [](int fd, struct stat* status) { return ::fstat(fd, status); },
    [] { return ::getpid(); },
};

constinit FileSystemCalls g_calls = kRealCalls;

}  // namespace

FileSystemCalls RealFileSystemCalls() { return kRealCalls; }

const FileSystemCalls& CurrentFileSystemCalls() { return g_calls; }

void SetFileSystemCallsForTesting(const FileSystemCalls& calls) { g_calls = calls; }

void ResetFileSystemCalls() { g_calls = kRealCalls; }
