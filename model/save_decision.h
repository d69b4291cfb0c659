#pragma once

#include <sys/types.h>

#include <ctime>
#include <optional>
#include <string>
#include <vector>

// What identifies the content of a file: the same inode, not written since (size and time); with
// the owner, link count and mode that a save decides by.
struct FileIdentity {
    dev_t device = 0;
    ino_t inode = 0;
    off_t size = 0;
    timespec modified{};
    uid_t owner = 0;
    nlink_t links = 0;
    mode_t mode = 0;
};

// Returns true when both are the same inode.
bool SameInode(const FileIdentity& a, const FileIdentity& b);
// Returns true when both are the same inode with the same size and modification time, or both none.
bool SameContent(const std::optional<FileIdentity>& a, const std::optional<FileIdentity>& b);

// Where a data file's name led, and what stood there, at one moment.
struct NameSeen {
    std::vector<std::string> links;  // the text of each symbolic link followed from the name
    dev_t folderDevice = 0;
    ino_t folderInode = 0;
    std::optional<FileIdentity> file;  // none where no file stood
};

// What a save of one data file decides from.
struct SaveFacts {
    NameSeen read;                             // at the last read or write of the name
    bool foreign = false;                      // the file read did not look like one of ours
    std::optional<FileIdentity> originalKept;  // the foreign file already copied aside
    NameSeen now;                              // just before the save
    uid_t folderOwner = 0;                     // of the folder the name leads to now
    mode_t folderMode = 0;
    bool fileWritable = false;        // the kernel lets this user write the file there now
    bool folderTakesNewFile = false;  // the kernel lets this user create and rename in the folder
    uid_t user = 0;                   // this process's effective user
};

enum class SaveAction {
    Refuse,   // the file there is not ours to replace: nothing is written, the user is told
    Fail,     // the file or its folder cannot be written now
    Replace,  // a new file, renamed over the name
    InPlace,  // the inode itself is written, so that its other hard links see the new bytes
};

struct SavePlan {
    SaveAction action = SaveAction::Fail;
    bool keepConflict = false;  // what another program saved there goes aside first
    bool keepOriginal = false;  // the foreign file read goes aside first, unless it holds the new bytes
    bool operator==(const SavePlan&) const = default;
};

// Decides how a save goes from what was seen at the name's last read (or write) and now: refused
// where the name leads elsewhere (other links or folder), to no regular file, or to another user's
// file that is not the one read; failed where the file or the folder may not be written, or a
// sticky folder keeps another user's file from being replaced; else written in place when the
// file has several hard links, replaced otherwise; keeping first a file another program changed
// (or put there), and a foreign file read before its first change.
SavePlan DecideSave(const SaveFacts& facts);
