#pragma once

#include <sys/stat.h>
#include <sys/types.h>
#include <cstddef>

// The POSIX calls that the model's files go through (the data files, the holiday update and its
// backup, the recovery copies, the drafts, and every whole file read or written with
// model/whole_file.h), so that tests can make any one of them fail. The data files work relative
// to open directory descriptors (the *At calls); the path calls stay for the opening of the data
// folder and for callers that work on plain paths.
struct FileSystemCalls {
    int (*openFile)(const char* path, int flags, mode_t mode);
    ssize_t (*readFile)(int fd, void* buffer, std::size_t count);
    ssize_t (*writeFile)(int fd, const void* buffer, std::size_t count);
    int (*syncFile)(int fd);
    int (*chmodFile)(int fd, mode_t mode);
    int (*closeFile)(int fd);
    int (*renameFile)(const char* from, const char* to);
    int (*unlinkFile)(const char* path);
    int (*statFile)(int fd, struct stat* status);
    pid_t (*processId)();  // names the temporary files of a save
    int (*openAt)(int directory, const char* path, int flags, mode_t mode);
    int (*statAt)(int directory, const char* path, struct stat* status, int flags);
    ssize_t (*readLinkAt)(int directory, const char* path, char* buffer, std::size_t size);
    int (*renameAt)(int fromDirectory, const char* from, int toDirectory, const char* to);
    int (*linkAt)(int fromDirectory, const char* from, int toDirectory, const char* to, int flags);
    int (*unlinkAt)(int directory, const char* path, int flags);
    int (*accessAt)(int directory, const char* path, int mode, int flags);
    int (*chownFile)(int fd, uid_t owner, gid_t group);
    int (*truncateFile)(int fd, off_t length);
    char* (*currentDirectory)(char* buffer, std::size_t size);  // getcwd
    uid_t (*effectiveUserId)();
    int (*mkdirAt)(int directory, const char* path, mode_t mode);
};

// Returns the calls that go straight to the operating system.
FileSystemCalls RealFileSystemCalls();
// Returns the calls in use now.
const FileSystemCalls& CurrentFileSystemCalls();
// Makes the data files use `calls` from now on; for tests.
void SetFileSystemCallsForTesting(const FileSystemCalls& calls);
// Makes the data files use the real calls again.
void ResetFileSystemCalls();

// While it lives, the data files' writes skip each file's flush (fsync), so that many new files
// written at once can be flushed together afterwards; puts back the calls it found.
class UnflushedWrites {
public:
    UnflushedWrites();
    ~UnflushedWrites();
    UnflushedWrites(const UnflushedWrites&) = delete;
    UnflushedWrites& operator=(const UnflushedWrites&) = delete;

private:
    FileSystemCalls m_found;
};
