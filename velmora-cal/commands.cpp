#include "velmora-cal/commands.h"

#include "model/holiday_update.h"
#include "velmora-cal/holidays_command.h"
#include "velmora-cal/ical_export.h"
#include "velmora-cal/ical_import.h"
#include "velmora-cal/messages.h"
#ifdef VELMORA_CAL_PDF
#include "velmora-cal/pdf_command.h"
#endif
#include "velmora-cal/sync_commands.h"
#include "velmora-cal/view_commands.h"

#include <algorithm>
#include <string_view>

namespace cal {
namespace {

int RunHolidays(const Options& options) {
    if (options.operands.size() > 1)
        return UsageProblem(Tr("holidays update takes one file", "holidays update に指定できるファイルは一つだけです"),
                            "holidays update");
    std::string list;
    if (!options.operands.empty()) {
        list = ResolvePath(options.operands[0], options.here);
    } else {
        list = InstalledHolidayListPath(nullptr);
        if (list.empty()) {
            Complain(
                Tr("the official holiday list installed with the program was not found; name a file",
                   "プログラムと一緒にインストールされた祝日の公式一覧が見つかりません。ファイルを指定してください"));
            return kExitFailed;
        }
    }
    return RunHolidaysUpdate(list, options.folder);
}

constexpr std::array kCommands = {
    Command{"",
            kOptionColour | kOptionThree | kOptionWholeYear,
            false,
            RunSheets,
            {{{"[[MONTH] YEAR]", "the month sheet of this month, of MONTH YEAR, or the twelve of YEAR",
               "今月の表、MONTH YEAR の月の表、または YEAR 年の12か月の表"},
              {"-y [YEAR]", "the twelve months of this year or of YEAR, three to a row",
               "今年または YEAR 年の12か月（3か月ずつ横に並べる）"},
              {"-3 [MONTH YEAR]", "the month before, this month and the month after, side by side",
               "前の月、今月（または MONTH YEAR の月）、次の月を横に並べる"}}}},
    Command{
        "day",
        0,
        false,
        RunDay,
        {{{"day [YYYY-MM-DD]", "the day's memo and holiday (default: today)", "その日のメモと祝日（省略時は今日）"}}}},
    Command{"list",
            0,
            false,
            RunList,
            {{{"list [MONTH [YEAR]]", "the month's lines as the month list shows them",
               "月のメモの一覧（スケジュール表(1ヶ月)と同じ行）"}}}},
    Command{"search",
            kOptionSearchYear,
            false,
            RunSearch,
            {{{"search [--year Y] WORD...",
               "every memo holding all the words, newest first; case and the\n"
               "width of letters, digits and katakana do not matter",
               "すべての語を含むメモを新しい順に表示する。英字の大文字と\n"
               "小文字、英数字とカタカナの全角と半角は区別しない"}}}},
    Command{"agenda",
            0,
            false,
            RunAgenda,
            {{{"agenda [DAYS]",
               "the coming reminders (memo lines that begin with a time) of the\n"
               "next DAYS days (default 7), soonest first",
               "これから DAYS 日間（省略時は7日）の予定（時刻で始まるメモの行）\nを近い順に表示する"}}}},
    Command{"export",
            kOptionFrom | kOptionTo | kOptionNoHolidays,
            false,
            RunExport,
            {{{"export FILE.ics [--from Y] [--to Y] [--no-holidays]",
               "write the memos and holidays as iCalendar (- for the output)",
               "メモと祝日を iCalendar ファイルに書き出す（- なら標準出力）"}}}},
    Command{"import",
            kOptionFrom | kOptionTo | kOptionDryRun | kOptionAll | kOptionUndo,
            true,
            RunImport,
            {{{"import FILE.ics [--from Y] [--to Y] [--dry-run] [--all]",
               "add the events of an iCalendar file to the days' memos",
               "iCalendar ファイルの予定を、その日のメモに追加する"},
              {"import --undo", "put back the memo file the last import replaced",
               "最後の取り込みの前のメモファイルに戻す"}}}},
#ifdef VELMORA_CAL_PDF
    Command{"pdf",
            kOptionWholeYear,
            false,
            RunPdf,
            {{{"pdf FILE.pdf [[MONTH] YEAR] [-y]",
               "the month page (or with -y or a year alone the year page) as\n"
               "an A4 PDF to print (- for the output)",
               "今月または MONTH YEAR の月（-y か年だけなら年）のページを\n"
               "印刷用の A4 の PDF に書き出す（- なら標準出力）"}}}},
#endif
    // "sync" comes before the rows that begin with it: the last row a command line names wins.
    Command{"sync",
            kOptionAcceptEmpty,
            true,
            RunSync,
            {{{"sync [--accept-empty]",
               "sync the memos with the folder's CalDAV calendar now and say what\n"
               "moved; --accept-empty mirrors a side whose memos are all gone",
               "メモをフォルダの CalDAV カレンダーと今すぐ同期し、動いたものを示す。\n"
               "--accept-empty ならメモがすべて消えた側も反映する"}}}},
    Command{"sync setup",
            kOptionUser | kOptionCalendar | kOptionCa | kOptionPasswordCommand,
            true,
            RunSyncSetup,
            {{{"sync setup URL [--user NAME] [--calendar NAME] [--ca FILE] [--password-command CMD]",
               "find or make the calendar on the server and keep the set-up; the\n"
               "password goes to the Secret Service",
               "サーバーのカレンダーを探す（なければ作る）設定を保存する。\n"
               "パスワードはシークレットサービスに保存する"}}}},
    Command{"sync status",
            0,
            false,
            RunSyncStatus,
            {{{"sync status", "the folder's sync set-up and state", "フォルダの同期の設定と状態"}}}},
    Command{"sync forget",
            0,
            false,
            RunSyncForget,
            {{{"sync forget", "remove the set-up, its state and the stored password",
               "同期の設定、状態、保存したパスワードを削除する"}}}},
    Command{"holidays update",
            0,
            true,
            RunHolidays,
            {{{"holidays update [FILE]",
               "make the holiday files show Japan's national holidays for\n"
               "1955..2099 from the official list (FILE, or the one installed)",
               "祝日ファイルを、公式の一覧（FILE またはインストールされた\n"
               "もの）による1955〜2099年の国民の祝日・休日にする"}}}},
};

// Returns the number of words of the command's name.
std::size_t NameWords(std::string_view name) {
    return name.empty() ? 0 : static_cast<std::size_t>(std::count(name.begin(), name.end(), ' ')) + 1;
}

bool NamedBy(const Command& command, const std::vector<std::string>& words) {
    std::string_view name = command.name;
    const std::size_t count = NameWords(name);
    if (count == 0 || words.size() < count) return false;
    for (std::size_t i = 0; i < count; ++i) {
        const std::size_t space = name.find(' ');
        if (words[i] != name.substr(0, space)) return false;
        name.remove_prefix(space == std::string_view::npos ? name.size() : space + 1);
    }
    return true;
}

}  // namespace

std::span<const Command> Commands() { return kCommands; }

const Command* FindCommand(Options& options) {
    const std::vector<std::string>& words = options.words;
    const Command* found = nullptr;
    if (words.empty() || words[0].find_first_not_of("0123456789") == std::string::npos) {
        found = &kCommands[0];
    } else {
        for (const Command& command : kCommands)
            if (NamedBy(command, words)) found = &command;
    }
    if (found != nullptr)
        options.operands.assign(words.begin() + static_cast<std::ptrdiff_t>(NameWords(found->name)), words.end());
    return found;
}

std::string OptionNotTaken(const Command& command, const Options& options) {
    for (const OptionSpelling& option : OptionSpellings()) {
        if (!options.Has(option.bit) || ((command.options | kEveryCommandsOptions) & option.bit) != 0) continue;
        std::string takers;
        for (const Command& taker : kCommands) {
            if ((taker.options & option.bit) == 0) continue;
            if (!takers.empty()) takers += Tr(" and ", "、");
            takers += CommandLabel(taker);
        }
        const std::string spelt =
            option.name != nullptr ? std::string("--") + option.name : std::string("-") + option.shortName;
        const std::string prefix = *command.name != '\0' ? std::string(command.name) + ": " : "";
        if (!JapaneseMessages()) return prefix + spelt + " is for " + takers;
        // Japanese text keeps a space between itself and a Latin word, not between its own words.
        const bool latin = static_cast<unsigned char>(takers.front()) < 0x80;
        return prefix + spelt + " は" + (latin ? " " : "") + takers + (latin ? " " : "") + "のためのオプションです";
    }
    return {};
}

std::string CommandLabel(const Command& command) {
    return *command.name != '\0' ? command.name : Tr("the month sheets", "月の表");
}

}  // namespace cal
