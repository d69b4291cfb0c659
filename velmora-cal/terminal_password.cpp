#include "velmora-cal/terminal_password.h"

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>

namespace cal {
namespace {

// The terminal's settings to put back when an interrupt ends the program with echo off.
int g_terminal = -1;
termios g_saved{};

void RestoreAndReraise(int signal) {
    ::tcsetattr(g_terminal, TCSAFLUSH, &g_saved);
    std::signal(signal, SIG_DFL);
    ::raise(signal);
}

}  // namespace

std::optional<std::string> AskPassword(const std::string& prompt, std::string& error) {
    const int tty = ::open("/dev/tty", O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (tty < 0) {
        error = "no terminal to ask for the password on; give --password-command CMD";
        return std::nullopt;
    }
    termios saved{};
    const bool settable = ::tcgetattr(tty, &saved) == 0;
    if (settable) {
        termios quiet = saved;
        quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
        quiet.c_lflag |= ECHONL;
        g_terminal = tty;
        g_saved = saved;
        for (const int signal : {SIGINT, SIGTERM, SIGHUP, SIGQUIT}) std::signal(signal, RestoreAndReraise);
        ::tcsetattr(tty, TCSAFLUSH, &quiet);
    }
    (void)!::write(tty, prompt.data(), prompt.size());
    std::string line;
    bool ended = false;
    for (char c = 0;;) {
        const ssize_t got = ::read(tty, &c, 1);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) break;
        if (c == '\n') {
            ended = true;
            break;
        }
        line += c;
    }
    if (settable) {
        ::tcsetattr(tty, TCSAFLUSH, &saved);
        for (const int signal : {SIGINT, SIGTERM, SIGHUP, SIGQUIT}) std::signal(signal, SIG_DFL);
        g_terminal = -1;
    }
    ::close(tty);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (!ended && line.empty()) {
        error = "no password was typed";
        return std::nullopt;
    }
    return line;
}

}  // namespace cal
