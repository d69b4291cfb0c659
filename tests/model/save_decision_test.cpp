#include "model/save_decision.h"
#include "tests/model/model_test_support.h"

#include <sys/stat.h>

namespace {

constexpr uid_t kUser = 1000;
constexpr uid_t kOther = 1001;

// A file of this user's, read and unchanged since, alone in a folder of this user's that takes
// new files.
SaveFacts Unchanged() {
    const FileIdentity file{1, 10, 100, {5, 0}, kUser, 1, S_IFREG | 0644};
    SaveFacts facts;
    facts.read = {{}, 1, 2, file};
    facts.now = facts.read;
    facts.folderOwner = kUser;
    facts.folderMode = S_IFDIR | 0755;
    facts.fileWritable = true;
    facts.folderTakesNewFile = true;
    facts.user = kUser;
    return facts;
}

struct DecisionCase {
    const char* name;
    void (*change)(SaveFacts&);
    SavePlan plan;
};

constexpr SavePlan kRefuse{SaveAction::Refuse};
constexpr SavePlan kFail{SaveAction::Fail};
constexpr SavePlan kReplace{SaveAction::Replace};
constexpr SavePlan kInPlace{SaveAction::InPlace};
constexpr SavePlan kReplaceKeepingTheirs{SaveAction::Replace, true, false};
constexpr SavePlan kReplaceKeepingTheOriginal{SaveAction::Replace, false, true};

TEST(DecideSave, DecidesFromWhatWasSeenAtTheReadAndNow) {
    const DecisionCase cases[] = {
        {"unchanged file is replaced", [](SaveFacts&) {}, kReplace},
        {"no file read and none now: a new file",
         [](SaveFacts& f) {
             f.read.file.reset();
             f.now.file.reset();
         },
         kReplace},
        {"file gone since the read: a new file", [](SaveFacts& f) { f.now.file.reset(); }, kReplace},
        {"changed since the read: theirs kept first", [](SaveFacts& f) { f.now.file->size = 7; },
         kReplaceKeepingTheirs},
        {"touched since the read: theirs kept first", [](SaveFacts& f) { f.now.file->modified.tv_nsec = 1; },
         kReplaceKeepingTheirs},
        {"another file of ours in its place: kept first", [](SaveFacts& f) { f.now.file->inode = 11; },
         kReplaceKeepingTheirs},
        {"file of ours where none was read: kept first", [](SaveFacts& f) { f.read.file.reset(); },
         kReplaceKeepingTheirs},
        {"another user's file in its place is refused",
         [](SaveFacts& f) {
             f.now.file->inode = 11;
             f.now.file->owner = kOther;
         },
         kRefuse},
        {"a link where there was none is refused", [](SaveFacts& f) { f.now.links = {"elsewhere"}; }, kRefuse},
        {"a link that leads elsewhere now is refused",
         [](SaveFacts& f) {
             f.read.links = {"mine"};
             f.now.links = {"theirs"};
         },
         kRefuse},
        {"another folder is refused", [](SaveFacts& f) { f.now.folderInode = 3; }, kRefuse},
        {"a folder on another device is refused", [](SaveFacts& f) { f.now.folderDevice = 9; }, kRefuse},
        {"no regular file there is refused", [](SaveFacts& f) { f.now.file->mode = S_IFDIR | 0755; }, kRefuse},
        {"a file without write bits fails, even for root",
         [](SaveFacts& f) {
             f.now.file->mode = S_IFREG | 0444;
             f.read.file->mode = f.now.file->mode;
             f.user = 0;
         },
         kFail},
        {"a folder without write bits fails", [](SaveFacts& f) { f.folderMode = S_IFDIR | 0555; }, kFail},
        {"a file the kernel will not let us write fails", [](SaveFacts& f) { f.fileWritable = false; }, kFail},
        {"a folder that takes no new file fails", [](SaveFacts& f) { f.folderTakesNewFile = false; }, kFail},
        {"a hard-linked file is written in place, whatever the folder takes",
         [](SaveFacts& f) {
             f.now.file->links = 2;
             f.folderTakesNewFile = false;
             f.folderMode = S_IFDIR | S_ISVTX | 0777;
             f.folderOwner = kOther;
         },
         kInPlace},
        {"a hard-linked file changed meanwhile: theirs kept, then in place",
         [](SaveFacts& f) {
             f.now.file->links = 2;
             f.now.file->size = 7;
         },
         {SaveAction::InPlace, true, false}},
        {"another user's file read, in their sticky folder, fails",
         [](SaveFacts& f) {
             f.read.file->owner = f.now.file->owner = kOther;
             f.folderOwner = kOther;
             f.folderMode = S_IFDIR | S_ISVTX | 0777;
         },
         kFail},
        {"another user's file read, in our sticky folder, is replaced",
         [](SaveFacts& f) {
             f.read.file->owner = f.now.file->owner = kOther;
             f.folderMode = S_IFDIR | S_ISVTX | 0777;
         },
         kReplace},
        {"another user's file read in a sticky folder, by root, is replaced",
         [](SaveFacts& f) {
             f.read.file->owner = f.now.file->owner = kOther;
             f.folderOwner = kOther;
             f.folderMode = S_IFDIR | S_ISVTX | 0777;
             f.user = 0;
         },
         kReplace},
        {"a foreign file read: the original kept first", [](SaveFacts& f) { f.foreign = true; },
         kReplaceKeepingTheOriginal},
        {"a foreign file already kept: not again",
         [](SaveFacts& f) {
             f.foreign = true;
             f.originalKept = f.read.file;
         },
         kReplace},
        {"a foreign file changed meanwhile: theirs kept, not the original",
         [](SaveFacts& f) {
             f.foreign = true;
             f.now.file->size = 7;
         },
         kReplaceKeepingTheirs},
        {"a foreign file gone since the read: nothing to keep",
         [](SaveFacts& f) {
             f.foreign = true;
             f.now.file.reset();
         },
         kReplace},
    };
    for (const DecisionCase& c : cases) {
        SCOPED_TRACE(c.name);
        SaveFacts facts = Unchanged();
        c.change(facts);
        const SavePlan plan = DecideSave(facts);
        EXPECT_EQ(static_cast<int>(plan.action), static_cast<int>(c.plan.action));
        EXPECT_EQ(plan.keepConflict, c.plan.keepConflict);
        EXPECT_EQ(plan.keepOriginal, c.plan.keepOriginal);
    }
}

}  // namespace
