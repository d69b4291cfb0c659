#include "velmora-cal/input_file.h"

#include "velmora-cal/messages.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace cal {

namespace {

std::string TooLarge(const std::string& path, std::size_t maxBytes) {
    return path + Tr(": larger than ", ": 大きすぎます（上限 ") + std::to_string(maxBytes) + Tr(" bytes", " バイト）");
}

}  // namespace

std::optional<std::string> ReadInputFile(const std::string& path, std::size_t maxBytes, std::string& error) {
    const bool useStdin = path == "-";
    // Non-blocking, so that a FIFO in the file's place does not hold the command.
    const int fd = useStdin ? STDIN_FILENO : ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        error = Tr("cannot open ", "開けません: ") + path + ": " + std::strerror(errno);
        return std::nullopt;
    }
    const auto fail = [&](std::string why) {
        if (!useStdin) ::close(fd);
        error = std::move(why);
        return std::nullopt;
    };
    struct stat status {};
    if (!useStdin && (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)))
        return fail(path + Tr(": not a regular file", ": 通常のファイルではありません"));
    if (!useStdin && static_cast<unsigned long long>(status.st_size) > maxBytes) return fail(TooLarge(path, maxBytes));
    std::string bytes;
    char buffer[64 * 1024];
    for (;;) {
        const ssize_t count = ::read(fd, buffer, sizeof buffer);
        if (count < 0 && errno == EINTR) continue;
        if (count < 0) return fail(Tr("cannot read ", "読めません: ") + path + ": " + std::strerror(errno));
        if (count == 0) break;
        bytes.append(buffer, static_cast<std::size_t>(count));
        if (bytes.size() > maxBytes) return fail(TooLarge(path, maxBytes));
    }
    if (!useStdin) ::close(fd);
    return bytes;
}

}  // namespace cal
