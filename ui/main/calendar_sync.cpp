#include "ui/main/calendar_sync.h"

#include "model/data_files.h"
#include "model/memo_draft_file.h"
#include "model/record.h"
#include "model/stores.h"
#include "model/year_calendar.h"
#include "platform/text_codec.h"
#include "platform/tray.h"
#include "sync/config.h"
#include "sync/pass_answer.h"
#include "sync/worker_frames.h"
#include "ui/main/calendar_dlg.h"
#include "ui/schedule/schedule_dlg.h"

#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <condition_variable>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <utility>

struct CCalendarSync::Shared {
    std::mutex mutex;
    std::condition_variable changed;
    std::optional<std::string> offered;  // a store the pass asks to have written
    bool answered = false;               // the window has answered the offer
    bool written = false;
    std::string error;
    std::optional<memosync::SyncResult> finished;
    bool closed = false;  // the window answers no more offers
    pid_t worker = 0;     // the worker process of the running pass
};

namespace {

constexpr const char* kEnding = "the calendar is ending";

memosync::SyncResult Refused(std::string error) {
    memosync::SyncResult result;
    result.error = std::move(error);
    return result;
}

// The worker beside the program (the build tree), else in the installation's libexec folder.
std::string WorkerPath() {
    std::string self(4096, '\0');
    const ssize_t length = ::readlink("/proc/self/exe", self.data(), self.size() - 1);
    if (length <= 0) return "velmora-sync-pass";
    self.resize(static_cast<std::size_t>(length));
    const std::string folder = self.substr(0, self.rfind('/'));
    const std::string beside = folder + "/velmora-sync-pass";
    if (::access(beside.c_str(), X_OK) == 0) return beside;
    return folder + "/../libexec/velmora/velmora-sync-pass";
}

void Answer(std::vector<CCalendarSync::Done>& waiting, const memosync::SyncResult& result) {
    std::vector<CCalendarSync::Done> answered = std::move(waiting);
    waiting.clear();
    for (const CCalendarSync::Done& done : answered) done(result);
}

}  // namespace

CCalendarSync::CCalendarSync(CCalendarDlg& window) : m_window(window), m_shared(std::make_shared<Shared>()) {}

CCalendarSync::~CCalendarSync() {
    if (m_worker.joinable()) Stop();
}

void CCalendarSync::RunPass(const std::shared_ptr<Shared>& shared, const std::string& store, bool acceptEmpty) {
    memosync::SyncResult result = RunWorker(shared, store, acceptEmpty);
    const std::lock_guard lock(shared->mutex);
    shared->finished = std::move(result);
    shared->changed.notify_all();
}

memosync::SyncResult CCalendarSync::RunWorker(const std::shared_ptr<Shared>& shared, const std::string& store,
                                              bool acceptEmpty) {
    int ends[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends) != 0)
        return Refused(std::string("cannot start the sync worker: ") + std::strerror(errno));
    const std::string program = WorkerPath();
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, ends[1], STDIN_FILENO);
    posix_spawn_file_actions_adddup2(&actions, ends[1], STDOUT_FILENO);
    std::vector<std::string> arguments{program};
    if (acceptEmpty) arguments.emplace_back("--accept-empty");
    std::vector<char*> argv;
    for (std::string& argument : arguments) argv.push_back(argument.data());
    argv.push_back(nullptr);
    pid_t pid = 0;
    const int spawned = ::posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(ends[1]);
    const int socket = ends[0];
    if (spawned != 0) {
        ::close(socket);
        return Refused("cannot start " + program + ": " + std::strerror(spawned));
    }
    {
        // A window that went meanwhile found no worker to kill: this one goes at once.
        const std::lock_guard lock(shared->mutex);
        shared->worker = pid;
        if (shared->closed) ::kill(pid, SIGKILL);
    }
    memosync::SyncResult result = Refused("the sync worker ended without an answer");
    std::string tag;
    std::string bytes;
    bool sent = memosync::SendFrame(socket, "store", store);
    while (sent && memosync::ReadFrame(socket, tag, bytes)) {
        if (tag == "result") {
            if (std::optional<memosync::PassAnswer> answer = memosync::DecodePassAnswer(bytes))
                result = std::move(answer->result);
            else
                result = Refused("the sync worker's answer cannot be read");
            break;
        }
        if (tag != "write") break;
        // The window answers at its next tick; the worker waits for it meanwhile.
        std::unique_lock lock(shared->mutex);
        shared->offered = std::move(bytes);
        shared->answered = false;
        shared->changed.notify_all();
        shared->changed.wait(lock, [&shared] { return shared->answered || shared->closed; });
        const bool written = shared->answered && shared->written;
        const std::string refusal = shared->answered ? shared->error : kEnding;
        lock.unlock();
        sent = written ? memosync::SendFrame(socket, "ok", "") : memosync::SendFrame(socket, "no", refusal);
    }
    ::close(socket);
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {}
    {
        const std::lock_guard lock(shared->mutex);
        shared->worker = 0;
    }
    return result;
}

void CCalendarSync::Start() {
    m_folder = CurrentDataFolderPath();
    m_lastStore = g_strMemoData;
    StartPass();
}

void CCalendarSync::Look() {
    if (m_ending) return;
    if (m_worker.joinable() && !Serve()) return;
    const Clock::time_point now = Clock::now();
    // While a day's memo is out in its dialog the store lacks that day: no pass may read it.
    if (CScheduleDlg::IsMemoOut()) return;
    if (g_strMemoData != m_lastStore) {
        m_lastStore = g_strMemoData;
        m_changedAt = now;
    }
    if (!m_waiting.empty() || (m_changedAt && now - *m_changedAt >= kAfterChange) || now >= m_nextPass) StartPass();
}

void CCalendarSync::PassForCommand(bool acceptEmpty, Done done) {
    if (m_ending) {
        done(Refused(kEnding));
        return;
    }
    m_waiting.push_back(std::move(done));
    m_acceptEmptyNext = m_acceptEmptyNext || acceptEmpty;
}

void CCalendarSync::StartPass() {
    m_nextPass = Clock::now() + kEvery;
    m_changedAt.reset();
    // Only a folder set up for sync starts a worker; the worker reads the set-up itself.
    memosync::SyncConfig config;
    switch (memosync::LoadSyncConfig(m_folder, config)) {
    case memosync::ConfigLoad::Loaded:
        break;
    case memosync::ConfigLoad::Missing:
        Answer(m_waiting, Refused(m_folder + " is not set up for sync"));
        return;
    case memosync::ConfigLoad::Unreadable: {
        const memosync::SyncResult result =
            Refused("cannot read the sync set-up " + memosync::SyncConfigPath(m_folder));
        Tell(result.error);
        Answer(m_waiting, result);
        return;
    }
    }
    const bool acceptEmpty = m_acceptEmptyNext;
    m_acceptEmptyNext = false;
    m_inThisPass = std::move(m_waiting);
    m_waiting.clear();
    m_passBase = g_strMemoData;
    m_lastStore = g_strMemoData;
    m_superseded = false;
    {
        const std::lock_guard lock(m_shared->mutex);
        m_shared->offered.reset();
        m_shared->answered = false;
        m_shared->finished.reset();
    }
    // The pass reads and writes the store as it is in memory: a memo's lines end in CR LF there,
    // as its dialog writes them.
    m_worker = std::thread(RunPass, m_shared, g_strMemoData, acceptEmpty);
}

bool CCalendarSync::Serve() {
    std::optional<std::string> offered;
    std::optional<memosync::SyncResult> finished;
    {
        const std::lock_guard lock(m_shared->mutex);
        finished = std::move(m_shared->finished);
        m_shared->finished.reset();
        if (!finished) {
            if (!m_shared->offered || m_shared->answered) return false;
            offered = std::move(m_shared->offered);
            m_shared->offered.reset();
        }
    }
    if (finished) {
        m_worker.join();
        Finished(*finished);
        return true;
    }
    // The worker waits for the answer; the window's store is touched only here, on its thread.
    std::string error;
    const bool written = PutStore(*offered, error);
    {
        const std::lock_guard lock(m_shared->mutex);
        m_shared->written = written;
        m_shared->error = error;
        m_shared->answered = true;
    }
    m_shared->changed.notify_all();
    return false;
}

bool CCalendarSync::PutStore(const std::string& store, std::string& error) {
    if (CScheduleDlg::IsMemoOut() || g_strMemoData != m_passBase) {
        m_superseded = true;
        error = "the memos changed during the pass";
        return false;
    }
    std::string before = std::move(g_strMemoData);
    g_strMemoData = store;
    if (SaveMemoData() == 0) {
        // The pass counts the store as not written: the memos stay as the file holds them.
        g_strMemoData = std::move(before);
        error = std::string("cannot write ") + kMemoFile;
        return false;
    }
    m_passBase = g_strMemoData;
    m_lastStore = g_strMemoData;
    m_window.StoreArrived();
    return true;
}

void CCalendarSync::Finished(const memosync::SyncResult& result) {
    if (m_superseded && !result.ok) {
        // The memos changed under the pass; the pass a few seconds on takes the change in, and
        // the commands that waited for this one get that one's result.
        m_waiting.insert(m_waiting.begin(), m_inThisPass.begin(), m_inThisPass.end());
        m_inThisPass.clear();
        return;
    }
    for (const memosync::SkippedItem& skipped : result.skipped)
        if (m_toldSkipped.insert(skipped.href).second)
            std::fprintf(stderr, "velmora: %s: %s (left as it is on the server)\n", skipped.href.c_str(),
                         skipped.reason.c_str());
    if (result.ok) {
        m_synced = m_passBase;
        if (m_told) std::fputs("velmora: the memos sync with the calendar server again\n", stderr);
        m_told = false;
    } else {
        Tell(result.refusedEmpty ? result.error + "; velmora-cal sync --accept-empty mirrors it" : result.error);
    }
    Answer(m_inThisPass, result);
}

void CCalendarSync::Tell(const std::string& what) {
    // Told once: a server that stays away is tried again at every pass, quietly.
    if (m_told) return;
    m_told = true;
    std::fprintf(stderr,
                 "velmora: cannot sync the memos with the calendar server (%s); they stay here and sync later\n",
                 what.c_str());
    if (m_ending) return;
    const std::string text =
        "カレンダーサーバーと同期できませんでした。メモはこのまま使えます。"
        "あとで同期します。\r\n（" +
        what + "）";
    ShowTrayBalloon(m_window, Cp932("Velmora"), Cp932(text), nullptr);
}

void CCalendarSync::End(std::chrono::milliseconds limit) {
    const Clock::time_point deadline = Clock::now() + limit;
    // Serves the running pass until it ends; false when the time ran out first.
    const auto finish = [this, deadline] {
        while (m_worker.joinable()) {
            if (Serve()) return true;
            std::unique_lock lock(m_shared->mutex);
            const bool woken = m_shared->changed.wait_until(lock, deadline, [this] {
                return m_shared->finished.has_value() || (m_shared->offered.has_value() && !m_shared->answered);
            });
            if (!woken) return false;
        }
        return true;
    };
    m_ending = true;
    if (finish() && !CScheduleDlg::IsMemoOut() && g_strMemoData != m_synced && Clock::now() < deadline) {
        StartPass();
        finish();
    }
    Answer(m_waiting, Refused(kEnding));
    if (m_worker.joinable()) Stop();
}

void CCalendarSync::Stop() {
    // Out of time, or the window goes: the worker is killed, which its journal makes safe; the
    // next start goes on from there.
    {
        const std::lock_guard lock(m_shared->mutex);
        m_shared->closed = true;
        if (m_shared->worker > 0) ::kill(m_shared->worker, SIGKILL);
    }
    m_shared->changed.notify_all();
    m_worker.join();
}
