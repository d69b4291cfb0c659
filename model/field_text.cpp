#include "model/field_text.h"

#include "model/record.h"

namespace {

constexpr std::string_view kFullWidthCaret = "\x81\x4F";  // ＾
constexpr std::string_view kFullWidthTilde = "\x81\x60";  // ～
constexpr std::string_view kGetaMark = "\x81\xAC";        // 〓
constexpr unsigned char kEndOfFileByte = 0x1A;

bool IsCp932TrailByte(unsigned char c) { return (c >= 0x40 && c <= 0x7E) || (c >= 0x80 && c <= 0xFC); }

}  // namespace

std::string ReplaceRecordDelimiters(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (IsCp932LeadByte(c)) {
            // A lead byte with nothing after it would pair with the record's closing "~"; one
            // followed by a byte that cannot be a second byte (a NUL, 0x1A, a line break) would
            // swallow that byte.
            if (i + 1 < text.size() && IsCp932TrailByte(static_cast<unsigned char>(text[i + 1]))) {
                out.append(text.substr(i, 2));
                ++i;
            } else {
                out.append(kGetaMark);
            }
        } else if (c == '\0' || c == kEndOfFileByte) {
            // Either byte ends the file for the reader: every record after it would be lost.
            out.append(kGetaMark);
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
