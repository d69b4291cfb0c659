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
#include <sstream>
#include <string>

namespace fs = std::filesystem;

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
    const CalRun help = Cal("--help");
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("holidays update [FILE]"), std::string::npos);
    for (const char* arguments : {"holidays", "holidays remove", "--bogus holidays update", "--dir"}) {
        const CalRun run = Cal(arguments);
        EXPECT_EQ(run.status, 2) << arguments;
        // One line that says what is wrong and where the commands are told, not the whole help.
        EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << arguments << ": " << run.err;
        EXPECT_TRUE(run.err.starts_with("velmora-cal: ")) << arguments << ": " << run.err;
    }
}

}  // namespace
