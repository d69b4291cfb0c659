// velmora-cal: the calendar's data from the command line.
#include "help.h"
#include "holidays_command.h"
#include "ical_export.h"
#include "ical_import.h"
#include "model/holiday_update.h"
#include "view_commands.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr const char* kUsage =
    "Usage: velmora-cal [--dir DIR] holidays update [FILE]\n"
    "       velmora-cal [--dir DIR] export FILE.ics [--from Y] [--to Y] [--no-holidays]\n"
    "       velmora-cal [--dir DIR] import FILE.ics [--dry-run] [--from Y] [--to Y]\n"
    "\n"
    "  holidays update [FILE]  make the holiday files of the data folder show Japan's national\n"
    "                          holidays and days off for 1955..2099: the official list (FILE, or\n"
    "                          the list installed with the program), then the current law.\n"
    "                          The old files are first copied to holidays-backup-YYYYMMDD-HHMMSS/.\n"
    "  export FILE.ics         write the memos (and the holidays of their years) as an iCalendar\n"
    "                          file, \"-\" for the output; --from/--to choose the years\n"
    "  import FILE.ics         add the events of an iCalendar file to the memos of their days;\n"
    "                          repeating events within --from/--to (default: this year and next);\n"
    "                          --dry-run only tells what would be added\n"
    "  --dir DIR               the data folder (default: the current directory)\n"
    "  --help                  show this text\n"
    "\n"
    "Exit status: 0 done, 1 a file could not be read or written, 2 refused (bad usage, a file that\n"
    "is not the official list, or a copy of the calendar running in the folder).\n";

int UsageError(const char* message) {
    std::fprintf(stderr, "velmora-cal: %s\n%s", message, kUsage);
    return kExitRefused;
}

// Runs export or import: `args` are the words after the command, where --dir may stand too; the
// file named is taken from where the command was given.
int RunIcalCommand(const std::string& command, std::vector<std::string> args, std::string folder) {
    for (std::size_t i = 0; i < args.size();) {
        if (args[i] == "--help" || args[i] == "-h") {
            std::fputs(cal::HelpText(), stdout);
            return kExitOk;
        }
        if (args[i] == "--dir" && i + 1 < args.size()) {
            folder = args[i + 1];
            args.erase(args.begin() + static_cast<std::ptrdiff_t>(i),
                       args.begin() + static_cast<std::ptrdiff_t>(i) + 2);
        } else if (args[i].starts_with("--dir=")) {
            folder = args[i].substr(6);
            args.erase(args.begin() + static_cast<std::ptrdiff_t>(i));
        } else {
            ++i;
        }
    }
    std::string here(4096, '\0');
    here = ::getcwd(here.data(), here.size()) != nullptr ? here.substr(0, here.find('\0')) : "";
    if (!folder.empty() && ::chdir(folder.c_str()) != 0) {
        std::fprintf(stderr, "velmora-cal: cannot enter %s: %s\n", folder.c_str(), std::strerror(errno));
        return kExitFailed;
    }
    return command == "export" ? cal::RunExport(args, here) : cal::RunImport(args, here);
}

}  // namespace

int main(int argc, char** argv) {
    std::string folder;
    std::vector<std::string> words;
    std::vector<std::string> arguments;  // the command line without the program's own options
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (words.empty() && arguments.empty() && (arg == "export" || arg == "import"))
            return RunIcalCommand(arg, std::vector<std::string>(argv + i + 1, argv + argc), folder);
        if (arg == "--help" || arg == "-h") {
            std::fputs(cal::HelpText(), stdout);
            return kExitOk;
        }
        if (arg == "--dir") {
            if (i + 1 >= argc) return UsageError("--dir needs a folder");
            folder = argv[++i];
        } else if (arg.starts_with("--dir=")) {
            folder = arg.substr(6);
        } else {
            arguments.push_back(arg);
        }
    }
    // The month sheets, day, list and search only read the folder; they take options of their own.
    if (cal::IsViewCommand(arguments)) {
        if (!folder.empty() && ::chdir(folder.c_str()) != 0) {
            std::fprintf(stderr, "velmora-cal: cannot enter %s: %s\n", folder.c_str(), std::strerror(errno));
            return kExitFailed;
        }
        return cal::RunViewCommand(arguments);
    }
    for (const std::string& arg : arguments) {
        if (arg.starts_with("-") && arg != "-") return UsageError(("unknown option " + arg).c_str());
        words.push_back(arg);
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
