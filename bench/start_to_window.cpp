// Starts the calendar and a bare Qt 6 dialog in turn (bare, calendar, bare, calendar, ... so that
// the load of the machine falls on both alike) and measures for each start the time from fork to
// the map of its first top-level window on the X display, and its peak resident memory then. The
// calendar starts in a data folder holding ten years of memos and the holiday files.
//
//   velmora_start_bench --program PATH --bare PATH [--rounds N] [--settle-ms M] [--first-start]
//
// With --first-start the calendar starts in an empty folder each time, as a new user's does.
//
// Run it on a display without a window manager, e.g. under xvfb-run.
#include "model/data_files.h"
#include "model/holiday_update.h"
#include "model/model_state.h"
#include "model/record.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

struct Start {
    double milliseconds = -1;
    long peakKib = 0;
};

// Ten years of memos, one on every day, and the holiday files that the update writes.
void FillDataFolder(const std::filesystem::path& folder) {
    std::filesystem::create_directories(folder);
    std::filesystem::current_path(folder);
    ResetModelState();
    std::string memos;
    for (int year = 117; year <= 126; ++year) {
        for (int month = 0; month < 12; ++month) {
            for (int day = 1; day <= 28; ++day)
                memos += MakeMemoRecord(year, month, day, "10:00 meeting " + std::to_string(day));
        }
    }
    WriteTextFile(kMemoFile, memos);
    std::ifstream in(VELMORA_OFFICIAL_LIST, std::ios::binary);
    std::ostringstream list;
    list << in.rdbuf();
    if (!UpdateOfficialHolidays(list.str()).ok) std::fprintf(stderr, "the holiday files were not written\n");
    ResetModelState();
}

long WindowPid(Display* display, Window window) {
    const Atom pidAtom = XInternAtom(display, "_NET_WM_PID", False);
    Atom type = None;
    int format = 0;
    unsigned long count = 0;
    unsigned long after = 0;
    unsigned char* data = nullptr;
    long pid = -1;
    if (XGetWindowProperty(display, window, pidAtom, 0, 1, False, XA_CARDINAL, &type, &format, &count, &after, &data) ==
            Success &&
        data != nullptr && count == 1 && format == 32)
        std::memcpy(&pid, data, sizeof pid);  // a 32-bit property comes as one long
    if (data != nullptr) XFree(data);
    return pid;
}

// Runs `program` in `folder` until its first top-level window is mapped, lets it settle, ends it.
Start Measure(Display* display, const std::string& program, const std::filesystem::path& folder, int settleMs) {
    Start start;
    XSelectInput(display, DefaultRootWindow(display), SubstructureNotifyMask);
    XSync(display, True);
    const Clock::time_point begin = Clock::now();
    const pid_t child = ::fork();
    if (child == 0) {
        if (::chdir(folder.c_str()) != 0) ::_exit(126);
        ::execl(program.c_str(), program.c_str(), static_cast<char*>(nullptr));
        ::_exit(127);
    }
    const Clock::time_point deadline = begin + std::chrono::seconds(20);
    while (start.milliseconds < 0 && Clock::now() < deadline) {
        while (XPending(display) > 0 && start.milliseconds < 0) {
            XEvent event;
            XNextEvent(display, &event);
            if (event.type == MapNotify && !event.xmap.override_redirect &&
                WindowPid(display, event.xmap.window) == child)
                start.milliseconds = std::chrono::duration<double, std::milli>(Clock::now() - begin).count();
        }
        pollfd fd{ConnectionNumber(display), POLLIN, 0};
        if (start.milliseconds < 0) ::poll(&fd, 1, 10);
    }
    XSelectInput(display, DefaultRootWindow(display), NoEventMask);
    ::usleep(static_cast<useconds_t>(settleMs) * 1000);
    ::kill(child, SIGTERM);
    int status = 0;
    rusage usage{};
    for (int waited = 0; ::wait4(child, &status, WNOHANG, &usage) == 0; ++waited) {
        if (waited == 500) ::kill(child, SIGKILL);
        ::usleep(10000);
    }
    start.peakKib = usage.ru_maxrss;
    return start;
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n == 0 ? 0 : n % 2 == 1 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

}  // namespace

int main(int argc, char** argv) {
    std::string program;
    std::string bare;
    int rounds = 30;
    int settleMs = 300;
    bool firstStart = false;
    for (int i = 1; i < argc; ++i) {
        const std::string option = argv[i];
        if (option == "--first-start") {
            firstStart = true;
            continue;
        }
        if (i + 1 == argc) break;
        if (option == "--program") program = argv[i + 1];
        if (option == "--bare") bare = argv[i + 1];
        if (option == "--rounds") rounds = std::atoi(argv[i + 1]);
        if (option == "--settle-ms") settleMs = std::atoi(argv[i + 1]);
        ++i;
    }
    if (program.empty() || bare.empty() || rounds < 1) {
        std::fprintf(stderr, "usage: %s --program PATH --bare PATH [--rounds N] [--settle-ms M] [--first-start]\n",
                     argv[0]);
        return 2;
    }
    program = std::filesystem::absolute(program).string();
    bare = std::filesystem::absolute(bare).string();
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr) {
        std::fprintf(stderr, "no X display (run it under xvfb-run)\n");
        return 2;
    }
    const std::filesystem::path root =
        std::filesystem::temp_directory_path() / ("velmora-start-bench-" + std::to_string(::getpid()));
    if (firstStart)
        std::filesystem::create_directories(root / "data");
    else
        FillDataFolder(root / "data");
    std::filesystem::create_directories(root / "bare");
    // A session's own runtime folder, as a desktop gives each program.
    std::filesystem::create_directories(root / "runtime");
    std::filesystem::permissions(root / "runtime", std::filesystem::perms::owner_all);
    ::setenv("XDG_RUNTIME_DIR", (root / "runtime").c_str(), 1);

    std::vector<double> times[2];
    std::vector<double> peaks[2];
    const std::string programs[2] = {bare, program};
    const std::filesystem::path folders[2] = {root / "bare", root / "data"};
    for (int round = 0; round < rounds; ++round) {
        for (int which = 0; which < 2; ++which) {
            if (firstStart && which == 1) {
                std::filesystem::remove_all(root / "data");
                std::filesystem::create_directories(root / "data");
            }
            const Start start = Measure(display, programs[which], folders[which], settleMs);
            if (start.milliseconds < 0) {
                std::fprintf(stderr, "%s showed no window\n", programs[which].c_str());
                return 1;
            }
            times[which].push_back(start.milliseconds);
            peaks[which].push_back(static_cast<double>(start.peakKib) / 1024);
        }
    }
    XCloseDisplay(display);
    std::filesystem::current_path("/");
    std::filesystem::remove_all(root);

    const double time[2] = {Median(times[0]), Median(times[1])};
    const double peak[2] = {Median(peaks[0]), Median(peaks[1])};
    std::printf("rounds: %d (interleaved)%s\n", rounds, firstStart ? ", the calendar's each a first start" : "");
    std::printf("bare dialog: median %.1f ms to its window, median peak RSS %.1f MiB\n", time[0], peak[0]);
    std::printf("calendar:    median %.1f ms to its window, median peak RSS %.1f MiB\n", time[1], peak[1]);
    std::printf("ratio: time %.2f, peak memory %.2f\n", time[1] / time[0], peak[1] / peak[0]);
    return 0;
}
