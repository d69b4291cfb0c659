#pragma once

#include "tests/support/window_input.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

// A fresh temporary directory that is the current directory while the object lives; the old
// current directory comes back and the directory is removed at its end.
class ScopedTempDirectory {
public:
    explicit ScopedTempDirectory(const char* prefix);
    ~ScopedTempDirectory();
    ScopedTempDirectory(const ScopedTempDirectory&) = delete;
    ScopedTempDirectory& operator=(const ScopedTempDirectory&) = delete;

    const std::string& Path() const { return m_directory; }

private:
    std::string m_oldDirectory;
    std::string m_directory;
};

// Empties the four stores, zeroes the year model and the window globals, and puts the window
// layer in test mode with a notification area.
void ResetProgramState();
// Fixes the present moment at a calendar date and time.
void SetPresentMoment(int year, int month, int day, int hour = 9, int minute = 5);

// Runs each test in a fresh temporary directory that is the current directory, with the program
// state reset; the layer's hooks and the present moment are put back afterwards.
class WindowTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

private:
    std::unique_ptr<ScopedTempDirectory> m_directory;
};

// Returns the raw bytes of a file, or "<missing>".
std::string FileBytes(const std::string& name);
// Replaces a file with raw bytes.
void PutFileBytes(const std::string& name, const std::string& bytes);
// Returns the bytes as "31 32 5E" for readable failures.
std::string Hex(const std::string& bytes);
