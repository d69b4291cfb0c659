#include "velmora-cal/ical_import.h"

#include "ical/ics_reading.h"
#include "ical/memo_merge.h"
#include "model/data_files.h"
#include "model/file_notices.h"
#include "model/record.h"
#include "model/year_calendar.h"
#include "velmora-cal/exit_status.h"
#include "velmora-cal/folder_lock.h"
#include "velmora-cal/input_file.h"
#include "velmora-cal/messages.h"

#include <algorithm>
#include <cstdio>
#include <optional>
#include <string>

namespace cal {

using ics::IcsReading;
using ics::ImportWindow;
using ics::MergeResult;

namespace {

// The largest file an import reads: far above any calendar a person keeps.
constexpr std::size_t kMaxIcsBytes = std::size_t{64} * 1024 * 1024;

// Returns how a report names an event: by the line of its BEGIN, else by its place in the file.
std::string EventPlace(std::size_t line, std::size_t number) {
    return line > 0 ? Tr("line ", "") + std::to_string(line) + Tr("", " 行目")
                    : Tr("event ", "") + std::to_string(number) + Tr("", " 件目の予定");
}

// Returns how a report names a skipped event and why it was skipped.
std::string SkipText(const ics::SkippedEvent& skipped) {
    std::string text = EventPlace(skipped.line, skipped.number) + ": ";
    switch (skipped.reason) {
    case ics::SkipReason::NoStart:
        return text + Tr("no start date (DTSTART)", "開始日（DTSTART）がありません") +
               (skipped.detail.empty() ? "" : " (" + skipped.detail + ")");
    case ics::SkipReason::NoText:
        return text + Tr("no summary", "件名がありません");
    case ics::SkipReason::NoSuchDate:
        return text + Tr("a date no calendar holds", "存在しない日付です");
    }
    return text;
}

// Returns the report's line that names the character set a file not in UTF-8 was read in, or "".
std::string EncodingLine(const IcsReading& reading) {
    if (reading.encoding.empty() || reading.encoding == "UTF-8") return "";
    const std::string name = reading.encoding == "CP932"          ? "code page 932 (Shift_JIS)"
                             : reading.encoding == "WINDOWS-1252" ? "Windows-1252 (Latin-1)"
                                                                  : reading.encoding;
    return Tr("the file is not UTF-8: read as ", "ファイルが UTF-8 ではないため、") + name +
           Tr("\n", " として読みました\n");
}

// Returns what an import did or, for a dry run, would do, naming the data folder.
std::string ImportReport(const IcsReading& reading, const MergeResult& merged, bool dryRun, const std::string& folder) {
    std::string text;
    if (JapaneseMessages()) {
        if (dryRun) text += "試行のみ: ";
        if (merged.added == 0)
            text += folder + " のメモに追加する予定はありません。";
        else
            text += folder + " のメモに予定を " + std::to_string(merged.added) + " 件" +
                    (dryRun ? "追加します" : "追加しました") + "（" + std::to_string(merged.days) + " 日分）。";
        text += (dryRun ? "すでにある予定: " : "すでにあった予定: ") + std::to_string(merged.alreadyPresent) + " 件";
        if (!reading.skipped.empty()) text += "、取り込めない予定: " + std::to_string(reading.skipped.size()) + " 件";
        if (reading.holidays > 0) text += "、除いた祝日: " + std::to_string(reading.holidays) + " 件";
        if (reading.ignoredProperties > 0)
            text += "、読めずに除いた項目: " + std::to_string(reading.ignoredProperties) + " 件";
        text += "\n";
        if (merged.replacedCharacters > 0)
            text += "シフトJIS にない " + std::to_string(merged.replacedCharacters) + " 文字を「〓」に" +
                    (dryRun ? "置き換えます\n" : "置き換えました\n");
        return text + EncodingLine(reading);
    }
    text += (dryRun ? "dry run: " : "") + Counted(merged.added, "event", "events") +
            (dryRun ? " would be added" : " added") + " to the ";
    if (merged.added == 0)
        text += "memos in " + folder;
    else
        text += std::string(merged.days == 1 ? "memo of " : "memos of ") + Counted(merged.days, "day", "days") +
                " in " + folder;
    text += "; " + std::to_string(merged.alreadyPresent) + " already present";
    if (!reading.skipped.empty())
        text += "; " + Counted(static_cast<long long>(reading.skipped.size()), "broken event", "broken events") +
                " skipped";
    if (reading.holidays > 0) text += "; " + Counted(reading.holidays, "holiday", "holidays") + " left out";
    if (reading.ignoredProperties > 0)
        text += "; " + Counted(reading.ignoredProperties, "unreadable property", "unreadable properties") + " ignored";
    text += "\n";
    if (merged.replacedCharacters > 0)
        text += Counted(static_cast<long long>(merged.replacedCharacters), "character that code page 932 lacks",
                        "characters that code page 932 lacks") +
                (dryRun ? " would become 〓\n" : " became 〓\n");
    return text + EncodingLine(reading);
}

}  // namespace

int RunImport(const Options& options) {
    if (options.operands.size() > 1)
        return UsageProblem(Tr("import takes one file", "import に指定できるファイルは一つだけです"), "import");
    if (options.operands.empty())
        return UsageProblem(Tr("import needs an iCalendar file (or - for the input)",
                               "import には iCalendar ファイル（標準入力なら -）を指定してください"),
                            "import");
    const std::string& file = options.operands[0];
    const bool dryRun = options.Has(kOptionDryRun);
    const std::optional<int> fromYear = options.fromYear;
    const std::optional<int> toYear = options.toYear;
    const int thisYear = CurrentLocalTime().tm_year + 1900;
    ImportWindow window;
    window.boundsSingleEvents = fromYear.has_value() || toYear.has_value();
    window.fromYear = fromYear.value_or(toYear ? std::min(*toYear, thisYear) : thisYear);
    window.toYear = toYear.value_or(std::max(window.fromYear, thisYear + 1));
    if (window.fromYear > window.toYear)
        return UsageProblem(Tr("--from is after --to", "--from の年が --to の年より後です"), "import");

    std::string error;
    const std::optional<std::string> ics = ReadInputFile(ResolvePath(file, options.here), kMaxIcsBytes, error);
    if (!ics) {
        Complain(error);
        return kExitRefused;
    }
    const IcsReading reading = ics::ReadIcsEvents(*ics, window);
    if (!reading.isCalendar) {
        Complain(file + Tr(": not an iCalendar file; nothing changed",
                           " は iCalendar ファイルではありません。何も変更していません"));
        return kExitRefused;
    }
    if (reading.undecodableLine != 0) {
        Complain(file + ": " + EventPlace(reading.undecodableLine, 0) +
                 Tr(": not UTF-8, and not in the character set it names, code page 932 or Windows-1252; nothing "
                    "changed",
                    ": UTF-8 でも、指定の文字コードでも、シフトJIS（コードページ 932）でも Windows-1252 でも読めませ"
                    "ん。何も変更していません"));
        return kExitRefused;
    }
    if (reading.exhaustedBudget) {
        Complain(
            file + ": " + EventPlace(reading.exhaustedAt.line, reading.exhaustedAt.number) +
            Tr(": the file's repetitions go beyond what an import reads (", ": 繰り返しが多すぎて読み切れません（") +
            std::to_string(window.budget.steps) + Tr(" repetitions or ", " 回または ") +
            std::to_string(static_cast<int>(window.budget.seconds)) +
            Tr(" seconds); nothing changed", " 秒まで）。何も変更していません"));
        return kExitRefused;
    }

    const FolderLock lock;
    if (!lock.Held()) {
        Complain(
            lock.GetState() == FolderLock::State::Busy
                ? Tr("a copy of the calendar is running in this folder; close it and try again; nothing changed",
                     "このフォルダでカレンダーが動いています。終了してからやり直してください。何も変更していません")
                : LockRefusal(lock));
        return kExitRefused;
    }
    for (const ics::SkippedEvent& skipped : reading.skipped)
        Complain(file + ": " + SkipText(skipped) + Tr(" (event skipped)", "（この予定は取り込みません）"));
    for (const ics::IgnoredProperty& ignored : reading.ignoredDates)
        Complain(file + ": " + EventPlace(ignored.line, ignored.number) + ": " + ignored.property +
                 Tr(" left out, the rest of the event taken (", " を除いて予定を取り込みます（") + ignored.detail +
                 Tr(")", "）"));
    if (reading.droppedZoneRules > 0)
        Complain(file + ": " + std::to_string(reading.droppedZoneRules) +
                 Tr(" time zone rules that change the offset more than once a year left out",
                    " 件の、年に一度より頻繁に時差が変わるタイムゾーンの規則を除きました"));
    if (reading.stoppedLongRule)
        Complain(Tr("a rule repeats too often; only its first repetitions were taken",
                    "繰り返しが多すぎる予定があります。最初の分だけを取り込みました"));

    LoadMemoData();
    if (IsUnreadableFile(kMemoFile)) {
        Complain(std::string(Tr("cannot read ", "読めません: ")) + kMemoFile +
                 Tr("; nothing changed", "。何も変更していません"));
        return kExitFailed;
    }
    std::string store = g_strMemoData;
    const MergeResult merged = ics::MergeEvents(store, reading.events);
    if (!dryRun && merged.added > 0) {
        g_strMemoData = store;
        const bool saved = SaveMemoData() != 0;
        for (const FileNotice& notice : TakeFileNotices())
            if (!notice.path.empty())
                Complain(Tr("kept a copy of the old file: ", "元のファイルを残しました: ") + notice.path);
        if (!saved) {
            Complain(std::string(Tr("cannot write ", "書き込めません: ")) + kMemoFile +
                     Tr("; nothing changed", "。何も変更していません"));
            return kExitFailed;
        }
    }

    std::fputs(ImportReport(reading, merged, dryRun, options.folder).c_str(), stdout);
    return kExitOk;
}

}  // namespace cal
