// velmora-cal: the calendar's data from the command line.
#include "velmora-cal/commands.h"
#include "velmora-cal/data_folder.h"
#include "velmora-cal/exit_status.h"
#include "velmora-cal/help.h"
#include "velmora-cal/messages.h"
#include "velmora-cal/options.h"

#include <cstdio>
#include <string>

int main(int argc, char** argv) {
    cal::Options options;
    std::string problem;
    const bool read = cal::ParseCommandLine(argc, argv, options, problem);
    const cal::Command* command = cal::FindCommand(options);
    // --help wins over anything else on the line: it is what one types when lost.
    if (options.Has(cal::kOptionHelp)) {
        std::fputs(cal::HelpText(options.words.empty() ? nullptr : command).c_str(), stdout);
        return kExitOk;
    }
    if (!read) return cal::UsageProblem(problem, command != nullptr ? command->name : "");
    if (command == nullptr) {
        std::string words;
        for (const std::string& word : options.words) words += (words.empty() ? "" : " ") + word;
        return cal::UsageProblem(cal::Tr("unknown command: ", "不明なコマンドです: ") + words);
    }
    if (const std::string unfit = cal::OptionNotTaken(*command, options); !unfit.empty())
        return cal::UsageProblem(unfit, command->name);
    if (!cal::EnterDataFolder(options, command->writes, problem)) {
        cal::Complain(problem);
        return kExitFailed;
    }
    return command->run(options);
}
