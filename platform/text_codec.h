#pragma once

#include "platform/code_page.h"

#include <QString>

#include <string>
#include <string_view>

// Code page 932 text (stores, files, window text of the program) as Qt's UTF-16.
namespace platform {

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
