#include "velmora-cal/folder_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

namespace cal {
namespace {

// The name of the lock file that a running calendar holds in its data folder.
constexpr const char* kLockFileName = ".velmora.lock";

std::string Reason(const std::string& what) { return what + ": " + std::strerror(errno); }

bool WriteAll(int fd, const std::string& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t count = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (count < 0 && errno == EINTR) continue;
        if (count <= 0) return false;
        done += static_cast<std::size_t>(count);
    }
    return true;
}

}  // namespace

int TakeFolderLock(std::string& error, bool& busy) {
    busy = false;
    // O_NOFOLLOW: a link planted in a shared folder leads nowhere.
    const int fd = ::open(kLockFileName, O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK, 0600);
    if (fd < 0) {
        error = Reason(std::string("cannot open the lock file ") + kLockFileName);
        return -1;
    }
    int result = 0;
    do {
        result = ::flock(fd, LOCK_EX | LOCK_NB);
    } while (result != 0 && errno == EINTR);
    if (result != 0) {
        busy = errno == EWOULDBLOCK;
        error = Reason(std::string("cannot lock ") + kLockFileName);
        ::close(fd);
        return -1;
    }
    return fd;
}

bool WriteFileAtomically(const std::string& path, const std::string& bytes, std::string& error) {
    std::string target = path;
    struct stat status {};
    // A link is written through, so that it stays a link to the file it names.
    if (::lstat(path.c_str(), &status) == 0 && S_ISLNK(status.st_mode)) {
        char resolved[PATH_MAX];
        if (::realpath(path.c_str(), resolved) != nullptr) target = resolved;
    }
    mode_t mode = 0;
    if (::stat(target.c_str(), &status) == 0) {
        if (!S_ISREG(status.st_mode)) {
            error = path + ": not a regular file";
            return false;
        }
        mode = status.st_mode & 07777;
    } else {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        mode = 0666 & ~mask;
    }
    const std::size_t slash = target.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : (slash == 0 ? "/" : target.substr(0, slash));
    const std::string name = slash == std::string::npos ? target : target.substr(slash + 1);
    std::string temp = folder + "/." + name + ".XXXXXX";
    const int fd = ::mkostemp(temp.data(), O_CLOEXEC);
    if (fd < 0) {
        error = Reason("cannot create a temporary file in " + folder);
        return false;
    }
    std::string failure;
    if (!WriteAll(fd, bytes))
        failure = Reason("cannot write " + temp);
    else if (::fchmod(fd, mode) != 0)
        failure = Reason("cannot set the permissions of " + temp);
    else if (::fsync(fd) != 0)
        failure = Reason("cannot flush " + temp);
    if (::close(fd) != 0 && failure.empty()) failure = Reason("cannot close " + temp);
    if (failure.empty() && ::rename(temp.c_str(), target.c_str()) != 0) failure = Reason("cannot replace " + path);
    if (!failure.empty()) {
        ::unlink(temp.c_str());
        error = failure;
        return false;
    }
    // The rename itself is made durable by flushing the folder.
    const int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
    return true;
}

}  // namespace cal
