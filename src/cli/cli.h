#pragma once

#include "base/result.h"
#include "text/pageencoding.h"

#include <initializer_list>
#include <iosfwd>
#include <map>
#include <set>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace pw {
class TIniList;
}

namespace pw::cli {

enum ExitCode {
    kExitOk = 0,
    kExitFailure = 1, // the operation ran and reported a failure or a warning
    kExitUsage = 2, // unknown subcommand, missing or malformed argument
    kExitFile = 3, // a file could not be read or written
};

// A command's arguments: positional ones, "--name VALUE" (or "--name=VALUE")
// options and bare flags. Arguments from `optionsEnd` on stood after "--" and
// are positional whatever they look like; before it, an argument of the form
// "--word" that the command does not know is an error, so a mistyped option is
// never taken for an operand.
struct ParsedArgs {
    std::vector<std::string> positional;
    std::map<std::string, std::string> values;
    std::set<std::string> flags;
    // Every value of a repeatable option, in command-line order.
    std::map<std::string, std::vector<std::string>> lists;
    std::string error; // set for an unknown option, a missing value or a value option given twice

    bool Has(const std::string& option) const { return values.count(option) || flags.count(option); }
    const std::string* Value(const std::string& option) const
    {
        const auto it = values.find(option);
        return it == values.end() ? nullptr : &it->second;
    }
};

// The one argument parser every command uses: args[from..] with the value
// options and flags the command knows. A repeatable option may be given more
// than once; its values go to `lists`.
ParsedArgs ParseArgs(const std::vector<std::string>& args, size_t from, size_t optionsEnd,
    std::initializer_list<std::string_view> valueOptions, std::initializer_list<std::string_view> flagOptions,
    std::initializer_list<std::string_view> repeatableOptions = {});

// What a subcommand gets: its arguments (the subcommand's own name, the common
// options --dir, --raw and --encoding and the "--" that ends the options
// removed) and the streams.
struct Context {
    std::vector<std::string> args;
    std::string dir; // folder of the settings files
    bool raw = false;
    std::istream& in;
    std::ostream& out;
    std::ostream& err;
    // args from this index on stood after "--": they are operands, never options.
    size_t optionsEnd = static_cast<size_t>(-1);

    // --encoding: how PAGE files are read (auto: detected per page).
    PageCharset encoding = PageCharset::Auto;

    // Terminal text to data bytes: UTF-8 to Shift_JIS unless --raw.
    std::string Data(std::string_view terminalText) const;
    // Data bytes to terminal text: Shift_JIS to UTF-8 unless --raw.
    std::string Terminal(std::string_view data) const;
    // All of standard input, converted as Data().
    std::string ReadInput() const;
    // Prints data converted for the terminal, exactly (no newline added).
    void Print(std::string_view data) const;
    // Prints data converted for the terminal, followed by LF.
    void PrintLine(std::string_view data) const;
    // A message (data bytes) on standard error: every line starts with
    // "pagewick-cli: " and ends with LF.
    void Error(std::string_view data) const;
    // Reports bad usage on standard error and returns kExitUsage.
    int UsageError(std::string_view message) const;
    // ParseArgs over args[from..], stopping at the "--" of the command line.
    ParsedArgs Parse(size_t from, std::initializer_list<std::string_view> valueOptions = {},
        std::initializer_list<std::string_view> flagOptions = {},
        std::initializer_list<std::string_view> repeatableOptions = {}) const
    {
        return ParseArgs(args, from, optionsEnd, valueOptions, flagOptions, repeatableOptions);
    }
};

// Loads a settings file as the window does (LoadSettingsFile). A file whose
// load stopped before its end is reported on standard error with the name of
// the copy kept of it.
Status LoadSettings(const Context& c, TIniList& store, const std::string& folder, std::string_view name);

struct Command {
    std::string_view name;
    std::string_view summary; // one line for the program's --help
    std::string_view usage; // printed by "<name> --help"
    int (*run)(Context& context);
};

// Every command of the program, in name order (the order --help lists them).
std::span<const Command> Commands();

// Runs the command line (argv without the program name).
int Run(const std::vector<std::string>& argv, std::istream& in, std::ostream& out, std::ostream& err);

// The folder of the running program file.
std::string ProgramFolder();

// "pagewick-cli 1.1": what --version prints, without the newline.
std::string VersionLine();

// Writes `text` to `stream` with "pagewick-cli: " before every line. LF
// splits the lines (a CR right before it goes with it); every other control
// character, which a server's reply or a report's cell may carry, is written
// as \xHH, so that no message can drive the terminal: the C0 controls (ESC,
// CR, TAB, ...) and DEL always, and in UTF-8 text (`raw` false) the C1
// controls U+0080 to U+009F as \u00HH and bytes that are not UTF-8 as \xHH.
// Raw text is Shift_JIS bytes, whose lead bytes 0x80 to 0x9F stay as they are.
void WriteErrorLines(std::ostream& stream, std::string_view text, bool raw = false);

} // namespace pw::cli
