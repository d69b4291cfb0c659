#pragma once

#include "platform/wnd.h"

// Answers a toolbar button's tool-tip request with the string resource whose id is the button's
// command id; returns FALSE, supplying no text, for id 0.
BOOL AnswerToolTipFromStringTable(TOOLTIPTEXT* request);
