#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

// velmora-cal's command line: every option of every command, read in one pass with getopt_long.
namespace cal {

// Each option, as one bit of the set a command takes.
enum Option : unsigned {
    kOptionDir = 1U << 0,
    kOptionHelp = 1U << 1,
    kOptionColour = 1U << 2,
    kOptionThree = 1U << 3,
    kOptionWholeYear = 1U << 4,
    kOptionSearchYear = 1U << 5,
    kOptionFrom = 1U << 6,
    kOptionTo = 1U << 7,
    kOptionNoHolidays = 1U << 8,
    kOptionDryRun = 1U << 9,
    kOptionAll = 1U << 10,
    kOptionUndo = 1U << 11,
    kOptionUser = 1U << 12,
    kOptionCalendar = 1U << 13,
    kOptionCa = 1U << 14,
    kOptionPasswordCommand = 1U << 15,
    kOptionAcceptEmpty = 1U << 16,
};

// The options every command takes.
inline constexpr unsigned kEveryCommandsOptions = kOptionDir | kOptionHelp;

enum class Colour { Auto, Always, Never };

// What the command line says, each option's value checked.
struct Options {
    std::vector<std::string> words;     // the words that are not options, in order: the command first
    std::vector<std::string> operands;  // the words after the command's name, once it is found
    unsigned given = 0;                 // the Option bits of the options given
    std::string dir;                    // --dir
    Colour colour = Colour::Auto;       // --color
    std::optional<int> searchYear;      // --year: calendar years, as 2026
    std::optional<int> fromYear;        // --from
    std::optional<int> toYear;          // --to
    std::string user;                   // --user
    std::string calendar;               // --calendar
    std::string caFile;                 // --ca
    std::string passwordCommand;        // --password-command
    std::string here;                   // the working directory velmora-cal was started in
    std::string folder;                 // the absolute path of the data folder, once entered

    bool Has(Option option) const { return (given & option) != 0; }
};

// One option as it is spelt and helped.
struct OptionSpelling {
    Option bit;
    const char* name;      // the long name without "--", or nullptr
    char shortName;        // or '\0'
    int argument;          // no_argument, required_argument or optional_argument
    const char* synopsis;  // as the help writes it: "--dir DIR"
    const char* needs;     // what a missing value is, in English and in Japanese: "a folder"
    const char* needsJa;
    const char* english;  // the help's description; lines split by '\n'
    const char* japanese;
};

// Returns every option, in the order the help lists them.
std::span<const OptionSpelling> OptionSpellings();

// Reads the command line. Returns false with the first usage problem in `problem` (one line, in
// the locale's language); `options` then still holds what was read, --help among it.
bool ParseCommandLine(int argc, char** argv, Options& options, std::string& problem);

// Returns the calendar year that `text` spells (decimal digits only, 1..9999), or std::nullopt.
std::optional<int> ParseYear(std::string_view text);

// Returns the message that `text` is no year of 1..9999.
std::string NotAYear(const std::string& text);

// Returns `path` taken from the folder `here`: unchanged when it is absolute, "-", or `here` is empty.
std::string ResolvePath(const std::string& path, const std::string& here);

}  // namespace cal
