#include "velmora-cal/help.h"

#include "velmora-cal/commands.h"
#include "velmora-cal/messages.h"
#include "velmora-cal/options.h"

#include <string_view>

namespace cal {
namespace {

constexpr std::size_t kDescriptionColumn = 27;
// The options the whole help lists; a command's own options stand in its synopsis.
constexpr unsigned kSharedOptions = kOptionDir | kOptionColour | kOptionHelp;

// Appends "  term" and the description's lines, each at the description column.
void AddEntry(std::string& text, std::string_view term, std::string_view description) {
    std::string line = "  " + std::string(term);
    if (line.size() + 2 > kDescriptionColumn) {
        text += line + "\n";
        line.clear();
    }
    for (bool first = true; first || !description.empty(); first = false) {
        const std::size_t end = description.find('\n');
        line.resize(kDescriptionColumn, ' ');
        text += line + std::string(description.substr(0, end)) + "\n";
        line.clear();
        description.remove_prefix(end == std::string_view::npos ? description.size() : end + 1);
    }
}

void AddOptions(std::string& text, unsigned options) {
    text += Tr("\nOptions:\n", "\nオプション:\n");
    for (const OptionSpelling& option : OptionSpellings())
        if ((options & option.bit) != 0) AddEntry(text, option.synopsis, Tr(option.english, option.japanese));
}

std::string HelpOfCommand(const Command& command) {
    const std::string usage = Tr("Usage: ", "使い方: ");
    const std::string indent(JapaneseMessages() ? 8 : usage.size(), ' ');  // "使い方" is six columns wide
    std::string text;
    for (const cal::CommandHelp& line : command.help)
        if (line.synopsis != nullptr)
            text += (text.empty() ? usage : indent) + "velmora-cal [--dir DIR] " + line.synopsis + "\n";
    text += "\n";
    for (const cal::CommandHelp& line : command.help)
        if (line.synopsis != nullptr) AddEntry(text, line.synopsis, Tr(line.english, line.japanese));
    AddOptions(text, command.options | kEveryCommandsOptions);
    return text;
}

}  // namespace

std::string HelpText(const Command* command) {
    if (command != nullptr) return HelpOfCommand(*command);
    std::string text =
        Tr("Usage: velmora-cal [--dir DIR] [OPTIONS] [COMMAND]\n"
           "The calendar's data folder from the command line: its month sheets, memos and holidays.\n"
           "\n"
           "Commands:\n",
           "使い方: velmora-cal [--dir DIR] [オプション] [コマンド]\n"
           "カレンダーのデータフォルダ（月の表、メモ、祝日）をコマンドラインから扱います。\n"
           "\n"
           "コマンド:\n");
    for (const Command& each : Commands())
        for (const cal::CommandHelp& line : each.help)
            if (line.synopsis != nullptr) AddEntry(text, line.synopsis, Tr(line.english, line.japanese));
    AddOptions(text, kSharedOptions);
    text +=
        Tr("\n"
           "Each command tells more with --help after it (velmora-cal search --help).\n"
           "Exit status: 0 done, 1 nothing matched (search) or a file could not be read or written,\n"
           "2 refused: bad usage, input that is not accepted, or the calendar running in the folder.\n"
           "See velmora-cal(1).\n",
           "\n"
           "コマンドごとの説明は、コマンドの後に --help を付けて表示します\n"
           "（例: velmora-cal search --help）。\n"
           "終了ステータス: 0 成功、1 一致なし（search）またはファイルの読み書きの失敗、\n"
           "2 拒否（使い方の誤り、受け付けない入力、フォルダでカレンダーが動いている）。\n"
           "詳しくは velmora-cal(1) を参照してください。\n");
    return text;
}

}  // namespace cal
