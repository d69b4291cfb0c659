#include "app/single_instance.h"

#include "app/resources/resources.h"
#include "model/present_time.h"
#include "model/record.h"
#include "platform/testing.h"
#include "ui/main/calendar_dlg.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QLockFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>
#include <csignal>

#include <atomic>
#include <cstring>
#include <thread>

namespace {

// Runs `work` on another thread, as a second copy would run, while this thread serves events.
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

TEST(SingleInstanceTest, SocketNameFollowsTheCanonicalDirectory) {
    QTemporaryDir root;
    ASSERT_TRUE(QDir(root.path()).mkpath("a/b"));
    ASSERT_TRUE(QFile::link(root.filePath("a/b"), root.filePath("link")));
    const QString name = CSingleInstance::SocketName(root.filePath("a/b"));

    EXPECT_EQ(CSingleInstance::SocketName(root.filePath("link")), name) << "through a symbolic link";
    EXPECT_EQ(CSingleInstance::SocketName(root.filePath("a/b/../b/.")), name) << "with dot segments";
    EXPECT_NE(CSingleInstance::SocketName(root.filePath("a")), name) << "another directory";
    EXPECT_TRUE(name.startsWith(QStringLiteral("velmora-%1-").arg(::getuid()))) << name.toStdString();
}

TEST(SingleInstanceTest, SecondCopyInTheSameDirectoryAsksTheFirstToShowItself) {
    QTemporaryDir dir;
    int shown = 0;
    CSingleInstance first(dir.path(), [&shown] { ++shown; });
    ASSERT_EQ(first.Start(), CSingleInstance::Role::First);
    EXPECT_TRUE(first.HoldsLock());
    EXPECT_TRUE(QFile::exists(dir.filePath(CSingleInstance::LockFileName())));

    CSingleInstance::Role secondRole = CSingleInstance::Role::First;
    bool secondHeldLock = true;
    RunWhileServing([&] {
        CSingleInstance second(dir.path(), [] { ADD_FAILURE() << "the second copy was asked to show itself"; });
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

TEST(SingleInstanceTest, LockAndSocketLeftByACopyThatDiedAreTakenOver) {
    QTemporaryDir dir;
    const QString lockPath = dir.filePath(CSingleInstance::LockFileName());
    // A copy that took the lock and was killed: its lock file names a process that is gone.
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        QLockFile lock(lockPath);
        lock.setStaleLockTime(0);
        ::_exit(lock.tryLock(0) ? 0 : 1);  // no destructor runs, so the file stays
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    ASSERT_TRUE(QFile::exists(lockPath));

    // And the socket file it listened on, which no one answers.
    const QString socketPath = QDir(QDir::tempPath()).filePath(CSingleInstance::SocketName(dir.path()));
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, QFile::encodeName(socketPath).constData(), sizeof address.sun_path - 1);
    ::unlink(address.sun_path);
    auto* any = reinterpret_cast<sockaddr*>(&address);  // NOLINT(cppcoreguidelines-pro-type-reinterpret-cast)
    ASSERT_EQ(::bind(fd, any, sizeof address), 0);
    ::close(fd);

    int shown = 0;
    CSingleInstance restarted(dir.path(), [&shown] { ++shown; });
    ASSERT_EQ(restarted.Start(), CSingleInstance::Role::First);
    EXPECT_TRUE(restarted.HoldsLock());

    bool answered = false;
    RunWhileServing([&] { answered = CSingleInstance::AskToShow(CSingleInstance::SocketName(dir.path()), 5000); });
    EXPECT_TRUE(answered);
    EXPECT_EQ(shown, 1);
}

TEST(SingleInstanceTest, WithoutAPlaceForTheLockTheSocketStillFindsTheRunningCopy) {
    QTemporaryDir root;
    const QString missing = root.filePath("no-such-directory");
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

TEST(SingleInstanceTest, NoCopyRunningMeansNoAnswer) {
    QTemporaryDir dir;
    EXPECT_FALSE(CSingleInstance::AskToShow(CSingleInstance::SocketName(dir.path()), 300));
}

// The main window in a fresh directory, run modally as the host runs it.
class ShowMainWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_dir.isValid());
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
    }

    QTemporaryDir m_dir;
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
