#pragma once

#include "velmora-cal/options.h"

#include <array>
#include <span>
#include <string>

// The commands of velmora-cal: one row each, with the options it takes and what runs it.
namespace cal {

// One line of a command's help: how it is written and what it does, in English and in Japanese
// (lines split by '\n').
struct CommandHelp {
    const char* synopsis = nullptr;  // after "velmora-cal [--dir DIR] "; nullptr ends the list
    const char* english = nullptr;
    const char* japanese = nullptr;
};

struct Command {
    const char* name;            // the words that name it ("day", "holidays update"); "" for the month sheets
    unsigned options;            // the options it takes besides --dir and --help (Option bits)
    bool writes;                 // it changes the data folder, so a missing default folder is made
    int (*run)(const Options&);  // runs it on the data folder entered; returns the exit status
    std::array<CommandHelp, 3> help;
};

// Returns every command, in the order the help lists them.
std::span<const Command> Commands();

// Returns the command that `options.words` name and sets `options.operands` to the words after its
// name: the month sheets for no word or a number first; nullptr for any other word.
const Command* FindCommand(Options& options);

// Returns the problem of an option given that `command` does not take ("--year is for search"),
// or "".
std::string OptionNotTaken(const Command& command, const Options& options);

// Returns the name a message gives the command: its words, or "the month sheets".
std::string CommandLabel(const Command& command);

}  // namespace cal
