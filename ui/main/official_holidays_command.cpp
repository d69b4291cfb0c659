#include "model/holiday_update.h"
#include "model/official_holidays.h"
#include "model/whole_file.h"
#include "model/year_calendar.h"
#include "platform/file_dialog.h"
#include "platform/text_codec.h"
#include "ui/main/calendar_dlg.h"

#include <fcntl.h>

#include <optional>
#include <string>

namespace {

std::string FailureText(const HolidayUpdateResult& result, const std::string& path) {
    switch (result.errorKind) {
    case HolidayUpdateError::BadList:
        return "「" + path + "」は祝日の一覧（内閣府の CSV）ではありません。\r\n" +
               (result.errorLine > 0 ? std::to_string(result.errorLine) + " 行目: " : std::string()) +
               "休日データは変更していません。";
    case HolidayUpdateError::UnsavedChanges:
        return "保存できていない休日の変更があります。\r\n先に休日データを保存できるようにしてから、もう一度実行してく"
               "ださい。"
               "\r\n休日データは変更していません。";
    case HolidayUpdateError::UnreadableFile:
        return "「" + result.failedFile + "」を読めません。\r\n休日データは変更していません。";
    case HolidayUpdateError::CannotReplace:
        return "「" + result.failedFile +
               "」を置き換えられません（書き込みが許されていないか、持ち主だけが置き換えられるフォルダにある別のユー"
               "ザーのファイルです）。\r\n休日データは変更していません。";
    case HolidayUpdateError::BackupFailed:
        return "バックアップを作れませんでした。\r\n休日データは変更していません。";
    case HolidayUpdateError::WriteFailed:
        return "「" + result.failedFile + "」に書き込めませんでした。\r\n以前のファイルはバックアップ「" +
               result.backupFolder + "」にあります。";
    case HolidayUpdateError::NotNewFolder:  // only a first start's update refuses so
    case HolidayUpdateError::None:
        break;
    }
    return "祝日を更新できませんでした。";
}

}  // namespace

void CCalendarDlg::OnUpdateOfficialHolidays() {
    std::string path;
    // With Shift held the user picks a newer list; otherwise the list installed with the program.
    if (GetKeyState(VK_SHIFT) < 0) {
        const std::optional<std::string> picked = platform::AskOpenFileName(*this, Cp932("祝日の一覧（CSV）を開く"),
                                                                            Cp932("CSV (*.csv);;すべてのファイル (*)"));
        if (!picked) return;
        path = *picked;
    } else {
        path = InstalledHolidayListPath(nullptr);
    }
    if (path.empty()) {
        MessageBox(Cp932("祝日の一覧（syukujitsu.csv）が見つかりません。\r\nShift "
                         "キーを押しながら選ぶと、ファイルを指定できます。"),
                   Cp932("エラー"), MB_OK | MB_ICONEXCLAMATION);
        return;
    }
    const std::string question =
        "日本の祝日・休日を、内閣府の一覧と今の祝日法に合わせます。\r\n"
        "1955年から2099年までの各年の休日ファイルに祝日・休日を書き込み、"
        "組み込みの休日（元旦、成人の日など）を置き換えます。\r\n"
        "ご自分で登録した休日はそのまま残ります。\r\n"
        "今のファイルはバックアップとして残します。\r\n\r\n"
        "祝日を最新にしますか？";
    if (MessageBox(Cp932(question), Cp932("祝日を最新にする"), MB_YESNO | MB_ICONEXCLAMATION) != IDYES) return;

    WholeFileFault fault = WholeFileFault::None;
    const std::optional<std::string> list = ReadWholeFile(AT_FDCWD, path, {.maxBytes = kMaxOfficialListBytes}, &fault);
    const std::string& shownPath = path;
    if (!list && fault != WholeFileFault::TooLarge) {
        MessageBox(Cp932("「" + shownPath + "」を読めません。\r\n休日データは変更していません。"), Cp932("エラー"),
                   MB_OK | MB_ICONEXCLAMATION);
        return;
    }
    // A file larger than any official list is no such list, and is told as one.
    HolidayUpdateResult result;
    result.errorKind = HolidayUpdateError::BadList;
    if (list) result = UpdateOfficialHolidays(*list);
    g_YearCalendar.Build();
    Repaint();
    if (!result.ok) {
        MessageBox(Cp932(FailureText(result, shownPath)), Cp932("エラー"), MB_OK | MB_ICONEXCLAMATION);
        return;
    }
    if (result.filesWritten == 0) {
        MessageBox(Cp932("祝日・休日はすでに最新です。何も変更していません。"), Cp932("祝日を最新にする"), MB_OK);
        return;
    }
    MessageBox(Cp932("祝日を最新にしました（" + std::to_string(result.filesWritten) + " ファイル、祝日・休日 " +
                     std::to_string(result.recordsWritten) + " 件）。\r\n以前のファイルはバックアップ「" +
                     result.backupFolder + "」にあります。"),
               Cp932("祝日を最新にする"), MB_OK);
}
