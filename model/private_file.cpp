#include "model/private_file.h"

#include "model/file_system_calls.h"
#include "model/own_folder.h"
#include "model/whole_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

namespace {

constexpr std::size_t kMaxUserFile = std::size_t{1} << 20;
constexpr int kTempTries = 16;

std::string AbsoluteVariable(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr && value[0] == '/' ? std::string(value) : std::string();
}

}  // namespace

std::string UserFolder(const char* name, const char* fallback) {
    std::string base = AbsoluteVariable(name);
    if (base.empty()) {
        const std::string home = AbsoluteVariable("HOME");
        if (home.empty()) return {};
        base = home + "/" + fallback;
    }
    return base + "/velmora";
}

std::optional<std::string> ReadUserFile(const std::string& folder, const std::string& name) {
    if (folder.empty()) return std::nullopt;
    return ReadWholeFile(AT_FDCWD, folder + "/" + name, {.noFollow = true, .ownOnly = true, .maxBytes = kMaxUserFile});
}

bool WriteUserFile(const std::string& folder, const std::string& name, std::string_view bytes, bool privateFolder) {
    if (folder.empty()) return false;
    std::string problem;
    const int path = OpenOwnFolder(folder, privateFolder ? FolderUse::Private : FolderUse::OwnFiles, true, problem);
    if (path < 0) return false;
    // The O_PATH descriptor checked the way there; files are made through a real one.
    const int fd = ::openat(path, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    ::close(path);
    if (fd < 0) return false;
    const FileSystemCalls& fs = CurrentFileSystemCalls();
    bool written = false;
    for (int attempt = 0; attempt < kTempTries && !written; ++attempt) {
        const std::string temp =
            "." + name + "." + std::to_string(fs.processId()) + "-" + std::to_string(attempt) + ".tmp";
        if (!WriteNewFile(fd, temp, bytes, 0600)) {
            if (errno == EEXIST) continue;
            break;
        }
        if (fs.renameAt(fd, temp.c_str(), fd, name.c_str()) != 0) {
            fs.unlinkAt(fd, temp.c_str(), 0);
            break;
        }
        fs.syncFile(fd);
        written = true;
    }
    ::close(fd);
    return written;
}
