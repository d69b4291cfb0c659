#include "ui/save_notices.h"

#include "model/data_files.h"
#include "model/record.h"
#include "model/recovery.h"
#include "model/stores.h"
#include "model/year_calendar.h"
#include "platform/text_codec.h"
#include "platform/wnd.h"
#include "ui/globals.h"

#include <algorithm>
#include <cstdio>

namespace save_notices {

namespace {

std::string NameList(const std::vector<std::string>& files) {
    std::string list;
    for (const std::string& file : files) list += "「" + file + "」";
    return list;
}

// Returns the first lines of a code page 932 text, cut short (at a character) with "…" after it.
std::string Beginning(std::string_view text) {
    constexpr std::size_t kLongest = 120;
    constexpr int kLines = 3;
    std::size_t end = 0;
    int lines = 0;
    while (end < text.size() && end < kLongest) {
        if (text[end] == '\n' && ++lines == kLines) break;
        end += IsCp932LeadByte(static_cast<unsigned char>(text[end])) && end + 1 < text.size() ? 2 : 1;
    }
    std::string beginning(text.substr(0, std::min(end, text.size())));
    while (!beginning.empty() && (beginning.back() == '\r' || beginning.back() == '\n')) beginning.pop_back();
    return end < text.size() ? beginning + Cp932("…") : beginning;
}

}  // namespace

std::string DraftOfferText(const MemoDraft& draft) {
    const std::string day = std::to_string(draft.year + 1900LL) + "年" + std::to_string(draft.month + 1) + "月" +
                            std::to_string(draft.day) + "日";
    return Cp932("前回、" + day + "のメモを書いている途中でVelmoraが止まり、書きかけが残っています。\r\n\r\n") +
           Beginning(draft.text) +
           Cp932("\r\n\r\nこの書きかけを" + day +
                 "のメモの最後に加えますか？\r\n"
                 "「いいえ」のときは、書きかけを復旧用のコピーとして残します。");
}

std::string DraftKeptText(const std::string& copy) {
    return Cp932("書きかけのメモを、次の場所に残しました。\r\n  " + copy);
}

std::string StartUpText(const std::vector<std::string>& recoveryCopies, const std::vector<FileNotice>& notices) {
    std::string text;
    if (!recoveryCopies.empty()) {
        text += "前回の終了時に保存できなかったデータを、次の場所に残しました。\r\n";
        for (const std::string& copy : recoveryCopies) text += "  " + copy + "\r\n";
    }
    for (const FileNotice& notice : notices) {
        if (notice.kind != FileNoticeKind::ForeignFileRead) continue;
        if (!text.empty()) text += "\r\n";
        text += "「" + notice.file +
                "」はこのプログラムの形式（シフトJIS）のファイルではないようです。\r\n"
                "最初に保存する前に、元のファイルを「" +
                notice.file + ".orig-日付-時刻」として同じフォルダに残します。\r\n";
    }
    return text.empty() ? text : Cp932(text);
}

std::string ChangedFilesQuestion(const std::vector<std::string>& files) {
    return Cp932(NameList(files) +
                 "は、起動後にほかのプログラムによって変更されています。\r\n"
                 "変更されたファイルは「ファイル名.conflict-日付-時刻」として残し、このデータを保存します。\r\n"
                 "保存して終了しますか？");
}

std::string UnsavedHolidaysText(const std::vector<std::string>& files) {
    return Cp932("休日データを" + NameList(files) +
                 "に保存できませんでした。\r\n"
                 "変更は消さずに残し、終了するときにもう一度保存します。");
}

std::string UnsavedMemoText() {
    return Cp932(std::string("メモデータを「") + kMemoFile +
                 "」に保存できませんでした。\r\n"
                 "メモは消さずに残し、次にメモを変更したときと終了するときにもう一度保存します。");
}

std::vector<std::string> ChangedDataFiles() {
    std::vector<std::string> written = {kStaticHolidayFile, kDynamicHolidayFile,
                                        YearHolidayFileName(g_YearCalendar.year)};
    // Every memo change is saved at once: the exit writes the memo file only when one could not
    // be, and must not ask about a file it leaves alone.
    if (MemoDataUnsaved()) written.insert(written.begin(), kMemoFile);
    std::vector<std::string> changed;
    for (const std::string& name : written) {
        if (DataFileChangedOnDisk(name)) changed.push_back(name);
    }
    return changed;
}

int SaveMemoDataAndTell(CWnd& owner) {
    const int saved = SaveMemoDataIfChanged();
    // A copy kept beside the file, or a save refused, is said at once, not only at the end.
    LogNotices();
    // While the program ends, the exit path keeps the store as a recovery copy and says so.
    if (!saved && !g_bEnding && TakeFirstMemoSaveFailure()) {
        owner.MessageBox(UnsavedMemoText(), Cp932("エラー"), MB_OK | MB_ICONEXCLAMATION);
    }
    return saved;
}

int SaveHolidayDataAndTell(CWnd& owner) {
    const int saved = SaveHolidayData();
    // While the program ends, the exit path keeps the stores as recovery copies and says so.
    if (!saved && !g_bEnding) {
        owner.MessageBox(UnsavedHolidaysText(UnsavedHolidayFiles()), Cp932("エラー"), MB_OK | MB_ICONEXCLAMATION);
    }
    return saved;
}

void LogNotices() {
    for (const FileNotice& notice : TakeFileNotices()) {
        if (notice.kind == FileNoticeKind::ForeignFileRead) continue;
        const char* what = notice.kind == FileNoticeKind::OriginalKept   ? "its original kept as"
                           : notice.kind == FileNoticeKind::ConflictKept ? "changed by another program, kept as"
                                                                         : "no longer the file read; not written";
        std::fprintf(stderr, "velmora: %s: %s %s\n", notice.file.c_str(), what, notice.path.c_str());
    }
}

void TellStartUpNotices(CWnd& owner) {
    const std::string text = StartUpText(TakeUntoldRecoveryCopies(), TakeFileNotices());
    if (!text.empty()) owner.MessageBox(text, Cp932("Velmora"), MB_OK | MB_ICONEXCLAMATION);
}

}  // namespace save_notices
