// velmora-cal: the calendar's data from the command line.
#include "help.h"
#include "holidays_command.h"
#include "ical_export.h"
#include "ical_import.h"
#include "ical_options.h"
#include "messages.h"
#include "model/holiday_update.h"
#include "view_commands.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

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
            if (i + 1 >= argc)
                return cal::UsageProblem(cal::Tr("--dir needs a folder", "--dir にはフォルダが必要です"));
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
        if (arg.starts_with("-") && arg != "-")
            return cal::UsageProblem(cal::Tr("unknown option ", "知らない指定です: ") + arg);
        words.push_back(arg);
    }
    if (words.size() >= 2 && words[0] == "holidays" && words[1] == "update" && words.size() > 3)
        return cal::UsageProblem(
            cal::Tr("holidays update takes one file", "holidays update に指定できるファイルは一つです"));
    if (words.size() < 2 || words[0] != "holidays" || words[1] != "update") {
        std::string command;
        for (const std::string& word : words) command += (command.empty() ? "" : " ") + word;
        return cal::UsageProblem(cal::Tr("unknown command: ", "知らないコマンドです: ") + command);
    }

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
