#include "sync/text.h"

#include "model/field_text.h"
#include "platform/code_page.h"
#include "sync/merge.h"

#include <vector>

namespace memosync {
namespace {

std::vector<std::string_view> MemoLines(std::string_view memo) {
    auto lines = SplitLines(memo);
    for (auto& line : lines) {
        if (line.ends_with('\r')) line.remove_suffix(1);
    }
    return lines;
}

}  // namespace

std::string ServerTextOfMemo(std::string_view memoCp932, std::string_view base) {
    const auto memoLines = MemoLines(memoCp932);
    const auto baseLines = SplitLines(base);
    std::vector<std::string> baseAsMemo;
    baseAsMemo.reserve(baseLines.size());
    for (const auto line : baseLines) baseAsMemo.push_back(ReplaceRecordDelimiters(platform::Cp932FromUtf8(line)));
    const std::vector<std::string_view> baseViews(baseAsMemo.begin(), baseAsMemo.end());
    // Base lines compare as the store holds them, with the record's delimiters in full width.
    // The match goes memo line -> base line: a line the memo still holds as it came keeps the
    // server's characters, even those the code page turned into others (U+301C) or into 〓.
    const auto match = MatchLines(memoLines, baseViews);
    std::string out;
    for (std::size_t i = 0; i < memoLines.size(); ++i) {
        if (i > 0) out += '\n';
        out += match[i] >= 0 ? std::string(baseLines[static_cast<std::size_t>(match[i])])
                             : platform::Utf8FromCp932(memoLines[i]);
    }
    return out;
}

std::string MemoOfServerText(std::string_view utf8, std::size_t* replaced) {
    const auto lines = SplitLines(utf8);
    std::string out;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (i > 0) out += "\r\n";
        out += ReplaceRecordDelimiters(platform::Cp932FromUtf8(lines[i], replaced));
    }
    return out;
}

}  // namespace memosync
