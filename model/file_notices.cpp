#include "model/file_notices.h"

#include <utility>

namespace {

std::vector<FileNotice>& Notices() {
    static std::vector<FileNotice> notices;
    return notices;
}

}  // namespace

std::vector<FileNotice> TakeFileNotices() { return std::exchange(Notices(), {}); }

void RecordFileNotice(FileNotice notice) { Notices().push_back(std::move(notice)); }

void ClearFileNotices() { Notices().clear(); }
