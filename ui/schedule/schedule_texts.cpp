#include "ui/schedule/schedule_texts.h"

#include "app/platform/resources.h"
#include "app/platform/text_codec.h"

namespace schedule_texts {

std::string DateBand(long long calendarYear, int month, int day) {
    return Cp932(std::to_string(calendarYear) + "年  " + std::to_string(month) + "月  " + std::to_string(day) + "日");
}

std::string CaptionBand(long long calendarYear, int month) {
    return Cp932(std::to_string(calendarYear) + "年  " + std::to_string(month) + "月");
}

BOOL AnswerToolTip(NMHDR* header, LRESULT* result) {
    auto* request = reinterpret_cast<TOOLTIPTEXT*>(header);
    UINT_PTR id = header->idFrom;
    if ((request->uFlags & TTF_IDISHWND) != 0) id = static_cast<UINT_PTR>(reinterpret_cast<CWnd*>(id)->GetDlgCtrlID());
    if (id == 0) return FALSE;
    request->text = Cp932(platform::FindStringResource(static_cast<UINT>(id)));
    if (result != nullptr) *result = 0;
    return TRUE;
}

}  // namespace schedule_texts
