// Runs the velmora-cal program on a data folder of its own.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>
#include "tests/cal/cal_run.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>

namespace fs = std::filesystem;
using namespace std::string_literals;

namespace {

class VelmoraCalTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_folder = fs::path(::testing::TempDir()) / ("velmora-cal-" + std::to_string(::getpid()) + "-" +
                                                     ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(m_folder);
        fs::create_directories(m_folder / "data");
    }
    void TearDown() override { fs::remove_all(m_folder); }

    fs::path Data() const { return m_folder / "data"; }

    // Runs velmora-cal with `arguments` (shell words) from the test's folder.
    CalRun Cal(const std::string& arguments) const { return RunCal(m_folder, "", arguments, m_folder); }

    // Every file of the data folder with its bytes, the lock file apart.
    std::map<std::string, std::string> DataFiles() const {
        std::map<std::string, std::string> files;
        for (const auto& entry : fs::recursive_directory_iterator(Data()))
            if (entry.is_regular_file() && entry.path().filename() != ".velmora.lock")
                files[entry.path().lexically_relative(Data()).string()] = Bytes(entry.path());
        return files;
    }

    fs::path m_folder;
};

TEST_F(VelmoraCalTest, UpdatesTheFolderAndTheSecondRunChangesNothing) {
    const CalRun first = Cal("holidays update --dir data '" VELMORA_OFFICIAL_LIST "'");
    EXPECT_EQ(first.status, 0) << first.err;
    EXPECT_NE(first.out.find("updated Static_holi.txt"), std::string::npos) << first.out;
    EXPECT_NE(first.out.find("updated 126_holi.txt"), std::string::npos) << first.out;
    EXPECT_NE(first.out.find("147 files written"), std::string::npos) << first.out;
    EXPECT_TRUE(fs::exists(Data() / "199_holi.txt"));
    const auto after = DataFiles();

    const CalRun second = Cal("--dir=data holidays update '" VELMORA_OFFICIAL_LIST "'");
    EXPECT_EQ(second.status, 0) << second.err;
    EXPECT_NE(second.out.find("nothing changed"), std::string::npos) << second.out;
    EXPECT_EQ(DataFiles(), after);
}

TEST_F(VelmoraCalTest, TakesTheListInstalledBesideIt) {
    const CalRun run = Cal("holidays update --dir data");
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.out.find("147 files written"), std::string::npos) << run.out;
}

TEST_F(VelmoraCalTest, RefusesWhileACopyOfTheCalendarHoldsTheFolder) {
    const int lock = ::open((Data() / ".velmora.lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    ASSERT_GE(lock, 0);
    ASSERT_EQ(::flock(lock, LOCK_EX | LOCK_NB), 0);
    const CalRun refused = Cal("holidays update --dir data '" VELMORA_OFFICIAL_LIST "'");
    EXPECT_EQ(refused.status, 2);
    EXPECT_NE(refused.err.find("running"), std::string::npos) << refused.err;
    EXPECT_TRUE(DataFiles().empty());
    ::close(lock);

    const CalRun done = Cal("holidays update --dir data '" VELMORA_OFFICIAL_LIST "'");
    EXPECT_EQ(done.status, 0) << done.err;
}

TEST_F(VelmoraCalTest, RefusesFilesThatAreNotTheListAndChangesNothing) {
    std::ofstream(m_folder / "bad.csv", std::ios::binary) << "date,name\r\n2026/1/1,x\r\n";
    std::ofstream(m_folder / "empty.csv", std::ios::binary) << "";
    // 100 MB that take no room: the size alone refuses it.
    { std::ofstream(m_folder / "huge.csv", std::ios::binary) << ""; }
    fs::resize_file(m_folder / "huge.csv", 100ULL * 1024 * 1024);
    std::ofstream(Data() / "Static_holi.txt", std::ios::binary) << "6^1^x^0~" << '\0';
    const auto before = DataFiles();

    const struct {
        const char* file;
        const char* says;
    } rows[] = {
        {"bad.csv", "line 1:"}, {"empty.csv", "empty"}, {"huge.csv", "larger than"}, {"missing.csv", "cannot open"}};
    for (const auto& row : rows) {
        const CalRun run = Cal(std::string("holidays update --dir data ") + row.file);
        EXPECT_EQ(run.status, 2) << row.file;
        EXPECT_NE(run.err.find(row.says), std::string::npos) << row.file << ": " << run.err;
        EXPECT_EQ(DataFiles(), before) << row.file;
    }
}

TEST_F(VelmoraCalTest, HelpAndBadUsage) {
    // The whole help, and each command's own: its synopsis and options, no other command's.
    const struct {
        const char* arguments;
        const char* holds;
        const char* lacks;
    } helps[] = {
        {"--help", "holidays update [FILE]", "--dry-run  "},
        {"search --help", "--year Y ", "--dry-run"},
        {"agenda --help", "agenda [DAYS]", "--year"},
        {"import a.ics -h", "--dry-run ", "--no-holidays"},
        {"--bogus holidays update --help", "Usage: velmora-cal [--dir DIR] holidays update [FILE]", "--color"},
        {"sync setup --help", "--password-command CMD ", "--accept-empty"},
    };
    for (const auto& row : helps) {
        const CalRun help = Cal(row.arguments);
        EXPECT_EQ(help.status, 0) << row.arguments;
        EXPECT_NE(help.out.find(row.holds), std::string::npos) << row.arguments << ": " << help.out;
        EXPECT_EQ(help.out.find(row.lacks), std::string::npos) << row.arguments << ": " << help.out;
    }
    for (const char* arguments : {"holidays", "holidays remove", "--bogus holidays update", "--dir", "--dir= day",
                                  "day --year 2026", "list -3", "export --no-holidays=1 a.ics", "sync --user anna",
                                  "--dir . sync setup", "--dir . sync status now", "sync setup --user= x"}) {
        const CalRun run = Cal(arguments);
        EXPECT_EQ(run.status, 2) << arguments;
        // One line that says what is wrong and where the commands are told, not the whole help.
        EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << arguments << ": " << run.err;
        EXPECT_TRUE(run.err.starts_with("velmora-cal: ")) << arguments << ": " << run.err;
    }
}

// Without --dir it works on the calendar's folder wherever it is started: VELMORA_DIR, else
// ${XDG_DATA_HOME:-$HOME/.local/share}/velmora. A command that writes makes a missing folder (0700,
// as the launcher does) and names it; one that reads says it is missing and makes nothing.
TEST_F(VelmoraCalTest, WithoutDirItWorksOnTheCalendarsFolderFromAnywhere) {
    const fs::path home = m_folder / "home";
    const fs::path downloads = home / "Downloads";
    const fs::path share = home / ".local/share/velmora";
    const fs::path xdg = m_folder / "xdg";
    fs::create_directories(downloads);
    std::ofstream(downloads / "invitation.ics") << "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nBEGIN:VEVENT\r\n"
                                                   "DTSTART;VALUE=DATE:20261208\r\nSUMMARY:dentist\r\n"
                                                   "END:VEVENT\r\nEND:VCALENDAR\r\n";
    const std::string google = " '" VELMORA_ICS_DIR "/google_export.ics'";
    const std::string base =
        "-u VELMORA_DIR -u XDG_DATA_HOME -u LC_ALL -u LC_MESSAGES LANG=C TZ=Asia/Tokyo HOME='" + home.string() + "' ";
    const CalRun before = RunCal(downloads, base, "day 2026-12-08", m_folder);
    EXPECT_EQ(before.status, 1);
    EXPECT_EQ(before.err, "velmora-cal: the data folder " + share.string() +
                              " does not exist yet: start the calendar once, or name a folder with --dir\n");
    EXPECT_FALSE(fs::exists(home / ".local"));
    const struct {
        const char* name;
        std::string environment;
        std::string arguments;
        int status;
        fs::path folder;  // where the memos are, "" for none
        std::string says;
    } rows[] = {
        {"an import makes the folder", base, "import invitation.ics", 0, share,
         "1 event added to the memo of 1 day in " + share.string() + "; 0 already present\n"},
        {"a search from elsewhere", base, "search dentist", 0, share, "2026-12-08 (火)  dentist\n"},
        {"a relative XDG_DATA_HOME is no folder", base + "XDG_DATA_HOME=xdg", "day 2026-12-08", 0, share, "dentist"},
        {"XDG_DATA_HOME", base + "XDG_DATA_HOME='" + xdg.string() + "'", "import" + google, 0, xdg / "velmora",
         "2 events added to the memo of 1 day in " + (xdg / "velmora").string() + "; 0 already present\n"},
        {"VELMORA_DIR, in Japanese", base + "VELMORA_DIR='" + (m_folder / "mine").string() + "' LANG=ja_JP.UTF-8",
         "import invitation.ics", 0, m_folder / "mine",
         (m_folder / "mine").string() + " のメモに予定を 1 件追加しました（1 日分）。すでにあった予定: 0 件\n"},
        {"--dir before VELMORA_DIR", base + "VELMORA_DIR=nowhere", "--dir ../../mine import --dry-run invitation.ics",
         0, m_folder / "mine", "dry run: 0 events would be added to the memos in " + (m_folder / "mine").string()},
        {"holidays update makes a VELMORA_DIR and its parents",
         base + "VELMORA_DIR='" + (m_folder / "new/velmora").string() + "'", "holidays update", 0, "",
         "147 files written in " + (m_folder / "new/velmora").string() + ", "},
        {"no HOME", "-u VELMORA_DIR -u XDG_DATA_HOME -u HOME LANG=C", "search dentist", 1, "", "HOME is not set"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const CalRun run = RunCal(downloads, row.environment, row.arguments, m_folder);
        EXPECT_EQ(run.status, row.status) << run.err;
        EXPECT_NE((run.out + run.err).find(row.says), std::string::npos) << run.out << run.err;
        EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), row.status == 0 ? 0 : 1) << run.err;
        if (!row.folder.empty()) {
            EXPECT_NE(Bytes(row.folder / "MemoData.txt"), "");
        }
        EXPECT_FALSE(fs::exists(downloads / "MemoData.txt"));
    }
    EXPECT_EQ(fs::status(share).permissions(), fs::perms::owner_all);
    EXPECT_EQ(fs::status(m_folder / "new/velmora").permissions(), fs::perms::owner_all);
    EXPECT_FALSE(fs::exists(downloads / "xdg"));
}

// ---- Two users in shared folders

constexpr const char* kVictim = "velmora-e2e";

// Makes the victim and the other user when missing; false unless this runs as root and both exist.
bool TwoUsers() {
    // Two runs side by side may both try: only their presence afterwards counts.
    return ::geteuid() == 0 && std::system(
                                   "{ id velmora-e2e || useradd -M -s /usr/sbin/nologin velmora-e2e; "
                                   "id velmora-other || useradd -M -N velmora-other; "
                                   "id velmora-e2e && id velmora-other; } >/dev/null 2>&1") == 0;
}

// Sets the kernel's fs.protected_symlinks for one scope and puts the old value back after; a lock
// keeps two test programs from setting it at once (ctest also gives these tests a resource lock).
struct ProtectedSymlinks {
    explicit ProtectedSymlinks(int value)
        : lock(::open("/run/lock/velmora-protected-symlinks", O_RDWR | O_CREAT | O_CLOEXEC, 0600)) {
        if (lock >= 0) ::flock(lock, LOCK_EX);
        std::ifstream(kSetting) >> old;
        std::ofstream(kSetting) << value;
        std::ifstream(kSetting) >> now;
    }
    ~ProtectedSymlinks() {
        std::ofstream(kSetting) << old;
        if (lock >= 0) ::close(lock);
    }
    ProtectedSymlinks(const ProtectedSymlinks&) = delete;
    ProtectedSymlinks& operator=(const ProtectedSymlinks&) = delete;
    static constexpr const char* kSetting = "/proc/sys/fs/protected_symlinks";
    int lock, old = 1, now = -1;
};

// The names in a folder, the lock file apart.
std::set<std::string> NamesIn(const fs::path& folder) {
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) names.insert(entry.path().filename().string());
    names.erase(".velmora.lock");
    return names;
}

// The other user's links and files in a sticky folder (tmp) and in a shared data folder that both
// may write (shared) never lead the victim's commands to write the victim's own files, and a half
// update is never begun.
TEST_F(VelmoraCalTest, AnotherUsersLinksFilesAndLockInSharedFoldersWriteNothingOfTheVictims) {
    if (!TwoUsers()) GTEST_SKIP() << "needs root, to act as two users (velmora-e2e and velmora-other)";
    const std::string notes = (m_folder / "victim" / "notes.txt").string();
    const std::string memos = (m_folder / "victim" / "data" / "MemoData.txt").string();
    const std::string update = " holidays update '" VELMORA_OFFICIAL_LIST "'";
    const struct {
        const char* name;
        const char* folder;
        std::string plant;  // run there as the other user
        std::string command;
        int status;
        const char* says;
    } rows[] = {
        {"export through a link to the memo file", "tmp", "ln -s " + memos + " cal.ics",
         "--dir victim/data export tmp/cal.ics", 2, "link of user id"},
        {"export through a link to another file", "tmp", "ln -s " + notes + " cal.ics",
         "--dir victim/data export tmp/cal.ics", 2, "link of user id"},
        {"update through a first year's link", "shared", "ln -s " + notes + " 55_holi.txt", "--dir shared" + update, 1,
         "55_holi.txt"},
        {"update through a last year's link", "shared", "ln -s " + notes + " 180_holi.txt", "--dir shared" + update, 1,
         "180_holi.txt"},
        {"import through a memo file swapped for a link", "shared",
         "rm -f MemoData.txt && ln -s " + notes + " MemoData.txt",
         "--dir shared import '" VELMORA_ICS_DIR "/google_export.ics'", 1, "MemoData.txt"},
        {"update among their year files in a sticky folder", "tmp",
         "printf '1^2^x^100~' >130_holi.txt && chmod 666 130_holi.txt", "--dir tmp" + update, 1, "130_holi.txt"},
        {"update beside their lock file", "shared", "umask 077 && touch .velmora.lock", "--dir shared" + update, 2,
         "lock file .velmora.lock of user id"},
    };
    for (const int protect : {1, 0}) {
        const ProtectedSymlinks setting(protect);
        ASSERT_EQ(setting.now, protect);
        for (const auto& row : rows) {
            SCOPED_TRACE(std::string(row.name) + ", fs.protected_symlinks=" + std::to_string(protect));
            // The victim's notes and memos at home and a memo file of the victim's in the shared
            // folder; then what the other user plants.
            const std::string setUp =
                "cd '" + m_folder.string() +
                "' && rm -rf victim shared tmp && mkdir -p victim/data shared tmp && chmod 777 shared && "
                "chmod 1777 tmp && echo 'my notes' >victim/notes.txt && printf '126^11^8^x~\\0' | tee "
                "victim/data/MemoData.txt >shared/MemoData.txt && chown -R " +
                kVictim + ":" + kVictim + " victim shared/MemoData.txt && cd " + row.folder +
                " && setpriv --reuid=velmora-other --regid=$(id -g velmora-other) --clear-groups sh -c '" + row.plant +
                "'";
            ASSERT_EQ(std::system(setUp.c_str()), 0);
            const std::set<std::string> before = NamesIn(m_folder / row.folder);

            const CalRun run = RunCal(m_folder, "LANG=C TZ=Asia/Tokyo", row.command, m_folder, kVictim);
            EXPECT_EQ(run.status, row.status) << run.out << run.err;
            EXPECT_NE(run.err.find(row.says), std::string::npos) << run.err;
            EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
            EXPECT_EQ(Bytes(notes), "my notes\n");
            EXPECT_EQ(Bytes(memos), "126^11^8^x~"s + '\0');
            EXPECT_EQ(NamesIn(m_folder / row.folder), before) << "nothing new but the victim's lock file";
        }
    }
}

}  // namespace
