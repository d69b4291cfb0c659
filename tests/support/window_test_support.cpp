#include "tests/support/window_test_support.h"

#include "app/resources/resources.h"
#include "model/model_state.h"
#include "model/present_time.h"
#include "platform/testing.h"
#include "ui/globals.h"

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>

ScopedTempDirectory::ScopedTempDirectory(const char* prefix) {
    m_oldDirectory = std::filesystem::current_path().string();
    std::string pattern = (std::filesystem::temp_directory_path() / (std::string(prefix) + "-XXXXXX")).string();
    if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("cannot make a temporary directory");
    m_directory = pattern;
    std::filesystem::current_path(m_directory);
}

ScopedTempDirectory::~ScopedTempDirectory() {
    std::error_code ignored;
    std::filesystem::current_path(m_oldDirectory, ignored);
    // A test may have taken the write bits away; give them back so the directory can go.
    std::filesystem::permissions(m_directory, std::filesystem::perms::owner_all, ignored);
    std::filesystem::remove_all(m_directory, ignored);
}

void ResetProgramState() {
    ResetModelState();
    ResetWindowGlobals();
    platform::InstallResources(resources::VelmoraResources());
    platform::testing::EnableTestMode();
    platform::testing::Reset();
    platform::testing::SetTrayAvailable(true);
}

void WindowTest::SetUp() {
    m_directory = std::make_unique<ScopedTempDirectory>("velmora-window");
    // Recovery copies go inside the test's folder, never into the user's own state folder.
    ::setenv("XDG_STATE_HOME", (m_directory->Path() + "/.state").c_str(), 1);
    // So do the settings the windows keep.
    ::setenv("XDG_CONFIG_HOME", (m_directory->Path() + "/.config").c_str(), 1);
    ResetProgramState();
}

void WindowTest::TearDown() {
    platform::testing::Reset();
    ClearPresentTimeForTesting();
    m_directory.reset();
}

void SetPresentMoment(int year, int month, int day, int hour, int minute) {
    std::tm moment{};
    moment.tm_year = year - 1900;
    moment.tm_mon = month - 1;
    moment.tm_mday = day;
    moment.tm_hour = hour;
    moment.tm_min = minute;
    moment.tm_isdst = -1;
    timegm(&moment);  // fills in the weekday and the day of the year
    SetPresentTimeForTesting(moment);
}

std::string FileBytes(const std::string& name) {
    std::ifstream in(name, std::ios::binary);
    if (!in) return "<missing>";
    return std::string(std::istreambuf_iterator<char>(in), {});
}

void PutFileBytes(const std::string& name, const std::string& bytes) {
    std::ofstream out(name, std::ios::binary | std::ios::trunc);
    out << bytes;
}

std::string Hex(const std::string& bytes) {
    std::string out;
    for (const unsigned char c : bytes) {
        char two[4];
        std::snprintf(two, sizeof two, "%02X ", c);
        out += two;
    }
    if (!out.empty()) out.pop_back();
    return out;
}
