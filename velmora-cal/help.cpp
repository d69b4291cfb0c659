#include "velmora-cal/help.h"

#include "velmora-cal/messages.h"

namespace cal {
namespace {

constexpr const char* kEnglish =
    "Usage: velmora-cal [--dir DIR] [OPTIONS] [COMMAND]\n"
    "The calendar's data folder from the command line: its month sheets, memos and holidays.\n"
    "\n"
    "Commands:\n"
    "  [[MONTH] YEAR]           the month sheet of this month, of MONTH YEAR, or the twelve of YEAR\n"
    "  -y [YEAR]                the twelve months of this year or of YEAR, three to a row\n"
    "  -3 [MONTH YEAR]          the month before, this month and the month after, side by side\n"
    "  day [YYYY-MM-DD]         the day's memo and holiday (default: today)\n"
    "  list [MONTH [YEAR]]      the month's lines as the month list shows them\n"
    "  search [--year Y] WORD...\n"
    "                           every memo holding all the words, newest first; case and the\n"
    "                           width of letters, digits and katakana do not matter\n"
    "  export FILE.ics [--from Y] [--to Y] [--no-holidays]\n"
    "                           write the memos and holidays as iCalendar (- for the output)\n"
    "  import FILE.ics [--from Y] [--to Y] [--dry-run]\n"
    "                           add the events of an iCalendar file to the days' memos\n"
    "  holidays update [FILE]   make the holiday files show Japan's national holidays for\n"
    "                           1955..2099 from the official list (FILE, or the one installed)\n"
    "\n"
    "Options:\n"
    "  --dir DIR                the data folder (default: the current directory)\n"
    "  --color[=WHEN]           colour the sheets: always, never or auto (default: auto, when\n"
    "                           the output is a terminal); Sundays and holidays red, Saturdays\n"
    "                           blue, today reversed, memo days underlined (\"*\" without colour)\n"
    "  --help                   show this text\n"
    "\n"
    "Exit status: 0 done, 1 nothing matched (search) or a file could not be read or written,\n"
    "2 refused: bad usage, input that is not accepted, or the calendar running in the folder.\n"
    "See velmora-cal(1).\n";

constexpr const char* kJapanese =
    "使い方: velmora-cal [--dir DIR] [オプション] [コマンド]\n"
    "カレンダーのデータフォルダ(月の表、メモ、祝日)をコマンドラインから扱います。\n"
    "\n"
    "コマンド:\n"
    "  [[MONTH] YEAR]           今月、MONTH YEAR の月、または YEAR の12か月の表\n"
    "  -y [YEAR]                今年または YEAR の12か月(3か月ずつ横に並べる)\n"
    "  -3 [MONTH YEAR]          前の月、その月、次の月を横に並べる\n"
    "  day [YYYY-MM-DD]         その日のメモと祝日(省略時は今日)\n"
    "  list [MONTH [YEAR]]      月の一覧(スケジュール表)と同じ行\n"
    "  search [--year Y] 語...\n"
    "                           すべての語を含むメモを新しい順に。英字の大文字小文字、\n"
    "                           英数字とカタカナの全角半角は区別しない\n"
    "  export FILE.ics [--from Y] [--to Y] [--no-holidays]\n"
    "                           メモと祝日を iCalendar に書き出す(- は標準出力)\n"
    "  import FILE.ics [--from Y] [--to Y] [--dry-run]\n"
    "                           iCalendar の予定をその日のメモに加える\n"
    "  holidays update [FILE]   祝日ファイルを公式の一覧(FILE またはインストールされたもの)\n"
    "                           による1955..2099年の国民の祝日・休日にする\n"
    "\n"
    "オプション:\n"
    "  --dir DIR                データフォルダ(省略時はカレントディレクトリ)\n"
    "  --color[=WHEN]           表の色: always, never, auto(省略時は auto: 端末へ出力するとき)\n"
    "                           日曜と祝日は赤、土曜は青、今日は反転、メモのある日は下線\n"
    "                           (色なしでは数字の後に \"*\")\n"
    "  --help                   この説明を表示する\n"
    "\n"
    "終了ステータス: 0 成功、1 一致なし(search)またはファイルの読み書きの失敗、\n"
    "2 拒否(使い方の誤り、受け付けない入力、フォルダでカレンダーが動いている)。\n"
    "velmora-cal(1) を参照。\n";

}  // namespace

const char* HelpText() { return Tr(kEnglish, kJapanese); }

}  // namespace cal
