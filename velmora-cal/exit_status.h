#pragma once

// Exit statuses of velmora-cal.
inline constexpr int kExitOk = 0;
inline constexpr int kExitFailed = 1;   // nothing matched (search), or a file could not be read or written
inline constexpr int kExitRefused = 2;  // bad usage, input not accepted, or a copy of the calendar holds the folder
