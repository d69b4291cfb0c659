#include "sync/pass_answer.h"

#include "model/field_escape.h"

#include <charconv>

namespace memosync {
namespace {

constexpr std::string_view kFirstField = "pass";
// Texts are cut to these lengths before their escapes double them at most.
constexpr std::size_t kMaxErrorBytes = 4096;
constexpr std::size_t kMaxItemTextBytes = 1024;
// Kept free at the end of the line for the count of the items left off and the newline.
constexpr std::size_t kTailRoom = 48;

std::string Cut(std::string_view text, std::size_t limit) {
    if (text.size() <= limit) return std::string(text);
    std::size_t end = limit;
    // At the start of a character, never inside its UTF-8 sequence.
    while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
    return std::string(text.substr(0, end)) + "...";
}

// The value with the line's separators (tab, newline) and the escape itself written as escapes.
std::string Escaped(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    AppendFieldEscaped(out, text);
    return out;
}

std::optional<int> Count(std::string_view text) {
    int value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || value < 0) return std::nullopt;
    return value;
}

std::optional<bool> Flag(std::string_view text) {
    if (text == "1") return true;
    if (text == "0") return false;
    return std::nullopt;
}

}  // namespace

std::string EncodePassAnswer(const SyncResult& result) {
    std::string line(kFirstField);
    const auto field = [&line](std::string_view key, std::string_view value) {
        line += '\t';
        line += key;
        line += '=';
        line += value;
    };
    field("ok", result.ok ? "1" : "0");
    field("up", std::to_string(result.up));
    field("down", std::to_string(result.down));
    field("merged", std::to_string(result.merged));
    field("kept-both", std::to_string(result.keptBoth));
    field("deleted-up", std::to_string(result.deletedUp));
    field("deleted-down", std::to_string(result.deletedDown));
    field("refused-empty", result.refusedEmpty ? "1" : "0");
    if (!result.error.empty()) field("error", Escaped(Cut(result.error, kMaxErrorBytes)));
    int leftOff = 0;
    for (const SkippedItem& item : result.skipped) {
        // In the order the pass met them: once one does not fit, the rest are only counted.
        const std::string entry = "\tskipped=" + Escaped(Cut(item.href, kMaxItemTextBytes)) +
                                  "\treason=" + Escaped(Cut(item.reason, kMaxItemTextBytes));
        if (leftOff > 0 || line.size() + entry.size() + kTailRoom > kMaxPassAnswerBytes) {
            ++leftOff;
            continue;
        }
        line += entry;
    }
    if (leftOff > 0) field("skipped-left-off", std::to_string(leftOff));
    line += '\n';
    return line;
}

std::optional<PassAnswer> DecodePassAnswer(std::string_view line) {
    if (line.size() > kMaxPassAnswerBytes) return std::nullopt;
    if (!line.empty() && line.back() == '\n') line.remove_suffix(1);
    if (line.find('\n') != std::string_view::npos) return std::nullopt;
    PassAnswer answer;
    SyncResult& result = answer.result;
    bool sawOk = false;
    bool first = true;
    bool reasonDue = false;  // a skipped item's reason comes right after its href
    for (std::size_t start = 0; start <= line.size();) {
        std::size_t end = line.find('\t', start);
        if (end == std::string_view::npos) end = line.size();
        const std::string_view field = line.substr(start, end - start);
        start = end + 1;
        if (first) {
            if (field != kFirstField) return std::nullopt;
            first = false;
            continue;
        }
        const std::size_t equals = field.find('=');
        if (equals == std::string_view::npos) return std::nullopt;
        const std::string_view key = field.substr(0, equals);
        const std::string_view value = field.substr(equals + 1);
        if (reasonDue != (key == "reason")) return std::nullopt;
        std::optional<int> count;
        std::optional<bool> flag;
        std::optional<std::string> text;
        if (key == "ok" && (flag = Flag(value))) {
            result.ok = *flag;
            sawOk = true;
        } else if (key == "refused-empty" && (flag = Flag(value))) {
            result.refusedEmpty = *flag;
        } else if ((key == "error" || key == "skipped" || key == "reason") && (text = FieldUnescaped(value))) {
            if (key == "error") result.error = std::move(*text);
            if (key == "skipped") result.skipped.push_back({std::move(*text), {}});
            if (key == "reason") result.skipped.back().reason = std::move(*text);
            reasonDue = key == "skipped";
        } else if ((count = Count(value))) {
            int* const target = key == "up"                 ? &result.up
                                : key == "down"             ? &result.down
                                : key == "merged"           ? &result.merged
                                : key == "kept-both"        ? &result.keptBoth
                                : key == "deleted-up"       ? &result.deletedUp
                                : key == "deleted-down"     ? &result.deletedDown
                                : key == "skipped-left-off" ? &answer.skippedLeftOff
                                                            : nullptr;
            if (target == nullptr) return std::nullopt;
            *target = *count;
        } else {
            return std::nullopt;
        }
    }
    if (first || !sawOk || reasonDue) return std::nullopt;
    return answer;
}

}  // namespace memosync
