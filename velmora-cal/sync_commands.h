#pragma once

#include "velmora-cal/options.h"

// velmora-cal's sync commands: the set-up of the data folder with a CalDAV calendar, a pass,
// what the set-up holds, and its removal.
namespace cal {

// "sync [--accept-empty]": one pass between the memo file and the folder's calendar, under the
// folder's lock, or the pass of the calendar that runs in the folder; says what moved.
int RunSync(const Options& options);
// "sync setup URL": finds or makes the calendar, asks for the password and keeps the set-up.
int RunSyncSetup(const Options& options);
// "sync status": the folder's set-up and what its state holds.
int RunSyncStatus(const Options& options);
// "sync forget": removes the set-up, its state and the stored password.
int RunSyncForget(const Options& options);

}  // namespace cal
