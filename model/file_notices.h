#pragma once

#include <string>
#include <vector>

// What the data files tell the user about: files that do not look like ours, copies kept beside a
// data file, and saves refused because the file on disk is no longer the one read.
enum class FileNoticeKind {
    ForeignFileRead,  // a data file read does not look like one this program wrote
    OriginalKept,     // such a file was copied aside before its first change
    ConflictKept,     // another program changed the file; its version was kept aside, ours written
    SaveRefused,      // the file on disk is not the one read and may not be replaced; nothing written
};
struct FileNotice {
    FileNoticeKind kind;
    std::string file;  // the data file's name, as the program names it
    std::string path;  // the copy made, or "" when none was made
};

// Returns the notices recorded since the last call, oldest first, and forgets them.
std::vector<FileNotice> TakeFileNotices();
// Returns true when the data file `name` on disk is no longer the file last read or written
// (another program changed or replaced it); false for a name never read or written.
bool DataFileChangedOnDisk(const std::string& name);

// Adds a notice at the end of the list; the data files call it.
void RecordFileNotice(FileNotice notice);
// Forgets every notice recorded; ResetModelState calls it through ForgetDataFiles.
void ClearFileNotices();
