#pragma once

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

// Returns the code page 932 bytes of a UTF-8 text, so that expectations can be written readably.
std::string Sjis(std::string_view utf8);

// Returns the bytes of a text as "89 7E 41" for failure messages.
std::string HexBytes(std::string_view bytes);

// Returns the raw bytes of a file, or "<missing>" when it cannot be read.
std::string FileBytes(const std::string& path);
// Writes raw bytes to a file, replacing it.
void PutFileBytes(const std::string& path, std::string_view bytes);
// Returns the names in the current directory, sorted.
std::vector<std::string> DirectoryNames();

// Returns a parameterised case's name made of a row's description: each run of characters that a
// test name may not hold becomes one "_".
std::string TestNameOf(std::string_view description);
// Names each parameterised case after the `name` of its row.
struct RowName {
    template <typename Row>
    std::string operator()(const ::testing::TestParamInfo<Row>& info) const {
        return TestNameOf(info.param.name);
    }
};

// Runs each test in a fresh temporary directory that is the current directory for the test's
// duration, with the model's state reset (ResetModelState) before and after.
class ModelTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

private:
    std::string m_oldDirectory;
    std::string m_tempDirectory;
};
