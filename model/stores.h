#pragma once

#include <string>
#include <vector>

// Returns the names of the holiday files whose stores could not be written by the last saves; until
// a save succeeds, those stores stand in for their files when the holidays are read again.
std::vector<std::string> UnsavedHolidayFiles();
// Returns true while the memo store differs from what its file held when last read or written
// (before any read, while the store is not empty).
bool MemoDataUnsaved();
// Writes the memo store as SaveMemoData does, but only while MemoDataUnsaved: an unchanged store
// leaves the file (and its modification time) alone. Returns 1 when the file holds the store.
int SaveMemoDataIfChanged();
// Returns true once for each run of failed memo saves (the first failure since the start or since
// the last save that succeeded), so that the user is told once, not at every change.
bool TakeFirstMemoSaveFailure();
// Saves the memo store when it changed; when it cannot be written where it belongs, keeps it as a
// recovery copy. Returns 1 when its file holds it, else 0.
int SaveMemoDataOrRecover();
// Saves every holiday store as SaveHolidayData does; each one that cannot be written where it
// belongs is kept as a recovery copy. Returns 1 when all were saved in their files, else 0.
int SaveHolidayDataOrRecover();
// Removes the temporary files that saves of this user left in the current folder when the program
// was killed mid-save; call it only while no other copy runs there. Returns how many it removed.
int RemoveLeftoverTempFiles();
// Makes the fixed-date and rule-based stores as they are now stand in for their files whenever the
// holidays are read again, without writing them: a reader shows what the calendar would save.
void StandInForTableFiles();
// Makes `store` stand in for the holiday file `name` whenever the holidays are read again, without
// writing it.
void StandInForHolidayFile(const std::string& name, const std::string& store);
// Forgets the unsaved holiday stores and what the files held; ResetModelState calls it.
void ForgetHolidayFileStates();
// Forgets what the memo file held and its failed saves; ResetModelState calls it.
void ForgetMemoFileState();
