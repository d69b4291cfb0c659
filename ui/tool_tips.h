#pragma once

#include "platform/wnd.h"

// Answers a toolbar's tool-tip request with the string resource whose id is the tool's id (the
// button's command id); returns FALSE, supplying no text, for id 0.
BOOL AnswerToolTipFromStringTable(NMHDR* header, LRESULT* result);
