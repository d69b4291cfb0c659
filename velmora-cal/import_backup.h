#pragma once

#include <string>

// The memo file an import replaces, kept in the data folder (the current directory) so that
// "velmora-cal import --undo" can put it back.
namespace cal {

// The folders the copies go to: "import-backup-YYYYMMDD-HHMMSS" (a number after it when taken).
inline constexpr const char* kImportBackupPrefix = "import-backup-";

// Copies the memo file and the record of imported events, as they stand, into a new backup folder;
// returns the folder's name, or "" (with nothing left behind) when a step fails.
std::string KeepBeforeImport();

// Notes in `backup` what the memo file holds now, after the import wrote it; returns false when
// the note cannot be written.
bool NoteAfterImport(const std::string& backup);

// What an undo did.
struct UndoOutcome {
    enum class Kind {
        Done,          // the files are as they were before the import of `backup`
        NoImport,      // no backup folder of an import is left
        ChangedSince,  // the memo file changed after the import of `backup`: nothing changed
        Unfinished,    // the import of `backup` was stopped after writing: nothing changed
        Failed,        // a file could not be written back (`error` says which)
    };
    Kind kind = Kind::NoImport;
    std::string backup;
    std::string error;
};

// Puts back the memo file and the record of imported events from the newest backup folder when
// the memo file holds what that import wrote, and removes the folder; a folder of an import that
// stopped before writing anything is removed and the one before it is taken.
UndoOutcome UndoLastImport();

}  // namespace cal
