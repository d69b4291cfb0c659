#include "model/folder_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

FolderLock::FolderLock(const std::string& folder)
    : m_path(folder.empty() || folder.ends_with('/') ? folder + kFolderLockFile : folder + "/" + kFolderLockFile) {
    // O_NOFOLLOW: a link planted in a shared folder leads nowhere. The file is only locked, never
    // written, so whatever it holds or whichever file it is cannot be harmed, and reading is
    // enough. Non-blocking, so that a FIFO in its place does not hold the start.
    m_fd = ::open(m_path.c_str(), O_RDONLY | O_CREAT | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK, 0600);
    if (m_fd < 0) {
        m_error = errno;
        struct stat status {};
        if (::lstat(m_path.c_str(), &status) == 0) m_owner = status.st_uid;
        m_state = State::CannotOpen;
        return;
    }
    struct stat status {};
    const bool looked = ::fstat(m_fd, &status) == 0;
    if (!looked || !S_ISREG(status.st_mode)) {
        m_error = looked ? 0 : errno;
        m_state = State::NotAFile;
        Release();
        return;
    }
    int result = 0;
    do {
        result = ::flock(m_fd, LOCK_EX | LOCK_NB);
    } while (result != 0 && errno == EINTR);
    if (result != 0) {
        m_error = errno;
        m_state = m_error == EWOULDBLOCK ? State::Busy : State::CannotLock;
        Release();
        return;
    }
    m_state = State::Held;
}

FolderLock::~FolderLock() { Release(); }

FolderLock::FolderLock(FolderLock&& other) noexcept
    : m_path(std::move(other.m_path)),
      m_fd(std::exchange(other.m_fd, -1)),
      m_state(std::exchange(other.m_state, State::CannotOpen)),
      m_error(other.m_error),
      m_owner(other.m_owner) {}

FolderLock& FolderLock::operator=(FolderLock&& other) noexcept {
    if (this != &other) {
        Release();
        m_path = std::move(other.m_path);
        m_fd = std::exchange(other.m_fd, -1);
        m_state = std::exchange(other.m_state, State::CannotOpen);
        m_error = other.m_error;
        m_owner = other.m_owner;
    }
    return *this;
}

std::optional<uid_t> FolderLock::ForeignOwner() const {
    if (m_owner && *m_owner != ::geteuid()) return m_owner;
    return std::nullopt;
}

void FolderLock::Release() {
    // Closing the last descriptor of the open file gives up its lock.
    if (m_fd >= 0) ::close(std::exchange(m_fd, -1));
}
