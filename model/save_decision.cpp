#include "model/save_decision.h"

#include <sys/stat.h>

bool SameInode(const FileIdentity& a, const FileIdentity& b) { return a.device == b.device && a.inode == b.inode; }

bool SameContent(const std::optional<FileIdentity>& a, const std::optional<FileIdentity>& b) {
    if (!a || !b) return !a && !b;
    return SameInode(*a, *b) && a->size == b->size && a->modified.tv_sec == b->modified.tv_sec &&
           a->modified.tv_nsec == b->modified.tv_nsec;
}

SavePlan DecideSave(const SaveFacts& facts) {
    constexpr SavePlan kRefuse{SaveAction::Refuse};
    constexpr SavePlan kFail{SaveAction::Fail};
    // Another link, a link where there was none, or a link that now leads elsewhere: the file
    // there is not the one read, and writing through it could overwrite anybody's file.
    if (facts.read.links != facts.now.links || facts.read.folderDevice != facts.now.folderDevice ||
        facts.read.folderInode != facts.now.folderInode)
        return kRefuse;
    const std::optional<FileIdentity>& current = facts.now.file;
    SavePlan plan;
    if (current) {
        if (!S_ISREG(current->mode)) return kRefuse;
        if (facts.read.file && SameInode(*facts.read.file, *current)) {
            plan.keepConflict = !SameContent(facts.read.file, current);
        } else if (current->owner != facts.user) {
            // Not the file read, and somebody else's: never ours to replace.
            return kRefuse;
        } else {
            plan.keepConflict = true;  // another program of ours saved its own file here
        }
    }

    // No write bits on the file or its folder: even root, whom the kernel would let write, leaves
    // it as it is.
    if ((facts.folderMode & 0222) == 0) return kFail;
    if (current && ((current->mode & 0222) == 0 || !facts.fileWritable)) return kFail;
    // A file with several hard links is written in place; any other is replaced by a new file,
    // which the folder must take, and which a sticky folder lets replace only a file of this user
    // (or in a folder of this user's).
    const bool inPlace = current && current->links > 1;
    if (!inPlace) {
        if (!facts.folderTakesNewFile) return kFail;
        if ((facts.folderMode & S_ISVTX) != 0 && current && facts.user != 0 && current->owner != facts.user &&
            facts.folderOwner != facts.user)
            return kFail;
    }
    plan.action = inPlace ? SaveAction::InPlace : SaveAction::Replace;
    plan.keepOriginal =
        current && !plan.keepConflict && facts.foreign && !SameContent(facts.originalKept, facts.read.file);
    return plan;
}
