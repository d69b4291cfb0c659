#include "model/own_folder.h"
#include "model/whole_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <deque>
#include <optional>
#include <string>

namespace {

constexpr int kMaxLinkHops = 40;  // as the kernel's own limit on symbolic link chains
constexpr int kOpenFolder = O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;

std::deque<std::string> Components(const std::string& path) {
    std::deque<std::string> parts;
    for (std::size_t start = 0; start < path.size();) {
        const std::size_t end = std::min(path.find('/', start), path.size());
        if (end > start && path.compare(start, end - start, ".") != 0) parts.push_back(path.substr(start, end - start));
        start = end + 1;
    }
    return parts;
}

std::string ModeText(mode_t mode) {
    char text[8];
    std::snprintf(text, sizeof text, "%04o", static_cast<unsigned>(mode & 07777));
    return text;
}

// What makes a folder on the way one that somebody but this user and root could change, or "".
std::string OnTheWayProblem(const struct stat& status, uid_t user) {
    if (status.st_uid != user && status.st_uid != 0) return "it belongs to user id " + std::to_string(status.st_uid);
    if ((status.st_mode & 022) != 0 && (status.st_mode & S_ISVTX) == 0)
        return "others may write it (mode " + ModeText(status.st_mode) + ")";
    return {};
}

std::string EndProblem(const struct stat& status, uid_t user, FolderUse use) {
    if (status.st_uid != user) return "it belongs to user id " + std::to_string(status.st_uid);
    if (use == FolderUse::Private && (status.st_mode & 0777) != 0700)
        return "its mode is " + ModeText(status.st_mode) + ", not 0700";
    if ((status.st_mode & 022) != 0) return "others may write it (mode " + ModeText(status.st_mode) + ")";
    return {};
}

}  // namespace

int OpenOwnFolder(const std::string& path, FolderUse use, bool create, std::string& problem) {
    if (path.empty() || path[0] != '/') {
        problem = "\"" + path + "\" is not an absolute path";
        return -1;
    }
    const uid_t user = ::geteuid();
    std::string walked;  // the path reached so far, for the reason
    const auto fail = [&](int fd, const std::string& why) {
        if (fd >= 0) ::close(fd);
        problem = (walked.empty() ? "/" : walked) + ": " + why;
        return -1;
    };
    int fd = ::open("/", kOpenFolder);
    struct stat status {};
    if (fd < 0 || ::fstat(fd, &status) != 0) return fail(fd, std::strerror(errno));
    std::deque<std::string> rest = Components(path);
    int hops = 0;
    for (;;) {
        // Every folder reached is checked, the ones a link leads to as much as the others.
        const std::string trouble = rest.empty() ? EndProblem(status, user, use) : OnTheWayProblem(status, user);
        if (!trouble.empty()) return fail(fd, trouble);
        if (rest.empty()) return fd;
        const std::string name = rest.front();
        rest.pop_front();
        struct stat next {};
        if (::fstatat(fd, name.c_str(), &next, AT_SYMLINK_NOFOLLOW) != 0) {
            if (errno != ENOENT || !create) return fail(fd, name + ": " + std::strerror(errno));
            // Another process of ours may make it at the same moment; whoever made it, it is checked.
            if ((::mkdirat(fd, name.c_str(), 0700) != 0 && errno != EEXIST) ||
                ::fstatat(fd, name.c_str(), &next, AT_SYMLINK_NOFOLLOW) != 0)
                return fail(fd, name + ": " + std::strerror(errno));
        }
        if (S_ISLNK(next.st_mode)) {
            if (next.st_uid != user && next.st_uid != 0)
                return fail(fd, name + " is a link of user id " + std::to_string(next.st_uid));
            const std::optional<std::string> target = ++hops <= kMaxLinkHops ? ReadLinkAt(fd, name) : std::nullopt;
            if (!target) return fail(fd, name + ": " + std::strerror(hops > kMaxLinkHops ? ELOOP : errno));
            const std::deque<std::string> parts = Components(*target);
            rest.insert(rest.begin(), parts.begin(), parts.end());
            if ((*target)[0] == '/') {
                ::close(fd);
                walked.clear();
                fd = ::open("/", kOpenFolder);
                if (fd < 0 || ::fstat(fd, &status) != 0) return fail(fd, std::strerror(errno));
            }
            continue;
        }
        if (!S_ISDIR(next.st_mode)) return fail(fd, name + " is not a folder");
        const int child = ::openat(fd, name.c_str(), kOpenFolder);
        ::close(fd);
        walked += "/" + name;
        if (child < 0 || ::fstat(child, &status) != 0) return fail(child, std::strerror(errno));
        if (status.st_dev != next.st_dev || status.st_ino != next.st_ino)
            return fail(child, "it changed while checked");
        fd = child;
    }
}
