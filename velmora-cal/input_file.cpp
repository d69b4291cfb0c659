#include "velmora-cal/input_file.h"

#include "model/whole_file.h"
#include "velmora-cal/messages.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace cal {

namespace {

std::string TooLarge(const std::string& path, std::size_t maxBytes) {
    return path + Tr(": larger than ", ": 大きすぎます（上限 ") + std::to_string(maxBytes) + Tr(" bytes", " バイト）");
}

std::string CannotRead(const std::string& path) {
    return Tr("cannot read ", "読めません: ") + path + ": " + std::strerror(errno);
}

}  // namespace

std::optional<std::string> ReadInputFile(const std::string& path, std::size_t maxBytes, std::string& error) {
    if (path == "-") {
        std::optional<std::string> bytes = ReadToEnd(STDIN_FILENO, maxBytes);
        if (!bytes) error = errno == EFBIG ? TooLarge(path, maxBytes) : CannotRead(path);
        return bytes;
    }
    WholeFileFault fault = WholeFileFault::None;
    std::optional<std::string> bytes = ReadWholeFile(AT_FDCWD, path, {.maxBytes = maxBytes}, &fault);
    switch (fault) {
    case WholeFileFault::None:
        break;
    case WholeFileFault::Open:
        error = Tr("cannot open ", "開けません: ") + path + ": " + std::strerror(errno);
        break;
    case WholeFileFault::NotAFile:
    case WholeFileFault::NotOwn:
        error = path + Tr(": not a regular file", ": 通常のファイルではありません");
        break;
    case WholeFileFault::TooLarge:
        error = TooLarge(path, maxBytes);
        break;
    case WholeFileFault::Read:
        error = CannotRead(path);
        break;
    }
    return bytes;
}

}  // namespace cal
