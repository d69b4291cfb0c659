#include "ui/tool_tips.h"

#include "platform/resources.h"
#include "platform/text_codec.h"

BOOL AnswerToolTipFromStringTable(TOOLTIPTEXT* request) {
    if (request->id == 0) return FALSE;
    request->text = Cp932(platform::FindStringResource(request->id));
    return TRUE;
}
