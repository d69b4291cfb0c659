#include "platform/text_codec.h"

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

// Converts with iconv, replacing each unconvertible unit of input with `replacement`.
// `unitLength` gives how many input bytes one bad unit spans.
template <typename UnitLength>
std::string Convert(const char* to, const char* from, std::string_view input, std::string_view replacement,
                    UnitLength unitLength) {
    iconv_t cd = iconv_open(to, from);
    // iconv_open reports failure as the pointer value -1.
    if (cd == reinterpret_cast<iconv_t>(-1)) {  // NOLINT(cppcoreguidelines-pro-type-reinterpret-cast)
        throw std::runtime_error("iconv cannot convert between code page 932 and UTF-8");
    }
    std::string out;
    out.reserve(input.size() * 2);
    // iconv takes its input through a non-const pointer but never writes through it.
    char* in = const_cast<char*>(input.data());  // NOLINT(cppcoreguidelines-pro-type-const-cast)
    std::size_t inLeft = input.size();
    char buffer[4096];
    while (inLeft > 0) {
        char* dst = buffer;
        std::size_t dstLeft = sizeof buffer;
        const std::size_t rc = iconv(cd, &in, &inLeft, &dst, &dstLeft);
        out.append(buffer, static_cast<std::size_t>(dst - buffer));
        if (rc != static_cast<std::size_t>(-1)) break;
        if (errno == E2BIG) continue;
        // EILSEQ or EINVAL (a truncated sequence at the end): replace one unit and go on.
        const std::size_t skip = std::min(inLeft, unitLength(static_cast<unsigned char>(*in)));
        out.append(replacement);
        in += skip;
        inLeft -= skip;
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
    }
    iconv_close(cd);
    return out;
}

}  // namespace

std::string Utf8FromCp932(std::string_view cp932) {
    // A bad byte is skipped alone, so that a broken lead byte does not swallow the next "~".
    return Convert("UTF-8", "CP932", cp932, kReplacementUtf8, [](unsigned char) { return std::size_t{1}; });
}

std::string Cp932FromUtf8(std::string_view utf8) { return Convert("CP932", "UTF-8", utf8, kGetaMarkCp932, Utf8Length); }

QString ToQString(std::string_view cp932) {
    const std::string utf8 = Utf8FromCp932(cp932);
    return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

std::string FromQString(const QString& text) {
    const QByteArray utf8 = text.toUtf8();
    return Cp932FromUtf8(std::string_view(utf8.constData(), static_cast<std::size_t>(utf8.size())));
}

QString WithCrLf(const QString& text) {
    QString out;
    out.reserve(text.size() + text.size() / 16);
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c == QLatin1Char('\n') && (i == 0 || text.at(i - 1) != QLatin1Char('\r'))) {
            out.append(QLatin1Char('\r'));
        }
        out.append(c);
    }
    return out;
}

QString WithoutCr(const QString& text) {
    QString out = text;
    out.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    return out;
}

}  // namespace platform
