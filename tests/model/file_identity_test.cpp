// A save replaces only the file that was read: links planted or changed by somebody else, files
// of other users, files changed by another program, hard-linked files and files that do not look
// like ours are each handled without losing or overwriting anybody's bytes.
#include "model/data_files.h"
#include "model/file_notices.h"
#include "model/file_system_calls.h"
#include "model/present_time.h"
#include "model/text_file_format.h"
#include "tests/model/model_test_support.h"

#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <ctime>
#include <functional>
#include <optional>
#include <string>
#include <vector>

using namespace std::string_literals;

namespace {

using FileIdentityTest = ModelTest;

const std::string kOld = "126^11^7^theirs before~\0"s;
const std::string kOurStore = "126^11^7^ours~";
const std::string kOurBytes = "126^11^7^ours~\0"s;

struct stat StatusOf(const std::string& path) {
    struct stat status {};
    EXPECT_EQ(::lstat(path.c_str(), &status), 0) << path;
    return status;
}

bool IsSymlink(const std::string& path) {
    struct stat status {};
    return ::lstat(path.c_str(), &status) == 0 && S_ISLNK(status.st_mode);
}

// Returns the names in the current directory that start with `prefix`.
std::vector<std::string> NamesStartingWith(const std::string& prefix) {
    std::vector<std::string> names;
    for (const std::string& name : DirectoryNames())
        if (name.starts_with(prefix)) names.push_back(name);
    return names;
}

std::string KindName(FileNoticeKind kind) {
    switch (kind) {
    case FileNoticeKind::ForeignFileRead:
        return "foreign file read";
    case FileNoticeKind::OriginalKept:
        return "original kept";
    case FileNoticeKind::ConflictKept:
        return "conflict kept";
    case FileNoticeKind::SaveRefused:
        return "save refused";
    }
    return "?";
}

// Returns the kinds of the notices recorded since the last call, as readable names.
std::vector<std::string> TakeNoticeKinds() {
    std::vector<std::string> kinds;
    for (const FileNotice& notice : TakeFileNotices()) kinds.push_back(KindName(notice.kind));
    return kinds;
}

// Replaces `path` with a new file (a new inode), as an editor that saves atomically does.
void ReplaceWithNewFile(const std::string& path, std::string_view bytes) {
    PutFileBytes(path + ".editor-tmp", bytes);
    ASSERT_EQ(::rename((path + ".editor-tmp").c_str(), path.c_str()), 0);
}

// What another program or user does to the data folder between our read and our save.
struct SaveRuleCase {
    const char* name;
    bool fileBeforeRead;
    std::function<void()> meanwhile;
    bool changed;  // DataFileChangedOnDisk before the save
    int result;
    std::optional<std::string> memoAfter;  // bytes of MemoData.txt after the save; none: not a file
    std::string theirKept;                 // bytes of the .conflict copy, or "" when none must exist
    std::vector<std::string> notices;
};
void PrintTo(const SaveRuleCase& row, std::ostream* out) { *out << row.name; }

class SaveRuleTest : public ModelTest, public ::testing::WithParamInterface<SaveRuleCase> {};

TEST_P(SaveRuleTest, SaveFollowsWhatHappenedToTheFileSinceTheRead) {
    const SaveRuleCase& c = GetParam();
    ASSERT_EQ(::mkdir("elsewhere", 0755), 0);
    PutFileBytes("elsewhere/mine.txt", "my other file~\0"s);
    if (c.fileBeforeRead) PutFileBytes(kMemoFile, kOld);
    ReadTextFile(kMemoFile);
    TakeFileNotices();
    c.meanwhile();
    EXPECT_EQ(DataFileChangedOnDisk(kMemoFile), c.changed);

    EXPECT_EQ(WriteTextFile(kMemoFile, kOurStore), c.result);

    if (c.memoAfter) {
        EXPECT_EQ(HexBytes(FileBytes(kMemoFile)), HexBytes(*c.memoAfter));
    } else {
        EXPECT_FALSE(S_ISREG(StatusOf(kMemoFile).st_mode));
    }
    EXPECT_EQ(FileBytes("elsewhere/mine.txt"), "my other file~\0"s);
    const std::vector<std::string> kept = NamesStartingWith(std::string(kMemoFile) + ".conflict-");
    EXPECT_EQ(kept.size(), c.theirKept.empty() ? 0u : 1u);
    if (!c.theirKept.empty() && kept.size() == 1) {
        EXPECT_EQ(HexBytes(FileBytes(kept[0])), HexBytes(c.theirKept));
    }
    EXPECT_TRUE(NamesStartingWith(".").empty()) << "a temporary file was left behind";
    EXPECT_EQ(TakeNoticeKinds(), c.notices);
    if (c.result == 1) {
        // The file written is now the one known: a second save is no conflict.
        EXPECT_FALSE(DataFileChangedOnDisk(kMemoFile));
        EXPECT_EQ(WriteTextFile(kMemoFile, kOurStore + "2~"), 1);
        EXPECT_EQ(NamesStartingWith(std::string(kMemoFile) + ".conflict-").size(), kept.size());
        EXPECT_TRUE(TakeFileNotices().empty());
    }
}

const std::string kTheirs = "126^11^7^theirs, saved meanwhile~\0"s;

INSTANTIATE_TEST_SUITE_P(
    Rows, SaveRuleTest,
    ::testing::Values(
        SaveRuleCase{"nothing happens", true, [] {}, false, 1, kOurBytes, "", {}},
        SaveRuleCase{"no file before and none now", false, [] {}, false, 1, kOurBytes, "", {}},
        SaveRuleCase{
            "the file read is deleted", true, [] { ASSERT_EQ(::unlink(kMemoFile), 0); }, true, 1, kOurBytes, "", {}},
        SaveRuleCase{"the file read is appended to",
                     true,
                     [] {
                         const int fd = ::open(kMemoFile, O_WRONLY | O_APPEND);
                         ASSERT_EQ(::write(fd, "more~", 5), 5);
                         ::close(fd);
                     },
                     true,
                     1,
                     kOurBytes,
                     kOld + "more~",
                     {"conflict kept"}},
        SaveRuleCase{"another program saves a new file of ours",
                     true,
                     [] { ReplaceWithNewFile(kMemoFile, kTheirs); },
                     true,
                     1,
                     kOurBytes,
                     kTheirs,
                     {"conflict kept"}},
        SaveRuleCase{"another program creates the file none was read from",
                     false,
                     [] { PutFileBytes(kMemoFile, kTheirs); },
                     true,
                     1,
                     kOurBytes,
                     kTheirs,
                     {"conflict kept"}},
        SaveRuleCase{"the file becomes a link to another file of ours",
                     true,
                     [] {
                         ASSERT_EQ(::unlink(kMemoFile), 0);
                         ASSERT_EQ(::symlink("elsewhere/mine.txt", kMemoFile), 0);
                     },
                     true,
                     0,
                     "my other file~\0"s,
                     "",
                     {"save refused"}},
        SaveRuleCase{"a link appears where no file was",
                     false,
                     [] { ASSERT_EQ(::symlink("elsewhere/mine.txt", kMemoFile), 0); },
                     true,
                     0,
                     "my other file~\0"s,
                     "",
                     {"save refused"}},
        SaveRuleCase{"the file becomes a directory",
                     true,
                     [] {
                         ASSERT_EQ(::unlink(kMemoFile), 0);
                         ASSERT_EQ(::mkdir(kMemoFile, 0755), 0);
                     },
                     true,
                     0,
                     std::nullopt,
                     "",
                     {"save refused"}},
        SaveRuleCase{"the file becomes a FIFO",
                     true,
                     [] {
                         ASSERT_EQ(::unlink(kMemoFile), 0);
                         ASSERT_EQ(::mkfifo(kMemoFile, 0644), 0);
                     },
                     true,
                     0,
                     std::nullopt,
                     "",
                     {"save refused"}}),
    RowName());

// The user's own links, made before the read, and what may happen to them.
struct LinkCase {
    const char* name;
    std::function<void()> meanwhile;
    int result;
    std::string targetAfter;
    std::string otherAfter;
};
void PrintTo(const LinkCase& row, std::ostream* out) { *out << row.name; }

class UserLinkTest : public ModelTest, public ::testing::WithParamInterface<LinkCase> {};

TEST_P(UserLinkTest, SaveGoesThroughTheLinkReadOnlyWhileItStaysTheSame) {
    const LinkCase& c = GetParam();
    ASSERT_EQ(::mkdir("data", 0755), 0);
    PutFileBytes("data/memo.txt", kOld);
    PutFileBytes("data/other.txt", "other~\0"s);
    ASSERT_EQ(::symlink("data/memo.txt", kMemoFile), 0);
    EXPECT_EQ(ReadTextFile(kMemoFile), "126^11^7^theirs before~");
    c.meanwhile();

    EXPECT_EQ(WriteTextFile(kMemoFile, kOurStore), c.result);

    EXPECT_EQ(HexBytes(FileBytes("data/memo.txt")), HexBytes(c.targetAfter));
    EXPECT_EQ(FileBytes("data/other.txt"), c.otherAfter);
    const std::vector<FileNotice> notices = TakeFileNotices();
    EXPECT_EQ(notices.size(), c.result == 1 ? 0u : 1u);
    if (c.result == 0 && !notices.empty()) {
        EXPECT_EQ(notices[0].kind, FileNoticeKind::SaveRefused);
        EXPECT_EQ(notices[0].file, kMemoFile);
    }
}

INSTANTIATE_TEST_SUITE_P(Rows, UserLinkTest,
                         ::testing::Values(LinkCase{"link unchanged", [] {}, 1, kOurBytes, "other~\0"s},
                                           LinkCase{"link now points to another file",
                                                    [] {
                                                        ASSERT_EQ(::unlink(kMemoFile), 0);
                                                        ASSERT_EQ(::symlink("data/other.txt", kMemoFile), 0);
                                                    },
                                                    0, kOld, "other~\0"s},
                                           LinkCase{"link replaced by a link to the same file spelled otherwise",
                                                    [] {
                                                        ASSERT_EQ(::unlink(kMemoFile), 0);
                                                        ASSERT_EQ(::symlink("./data/memo.txt", kMemoFile), 0);
                                                    },
                                                    0, kOld, "other~\0"s},
                                           LinkCase{"folder of the target swapped for another",
                                                    [] {
                                                        ASSERT_EQ(::rename("data", "data.old"), 0);
                                                        ASSERT_EQ(::mkdir("data", 0755), 0);
                                                        PutFileBytes("data/memo.txt", kOld);
                                                        PutFileBytes("data/other.txt", "other~\0"s);
                                                    },
                                                    0, kOld, "other~\0"s},
                                           LinkCase{"link replaced by a regular file",
                                                    [] {
                                                        ASSERT_EQ(::unlink(kMemoFile), 0);
                                                        PutFileBytes(kMemoFile, "plain~\0"s);
                                                    },
                                                    0, kOld, "other~\0"s}),
                         RowName());

TEST_F(FileIdentityTest, ConflictCopyIsNamedAfterThePresentTimeAndGivenInTheNotice) {
    std::tm moment{};
    moment.tm_year = 126;
    moment.tm_mon = 11;
    moment.tm_mday = 7;
    moment.tm_hour = 9;
    moment.tm_min = 5;
    moment.tm_sec = 3;
    SetPresentTimeForTesting(moment);
    PutFileBytes(kMemoFile, kOld);
    ReadTextFile(kMemoFile);
    ReplaceWithNewFile(kMemoFile, kTheirs);
    PutFileBytes("MemoData.txt.conflict-20261207-090503", "an older copy~");

    ASSERT_EQ(WriteTextFile(kMemoFile, kOurStore), 1);

    // A copy of the same second already there is kept too: the new one takes the next name.
    EXPECT_EQ(FileBytes("MemoData.txt.conflict-20261207-090503"), "an older copy~");
    EXPECT_EQ(FileBytes("MemoData.txt.conflict-20261207-090503-2"), kTheirs);
    const std::vector<FileNotice> notices = TakeFileNotices();
    ASSERT_EQ(notices.size(), 1u);
    EXPECT_EQ(notices[0].kind, FileNoticeKind::ConflictKept);
    EXPECT_EQ(notices[0].file, kMemoFile);
    char cwd[4096];
    ASSERT_NE(::getcwd(cwd, sizeof cwd), nullptr);
    EXPECT_EQ(notices[0].path, std::string(cwd) + "/MemoData.txt.conflict-20261207-090503-2");
}

TEST_F(FileIdentityTest, DataFolderIsTheDirectoryOfTheFirstReadEvenAfterAChangeOfDirectory) {
    ASSERT_EQ(::mkdir("first", 0755), 0);
    ASSERT_EQ(::mkdir("second", 0755), 0);
    PutFileBytes("first/MemoData.txt", kOld);
    ASSERT_EQ(::chdir("first"), 0);
    ReadTextFile(kMemoFile);
    ASSERT_EQ(::chdir("../second"), 0);
    const int result = WriteTextFile(kMemoFile, kOurStore);
    ASSERT_EQ(::chdir(".."), 0);
    EXPECT_EQ(result, 1);
    EXPECT_EQ(FileBytes("first/MemoData.txt"), kOurBytes);
    EXPECT_EQ(FileBytes("second/MemoData.txt"), "<missing>");
}

// ---- Hard links

TEST_F(FileIdentityTest, FileWithTwoHardLinksIsWrittenInPlaceAfterABackupCopy) {
    PutFileBytes(kMemoFile, kOld);
    ASSERT_EQ(::chmod(kMemoFile, 0640), 0);
    ASSERT_EQ(::link(kMemoFile, "second-name.txt"), 0);
    const struct stat before = StatusOf(kMemoFile);
    ReadTextFile(kMemoFile);

    ASSERT_EQ(WriteTextFile(kMemoFile, kOurStore), 1);

    const struct stat after = StatusOf(kMemoFile);
    EXPECT_EQ(after.st_ino, before.st_ino);
    EXPECT_EQ(after.st_nlink, 2u);
    EXPECT_EQ(after.st_mode & 07777, 0640u);
    EXPECT_EQ(FileBytes(kMemoFile), kOurBytes);
    EXPECT_EQ(FileBytes("second-name.txt"), kOurBytes);
    EXPECT_EQ(FileBytes(".MemoData.txt.bak"), kOld);
    EXPECT_EQ(StatusOf(".MemoData.txt.bak").st_mode & 07777, 0640u);
    EXPECT_EQ(DirectoryNames(), (std::vector<std::string>{".MemoData.txt.bak", kMemoFile, "second-name.txt"}));

    // The next save is no conflict, and a shorter store leaves no old tail.
    ASSERT_EQ(WriteTextFile(kMemoFile, "1~"), 1);
    EXPECT_EQ(FileBytes("second-name.txt"), "1~\0"s);
    EXPECT_EQ(FileBytes(".MemoData.txt.bak"), kOurBytes);
    EXPECT_TRUE(TakeFileNotices().empty());
}

TEST_F(FileIdentityTest, HardLinkedFileChangedMeanwhileKeepsTheirsAsACopyAndTheLink) {
    PutFileBytes(kMemoFile, kOld);
    ASSERT_EQ(::link(kMemoFile, "second-name.txt"), 0);
    ReadTextFile(kMemoFile);
    PutFileBytes("second-name.txt", kTheirs);  // written in place through the other name

    ASSERT_EQ(WriteTextFile(kMemoFile, kOurStore), 1);

    EXPECT_EQ(FileBytes("second-name.txt"), kOurBytes);
    EXPECT_EQ(StatusOf(kMemoFile).st_nlink, 2u);
    const std::vector<std::string> kept = NamesStartingWith("MemoData.txt.conflict-");
    ASSERT_EQ(kept.size(), 1u);
    EXPECT_EQ(FileBytes(kept[0]), kTheirs);
    EXPECT_EQ(StatusOf(kept[0]).st_nlink, 1u) << "the copy must not be a third link to the file written";
}

// ---- Files that do not look like ours

struct ForeignCase {
    const char* name;
    std::string bytes;
    bool foreign;
};
void PrintTo(const ForeignCase& row, std::ostream* out) { *out << row.name; }

const ForeignCase kForeignCases[] = {
    {"our own file", "126^11^7^" + Sjis("会議") + "~\0"s, false},
    {"our empty store", "\0"s, false},
    {"empty file", "", false},
    {"file without NUL", "1^2^3^x~\r\n", false},
    {"ended by 0x1A", "1^2^3^x~\x1a", false},
    {"half-width katakana that happens to be UTF-8", "1^2^3^\xC3\xBD~\0"s, false},
    {"ASCII only", "1^2^3^plain text~\0"s, false},
    {"UTF-8 Japanese memo", "126^11^7^会議 10:00~126^11^8^歯医者~\0"s, true},
    {"UTF-8 with byte-order mark",
     "\xEF\xBB\xBF"
     "1^2^3^x~",
     true},
    {"UTF-16LE with byte-order mark",
     "\xFF\xFE"
     "1\0^\0"
     "2\0~\0"s,
     true},
    {"UTF-16BE with byte-order mark",
     "\xFE\xFF\0"
     "1\0^\0"
     "2\0~"s,
     true},
    {"UTF-16LE without byte-order mark",
     "1\0^\0"
     "2\0~\0"s,
     true},
    {"bytes after an early NUL",
     "1^2^3^x~\0"
     "4^5^6^hidden~\0"s,
     true},
    {"bytes after 0x1A",
     "1^2^3^x~\x1a"
     "4^5^6^y~",
     true},
    {"two-byte UTF-8 that is no code page 932", "1^2^3^caf\xC3\xA9 \xC2\x80~\0"s, true},
};

class LooksForeignTest : public ::testing::TestWithParam<ForeignCase> {};

TEST_P(LooksForeignTest, TellsForeignFilesFromOurs) {
    EXPECT_EQ(LooksForeign(GetParam().bytes), GetParam().foreign) << HexBytes(GetParam().bytes);
}

INSTANTIATE_TEST_SUITE_P(Rows, LooksForeignTest, ::testing::ValuesIn(kForeignCases), RowName());

class ForeignFileTest : public ModelTest, public ::testing::WithParamInterface<ForeignCase> {};

TEST_P(ForeignFileTest, ForeignFileIsCopiedOnceBeforeItsFirstChange) {
    const ForeignCase& c = GetParam();
    PutFileBytes(kMemoFile, c.bytes);
    const std::string store = ReadTextFile(kMemoFile);
    EXPECT_EQ(store, DecodeTextFile(c.bytes)) << "read exactly as any file";
    EXPECT_EQ(TakeNoticeKinds(),
              c.foreign ? std::vector<std::string>{"foreign file read"} : std::vector<std::string>{});
    // Read again: told once only.
    ReadTextFile(kMemoFile);
    EXPECT_TRUE(TakeFileNotices().empty());

    ASSERT_EQ(WriteTextFile(kMemoFile, store + "9^9^9^new~"), 1);
    const std::vector<std::string> copies = NamesStartingWith("MemoData.txt.orig-");
    const std::vector<FileNotice> notices = TakeFileNotices();
    if (c.foreign) {
        ASSERT_EQ(copies.size(), 1u);
        EXPECT_EQ(HexBytes(FileBytes(copies[0])), HexBytes(c.bytes));
        ASSERT_EQ(notices.size(), 1u);
        EXPECT_EQ(notices[0].kind, FileNoticeKind::OriginalKept);
        EXPECT_TRUE(notices[0].path.ends_with("/" + copies[0])) << notices[0].path;
    } else {
        EXPECT_TRUE(copies.empty());
        EXPECT_TRUE(notices.empty());
    }

    // Later saves, and a save after reading back what we wrote, make no further copy.
    ASSERT_EQ(WriteTextFile(kMemoFile, store + "9^9^9^newer~"), 1);
    ReadTextFile(kMemoFile);
    ASSERT_EQ(WriteTextFile(kMemoFile, store + "9^9^9^newest~"), 1);
    EXPECT_EQ(NamesStartingWith("MemoData.txt.orig-").size(), copies.size());
    EXPECT_TRUE(TakeFileNotices().empty());
}

INSTANTIATE_TEST_SUITE_P(Rows, ForeignFileTest, ::testing::ValuesIn(kForeignCases), RowName());

TEST_F(FileIdentityTest, ForeignFileSavedUnchangedIsNotCopied) {
    const std::string utf8 = "126^11^7^会議~\0"s;
    PutFileBytes(kMemoFile, utf8);
    ASSERT_EQ(WriteTextFile(kMemoFile, ReadTextFile(kMemoFile)), 1);
    EXPECT_EQ(FileBytes(kMemoFile), utf8);
    EXPECT_TRUE(NamesStartingWith("MemoData.txt.orig-").empty());
}

// ---- Two users

// Returns the user and group ids of a second user, made here when missing; std::nullopt when the
// test does not run as root or no such user can be had.
std::optional<std::pair<uid_t, gid_t>> OtherUser() {
    if (::geteuid() != 0) return std::nullopt;
    for (const char* name : {"velmora-other", "velmora-e2e"}) {
        if (const passwd* user = ::getpwnam(name)) return std::pair{user->pw_uid, user->pw_gid};
    }
    (void)!std::system("useradd -M -N velmora-other >/dev/null 2>&1");
    if (const passwd* user = ::getpwnam("velmora-other")) return std::pair{user->pw_uid, user->pw_gid};
    return std::nullopt;
}

constexpr const char* kNeedsRoot =
    "needs root, to act as a second user (velmora-other or velmora-e2e) in a child process";

// Runs `action` in a child process as the given user and returns whether it succeeded.
bool AsUser(const std::pair<uid_t, gid_t>& user, const std::function<bool()>& action) {
    const pid_t child = ::fork();
    if (child == 0) {
        const bool ok = ::setgroups(0, nullptr) == 0 && ::setresgid(user.second, user.second, user.second) == 0 &&
                        ::setresuid(user.first, user.first, user.first) == 0 && action();
        ::_exit(ok ? 0 : 1);
    }
    int status = 0;
    return child > 0 && ::waitpid(child, &status, 0) == child && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

TEST_F(FileIdentityTest, LinkPlantedByAnotherUserInASharedFolderIsNotFollowed) {
    const std::optional<std::pair<uid_t, gid_t>> other = OtherUser();
    if (!other) GTEST_SKIP() << kNeedsRoot;
    // The victim's start-up file, in a folder of the victim's own.
    ASSERT_EQ(::mkdir("home", 0700), 0);
    const std::string bashrc = "home/.bashrc";
    PutFileBytes(bashrc, "export PATH=/usr/bin\n");
    // A shared folder that the other user may write.
    ASSERT_EQ(::mkdir("shared", 0777), 0);
    ASSERT_EQ(::chmod("shared", 0777), 0);
    PutFileBytes("shared/MemoData.txt", kOld);
    char cwd[4096];
    ASSERT_NE(::getcwd(cwd, sizeof cwd), nullptr);
    const std::string target = std::string(cwd) + "/" + bashrc;
    ASSERT_EQ(::chdir("shared"), 0);
    ASSERT_EQ(ReadTextFile(kMemoFile), "126^11^7^theirs before~");

    ASSERT_TRUE(AsUser(*other, [&] { return ::unlink(kMemoFile) == 0 && ::symlink(target.c_str(), kMemoFile) == 0; }))
        << "the other user could not plant the link";

    const int result = WriteTextFile(kMemoFile, kOurStore);
    const bool stillALink = IsSymlink(kMemoFile);
    ASSERT_EQ(::chdir(".."), 0);
    EXPECT_EQ(result, 0);
    EXPECT_EQ(FileBytes(bashrc), "export PATH=/usr/bin\n");
    EXPECT_TRUE(stillALink);
    EXPECT_EQ(TakeNoticeKinds(), std::vector<std::string>{"save refused"});
    EXPECT_EQ(NamesStartingWith("."), std::vector<std::string>{});
}

TEST_F(FileIdentityTest, FileOfAnotherUserPutInPlaceOfOursIsNeitherReplacedNorKeptAside) {
    const std::optional<std::pair<uid_t, gid_t>> other = OtherUser();
    if (!other) GTEST_SKIP() << kNeedsRoot;
    ASSERT_EQ(::chmod(".", 0777), 0);
    PutFileBytes(kMemoFile, kOld);
    ReadTextFile(kMemoFile);
    ASSERT_TRUE(AsUser(*other, [] {
        const int fd = ::open("their.tmp", O_WRONLY | O_CREAT | O_EXCL, 0644);
        const bool written = fd >= 0 && ::write(fd, "theirs~", 7) == 7 && ::close(fd) == 0;
        return written && ::rename("their.tmp", kMemoFile) == 0;
    }));

    EXPECT_EQ(WriteTextFile(kMemoFile, kOurStore), 0);

    EXPECT_EQ(FileBytes(kMemoFile), "theirs~");
    EXPECT_EQ(StatusOf(kMemoFile).st_uid, other->first);
    EXPECT_EQ(TakeNoticeKinds(), std::vector<std::string>{"save refused"});
    EXPECT_EQ(DirectoryNames(), std::vector<std::string>{kMemoFile});
}

// A user may keep the data in a folder that others cannot list: search and write bits only.
TEST_F(FileIdentityTest, AFolderItsOwnerMayNotListStillReadsAndSaves) {
    const std::optional<std::pair<uid_t, gid_t>> other = OtherUser();
    if (!other) GTEST_SKIP() << kNeedsRoot;
    ASSERT_EQ(::chmod(".", 0711), 0);
    ASSERT_EQ(::mkdir("unlisted", 0700), 0);
    PutFileBytes("unlisted/MemoData.txt", kOld);
    ASSERT_EQ(::chown("unlisted/MemoData.txt", other->first, other->second), 0);
    ASSERT_EQ(::chown("unlisted", other->first, other->second), 0);
    ASSERT_EQ(::chmod("unlisted", 0300), 0);

    EXPECT_TRUE(AsUser(*other, [] {
        ForgetDataFiles();
        return ::chdir("unlisted") == 0 && ReadTextFile(kMemoFile) == "126^11^7^theirs before~" &&
               WriteTextFile(kMemoFile, kOurStore) == 1;
    }));

    EXPECT_EQ(FileBytes("unlisted/MemoData.txt"), kOurBytes);
}

TEST_F(FileIdentityTest, RootSavingAUsersFileKeepsItsOwnerGroupAndBits) {
    const std::optional<std::pair<uid_t, gid_t>> other = OtherUser();
    if (!other) GTEST_SKIP() << kNeedsRoot;
    PutFileBytes(kMemoFile, kOld);
    ASSERT_EQ(::chown(kMemoFile, other->first, other->second), 0);
    ASSERT_EQ(::chmod(kMemoFile, 0640), 0);
    ReadTextFile(kMemoFile);

    ASSERT_EQ(WriteTextFile(kMemoFile, kOurStore), 1);

    const struct stat status = StatusOf(kMemoFile);
    EXPECT_EQ(status.st_uid, other->first);
    EXPECT_EQ(status.st_gid, other->second);
    EXPECT_EQ(status.st_mode & 07777, 0640u);
    EXPECT_EQ(FileBytes(kMemoFile), kOurBytes);
    EXPECT_TRUE(TakeFileNotices().empty());
}

TEST_F(FileIdentityTest, UserWhoMayNotGiveTheFileAwayStillSavesAndKeepsTheBits) {
    const std::optional<std::pair<uid_t, gid_t>> other = OtherUser();
    if (!other) GTEST_SKIP() << kNeedsRoot;
    // The folder and the file belong to root's group; the other user may write both, but cannot
    // give a file to root: the new file stays the other user's, the save still succeeds.
    ASSERT_EQ(::chmod(".", 0777), 0);
    PutFileBytes(kMemoFile, kOld);
    ASSERT_EQ(::chmod(kMemoFile, 0666), 0);
    const bool saved = AsUser(*other, [] {
        ForgetDataFiles();
        ReadTextFile(kMemoFile);
        return WriteTextFile(kMemoFile, kOurStore) == 1;
    });
    EXPECT_TRUE(saved);
    EXPECT_EQ(FileBytes(kMemoFile), kOurBytes);
    const struct stat status = StatusOf(kMemoFile);
    EXPECT_EQ(status.st_uid, other->first);
    EXPECT_EQ(status.st_mode & 07777, 0666u);
}

}  // namespace
