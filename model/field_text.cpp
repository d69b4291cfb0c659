#include "model/field_text.h"

#include "model/record.h"

namespace {

constexpr std::string_view kFullWidthCaret = "\x81\x4F";  // ＾
constexpr std::string_view kFullWidthTilde = "\x81\x60";  // ～
constexpr std::string_view kGetaMark = "\x81\xAC";        // 〓

}  // namespace

std::string ReplaceRecordDelimiters(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (IsCp932LeadByte(c)) {
            // A lead byte with nothing after it would pair with the record's closing "~".
            if (i + 1 < text.size()) {
                out.append(text.substr(i, 2));
                ++i;
            } else {
                out.append(kGetaMark);
            }
        } else if (c == '^') {
            out.append(kFullWidthCaret);
        } else if (c == '~') {
            out.append(kFullWidthTilde);
        } else {
            out.push_back(static_cast<char>(c));
        }
    }
    return out;
}
