#include "model/record.h"
#include "model/year_calendar.h"
#include "paper/paper_month.h"
#include "paper/paper_painter.h"
#include "platform/code_page.h"
#include "platform/print_dialog.h"
#include "platform/text_codec.h"
#include "ui/main/calendar_dlg.h"

#include <string>
#include <vector>

void CCalendarDlg::OnPrint() {
    const long long year = g_YearCalendar.CalendarYear();
    const bool wholeYear = m_nView == 1;
    std::vector<paper::PaperMonth> months;
    for (int month = wholeYear ? 1 : g_YearCalendar.month + 1; month <= (wholeYear ? 12 : g_YearCalendar.month + 1);
         ++month)
        months.push_back(paper::LoadPaperMonth(year, month, g_strMemoData, platform::Utf8FromCp932));
    const paper::PageLayout layout = [&months, wholeYear](double width, double height) {
        return wholeYear ? paper::YearPage(months, width, height) : paper::MonthPage(months[0], width, height);
    };
    std::string error;
    if (platform::PrintPage(
            *this, [&layout](QPainter& painter) { paper::PaintPage(painter, layout); }, error) ==
        platform::PrintResult::Failed)
        MessageBox(Cp932("印刷できませんでした。\r\n" + error), Cp932("エラー"), MB_OK | MB_ICONEXCLAMATION);
}
