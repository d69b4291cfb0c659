#include "tests/model/model_test_support.h"

#include "model/model_state.h"

#include <iconv.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

std::string Sjis(std::string_view utf8) {
    iconv_t converter = iconv_open("CP932", "UTF-8");
    if (converter == reinterpret_cast<iconv_t>(-1)) {  // NOLINT(cppcoreguidelines-pro-type-reinterpret-cast)
        ADD_FAILURE() << "iconv has no CP932 converter";
        return {};
    }
    std::string input(utf8);
    std::string output(input.size() * 2 + 4, '\0');
    char* in = input.data();
    std::size_t inLeft = input.size();
    char* out = output.data();
    std::size_t outLeft = output.size();
    const std::size_t result = iconv(converter, &in, &inLeft, &out, &outLeft);
    iconv_close(converter);
    if (result == static_cast<std::size_t>(-1)) {
        ADD_FAILURE() << "cannot convert to CP932: " << utf8;
        return {};
    }
    output.resize(output.size() - outLeft);
    return output;
}

std::string HexBytes(std::string_view bytes) {
    std::string hex;
    char two[4];
    for (const char c : bytes) {
        std::snprintf(two, sizeof two, "%02X", static_cast<unsigned char>(c));
        if (!hex.empty()) hex += ' ';
        hex += two;
    }
    return hex;
}

std::string TestNameOf(std::string_view description) {
    std::string name;
    bool gap = false;
    for (const char c : description) {
        const bool allowed = (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
        if (allowed) {
            if (gap && !name.empty()) name += '_';
            name += c;
        }
        gap = !allowed;
    }
    return name;
}

std::string FileBytes(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    if (!file) return "<missing>";
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

void PutFileBytes(const std::string& path, std::string_view bytes) {
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    ASSERT_TRUE(file.good()) << "cannot write " << path;
}

std::vector<std::string> DirectoryNames() {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator("."))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

void ModelTest::SetUp() {
    char cwd[PATH_MAX];
    ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
    m_oldDirectory = cwd;
    std::string pattern = (std::filesystem::temp_directory_path() / "velmora-model-XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr) << "errno " << errno;
    m_tempDirectory = pattern;
    ASSERT_EQ(chdir(m_tempDirectory.c_str()), 0);
    // Recovery copies go inside the test's folder, never into the user's own state folder.
    ::setenv("XDG_STATE_HOME", (m_tempDirectory + "/.state").c_str(), 1);
    ResetModelState();
}

void ModelTest::TearDown() {
    ResetModelState();
    if (!m_oldDirectory.empty()) {
        EXPECT_EQ(chdir(m_oldDirectory.c_str()), 0);
    }
    if (!m_tempDirectory.empty()) {
        std::error_code ignored;
        // Tests may leave read-only files and directories behind; make them removable first.
        for (const auto& entry : std::filesystem::recursive_directory_iterator(m_tempDirectory, ignored))
            std::filesystem::permissions(entry.path(), std::filesystem::perms::owner_all,
                                         std::filesystem::perm_options::add | std::filesystem::perm_options::nofollow,
                                         ignored);
        std::filesystem::remove_all(m_tempDirectory, ignored);
    }
}
