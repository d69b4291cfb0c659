#pragma once

#include <QString>

#include <string>
#include <string_view>

// The one place where code page 932 text (stores, files, window text of the program) meets
// UTF-8 and Qt's UTF-16.
namespace platform {

// Returns the UTF-8 form of code page 932 bytes; bytes that are no character become U+FFFD.
std::string Utf8FromCp932(std::string_view cp932);
// Returns the code page 932 form of UTF-8 text; a character the code page lacks becomes "〓".
std::string Cp932FromUtf8(std::string_view utf8);

// Returns code page 932 bytes as a QString.
QString ToQString(std::string_view cp932);
// Returns a QString as code page 932 bytes ("〓" for what the code page lacks).
std::string FromQString(const QString& text);

// Returns the text with every lone LF turned into CR LF (the line break a multi-line box gives).
QString WithCrLf(const QString& text);
// Returns the text with every CR LF turned into LF (the line break Qt's editors use).
QString WithoutCr(const QString& text);

}  // namespace platform

// Returns the code page 932 form of a UTF-8 literal: the window code writes its Japanese texts
// in UTF-8 source and hands them to stores, formats and the window layer in code page 932.
inline std::string Cp932(std::string_view utf8) { return platform::Cp932FromUtf8(utf8); }
