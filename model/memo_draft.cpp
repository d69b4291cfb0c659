#include "model/memo_draft.h"

#include "model/field_text.h"
#include "model/memo_store.h"
#include "model/record.h"
#include "model/stable_hash.h"

#include <charconv>
#include <cstdint>
#include <cstdio>

namespace {

constexpr std::string_view kHeader = "velmora memo draft 1\n";
constexpr std::string_view kLineBreak = "\r\n";

// Cuts "<label> <number>\n" off the front of `rest`; returns false when it does not stand there.
bool CutNumber(std::string_view& rest, std::string_view label, long long& number) {
    if (!rest.starts_with(label) || rest.size() <= label.size() || rest[label.size()] != ' ') return false;
    rest.remove_prefix(label.size() + 1);
    const auto [end, error] = std::from_chars(rest.data(), rest.data() + rest.size(), number);
    if (error != std::errc() || end == rest.data() || end == rest.data() + rest.size() || *end != '\n') return false;
    rest.remove_prefix(static_cast<std::size_t>(end - rest.data()) + 1);
    return true;
}

// Cuts "<label> <length>\n<bytes>\n" off the front of `rest`: a length, so that any byte, a line
// break among them, can stand in the field.
bool CutLengthField(std::string_view& rest, std::string_view label, std::string& field) {
    long long length = 0;
    if (!CutNumber(rest, label, length) || length < 0 || static_cast<unsigned long long>(length) >= rest.size())
        return false;
    const auto size = static_cast<std::size_t>(length);
    if (rest[size] != '\n') return false;
    field.assign(rest.substr(0, size));
    rest.remove_prefix(size + 1);
    return true;
}

bool CutDay(std::string_view& rest, MemoDraft& draft) {
    if (!rest.starts_with("day ")) return false;
    rest.remove_prefix(4);
    int* const parts[] = {&draft.year, &draft.month, &draft.day};
    for (std::size_t i = 0; i < 3; ++i) {
        const auto [end, error] = std::from_chars(rest.data(), rest.data() + rest.size(), *parts[i]);
        const char separator = i < 2 ? ' ' : '\n';
        if (error != std::errc() || end == rest.data() + rest.size() || *end != separator) return false;
        rest.remove_prefix(static_cast<std::size_t>(end - rest.data()) + 1);
    }
    return draft.month >= 0 && draft.month <= 11 && draft.day >= 1 && draft.day <= 31;
}

// Returns the text of the day's first record, the one the day dialog opens, or std::nullopt.
std::optional<std::string> DayMemo(std::string_view store, int year, int month, int day) {
    std::string_view rest = store;
    while (!rest.empty()) {
        const MemoRecordFields fields = SplitMemoRecord(CutRecord(rest));
        if (fields.year == year && fields.month == month && fields.day == day) return std::string(fields.text);
    }
    return std::nullopt;
}

}  // namespace

std::string DraftFileName(std::string_view folder) {
    // FNV-1a: a short name of fixed length for a path of any length; the path itself is in the
    // file, so two folders that happened to share a name would still never take each other's.
    return "memo-draft-" + StableHashHex(folder);
}

std::string DraftFileBytes(const MemoDraft& draft) {
    std::string bytes(kHeader);
    bytes += "folder " + std::to_string(draft.folder.size()) + "\n" + draft.folder + "\n";
    bytes += "day " + std::to_string(draft.year) + " " + std::to_string(draft.month) + " " + std::to_string(draft.day) +
             "\n";
    bytes += "text " + std::to_string(draft.text.size()) + "\n" + draft.text + "\n";
    return bytes;
}

std::optional<MemoDraft> ParseDraftFile(std::string_view bytes) {
    if (!bytes.starts_with(kHeader)) return std::nullopt;
    bytes.remove_prefix(kHeader.size());
    MemoDraft draft;
    if (!CutLengthField(bytes, "folder", draft.folder) || !CutDay(bytes, draft) ||
        !CutLengthField(bytes, "text", draft.text) || !bytes.empty())
        return std::nullopt;
    return draft;
}

DraftFate JudgeDraft(const MemoDraft& draft, std::string_view folder, std::string_view store) {
    if (draft.folder != folder) return DraftFate::NotThisFolder;
    if (draft.text.empty()) return DraftFate::NothingNew;
    // Compared as the store would hold it: a registered text has its delimiters replaced.
    const std::string text = ReplaceRecordDelimiters(draft.text);
    const std::optional<std::string> memo = DayMemo(store, draft.year, draft.month, draft.day);
    // The text registered, or put into the day at an earlier start that ended before it could
    // remove the draft: nothing is lost by dropping it.
    if (memo && (*memo == text || memo->ends_with(std::string(kLineBreak) + text))) return DraftFate::NothingNew;
    return DraftFate::Offer;
}

void PutDraftIntoStore(std::string& store, const MemoDraft& draft) {
    const std::string memo = TakeMemoRecord(store, draft.year, draft.month, draft.day).value_or("");
    // The box opened with the day's memo: lines typed below it are what is new, and the memo is
    // not repeated in front of them.
    std::string_view added = draft.text;
    const std::string opened = memo + std::string(kLineBreak);
    if (!memo.empty() && added.starts_with(opened)) added.remove_prefix(opened.size());
    const std::string text = memo.empty() ? std::string(added) : opened + std::string(added);
    AppendMemoRecord(store, draft.year, draft.month, draft.day, text);
}
