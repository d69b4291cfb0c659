#include "app/single_instance.h"

#include "app/resources/resources.h"
#include "model/folder_lock.h"
#include "model/present_time.h"
#include "model/record.h"
#include "platform/testing.h"
#include "sync/config.h"
#include "sync/pass_answer.h"
#include "tests/cal/cal_run.h"
#include "ui/main/calendar_dlg.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>
#include <csignal>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace {

// Runs `work` on another thread, as a second copy or a peer would run, while this thread serves
// events.
template <typename Work>
void RunWhileServing(Work work) {
    std::atomic<bool> done{false};
    std::thread other([&] {
        work();
        done = true;
    });
    while (!done) QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    other.join();
    QCoreApplication::processEvents();
}

// Sets an environment variable (or unsets it for nullopt) for one scope.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const std::optional<std::string>& value) : m_name(name) {
        if (const char* old = std::getenv(name)) m_old = old;
        if (value) {
            ::setenv(name, value->c_str(), 1);
        } else {
            ::unsetenv(name);
        }
    }
    ~ScopedEnv() {
        if (m_old) {
            ::setenv(m_name, m_old->c_str(), 1);
        } else {
            ::unsetenv(m_name);
        }
    }
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    const char* m_name;
    std::optional<std::string> m_old;
};

std::string Path(const QString& path) { return QFile::encodeName(path).toStdString(); }

sockaddr_un Address(const std::string& path) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
    return address;
}

sockaddr* Any(sockaddr_un& address) {
    return reinterpret_cast<sockaddr*>(&address);  // NOLINT(cppcoreguidelines-pro-type-reinterpret-cast)
}

// A socket of ours bound and listening at `path` that never accepts: a copy that hangs.
int ListenSilently(const std::string& path) {
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un address = Address(path);
    ::unlink(path.c_str());
    if (::bind(fd, Any(address), sizeof address) != 0 || ::listen(fd, 8) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

// A connected client socket, or -1; sends and receives give up after `seconds`.
int Connect(const std::string& path, int seconds) {
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const timeval limit{seconds, 0};
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
    ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &limit, sizeof limit);
    sockaddr_un address = Address(path);
    if (::connect(fd, Any(address), sizeof address) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

// What a peer received until the other end closed; nullopt when it was still open at the limit.
std::optional<std::string> ReadUntilClosed(int fd) {
    std::string received;
    char buffer[256];
    for (;;) {
        const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
        if (n == 0) return received;
        if (n < 0) return errno == ECONNRESET ? std::optional<std::string>(received) : std::nullopt;
        received.append(buffer, static_cast<std::size_t>(n));
    }
}

// A process of this test that holds `path`'s lock until it is ended, as a live copy does.
class LockHolder {
public:
    // `holdMs` < 0: until the object goes; else the process ends after that long.
    explicit LockHolder(const std::string& path, int holdMs = -1) {
        int ready[2];
        if (::pipe(ready) != 0) return;
        m_pid = ::fork();
        if (m_pid == 0) {
            const int fd = ::open(path.c_str(), O_RDWR | O_CREAT, 0600);
            const char held = fd >= 0 && ::flock(fd, LOCK_EX | LOCK_NB) == 0 ? 'y' : 'n';
            (void)!::write(ready[1], &held, 1);
            if (holdMs < 0) {
                ::pause();
            } else {
                ::usleep(static_cast<useconds_t>(holdMs) * 1000);
            }
            ::_exit(0);
        }
        ::close(ready[1]);
        char held = 'n';
        m_holds = ::read(ready[0], &held, 1) == 1 && held == 'y';
        ::close(ready[0]);
    }
    ~LockHolder() {
        if (m_pid > 0) {
            ::kill(m_pid, SIGKILL);
            ::waitpid(m_pid, nullptr, 0);
        }
    }
    LockHolder(const LockHolder&) = delete;
    LockHolder& operator=(const LockHolder&) = delete;
    bool Holds() const { return m_holds; }

private:
    pid_t m_pid = -1;
    bool m_holds = false;
};

// Every case runs with a runtime folder and a temporary folder of its own, as a session has.
class SingleInstanceTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_runtime.isValid() && m_temporary.isValid() && m_dir.isValid());
        ASSERT_EQ(::chmod(Path(m_runtime.path()).c_str(), 0700), 0);
        m_runtimeEnv.emplace("XDG_RUNTIME_DIR", Path(m_runtime.path()));
        m_temporaryEnv.emplace("TMPDIR", Path(m_temporary.path()));
    }
    void TearDown() override {
        m_temporaryEnv.reset();
        m_runtimeEnv.reset();
    }

    std::string LockPath() const { return Path(m_dir.filePath(CSingleInstance::LockFileName())); }
    std::string SocketPath() const { return Path(CSingleInstance::SocketPath(m_dir.path())); }
    std::string FallbackFolder() const { return Path(m_temporary.path()) + "/velmora-" + std::to_string(::geteuid()); }

    QTemporaryDir m_runtime;
    QTemporaryDir m_temporary;
    QTemporaryDir m_dir;
    std::optional<ScopedEnv> m_runtimeEnv;
    std::optional<ScopedEnv> m_temporaryEnv;
};

TEST_F(SingleInstanceTest, SocketNameFollowsTheCanonicalDirectory) {
    QTemporaryDir root;
    ASSERT_TRUE(QDir(root.path()).mkpath("a/b"));
    ASSERT_TRUE(QFile::link(root.filePath("a/b"), root.filePath("link")));
    const QString name = CSingleInstance::SocketName(root.filePath("a/b"));

    EXPECT_EQ(CSingleInstance::SocketName(root.filePath("link")), name) << "through a symbolic link";
    EXPECT_EQ(CSingleInstance::SocketName(root.filePath("a/b/../b/.")), name) << "with dot segments";
    EXPECT_NE(CSingleInstance::SocketName(root.filePath("a")), name) << "another directory";
    EXPECT_EQ(CSingleInstance::SocketPath(root.filePath("a/b")), QDir(m_runtime.path()).filePath(name));
}

// Which folder holds the sockets, for runtime folders fit and unfit. The fallback is checked
// after it is made: anyone may have made it first.
TEST_F(SingleInstanceTest, SocketFolderIsAPrivateFolderOfOursOrNone) {
    const std::string runtime = Path(m_runtime.path());
    const std::string fallback = FallbackFolder();
    struct Case {
        const char* name;
        std::function<std::optional<std::string>()> prepare;  // returns XDG_RUNTIME_DIR
        std::string expected;                                 // the folder, or "" for none
    };
    const std::vector<Case> cases = {
        {"the runtime folder, ours with mode 0700", [&] { return runtime; }, runtime},
        {"no runtime folder: one of our own made with mode 0700", [] { return std::nullopt; }, fallback},
        {"a relative runtime folder", [] { return std::string("run"); }, fallback},
        {"a runtime folder others may enter",
         [&] {
             const std::string open = runtime + "/open";
             ::mkdir(open.c_str(), 0700);
             ::chmod(open.c_str(), 0755);
             return open;
         },
         fallback},
        {"a link to a private folder",
         [&] {
             const std::string link = runtime + "/link";
             ::symlink(runtime.c_str(), link.c_str());
             return link;
         },
         fallback},
        {"our own folder left open to others",
         [&] {
             ::mkdir(fallback.c_str(), 0700);
             ::chmod(fallback.c_str(), 0777);
             return std::nullopt;
         },
         ""},
        {"our own folder's name taken by a link",
         [&] {
             ::symlink(runtime.c_str(), fallback.c_str());
             return std::nullopt;
         },
         ""},
        {"our own folder's name taken by a file",
         [&] {
             QFile(QFile::decodeName(fallback.c_str())).open(QIODevice::WriteOnly);
             return std::nullopt;
         },
         ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QDir(QFile::decodeName(fallback.c_str())).removeRecursively();
        ::unlink(fallback.c_str());
        ScopedEnv env("XDG_RUNTIME_DIR", c.prepare());
        EXPECT_EQ(Path(CSingleInstance::SocketFolder()), c.expected);
        if (c.expected == fallback) {
            struct stat info {};
            ASSERT_EQ(::lstat(fallback.c_str(), &info), 0);
            EXPECT_EQ(info.st_mode & 0777, 0700U);
        }
    }
}

TEST_F(SingleInstanceTest, FoldersTooDeepForASocketGiveWayToOneInTmp) {
    // A socket's path has room for 107 bytes: private folders deeper than that cannot hold one.
    const std::string deep = Path(m_runtime.path()) + "/" + std::string(60, 'd') + "/" + std::string(60, 'e');
    ASSERT_TRUE(QDir().mkpath(QFile::decodeName(deep.c_str())));
    for (std::string at = deep; at != Path(m_runtime.path()); at = at.substr(0, at.rfind('/'))) {
        ASSERT_EQ(::chmod(at.c_str(), 0700), 0);
    }
    ScopedEnv runtime("XDG_RUNTIME_DIR", deep);
    ScopedEnv temporary("TMPDIR", deep);
    const QString folder = CSingleInstance::SocketFolder();
    EXPECT_EQ(Path(folder), "/tmp/velmora-" + std::to_string(::geteuid()));
    EXPECT_LT(Path(CSingleInstance::SocketPath(m_dir.path())).size(), sizeof(sockaddr_un::sun_path));
}

TEST_F(SingleInstanceTest, WithoutASocketFolderTheCopyRunsAndSaysSo) {
    ScopedEnv env("XDG_RUNTIME_DIR", std::nullopt);
    ASSERT_EQ(::symlink(Path(m_runtime.path()).c_str(), FallbackFolder().c_str()), 0);
    ::testing::internal::CaptureStderr();
    CSingleInstance first(m_dir.path(), nullptr);
    const CSingleInstance::Role role = first.Start();
    const std::string said = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(role, CSingleInstance::Role::First);
    EXPECT_TRUE(first.HoldsLock());
    EXPECT_FALSE(first.IsListening());
    EXPECT_NE(said.find(FallbackFolder()), std::string::npos) << said;
    EXPECT_NE(said.find("symbolic link"), std::string::npos) << said;
}

TEST_F(SingleInstanceTest, SecondCopyInTheSameDirectoryAsksTheFirstToShowItself) {
    int shown = 0;
    CSingleInstance first(m_dir.path(), [&shown] { ++shown; });
    ASSERT_EQ(first.Start(), CSingleInstance::Role::First);
    EXPECT_TRUE(first.HoldsLock());
    EXPECT_TRUE(first.IsListening());
    struct stat info {};
    ASSERT_EQ(::lstat(SocketPath().c_str(), &info), 0) << "the socket is in the runtime folder";
    EXPECT_TRUE(S_ISSOCK(info.st_mode));

    CSingleInstance::Role secondRole = CSingleInstance::Role::First;
    bool secondHeldLock = true;
    RunWhileServing([&] {
        CSingleInstance second(m_dir.path(), [] { ADD_FAILURE() << "the second copy was asked to show itself"; });
        secondRole = second.Start();
        secondHeldLock = second.HoldsLock();
    });
    EXPECT_EQ(secondRole, CSingleInstance::Role::Second);
    EXPECT_FALSE(secondHeldLock);
    EXPECT_EQ(shown, 1);

    // A copy in another directory runs on its own.
    QTemporaryDir other;
    CSingleInstance elsewhere(other.path(), nullptr);
    EXPECT_EQ(elsewhere.Start(), CSingleInstance::Role::First);
}

// The lock is the kernel's, so what the file holds never matters, and it stays when the copy ends.
TEST_F(SingleInstanceTest, NoContentOfTheLockFileBlocksAStart) {
    char host[256] = {};
    ::gethostname(host, sizeof host - 1);
    const std::vector<std::pair<const char*, std::string>> contents = {
        {"an empty file", ""},
        {"bytes that are no lock", std::string("\xff\xfe garbage\0\x1a", 12)},
        {"a lock written on another host", "4242\nvelmora\nfar-away-host\n"},
        {"a lock naming a live process here", std::to_string(::getppid()) + "\nvelmora\n" + host + "\n"},
    };
    for (const auto& [name, content] : contents) {
        SCOPED_TRACE(name);
        QFile file(QFile::decodeName(LockPath().c_str()));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(content.data(), static_cast<qint64>(content.size()));
        file.close();
        {
            CSingleInstance copy(m_dir.path(), nullptr);
            EXPECT_EQ(copy.Start(), CSingleInstance::Role::First);
            EXPECT_TRUE(copy.HoldsLock());
        }
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        EXPECT_EQ(file.readAll().toStdString(), content) << "the lock file was changed";
    }
}

TEST_F(SingleInstanceTest, TheFolderLockIsGivenUpAtTheEndOfItsScopeAndMovesWithItsObject) {
    const std::string folder = Path(m_dir.path());
    {
        FolderLock first(folder);
        ASSERT_TRUE(first.Held());
        EXPECT_EQ(first.Path(), LockPath());
        EXPECT_EQ(FolderLock(folder + "/").GetState(), FolderLock::State::Busy);
        FolderLock moved(std::move(first));
        EXPECT_TRUE(moved.Held());
        EXPECT_EQ(FolderLock(folder).GetState(), FolderLock::State::Busy) << "the move gave the lock up";
    }
    EXPECT_TRUE(FolderLock(folder).Held()) << "the lock outlived its object";
    const FolderLock nowhere(folder + "/no-such-folder");
    EXPECT_EQ(nowhere.GetState(), FolderLock::State::CannotOpen);
    EXPECT_FALSE(nowhere.FileExists());
}

TEST_F(SingleInstanceTest, LockAndSocketLeftByACopyThatDiedAreTakenOver) {
    // A copy that took the lock and was killed, leaving its socket file that no one answers.
    {
        LockHolder dead(LockPath());
        ASSERT_TRUE(dead.Holds());
    }
    ASSERT_TRUE(QFile::exists(QFile::decodeName(LockPath().c_str())));
    const int stale = ListenSilently(SocketPath());
    ASSERT_GE(stale, 0);
    ::close(stale);

    int shown = 0;
    CSingleInstance restarted(m_dir.path(), [&shown] { ++shown; });
    ASSERT_EQ(restarted.Start(), CSingleInstance::Role::First);
    EXPECT_TRUE(restarted.HoldsLock());

    bool answered = false;
    RunWhileServing([&] { answered = CSingleInstance::AskToShow(QString::fromStdString(SocketPath()), 5000); });
    EXPECT_TRUE(answered);
    EXPECT_EQ(shown, 1);
}

// A live copy holds the lock but gives no answer: this start must not run, and gives up in time.
TEST_F(SingleInstanceTest, AnUnreachableHolderOfTheLockBlocksTheStart) {
    LockHolder holder(LockPath());
    ASSERT_TRUE(holder.Holds());
    const std::vector<std::pair<const char*, bool>> cases = {
        {"no socket at all", false},
        {"a socket that never answers", true},
    };
    for (const auto& [name, listening] : cases) {
        SCOPED_TRACE(name);
        const int silent = listening ? ListenSilently(SocketPath()) : -1;
        ASSERT_EQ(silent >= 0, listening);
        QElapsedTimer elapsed;
        elapsed.start();
        CSingleInstance second(m_dir.path(), nullptr, 1000);
        EXPECT_EQ(second.Start(), CSingleInstance::Role::Blocked);
        EXPECT_LT(elapsed.elapsed(), 3000);
        EXPECT_FALSE(second.HoldsLock());
        EXPECT_FALSE(second.IsListening());
        if (silent >= 0) ::close(silent);
        ::unlink(SocketPath().c_str());
    }
}

TEST_F(SingleInstanceTest, WithoutAPlaceForTheLockTheSocketStillFindsTheRunningCopy) {
    const QString missing = m_dir.filePath("no-such-directory");
    int shown = 0;
    CSingleInstance first(missing, [&shown] { ++shown; });
    ASSERT_EQ(first.Start(), CSingleInstance::Role::First);
    EXPECT_FALSE(first.HoldsLock());

    CSingleInstance::Role secondRole = CSingleInstance::Role::First;
    RunWhileServing([&] {
        CSingleInstance second(missing, nullptr);
        secondRole = second.Start();
    });
    EXPECT_EQ(secondRole, CSingleInstance::Role::Second);
    EXPECT_EQ(shown, 1);
}

TEST_F(SingleInstanceTest, NoCopyRunningMeansNoAnswer) {
    EXPECT_FALSE(CSingleInstance::AskToShow(QString::fromStdString(SocketPath()), 300));
}

// What a running copy does with what a peer of its own user sends: only "show" and a newline is a
// request; anything else, or nothing within the time, and the peer is closed without an answer.
TEST_F(SingleInstanceTest, RunningCopyAnswersOnlyAShortRequestInTime) {
    int shown = 0;
    CSingleInstance running(m_dir.path(), [&shown] { ++shown; });
    ASSERT_EQ(running.Start(), CSingleInstance::Role::First);
    struct Case {
        const char* name;
        std::string sent;
        std::string answer;
        int shows;
    };
    const std::vector<Case> cases = {
        {"the request", "show\n", "ok\n", 1},
        {"nothing (a silent peer)", "", "", 0},
        {"half a request (a slow peer)", "sho", "", 0},
        {"another line", "hello\n", "", 0},
        {"a request with more after it", "show\nshow\nshow\n", "ok\n", 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        shown = 0;
        std::optional<std::string> received;
        qint64 ms = 0;
        RunWhileServing([&] {
            const int fd = Connect(SocketPath(), 6);
            if (fd < 0) return;
            QElapsedTimer elapsed;
            elapsed.start();
            ::send(fd, c.sent.data(), c.sent.size(), MSG_NOSIGNAL);
            received = ReadUntilClosed(fd);
            ms = elapsed.elapsed();
            ::close(fd);
        });
        ASSERT_TRUE(received.has_value()) << "the peer was not closed within 6 s";
        EXPECT_EQ(*received, c.answer);
        EXPECT_EQ(shown, c.shows);
        if (c.answer.empty()) {
            EXPECT_LE(ms, CSingleInstance::kPeerTimeoutMs + 1000);
        }
    }
}

// Peak memory of this process in KiB.
long PeakKiB() {
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

TEST_F(SingleInstanceTest, APeerFloodingTheSocketIsDroppedWithMemoryBounded) {
    CSingleInstance running(m_dir.path(), [] { ADD_FAILURE() << "a flood was taken for a request"; });
    ASSERT_EQ(running.Start(), CSingleInstance::Role::First);
    constexpr std::size_t kTotal = std::size_t{256} << 20;
    const std::vector<char> chunk(std::size_t{64} << 10, 'x');  // no newline anywhere
    const long before = PeakKiB();
    std::size_t sent = 0;
    RunWhileServing([&] {
        const int fd = Connect(SocketPath(), 5);
        if (fd < 0) return;
        while (sent < kTotal) {
            const ssize_t n = ::send(fd, chunk.data(), chunk.size(), MSG_NOSIGNAL);
            if (n <= 0) break;
            sent += static_cast<std::size_t>(n);
        }
        ::close(fd);
    });
    EXPECT_GT(sent, 0U);
    EXPECT_LT(sent, kTotal) << "the running copy read all of it";
    EXPECT_LT(PeakKiB() - before, 32L * 1024) << "peak memory grew by " << (PeakKiB() - before) << " KiB";
}

// A pass replies from its worker, and may outlive its peer or the copy: only a peer still there
// gets the answer.
TEST_F(SingleInstanceTest, APassRepliesFromAnyThreadOnlyToAPeerStillThere) {
    std::optional<CSingleInstance> running;
    running.emplace(m_dir.path(), nullptr);
    ASSERT_EQ(running->Start(), CSingleInstance::Role::First);
    std::vector<bool> asked;
    std::vector<std::thread> workers;
    std::function<void(const std::string&)> first;
    running->SetSyncHandler([&](bool acceptEmpty, std::function<void(const std::string&)> reply) {
        asked.push_back(acceptEmpty);
        if (!first) first = reply;
        workers.emplace_back([reply, acceptEmpty] {
            std::this_thread::sleep_for(std::chrono::milliseconds(300));
            reply(acceptEmpty ? "pass for the one that waits" : "pass for the one that went\n");
        });
    });
    std::optional<std::string> received;
    RunWhileServing([&] {
        const int gone = Connect(SocketPath(), 5);
        ::send(gone, "sync\n", 5, MSG_NOSIGNAL);
        ::close(gone);
        const int waits = Connect(SocketPath(), 5);
        ::send(waits, "sync accept-empty\n", 18, MSG_NOSIGNAL);
        received = ReadUntilClosed(waits);
        ::close(waits);
    });
    for (std::thread& worker : workers) worker.join();
    EXPECT_EQ(asked, (std::vector<bool>{false, true}));
    EXPECT_EQ(received, "pass for the one that waits\n");
    running.reset();
    ASSERT_TRUE(first);
    first("after the copy ended\n");
    QCoreApplication::processEvents();
}

// velmora-cal sync in the folder of a running copy: the copy's pass answers it, reported as a pass
// of velmora-cal's own; with no copy to ask, it waits for the lock and runs its own pass.
TEST_F(SingleInstanceTest, VelmoraCalSyncGoesThroughTheRunningCopyOrWaitsForIt) {
    QTemporaryDir home;
    ScopedEnv config("XDG_CONFIG_HOME", Path(home.filePath("config")));
    ScopedEnv state("XDG_STATE_HOME", Path(home.filePath("state")));
    const std::string folder = Path(QFileInfo(m_dir.path()).canonicalFilePath());
    memosync::SyncConfig setUp;
    setUp.folder = folder;
    setUp.url = "http://127.0.0.1:1/";
    setUp.user = "anna";
    setUp.calendarUrl = "http://127.0.0.1:1/anna/velmora/";
    setUp.passwordCommand = "echo secret";
    ASSERT_TRUE(memosync::SaveSyncConfig(setUp));
    memosync::SyncResult moved;
    moved.ok = true;
    moved.up = 2, moved.down = 1, moved.keptBoth = 1, moved.deletedDown = 3;
    memosync::SyncResult refused;
    refused.refusedEmpty = true;
    refused.error = "every memo is gone from the server";
    const std::string waiting = "the calendar running in " + folder + " syncs it; waiting for its pass";
    const struct {
        const char* name;
        std::optional<memosync::SyncResult> pass;  // the running copy's; none: no copy, the lock held a moment
        const char* options;
        int status;
        std::string out;
        std::string err;  // a part of stderr
    } rows[] = {
        {"the copy's pass is reported as velmora-cal's own", moved, " --accept-empty", 0,
         "synced with http://127.0.0.1:1/anna/velmora/: up 2, down 1, merged 0, kept both 1, deleted on the server "
         "0, deleted here 3\n",
         waiting},
        {"the copy refused an emptied side", refused, "", 2, "",
         waiting + "\nvelmora-cal: every memo is gone from the server; velmora-cal sync --accept-empty mirrors it\n"},
        {"no copy answers: the lock is waited for, then velmora-cal's own pass finds no server", std::nullopt, "", 1,
         "", "does not answer; waiting for it to end\nvelmora-cal: http://127.0.0.1:1/anna/velmora/: "},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        std::optional<CSingleInstance> running;
        std::optional<LockHolder> ending;
        std::vector<bool> asked;  // acceptEmpty of each request
        if (row.pass) {
            running.emplace(m_dir.path(), nullptr);
            ASSERT_EQ(running->Start(), CSingleInstance::Role::First);
            // The pass answers later, as a real one does, while the loop runs on.
            running->SetSyncHandler([&asked, pass = *row.pass](bool acceptEmpty, auto reply) {
                asked.push_back(acceptEmpty);
                QTimer::singleShot(300, [reply, pass] { reply(memosync::EncodePassAnswer(pass)); });
            });
        } else {
            ending.emplace(LockPath(), 1500);
            ASSERT_TRUE(ending->Holds());
        }
        QElapsedTimer elapsed;
        elapsed.start();
        CalRun run;
        RunWhileServing([&] {
            run = RunCal(folder, "LANG=C", std::string("sync --dir '") + folder + "'" + row.options, Path(home.path()));
        });
        EXPECT_EQ(run.status, row.status) << run.err;
        EXPECT_EQ(run.out, row.out);
        EXPECT_NE(run.err.find(row.err), std::string::npos) << run.err;
        EXPECT_EQ(asked, row.pass ? std::vector<bool>{*row.options != '\0'} : std::vector<bool>{});
        if (!row.pass) {
            EXPECT_EQ(run.err.find(waiting), std::string::npos) << run.err;
            EXPECT_GE(elapsed.elapsed(), 1000) << "velmora-cal ran before the lock was free";
        }
    }
}

// -- another user -------------------------------------------------------------------------------

// The uid and gid of a second user to act as, made when missing; nullopt unless this runs as root.
std::optional<std::pair<uid_t, gid_t>> OtherUser() {
    if (::geteuid() != 0) return std::nullopt;
    constexpr const char* kUser = "velmora-e2e";
    if (::getpwnam(kUser) == nullptr) {
        // Two runs side by side may both try: only its absence afterwards counts.
        (void)!std::system("useradd --no-create-home --shell /usr/sbin/nologin velmora-e2e >/dev/null 2>&1");
    }
    const passwd* user = ::getpwnam(kUser);
    if (user == nullptr) return std::nullopt;
    return std::pair{user->pw_uid, user->pw_gid};
}

// Runs `work` in a child process acting as `user`; returns the child's pid.
template <typename Work>
pid_t ForkAs(std::pair<uid_t, gid_t> user, Work work) {
    const pid_t pid = ::fork();
    if (pid == 0) {
        if (::setgroups(0, nullptr) != 0 || ::setresgid(user.second, user.second, user.second) != 0 ||
            ::setresuid(user.first, user.first, user.first) != 0) {
            ::_exit(100);
        }
        ::_exit(work());
    }
    return pid;
}

// The child's exit status, serving events meanwhile; -1 when it did not end normally.
int WaitServing(pid_t pid) {
    int status = 0;
    while (::waitpid(pid, &status, WNOHANG) == 0) QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

#define SKIP_UNLESS_OTHER_USER(user)                                                            \
    const auto user = OtherUser();                                                              \
    if (!(user)) {                                                                              \
        GTEST_SKIP() << "needs root, to act as a second user (velmora-e2e) in a child process"; \
    }

// Another user's process that listens where our socket belongs and answers "ok" to anyone.
class Squatter {
public:
    // The squatter's own folder stands beside the folder of `at`, where that user can reach it.
    Squatter(std::pair<uid_t, gid_t> user, const std::string& at)
        : m_home(QFileInfo(QFileInfo(QFile::decodeName(at.c_str())).path()).path() + "/squatter-XXXXXX") {
        m_folder = Path(m_home.path());
        ::chown(m_folder.c_str(), user.first, user.second);
        const std::string own = m_folder + "/s";
        int ready[2];
        if (::pipe(ready) != 0) return;
        m_pid = ForkAs(user, [&] {
            const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
            sockaddr_un address = Address(own);
            const bool up = ::bind(fd, Any(address), sizeof address) == 0 && ::listen(fd, 8) == 0;
            (void)!::write(ready[1], up ? "y" : "n", 1);
            for (;;) {
                const int peer = ::accept(fd, nullptr, nullptr);
                if (peer < 0) return 1;
                (void)!::send(peer, "ok\n", 3, MSG_NOSIGNAL);
                ::close(peer);
            }
        });
        ::close(ready[1]);
        char up = 'n';
        // Moved into our place by root: how it got there does not matter, only whose it is.
        m_up = ::read(ready[0], &up, 1) == 1 && up == 'y' && ::rename(own.c_str(), at.c_str()) == 0;
        ::close(ready[0]);
    }
    ~Squatter() {
        if (m_pid > 0) {
            ::kill(m_pid, SIGKILL);
            ::waitpid(m_pid, nullptr, 0);
        }
    }
    Squatter(const Squatter&) = delete;
    Squatter& operator=(const Squatter&) = delete;
    bool Up() const { return m_up; }

private:
    QTemporaryDir m_home;
    std::string m_folder;
    pid_t m_pid = -1;
    bool m_up = false;
};

TEST_F(SingleInstanceTest, AnotherUsersListenerAtOurSocketIsNeitherTrustedNorInTheWay) {
    SKIP_UNLESS_OTHER_USER(user);
    const QString socket = QString::fromStdString(SocketPath());
    {
        Squatter squatter(*user, SocketPath());
        ASSERT_TRUE(squatter.Up());
        EXPECT_FALSE(CSingleInstance::AskToShow(socket, 2000)) << "its answer was trusted";

        // With the lock held by a live copy, the squatter's "ok" does not end this start quietly.
        LockHolder holder(LockPath());
        ASSERT_TRUE(holder.Holds());
        CSingleInstance second(m_dir.path(), nullptr, 1000);
        EXPECT_EQ(second.Start(), CSingleInstance::Role::Blocked);
    }
    // Without a lock anywhere (a folder that cannot hold one), the squatter does not stop the start.
    Squatter squatter(*user, SocketPath());
    ASSERT_TRUE(squatter.Up());
    int shown = 0;
    CSingleInstance first(m_dir.filePath("missing"), [&shown] { ++shown; });
    // The socket of the missing folder is another name: put the squatter there too.
    const std::string missingSocket = Path(CSingleInstance::SocketPath(m_dir.filePath("missing")));
    ASSERT_EQ(::rename(SocketPath().c_str(), missingSocket.c_str()), 0);
    ASSERT_EQ(first.Start(), CSingleInstance::Role::First);
    EXPECT_TRUE(first.IsListening());
    bool answered = false;
    RunWhileServing([&] { answered = CSingleInstance::AskToShow(QString::fromStdString(missingSocket), 3000); });
    EXPECT_TRUE(answered);
    EXPECT_EQ(shown, 1) << "the request reached the squatter, not this copy";
}

TEST_F(SingleInstanceTest, RunningCopyDropsAPeerOfAnotherUser) {
    SKIP_UNLESS_OTHER_USER(user);
    int shown = 0;
    CSingleInstance running(m_dir.path(), [&shown] { ++shown; });
    ASSERT_EQ(running.Start(), CSingleInstance::Role::First);
    // Only were the folder and the socket opened up could another user reach it; then the peer
    // check is what stands.
    const std::string path = SocketPath();
    ASSERT_EQ(::chmod(Path(m_runtime.path()).c_str(), 0711), 0);
    ASSERT_EQ(::chmod(path.c_str(), 0777), 0);
    const pid_t peer = ForkAs(*user, [&] {
        const int fd = Connect(path, 5);
        if (fd < 0) return 2;
        (void)!::send(fd, "show\n", 5, MSG_NOSIGNAL);
        const std::optional<std::string> answer = ReadUntilClosed(fd);
        if (!answer) return 3;           // left open
        return answer->empty() ? 0 : 1;  // 1: answered
    });
    EXPECT_EQ(WaitServing(peer), 0) << "2: could not connect, 3: left open, 1: answered";
    EXPECT_EQ(shown, 0);
}

TEST_F(SingleInstanceTest, AFallbackFolderMadeByAnotherUserIsRefused) {
    SKIP_UNLESS_OTHER_USER(user);
    ScopedEnv env("XDG_RUNTIME_DIR", std::nullopt);
    ASSERT_EQ(::mkdir(FallbackFolder().c_str(), 0700), 0);
    ASSERT_EQ(::chown(FallbackFolder().c_str(), user->first, user->second), 0);
    ::testing::internal::CaptureStderr();
    const QString folder = CSingleInstance::SocketFolder();
    const std::string said = ::testing::internal::GetCapturedStderr();
    EXPECT_TRUE(folder.isEmpty()) << folder.toStdString();
    EXPECT_NE(said.find("belongs to user id " + std::to_string(user->first)), std::string::npos) << said;

    // A runtime folder of another user is not ours either.
    ScopedEnv runtime("XDG_RUNTIME_DIR", FallbackFolder());
    ::testing::internal::CaptureStderr();
    EXPECT_TRUE(CSingleInstance::SocketFolder().isEmpty());
    ::testing::internal::GetCapturedStderr();
}

// A lock file that this user cannot take keeps the start from running, unguarded, beside another
// user's import; one this user may read locks both alike.
TEST_F(SingleInstanceTest, ALockFileThisUserCannotTakeStopsTheStart) {
    SKIP_UNLESS_OTHER_USER(user);
    ASSERT_EQ(::chmod(Path(m_dir.path()).c_str(), 01777), 0);
    using Role = CSingleInstance::Role;
    const struct {
        const char* name;
        bool folder;
        mode_t mode;
        Role role;
    } rows[] = {
        {"root's file that only root may open", false, 0600, Role::LockUnusable},
        {"a folder in its place", true, 0777, Role::LockUnusable},
        {"root's file that anyone may read", false, 0644, Role::First},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        ::rmdir(LockPath().c_str());
        ::unlink(LockPath().c_str());
        ASSERT_EQ(row.folder ? ::mkdir(LockPath().c_str(), row.mode) : ::close(::creat(LockPath().c_str(), row.mode)),
                  0);
        const pid_t copy = ForkAs(*user, [&] {
            CSingleInstance single(m_dir.path(), nullptr, 500);
            const Role role = single.Start();
            return static_cast<int>(role) * 10 + (single.HoldsLock() ? 1 : 0);
        });
        EXPECT_EQ(WaitServing(copy), static_cast<int>(row.role) * 10 + (row.role == Role::First ? 1 : 0))
            << "the role times 10, plus 1 with the lock held";
    }
}

// -- the running program's window ---------------------------------------------------------------

// The main window in a fresh directory, run modally as the host runs it.
class ShowMainWindowTest : public SingleInstanceTest {
protected:
    void SetUp() override {
        SingleInstanceTest::SetUp();
        m_oldDirectory = QDir::currentPath();
        ASSERT_TRUE(QDir::setCurrent(m_dir.path()));
        platform::InstallResources(resources::VelmoraResources());
        platform::testing::Reset();
        platform::testing::EnableTestMode();
        platform::testing::SetTrayAvailable(true);
        std::tm now{};
        now.tm_year = 126;
        now.tm_mon = 11;
        now.tm_mday = 7;
        now.tm_hour = 9;
        now.tm_min = 5;
        SetPresentTimeForTesting(now);
        g_strMemoData.clear();
        g_strStaticHoliday.clear();
        g_strDynamicHoliday.clear();
        g_strYearHoliday.clear();
    }
    void TearDown() override {
        ClearPresentTimeForTesting();
        platform::testing::Reset();
        QDir::setCurrent(m_oldDirectory);
        SingleInstanceTest::TearDown();
    }

    QString m_oldDirectory;
};

TEST_F(ShowMainWindowTest, SecondStartShowsTheHiddenMainWindowAsATrayClickDoes) {
    CSingleInstance running(QDir::currentPath(), CCalendarDlg::ShowRunningAsTrayClick);
    ASSERT_EQ(running.Start(), CSingleInstance::Role::First);

    bool visibleBefore = true;
    bool visibleAfter = false;
    CSingleInstance::Role secondRole = CSingleInstance::Role::First;
    platform::testing::QueueModalHook([&](CDialog& dialog) {
        // The title bar's close box hides the main window; the program keeps running.
        dialog.ShowWindow(SW_HIDE);
        visibleBefore = dialog.IsWindowVisible() != FALSE;
        RunWhileServing([&] {
            CSingleInstance second(QDir::currentPath(), nullptr);
            secondRole = second.Start();
        });
        visibleAfter = dialog.IsWindowVisible() != FALSE;
        dialog.EndDialog(0);
    });
    CCalendarDlg calendar;
    calendar.DoModal();

    EXPECT_EQ(secondRole, CSingleInstance::Role::Second);
    EXPECT_FALSE(visibleBefore);
    EXPECT_TRUE(visibleAfter);
}

}  // namespace
