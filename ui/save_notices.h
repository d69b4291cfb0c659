#pragma once

#include "model/file_notices.h"
#include "model/memo_draft.h"

#include <string>
#include <vector>

class CWnd;

// What the windows tell the user about the data files, in code page 932.
namespace save_notices {

// Returns the start-up message about recovery copies kept by earlier runs and about data files
// that do not look like ours, or "" when there is nothing to tell.
std::string StartUpText(const std::vector<std::string>& recoveryCopies, const std::vector<FileNotice>& notices);
// Returns the question asked before saving over data files that another program changed.
std::string ChangedFilesQuestion(const std::vector<std::string>& files);
// Returns the message about holiday files that could not be saved, the edits kept in memory.
std::string UnsavedHolidaysText(const std::vector<std::string>& files);
// Returns the message about a memo file that could not be saved, the memos kept in memory.
std::string UnsavedMemoText();
// Returns the question asked at start-up about a draft left behind: its day, the start of its text,
// and what each answer does.
std::string DraftOfferText(const MemoDraft& draft);
// Returns the message that says where a draft the user did not take in was kept.
std::string DraftKeptText(const std::string& copy);
// Returns the data files that the exit's saves write (the holiday files of the shown year, the
// memo file only while the memo store has changes it does not hold) and that another program
// changed or replaced on disk since they were read or written.
std::vector<std::string> ChangedDataFiles();

// Saves the memo store when it changed; the first failure since the last success is told in a
// message box owned by `owner`, naming the file. Returns what SaveMemoDataIfChanged returns.
int SaveMemoDataAndTell(CWnd& owner);

// Saves the holiday stores; when a file cannot be written, tells the user in a message box owned
// by `owner`, naming it. Returns what SaveHolidayData returns.
int SaveHolidayDataAndTell(CWnd& owner);
// Writes one line to stderr for each copy kept beside a data file and each save refused.
void LogNotices();
// Tells the user, once at start-up, of recovery copies of earlier runs and of foreign data files.
void TellStartUpNotices(CWnd& owner);

}  // namespace save_notices
