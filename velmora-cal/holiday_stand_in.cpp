#include "velmora-cal/holiday_stand_in.h"

#include "model/data_files.h"
#include "model/record.h"

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <regex>
#include <stdexcept>
#include <system_error>

namespace cal {
namespace {

namespace fs = std::filesystem;

bool IsHolidayFileName(const std::string& name) {
    static const std::regex pattern("-?[0-9]+_holi\\.txt");
    return name == kDynamicHolidayFile || std::regex_match(name, pattern);
}

}  // namespace

HolidayStandIn::HolidayStandIn() {
    // An unreadable file reads as empty, and the calendar then shows the built-in records too.
    if (!ReadTextFile(kStaticHolidayFile).empty()) return;
    const bool keepDynamic = !ReadTextFile(kDynamicHolidayFile).empty();

    std::error_code error;
    m_dataFolder = fs::current_path(error).string();
    if (error) throw std::runtime_error("cannot find the data folder: " + error.message());
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp != nullptr && *tmp != '\0' ? tmp : "/tmp") + "/velmora-cal-XXXXXX";
    if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("cannot make a temporary folder in " + pattern);
    m_scratch = pattern;
    try {
        Fill(keepDynamic);
    } catch (...) {
        Leave();
        throw;
    }
}

void HolidayStandIn::Fill(bool keepDynamic) {
    // The folder's one-year files (and its rule-based file when it holds records) are read where
    // they are, through links; a folder that cannot be listed has its one-year files left out.
    std::error_code error;
    for (const fs::directory_entry& entry : fs::directory_iterator(m_dataFolder, error)) {
        const std::string name = entry.path().filename().string();
        if (IsHolidayFileName(name) && (keepDynamic || name != kDynamicHolidayFile))
            fs::create_symlink(entry.path(), fs::path(m_scratch) / name, error);
    }
    ForgetDataFiles();
    if (::chdir(m_scratch.c_str()) != 0) throw std::runtime_error("cannot enter the temporary folder " + m_scratch);
    g_strStaticHoliday.clear();
    SetDefaultStaticHolidays();
    bool written = WriteTextFile(kStaticHolidayFile, g_strStaticHoliday) == 1;
    if (!keepDynamic) {
        g_strDynamicHoliday.clear();
        SetDefaultDynamicHolidays();
        written = written && WriteTextFile(kDynamicHolidayFile, g_strDynamicHoliday) == 1;
    }
    if (!written) throw std::runtime_error("cannot write the built-in holidays to " + m_scratch);
}

void HolidayStandIn::Leave() {
    ForgetDataFiles();
    // Back to the data folder, which the process may read again; the temporary folder is removed
    // by its full name either way.
    if (::chdir(m_dataFolder.c_str()) != 0) m_dataFolder.clear();
    std::error_code error;
    fs::remove_all(m_scratch, error);
    m_scratch.clear();
}

HolidayStandIn::~HolidayStandIn() {
    if (!m_scratch.empty()) Leave();
}

}  // namespace cal
