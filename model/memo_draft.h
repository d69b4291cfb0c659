#pragma once

#include <optional>
#include <string>
#include <string_view>

// The draft of a day dialog's memo box: what was typed, kept on disk while the dialog is open so
// that a crash does not lose it, and offered back at the next start in the same data folder.

// How long typing must pause before the draft is written, in milliseconds.
inline constexpr unsigned kDraftPauseMs = 1000;

struct MemoDraft {
    std::string folder;  // the data folder's absolute path
    int year = 0;        // years since 1900
    int month = 0;       // 0..11
    int day = 0;         // 1..31
    std::string text;    // code page 932 as the box gives it, CR LF line breaks
};

// Returns the name of the draft file of the data folder `folder`: one name for each folder, so a
// folder never has two drafts.
std::string DraftFileName(std::string_view folder);
// Returns the bytes of the draft file that holds `draft`.
std::string DraftFileBytes(const MemoDraft& draft);
// Returns the draft that a draft file holds, or std::nullopt when the bytes are not one whole
// draft (a month or day out of range, a length that does not match, anything after the end).
std::optional<MemoDraft> ParseDraftFile(std::string_view bytes);

// What the start-up does with a draft it finds.
enum class DraftFate {
    NotThisFolder,  // another data folder's draft: left alone
    NothingNew,     // empty, or already the end of its day's memo in the store: removed unasked
    Offer,          // asked whether it goes into its day's memo
};
// Returns what becomes of `draft` in the data folder `folder` whose memo store is `store`.
DraftFate JudgeDraft(const MemoDraft& draft, std::string_view folder, std::string_view store);
// Appends the draft's text to its day's memo in `store` as a new block of lines (or makes it the
// memo when the day has none); a draft that begins with the memo and a line break adds only the
// lines after it. The day's record moves to the end, as the day dialog's edits do.
void PutDraftIntoStore(std::string& store, const MemoDraft& draft);
