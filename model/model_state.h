#pragma once

// Returns the model's program-wide state to what it is when the program starts: the four stores
// empty, g_YearCalendar zeroed, no data file remembered (identity, unreadable, foreign), no notice,
// no unsaved holiday store, nothing known of the memo file's saves, the data folder's descriptor
// closed, the real file system calls and the real clock. Tests call it before and after each case.
void ResetModelState();
