#include "platform/code_page.h"

#include <iconv.h>

#include <cerrno>
#include <stdexcept>

namespace platform {
namespace {

constexpr std::string_view kReplacementUtf8 = "\xEF\xBF\xBD";  // U+FFFD
constexpr std::string_view kGetaMarkCp932 = "\x81\xAC";        // 〓

// Length of the UTF-8 sequence that starts with `lead` (1 for a stray continuation byte).
std::size_t Utf8Length(unsigned char lead) {
    if (lead >= 0xF0) return 4;
    if (lead >= 0xE0) return 3;
    if (lead >= 0xC0) return 2;
    return 1;
}

// One iconv descriptor per direction, opened at first use and kept: a search converts every memo
// of the folder, and opening a descriptor costs far more than converting one memo.
class Converter {
public:
    Converter(const char* to, const char* from) : m_cd(iconv_open(to, from)) {
        // iconv_open reports failure as the pointer value -1.
        if (m_cd == reinterpret_cast<iconv_t>(-1))  // NOLINT(cppcoreguidelines-pro-type-reinterpret-cast)
            throw std::runtime_error(std::string("iconv cannot convert from ") + from + " to " + to);
    }
    ~Converter() { iconv_close(m_cd); }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;

    // Converts `input`, replacing each unconvertible unit (of unitLength(first byte) bytes) with
    // `replacement`; returns the number of units replaced through `replaced`.
    template <typename UnitLength>
    std::string Convert(std::string_view input, std::string_view replacement, UnitLength unitLength,
                        std::size_t& replaced) {
        std::string out;
        out.reserve(input.size() * 3 / 2 + 8);
        // iconv takes its input through a non-const pointer but never writes through it.
        char* in = const_cast<char*>(input.data());  // NOLINT(cppcoreguidelines-pro-type-const-cast)
        std::size_t inLeft = input.size();
        char buffer[4096];
        iconv(m_cd, nullptr, nullptr, nullptr, nullptr);
        while (inLeft > 0) {
            char* dst = buffer;
            std::size_t dstLeft = sizeof buffer;
            const std::size_t rc = iconv(m_cd, &in, &inLeft, &dst, &dstLeft);
            out.append(buffer, static_cast<std::size_t>(dst - buffer));
            if (rc != static_cast<std::size_t>(-1)) break;
            if (errno == E2BIG) continue;
            // EILSEQ, or EINVAL for a sequence cut short by the end: replace one unit and go on.
            const std::size_t skip = std::min(inLeft, unitLength(static_cast<unsigned char>(*in)));
            out.append(replacement);
            ++replaced;
            in += skip;
            inLeft -= skip;
            iconv(m_cd, nullptr, nullptr, nullptr, nullptr);
        }
        return out;
    }

private:
    iconv_t m_cd;
};

}  // namespace

std::string Utf8FromCp932(std::string_view cp932) {
    static Converter converter("UTF-8", "CP932");
    std::size_t replaced = 0;
    // A bad byte is skipped alone, so that a broken lead byte does not swallow the character after it.
    return converter.Convert(
        cp932, kReplacementUtf8, [](unsigned char) { return std::size_t{1}; }, replaced);
}

std::string Cp932FromUtf8(std::string_view utf8, std::size_t* replaced) {
    static Converter converter("CP932", "UTF-8");
    std::size_t count = 0;
    std::string out = converter.Convert(utf8, kGetaMarkCp932, Utf8Length, count);
    if (replaced != nullptr) *replaced += count;
    return out;
}

void AppendUtf8(std::string& out, char32_t code) {
    if (code < 0x80) {
        out += static_cast<char>(code);
    } else if (code < 0x800) {
        out += static_cast<char>(0xC0 | (code >> 6));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        out += static_cast<char>(0xE0 | (code >> 12));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (code >> 18));
        out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    }
}

}  // namespace platform
