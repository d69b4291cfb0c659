#include "model/data_files.h"
#include "model/memo_draft_file.h"
#include "model/record.h"
#include "model/recovery.h"
#include "platform/testing.h"
#include "platform/text_codec.h"
#include "tests/ui/main/calendar_fixture.h"
#include "ui/resource_ids.h"

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <thread>

namespace {

using namespace std::string_literals;
using platform::testing::MessageBoxCalls;
using platform::testing::QueueMessageBoxAnswer;

class DataSafetyTest : public CalendarWindowTest {};

std::vector<std::string> NamesIn(const std::string& folder, const std::string& prefix) {
    std::vector<std::string> names;
    std::error_code ignored;
    for (const auto& entry : std::filesystem::directory_iterator(folder, ignored)) {
        const std::string name = entry.path().filename().string();
        if (name.starts_with(prefix)) names.push_back(name);
    }
    std::sort(names.begin(), names.end());
    return names;
}

// Another program's save: new content, and a new modification time.
void ChangeAsAnotherProgram(const std::string& name, const std::string& bytes) {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    PutFileBytes(name, bytes);
}

TEST_F(DataSafetyTest, TheEndKeepsAStoreThatCannotBeSavedAsARecoveryCopyAndEndsWithStatus1) {
    PutFileBytes("MemoData.txt", "\0"s);
    CCalendarDlg& dlg = OpenWindow();
    ASSERT_EQ(::chmod("MemoData.txt", 0444), 0);
    g_strMemoData = "126^11^7^" + Cp932("会議") + "~";

    dlg.OnTrayExit();

    EXPECT_TRUE(IsQuitPosted());
    EXPECT_EQ(platform::testing::PostedQuitCode(), 1);
    EXPECT_TRUE(MessageBoxCalls().empty()) << "nothing may hold the end";
    EXPECT_EQ(FileBytes("MemoData.txt"), "\0"s);
    const std::vector<std::string> copies = NamesIn(RecoveryFolder(), "%2F");
    ASSERT_EQ(copies.size(), 1u);
    EXPECT_TRUE(copies[0].find("%2FMemoData.txt.") != std::string::npos) << copies[0];
    EXPECT_EQ(FileBytes(RecoveryFolder() + "/" + copies[0]), "126^11^7^" + Cp932("会議") + "~\0"s);
}

TEST_F(DataSafetyTest, TheNextStartTellsWhereTheRecoveryCopyIsOnce) {
    const std::string copy = WriteRecoveryCopy("MemoData.txt", "126^11^7^x~");
    ASSERT_FALSE(copy.empty());
    QueueMessageBoxAnswer(IDOK);
    OpenWindow();
    ASSERT_EQ(MessageBoxCalls().size(), 1u);
    EXPECT_NE(MessageBoxCalls()[0].text.find(copy), std::string::npos) << MessageBoxCalls()[0].text;

    m_dlg.reset();
    platform::testing::Reset();
    platform::testing::EnableTestMode();
    OpenWindow();
    EXPECT_TRUE(MessageBoxCalls().empty());
}

TEST_F(DataSafetyTest, AForeignMemoFileIsToldOfAtStartAndKeptBeforeTheFirstSave) {
    const std::string utf16 =
        "\xFF\xFE"
        "1\0"
        "2\0"
        "6\0"
        "^\0"s;
    PutFileBytes("MemoData.txt", utf16);
    QueueMessageBoxAnswer(IDOK);
    CCalendarDlg& dlg = OpenWindow();
    ASSERT_EQ(MessageBoxCalls().size(), 1u);
    EXPECT_NE(MessageBoxCalls()[0].text.find("「MemoData.txt」"), std::string::npos) << MessageBoxCalls()[0].text;

    g_strMemoData += "126^11^7^new~";
    dlg.OnTrayExit();
    const std::vector<std::string> kept = NamesIn(".", "MemoData.txt.orig-");
    ASSERT_EQ(kept.size(), 1u);
    EXPECT_EQ(FileBytes(kept[0]), utf16);
}

TEST_F(DataSafetyTest, FileExitAsksBeforeSavingOverAFileAnotherProgramChangedAndKeepsTheirs) {
    PutFileBytes("MemoData.txt", "126^11^1^ours~\0"s);
    CCalendarDlg& dlg = OpenWindow();
    ChangeAsAnotherProgram("MemoData.txt", "126^11^2^theirs, longer~\0"s);
    // With nothing to save, the exit neither asks about the file nor writes it.
    dlg.OnCommand(ID_FILE_EXIT);
    EXPECT_TRUE(MessageBoxCalls().empty());
    EXPECT_FALSE(dlg.IsWindowVisible());
    EXPECT_EQ(FileBytes("MemoData.txt"), "126^11^2^theirs, longer~\0"s);

    // A memo change whose save at once could not be made is still to be saved at the exit.
    dlg.ShowWindow(SW_SHOW);
    g_strMemoData = "126^11^1^ours~126^11^3^new~";
    QueueMessageBoxAnswer(IDNO);
    dlg.OnCommand(ID_FILE_EXIT);
    ASSERT_EQ(MessageBoxCalls().size(), 1u);
    EXPECT_EQ(MessageBoxCalls()[0].caption, "確認");
    EXPECT_NE(MessageBoxCalls()[0].text.find("「MemoData.txt」"), std::string::npos);
    EXPECT_TRUE(dlg.IsWindowVisible()) << "いいえ: nothing saved, the window stays";
    EXPECT_EQ(FileBytes("MemoData.txt"), "126^11^2^theirs, longer~\0"s);

    QueueMessageBoxAnswer(IDYES);
    dlg.OnCommand(ID_FILE_EXIT);
    EXPECT_FALSE(dlg.IsWindowVisible());
    EXPECT_EQ(FileBytes("MemoData.txt"), "126^11^1^ours~126^11^3^new~\0"s);
    const std::vector<std::string> theirs = NamesIn(".", "MemoData.txt.conflict-");
    ASSERT_EQ(theirs.size(), 1u);
    EXPECT_EQ(FileBytes(theirs[0]), "126^11^2^theirs, longer~\0"s);
}

TEST_F(DataSafetyTest, WithoutATrayAYesToAFailedSaveStillKeepsTheStoreAsARecoveryCopy) {
    platform::testing::SetTrayAvailable(false);
    PutFileBytes("MemoData.txt", "\0"s);
    CCalendarDlg& dlg = OpenWindow();
    ASSERT_EQ(::chmod("MemoData.txt", 0444), 0);
    g_strMemoData = "126^11^7^x~";
    QueueMessageBoxAnswer(IDYES);
    dlg.OnCommand(ID_FILE_EXIT);
    EXPECT_TRUE(IsQuitPosted());
    EXPECT_EQ(platform::testing::PostedQuitCode(), 1);
    ASSERT_EQ(NamesIn(RecoveryFolder(), "%2F").size(), 1u);
}

TEST_F(DataSafetyTest, ADraftLeftBehindThatTheUserDoesNotTakeIsKeptAsARecoveryCopy) {
    PutFileBytes("MemoData.txt", "126^11^7^old~\0"s);
    ASSERT_TRUE(WriteMemoDraft(126, 11, 7, "typed"));
    QueueMessageBoxAnswer(IDNO);
    QueueMessageBoxAnswer(IDOK);
    OpenWindow();
    ASSERT_EQ(MessageBoxCalls().size(), 2u);
    EXPECT_NE(MessageBoxCalls()[0].text.find("2026年12月7日"), std::string::npos) << MessageBoxCalls()[0].text;
    EXPECT_EQ(FileBytes("MemoData.txt"), "126^11^7^old~\0"s);
    EXPECT_FALSE(ReadMemoDraft());
    const std::vector<std::string> copies = NamesIn(RecoveryFolder(), "%2F");
    ASSERT_EQ(copies.size(), 1u);
    EXPECT_EQ(FileBytes(RecoveryFolder() + "/" + copies[0]), "126^11^7^typed~\0"s);
    EXPECT_NE(MessageBoxCalls()[1].text.find(copies[0]), std::string::npos) << "says where it is";
    EXPECT_TRUE(TakeUntoldRecoveryCopies().empty()) << "told once, not again at the next start";
}

}  // namespace
