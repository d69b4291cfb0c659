#pragma once

#include <string>
#include <vector>

// Returns the names of the holiday files whose stores could not be written by the last saves; until
// a save succeeds, those stores stand in for their files when the holidays are read again.
std::vector<std::string> UnsavedHolidayFiles();
// Saves the memo store; when it cannot be written where it belongs, keeps it as a recovery copy.
// Returns 1 when it was saved in its file, else 0.
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
// Forgets the unsaved holiday stores and what the files held; ResetModelState calls it.
void ForgetHolidayFileStates();
