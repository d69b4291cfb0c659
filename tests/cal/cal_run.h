#pragma once

#include <filesystem>
#include <string>

// What a run of velmora-cal gave: its exit status and what it wrote to stdout and stderr.
struct CalRun {
    int status = -1;
    std::string out;
    std::string err;
};

// Returns the bytes of a file, or "" when it cannot be read.
std::string Bytes(const std::filesystem::path& path);

// Runs velmora-cal with `arguments` (shell words) in `folder`, after `environment` (shell words
// for env, such as "LANG=C TZ=Asia/Tokyo"), with no input, as `user` when one is named (which
// needs root); its output goes through files in `scratch`. `program` is the build's velmora-cal
// unless another copy is named.
CalRun RunCal(const std::filesystem::path& folder, const std::string& environment, const std::string& arguments,
              const std::filesystem::path& scratch, const std::string& user = "",
              const std::filesystem::path& program = {});
