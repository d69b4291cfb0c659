#pragma once

#include <sys/types.h>

#include <optional>
#include <string>

// The file in a data folder whose kernel lock a running calendar, or a writing velmora-cal
// command, holds.
inline constexpr const char* kFolderLockFile = ".velmora.lock";

// The kernel lock (flock) on a data folder's lock file, taken without waiting when the object is
// made and held until it goes; it dies with its process too, whatever the file holds. The file
// itself stays: removing it could remove the one a next start has just locked.
class FolderLock {
public:
    enum class State {
        Held,        // this object holds the lock
        Busy,        // another process holds it
        CannotOpen,  // the lock file cannot be opened, or made where there is none
        NotAFile,    // what stands in the lock file's place is no regular file
        CannotLock,  // the file system refuses the lock for another reason
    };

    // Takes the lock of the folder `folder` ("": the current directory). The file is opened
    // read-only (another user's lock file that this user may read locks both alike), made with
    // mode 0600 when missing, never through a symbolic link.
    explicit FolderLock(const std::string& folder = {});
    ~FolderLock();
    FolderLock(FolderLock&& other) noexcept;
    FolderLock& operator=(FolderLock&& other) noexcept;
    FolderLock(const FolderLock&) = delete;
    FolderLock& operator=(const FolderLock&) = delete;

    // Returns whether the lock is held, or why not.
    State GetState() const { return m_state; }
    // Returns true while this object holds the lock.
    bool Held() const { return m_state == State::Held; }
    // Returns the lock file's path as opened: kFolderLockFile, after the folder when one was given.
    const std::string& Path() const { return m_path; }
    // Returns the error (errno) of the call that failed, or 0.
    int Error() const { return m_error; }
    // Returns whether a file stands at the lock file's name after a failed open.
    bool FileExists() const { return m_owner.has_value(); }
    // Returns the owner of the file that could not be opened when it is not this user.
    std::optional<uid_t> ForeignOwner() const;

private:
    void Release();

    std::string m_path;
    int m_fd = -1;
    State m_state = State::CannotOpen;
    int m_error = 0;
    std::optional<uid_t> m_owner;  // of the file that stood there when the open failed
};
