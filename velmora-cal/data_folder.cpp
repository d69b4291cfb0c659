#include "velmora-cal/data_folder.h"

#include "velmora-cal/messages.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace cal {
namespace {

std::string Environment(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? value : "";
}

std::string WorkingDirectory() {
    std::string path(4096, '\0');
    if (::getcwd(path.data(), path.size()) == nullptr) return {};
    path.resize(path.find('\0'));
    return path;
}

// Makes each missing folder of `path`: the parents with the umask's mode, the last one for this
// user alone, so that the memos in it are nobody else's to read.
bool MakeFolders(std::string path, std::string& problem) {
    // "a/velmora/" names the folder "a/velmora", which is the one made for this user alone.
    while (path.size() > 1 && path.back() == '/') path.pop_back();
    for (std::size_t slash = path.find('/', 1);; slash = path.find('/', slash + 1)) {
        const bool last = slash == std::string::npos;
        const std::string folder = path.substr(0, slash);
        if (::mkdir(folder.c_str(), last ? 0700 : 0777) != 0 && errno != EEXIST) {
            const int error = errno;
            problem = Tr("cannot make the data folder ", "データフォルダを作れません: ") + folder + ": " +
                      std::strerror(error);
            return false;
        }
        if (last) return true;
    }
}

}  // namespace

std::string DefaultDataFolder() {
    if (std::string named = Environment("VELMORA_DIR"); !named.empty()) return named;
    if (const std::string data = Environment("XDG_DATA_HOME"); data.starts_with('/')) return data + "/velmora";
    if (const std::string home = Environment("HOME"); home.starts_with('/')) return home + "/.local/share/velmora";
    return {};
}

bool EnterDataFolder(Options& options, bool create, std::string& problem) {
    options.here = WorkingDirectory();
    const bool named = options.Has(kOptionDir);
    const std::string folder = named ? options.dir : DefaultDataFolder();
    if (folder.empty()) {
        problem = Tr("no data folder: HOME is not set; name one with --dir",
                     "データフォルダが決まりません（HOME が設定されていません）。--dir で指定してください");
        return false;
    }
    if (!named && create && !MakeFolders(folder, problem)) return false;
    if (::chdir(folder.c_str()) != 0) {
        const int error = errno;
        if (!named && error == ENOENT)
            problem = Tr("the data folder ", "データフォルダ ") + folder +
                      Tr(" does not exist yet: start the calendar once, or name a folder with --dir",
                         " はまだありません。カレンダーを一度起動するか、--dir でフォルダを指定してください");
        else
            problem = Tr("cannot enter ", "フォルダに移動できません: ") + folder + ": " + std::strerror(error);
        return false;
    }
    options.folder = WorkingDirectory();
    if (options.folder.empty()) options.folder = folder;
    return true;
}

}  // namespace cal
