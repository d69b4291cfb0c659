#pragma once

#include <string>

// How OpenOwnFolder checks the folder at the end of the path.
enum class FolderUse {
    Private,   // made by this user for this program alone: this user's, mode 0700
    OwnFiles,  // a folder of this user's that nobody else may write (a home or a data folder)
};

// Opens the folder at the absolute `path` (an O_PATH descriptor, to be closed by the caller) when
// nobody but this user and root can change what it holds or where its path leads: each folder on
// the way belongs to this user or root and is writable by nobody else unless it is sticky, each
// symbolic link on the way belongs to this user or root, and the folder itself is checked as
// `use` says. With `create`, missing folders are made with mode 0700. Returns -1 with the reason
// in `problem` otherwise.
int OpenOwnFolder(const std::string& path, FolderUse use, bool create, std::string& problem);
