#include "velmora-cal/options.h"

#include "velmora-cal/messages.h"

#include <getopt.h>

#include <array>

namespace cal {
namespace {

// getopt_long's value for an option without a short name: its index here, above any character.
constexpr int kFirstLongValue = 256;

constexpr std::array kOptions = {
    OptionSpelling{kOptionDir, "dir", '\0', required_argument, "--dir DIR", "a folder", "フォルダ",
                   "the data folder (default: $VELMORA_DIR, else the calendar's\n"
                   "${XDG_DATA_HOME:-~/.local/share}/velmora)",
                   "データフォルダ（省略時は $VELMORA_DIR、なければカレンダーと同じ\n"
                   "${XDG_DATA_HOME:-~/.local/share}/velmora）"},
    OptionSpelling{kOptionColour, "color", '\0', optional_argument, "--color[=WHEN]", "", "",
                   "colour the sheets: always, never or auto (default: auto, when\n"
                   "the output is a terminal); Sundays and holidays red, Saturdays\n"
                   "blue, today reversed, memo days underlined (\"*\" without colour)",
                   "表の色: always、never、auto（省略時は auto で、端末に出すときだけ\n"
                   "色を付ける）。日曜と祝日は赤、土曜は青、今日は反転、メモのある日は\n"
                   "下線（色なしでは日付の後に「*」）"},
    OptionSpelling{kOptionThree, nullptr, '3', no_argument, "-3", "", "",
                   "the month before, the month and the month after, side by side",
                   "前の月、その月、次の月を横に並べる"},
    OptionSpelling{kOptionWholeYear, nullptr, 'y', no_argument, "-y", "", "", "the twelve months, three to a row",
                   "12か月を3か月ずつ横に並べる"},
    OptionSpelling{kOptionSearchYear, "year", '\0', required_argument, "--year Y", "a year", "年",
                   "only the memos of the calendar year Y", "Y 年のメモだけを探す"},
    OptionSpelling{kOptionFrom, "from", '\0', required_argument, "--from Y", "a year", "年", "from the year Y",
                   "Y 年から"},
    OptionSpelling{kOptionTo, "to", '\0', required_argument, "--to Y", "a year", "年", "up to the year Y", "Y 年まで"},
    OptionSpelling{kOptionNoHolidays, "no-holidays", '\0', no_argument, "--no-holidays", "", "",
                   "the memos only, without the holidays", "祝日は書き出さず、メモだけにする"},
    OptionSpelling{kOptionDryRun, "dry-run", '\0', no_argument, "--dry-run", "", "",
                   "tell what would be added and change nothing", "追加する予定を示すだけで、何も変更しない"},
    OptionSpelling{kOptionAll, "all", '\0', no_argument, "--all", "", "",
                   "take even an event that would add more than 1,000 lines", "1,000 行を超えて追加する予定も取り込む"},
    OptionSpelling{kOptionUndo, "undo", '\0', no_argument, "--undo", "", "",
                   "put back the memo file as it was before the last import", "最後の取り込みの前のメモファイルに戻す"},
    OptionSpelling{kOptionUser, "user", '\0', required_argument, "--user NAME", "a name", "名前",
                   "the user name on the server", "サーバーのユーザー名"},
    OptionSpelling{kOptionCalendar, "calendar", '\0', required_argument, "--calendar NAME", "a name", "名前",
                   "the calendar to sync with, made when missing (default: Velmora)",
                   "同期するカレンダー（なければ作る。省略時は Velmora）"},
    OptionSpelling{kOptionCa, "ca", '\0', required_argument, "--ca FILE", "a file", "ファイル",
                   "a CA certificate to trust besides the system's (a private server)",
                   "システムの証明書のほかに信頼する CA 証明書（自前のサーバー）"},
    OptionSpelling{kOptionPasswordCommand, "password-command", '\0', required_argument, "--password-command CMD",
                   "a command", "コマンド",
                   "take the password from the first line CMD prints, not from the\n"
                   "Secret Service",
                   "パスワードをシークレットサービスからではなく、CMD が出力する\n最初の行から取る"},
    OptionSpelling{kOptionAcceptEmpty, "accept-empty", '\0', no_argument, "--accept-empty", "", "",
                   "mirror a side whose memos are all gone at once", "メモがすべて一度に消えた側も反映する"},
    OptionSpelling{kOptionHelp, "help", 'h', no_argument, "-h, --help", "", "", "show this text", "この説明を表示する"},
};

int ValueOf(std::size_t index) {
    return kOptions[index].shortName != '\0' ? kOptions[index].shortName : kFirstLongValue + static_cast<int>(index);
}

const OptionSpelling* FindByValue(int value) {
    for (std::size_t i = 0; i < kOptions.size(); ++i)
        if (ValueOf(i) == value) return &kOptions[i];
    return nullptr;
}

std::string Spelt(const OptionSpelling& option) {
    return option.name != nullptr ? std::string("--") + option.name : std::string("-") + option.shortName;
}

// Takes the value of one option given; returns the problem with it, or "".
std::string Take(const OptionSpelling& option, const char* value, Options& options) {
    options.given |= option.bit;
    const std::string text = value != nullptr ? value : "";
    switch (option.bit) {
    case kOptionDir:
        if (text.empty()) return Spelt(option) + Tr(" needs a folder", " にはフォルダを指定してください");
        options.dir = text;
        return {};
    case kOptionColour:
        if (value == nullptr || text == "always") {
            options.colour = Colour::Always;
        } else if (text == "never") {
            options.colour = Colour::Never;
        } else if (text == "auto") {
            options.colour = Colour::Auto;
        } else {
            return Tr("--color takes always, never or auto, not ",
                      "--color には always、never、auto のどれかを指定してください: ") +
                   Quoted(text);
        }
        return {};
    case kOptionSearchYear:
    case kOptionFrom:
    case kOptionTo: {
        const std::optional<int> year = ParseYear(text);
        if (!year) return NotAYear(text);
        (option.bit == kOptionSearchYear ? options.searchYear
         : option.bit == kOptionFrom     ? options.fromYear
                                         : options.toYear) = year;
        return {};
    }
    case kOptionUser:
    case kOptionCalendar:
    case kOptionCa:
    case kOptionPasswordCommand:
        // The set-up file keeps one value a line.
        if (text.empty() || text.find_first_of("\n\r") != std::string::npos)
            return Spelt(option) + Tr(" needs ", " には") + Tr(option.needs, option.needsJa) +
                   Tr(" on one line", "を一行で指定してください");
        (option.bit == kOptionUser       ? options.user
         : option.bit == kOptionCalendar ? options.calendar
         : option.bit == kOptionCa       ? options.caFile
                                         : options.passwordCommand) = text;
        return {};
    default:
        return {};
    }
}

}  // namespace

std::span<const OptionSpelling> OptionSpellings() { return kOptions; }

bool ParseCommandLine(int argc, char** argv, Options& options, std::string& problem) {
    // "-": every word comes back in its place, so words and options keep their order whatever
    // POSIXLY_CORRECT says; ":": a missing value is told apart from an unknown option.
    std::string shortOptions = "-:";
    std::vector<option> longOptions;
    for (std::size_t i = 0; i < kOptions.size(); ++i) {
        const OptionSpelling& spelling = kOptions[i];
        if (spelling.shortName != '\0') {
            shortOptions += spelling.shortName;
            if (spelling.argument == required_argument) shortOptions += ':';
        }
        if (spelling.name != nullptr) longOptions.push_back({spelling.name, spelling.argument, nullptr, ValueOf(i)});
    }
    longOptions.push_back({nullptr, 0, nullptr, 0});

    std::vector<char*> args(argv, argv + argc);
    args.push_back(nullptr);
    const auto note = [&problem](std::string what) {
        if (problem.empty()) problem = std::move(what);
    };
    ::opterr = 0;
    ::optind = 0;  // 0 starts glibc's getopt afresh
    for (int c = 0; (c = ::getopt_long(argc, args.data(), shortOptions.c_str(), longOptions.data(), nullptr)) != -1;) {
        if (c == 1) {
            options.words.emplace_back(::optarg);
        } else if (c == ':') {
            const OptionSpelling* missing = FindByValue(::optopt);
            if (missing != nullptr)
                note(Spelt(*missing) + Tr(" needs ", " には") + Tr(missing->needs, missing->needsJa) +
                     Tr("", "を指定してください"));
        } else if (c == '?') {
            const OptionSpelling* known = ::optopt != 0 ? FindByValue(::optopt) : nullptr;
            if (known != nullptr && known->name != nullptr) {
                note(Spelt(*known) + Tr(" takes no value", " には値を指定できません"));
            } else {
                // An unknown short option is its character; an unknown long one is the word given.
                std::string word = ::optopt != 0 ? std::string("-") + static_cast<char>(::optopt)
                                                 : std::string(args[static_cast<std::size_t>(::optind) - 1]);
                word = word.substr(0, word.find('='));
                note(Tr("unknown option ", "不明なオプションです: ") + word);
            }
        } else if (const OptionSpelling* spelling = FindByValue(c)) {
            if (std::string taken = Take(*spelling, ::optarg, options); !taken.empty()) note(std::move(taken));
        }
    }
    // What follows "--" is words, whatever it looks like.
    for (int i = ::optind; i < argc; ++i) options.words.emplace_back(args[static_cast<std::size_t>(i)]);
    return problem.empty();
}

std::optional<int> ParseYear(std::string_view text) {
    if (text.empty() || text.size() > 6 || text.find_first_not_of("0123456789") != std::string_view::npos)
        return std::nullopt;
    int year = 0;
    for (const char c : text) year = year * 10 + (c - '0');
    if (year < 1 || year > 9999) return std::nullopt;
    return year;
}

std::string NotAYear(const std::string& text) {
    return Tr("not a year (1..9999): ", "年は 1〜9999 で指定してください: ") + Quoted(text);
}

std::string ResolvePath(const std::string& path, const std::string& here) {
    if (path.empty() || path == "-" || path[0] == '/' || here.empty()) return path;
    return here + "/" + path;
}

}  // namespace cal
