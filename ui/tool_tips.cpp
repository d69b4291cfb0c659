#include "ui/tool_tips.h"

#include "platform/resources.h"
#include "platform/text_codec.h"

BOOL AnswerToolTipFromStringTable(NMHDR* header, LRESULT* result) {
    auto* request = reinterpret_cast<TOOLTIPTEXT*>(header);
    UINT_PTR id = header->idFrom;
    if ((request->uFlags & TTF_IDISHWND) != 0) id = static_cast<UINT_PTR>(reinterpret_cast<CWnd*>(id)->GetDlgCtrlID());
    if (id == 0) return FALSE;
    request->text = Cp932(platform::FindStringResource(static_cast<UINT>(id)));
    if (result != nullptr) *result = 0;
    return TRUE;
}
