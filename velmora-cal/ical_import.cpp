#include "velmora-cal/ical_import.h"

#include "ical/ics_reading.h"
#include "ical/imported_events.h"
#include "ical/memo_merge.h"
#include "model/data_files.h"
#include "model/file_notices.h"
#include "model/file_system_calls.h"
#include "model/record.h"
#include "model/year_calendar.h"
#include "velmora-cal/exit_status.h"
#include "velmora-cal/folder_lock.h"
#include "velmora-cal/import_backup.h"
#include "velmora-cal/input_file.h"
#include "velmora-cal/messages.h"

#include <fcntl.h>
#include <sys/stat.h>

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
// The most lines one event may add without --all: more is a rule gone wild, not a diary.
constexpr std::size_t kMaxLinesPerEvent = 1000;

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
        if (merged.replaced > 0)
            text += std::string(dryRun ? "、置き換える前回の取り込み: " : "、置き換えた前回の取り込み: ") +
                    std::to_string(merged.replaced) + " 件";
        if (merged.keptEdited > 0)
            text += "、書き換えられていたため残した前回の取り込み: " + std::to_string(merged.keptEdited) + " 件";
        if (!merged.oversized.empty())
            text += "、行が多すぎて除いた予定: " + std::to_string(merged.oversized.size()) + " 件";
        if (!reading.skipped.empty()) text += "、取り込めない予定: " + std::to_string(reading.skipped.size()) + " 件";
        if (reading.holidays > 0) text += "、除いた祝日: " + std::to_string(reading.holidays) + " 件";
        if (reading.ignoredProperties > 0)
            text += "、読めずに除いた項目: " + std::to_string(reading.ignoredProperties) + " 件";
        if (reading.todos > 0) text += "、取り込まない ToDo: " + std::to_string(reading.todos) + " 件";
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
    if (merged.replaced > 0)
        text += "; " + Counted(merged.replaced, "earlier import", "earlier imports") +
                (dryRun ? " of changed events would be replaced" : " of changed events replaced");
    if (merged.keptEdited > 0)
        text += "; " + Counted(merged.keptEdited, "earlier import", "earlier imports") + " edited since kept";
    if (!merged.oversized.empty())
        text += "; " + Counted(static_cast<long long>(merged.oversized.size()), "event", "events") +
                " with too many lines left out";
    if (!reading.skipped.empty())
        text += "; " + Counted(static_cast<long long>(reading.skipped.size()), "broken event", "broken events") +
                " skipped";
    if (reading.holidays > 0) text += "; " + Counted(reading.holidays, "holiday", "holidays") + " left out";
    if (reading.ignoredProperties > 0)
        text += "; " + Counted(reading.ignoredProperties, "unreadable property", "unreadable properties") + " ignored";
    if (reading.todos > 0) text += "; " + Counted(reading.todos, "to-do", "to-dos") + " not imported";
    text += "\n";
    if (merged.replacedCharacters > 0)
        text += Counted(static_cast<long long>(merged.replacedCharacters), "character that code page 932 lacks",
                        "characters that code page 932 lacks") +
                (dryRun ? " would become 〓\n" : " became 〓\n");
    return text + EncodingLine(reading);
}

// "import --undo": the memo file the last import replaced, put back.
int RunUndo(const Options& options) {
    if (!options.operands.empty() || (options.given & (kOptionFrom | kOptionTo | kOptionDryRun | kOptionAll)) != 0)
        return UsageProblem(Tr("import --undo takes no file and no other option",
                               "import --undo にはファイルもほかのオプションも指定できません"),
                            "import");
    const CommandLock held;
    if (!held.Lock().Held()) {
        Complain(held.Lock().GetState() == FolderLock::State::Busy ? BusyRefusal(true) : LockRefusal(held.Lock()));
        return kExitRefused;
    }
    const UndoOutcome undone = UndoLastImport();
    const std::string where = options.folder + "/" + undone.backup;
    switch (undone.kind) {
    case UndoOutcome::Kind::Done:
        std::printf(JapaneseMessages() ? "%s を %s の取り込みの前に戻しました\n"
                                       : "%s put back as it was before the import of %s\n",
                    kMemoFile, where.c_str());
        return kExitOk;
    case UndoOutcome::Kind::NoImport:
        Complain(Tr("no import to undo in ", "元に戻せる取り込みがありません: ") + options.folder +
                 Tr("; nothing changed", "。何も変更していません"));
        return kExitRefused;
    case UndoOutcome::Kind::ChangedSince:
        Complain(std::string(kMemoFile) +
                 Tr(" has changed since the last import; nothing changed (the file before it is in ",
                    " は最後の取り込みの後に変更されています。何も変更していません（取り込みの前のファイルは ") +
                 where + Tr(")", " にあります）"));
        return kExitRefused;
    case UndoOutcome::Kind::Unfinished:
        Complain(Tr("the last import was stopped while writing; nothing changed (the file before it is in ",
                    "最後の取り込みは書き込みの途中で止まりました。何も変更していません（取り込みの前のファイルは ") +
                 where + Tr(")", " にあります）"));
        return kExitRefused;
    case UndoOutcome::Kind::Failed:
        Complain(undone.error + Tr("; the copy is kept in ", "。コピーは次の場所に残っています: ") + where);
        return kExitFailed;
    }
    return kExitFailed;
}

}  // namespace

int RunImport(const Options& options) {
    if (options.Has(kOptionUndo)) return RunUndo(options);
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

    // Held from the start, so that a calendar started while the file is read and expanded says
    // what holds the folder.
    const CommandLock held;
    const FolderLock& lock = held.Lock();
    if (!lock.Held()) {
        Complain(lock.GetState() == FolderLock::State::Busy ? BusyRefusal(true) : LockRefusal(lock));
        return kExitRefused;
    }
    std::string error;
    std::optional<std::string> ics = ReadInputFile(ResolvePath(file, options.here), kMaxIcsBytes, error);
    if (!ics) {
        Complain(error);
        return kExitRefused;
    }
    const IcsReading reading = ics::ReadIcsEvents(*ics, window);
    // The file's text is not needed once read, and the merge that follows is the import's peak.
    ics.reset();
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

    for (const ics::SkippedEvent& skipped : reading.skipped)
        Complain(file + ": " + SkipText(skipped) + Tr(" (event skipped)", "（この予定は取り込みません）"));
    for (const ics::IgnoredProperty& ignored : reading.ignoredDates)
        Complain(file + ": " + EventPlace(ignored.line, ignored.number) + ": " + ignored.property +
                 Tr(" left out, the rest of the event taken (", " を除いて予定を取り込みます（") + ignored.detail +
                 Tr(")", "）"));
    for (const ics::UnknownZone& zone : reading.unknownZones)
        Complain(
            file + ": " + EventPlace(zone.line, zone.number) + ": " + Tr("unknown time zone \"", "タイムゾーン「") +
            zone.zone +
            Tr("\"; its times were read as local times", "」がわかりません。その時刻はこの地域の時刻として読みました"));
    for (const ics::PreferredSystemZone& zone : reading.systemZones)
        Complain(file + ": " +
                 (JapaneseMessages()
                      ? "ファイルのタイムゾーン「" + zone.zone + "」の定義がシステムのものと食い違うため、時刻 " +
                            std::to_string(zone.times) + " 件をシステムの定義で読みました"
                      : "the file's time zone \"" + zone.zone + "\" disagrees with the system's zone data; " +
                            Counted(zone.times, "time was", "times were") + " read with the system's"));
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
    const std::string recordText = ReadTextFile(ics::kImportedEventsFile);
    if (IsUnreadableFile(ics::kImportedEventsFile)) {
        Complain(std::string(Tr("cannot read ", "読めません: ")) + ics::kImportedEventsFile +
                 Tr("; nothing changed", "。何も変更していません"));
        return kExitFailed;
    }
    std::optional<ics::ImportedEvents> record = ics::ParseImportedEvents(recordText);
    if (!record)
        Complain(std::string(ics::kImportedEventsFile) +
                 Tr(" is not a record of imports: events are only added, and the file stays as it is",
                    " は取り込みの記録ではありません。予定は追加するだけにし、このファイルはそのままにします"));
    ics::MergeOptions mergeOptions;
    mergeOptions.fromYear = window.fromYear;
    mergeOptions.toYear = window.toYear;
    if (!options.Has(kOptionAll)) mergeOptions.maxLinesPerEvent = kMaxLinesPerEvent;
    std::string store = g_strMemoData;
    ics::ImportedEvents imported = record.value_or(ics::ImportedEvents{});
    const MergeResult merged = ics::MergeEvents(store, reading.events, record ? &imported : nullptr, mergeOptions);
    for (const ics::OversizedEvent& oversized : merged.oversized)
        Complain(file + ": " + EventPlace(oversized.line, oversized.number) + Tr(": would add ", ": ") +
                 std::to_string(oversized.lines) +
                 Tr(" lines (event skipped; --all takes it)",
                    " 行を追加することになります（この予定は取り込みません。--all で取り込めます）"));

    const bool memosChange = store != g_strMemoData;
    const bool recordChanges = record && imported != *record;
    if (!dryRun && (memosChange || recordChanges)) {
        struct stat status {};
        const bool hadMemoFile = CurrentFileSystemCalls().statAt(AT_FDCWD, kMemoFile, &status, 0) == 0;
        const std::string backup = KeepBeforeImport();
        if (backup.empty()) {
            Complain(std::string(Tr("cannot keep a copy of ", "コピーを残せません: ")) + kMemoFile +
                     Tr(" for --undo; nothing changed", "（--undo のため）。何も変更していません"));
            return kExitFailed;
        }
        bool saved = true;
        if (memosChange) {
            g_strMemoData = store;
            saved = SaveMemoData() != 0;
        }
        const bool recorded = saved && (!recordChanges || WriteTextFile(ics::kImportedEventsFile,
                                                                        ics::FormatImportedEvents(imported)) != 0);
        for (const FileNotice& notice : TakeFileNotices())
            if (!notice.path.empty())
                Complain(Tr("kept a copy of the old file: ", "元のファイルを残しました: ") + notice.path);
        if (!saved) {
            Complain(std::string(Tr("cannot write ", "書き込めません: ")) + kMemoFile +
                     Tr("; nothing changed", "。何も変更していません"));
            return kExitFailed;
        }
        NoteAfterImport(backup);
        std::fputs(ImportReport(reading, merged, dryRun, options.folder).c_str(), stdout);
        if (hadMemoFile)
            std::printf(JapaneseMessages() ? "元の %s を %s/%s/ に残しました（velmora-cal import --undo で戻せます）\n"
                                           : "the old %s is kept in %s/%s/ (velmora-cal import --undo puts it back)\n",
                        kMemoFile, options.folder.c_str(), backup.c_str());
        else
            std::printf(JapaneseMessages() ? "%s は新しく作りました（velmora-cal import --undo で取り消せます）\n"
                                           : "%s is new (velmora-cal import --undo takes it away again)\n",
                        kMemoFile);
        if (!recorded) {
            Complain(
                std::string(Tr("cannot write ", "書き込めません: ")) + ics::kImportedEventsFile +
                Tr(": the events were added, but importing them again adds their changed lines beside the old ones",
                   "。予定は追加しましたが、次の取り込みでは変更された予定を置き換えずに追加します"));
            return kExitFailed;
        }
        return kExitOk;
    }

    std::fputs(ImportReport(reading, merged, dryRun, options.folder).c_str(), stdout);
    return kExitOk;
}

}  // namespace cal
