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
    [](int directory, const char* path, int flags, mode_t mode) { return ::openat(directory, path, flags, mode); },
    [](int directory, const char* path, struct stat* status, int flags) {
        return ::fstatat(directory, path, status, flags);
    },
    [](int directory, const char* path, char* buffer, std::size_t size) {
        return ::readlinkat(directory, path, buffer, size);
    },
    [](int fromDirectory, const char* from, int toDirectory, const char* to) {
        return ::renameat(fromDirectory, from, toDirectory, to);
    },
    [](int fromDirectory, const char* from, int toDirectory, const char* to, int flags) {
        return ::linkat(fromDirectory, from, toDirectory, to, flags);
    },
    [](int directory, const char* path, int flags) { return ::unlinkat(directory, path, flags); },
    [](int directory, const char* path, int mode, int flags) { return ::faccessat(directory, path, mode, flags); },
    [](int fd, uid_t owner, gid_t group) { return ::fchown(fd, owner, group); },
    [](int fd, off_t length) { return ::ftruncate(fd, length); },
    [](char* buffer, std::size_t size) { return ::getcwd(buffer, size); },
    [] { return ::geteuid(); },
    [](int directory, const char* path, mode_t mode) { return ::mkdirat(directory, path, mode); },
};

constinit FileSystemCalls g_calls = kRealCalls;

}  // namespace

FileSystemCalls RealFileSystemCalls() { return kRealCalls; }

const FileSystemCalls& CurrentFileSystemCalls() { return g_calls; }

void SetFileSystemCallsForTesting(const FileSystemCalls& calls) { g_calls = calls; }

void ResetFileSystemCalls() { g_calls = kRealCalls; }

UnflushedWrites::UnflushedWrites() : m_found(g_calls) {
    g_calls.syncFile = [](int) { return 0; };
}

UnflushedWrites::~UnflushedWrites() { g_calls = m_found; }
