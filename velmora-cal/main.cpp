// velmora-cal: the calendar's data from the command line.
#include "holidays_command.h"
#include "model/holiday_update.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr const char* kUsage =
    "Usage: velmora-cal [--dir DIR] holidays update [FILE]\n"
    "\n"
    "  holidays update [FILE]  make the holiday files of the data folder show Japan's national\n"
    "                          holidays and days off for 1955..2099: the official list (FILE, or\n"
    "                          the list installed with the program), then the current law.\n"
    "                          The old files are first copied to holidays-backup-YYYYMMDD-HHMMSS/.\n"
    "  --dir DIR               the data folder (default: the current directory)\n"
    "  --help                  show this text\n"
    "\n"
    "Exit status: 0 done, 1 a file could not be read or written, 2 refused (bad usage, a file that\n"
    "is not the official list, or a copy of the calendar running in the folder).\n";

int UsageError(const char* message) {
    std::fprintf(stderr, "velmora-cal: %s\n%s", message, kUsage);
    return kExitRefused;
}

}  // namespace

int main(int argc, char** argv) {
    std::string folder;
    std::vector<std::string> words;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            std::fputs(kUsage, stdout);
            return kExitOk;
        }
        if (arg == "--dir") {
            if (i + 1 >= argc) return UsageError("--dir needs a folder");
            folder = argv[++i];
        } else if (arg.starts_with("--dir=")) {
            folder = arg.substr(6);
        } else if (arg.starts_with("-") && arg != "-") {
            return UsageError(("unknown option " + arg).c_str());
        } else {
            words.push_back(arg);
        }
    }
    if (words.size() < 2 || words[0] != "holidays" || words[1] != "update" || words.size() > 3)
        return UsageError("expected \"holidays update [FILE]\"");

    std::string list;
    if (words.size() == 3) {
        list = words[2];
    } else {
        list = InstalledHolidayListPath(nullptr);
        if (list.empty()) {
            std::fprintf(stderr,
                         "velmora-cal: the official holiday list installed with the program was not found; "
                         "name a file\n");
            return kExitFailed;
        }
    }
    // A relative list path is taken from where the command was given, before moving to the folder.
    if (!list.empty() && list[0] != '/') {
        std::string here(4096, '\0');
        if (::getcwd(here.data(), here.size()) != nullptr) list = here.substr(0, here.find('\0')) + "/" + list;
    }
    if (!folder.empty() && ::chdir(folder.c_str()) != 0) {
        std::fprintf(stderr, "velmora-cal: cannot enter %s: %s\n", folder.c_str(), std::strerror(errno));
        return kExitFailed;
    }
    return RunHolidaysUpdate(list);
}
