// Command-line conventions shared by every command: help, version, "--",
// error lines, exit codes, --dir checks and the UTF-8 rule for arguments.

#include "pagewick_version.h"
#include "support/clirun.h"
#include "support/tempdir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <set>

namespace pw::cli {
namespace {

using test::RunCli;
using Outcome = test::CliOutcome;

// Every line of standard error starts with the program's name.
void ExpectPrefixedLines(const std::string& err, const std::string& what)
{
    EXPECT_FALSE(err.empty()) << what;
    EXPECT_EQ(err.back(), '\n') << what;
    size_t start = 0;
    while (start < err.size()) {
        const size_t end = err.find('\n', start);
        EXPECT_EQ(err.compare(start, 14, "pagewick-cli: "), 0) << what << ": " << err.substr(start, end - start);
        start = end + 1;
    }
}

TEST(CliConventions, VersionAndHelp)
{
    const Outcome version = RunCli({ "--version" });
    EXPECT_EQ(version.code, kExitOk);
    EXPECT_EQ(version.out, "pagewick-cli " + std::string(kVersion) + "\n");
    EXPECT_FALSE(kVersion.empty());

    const Outcome help = RunCli({ "--help" });
    EXPECT_EQ(help.code, kExitOk);
    EXPECT_EQ(help.err, "");
    EXPECT_EQ(help.out.rfind("Usage: pagewick-cli", 0), 0u);
    for (const char* part : { "Exit codes:", "  3  ", "--version", "  --  ", "config-dir", "XDG_CONFIG_HOME" })
        EXPECT_NE(help.out.find(part), std::string::npos) << part;
    for (const auto& command : Commands())
        EXPECT_NE(help.out.find("  " + std::string(command.name) + "  "), std::string::npos) << command.name;
    EXPECT_EQ(RunCli({ "-h" }).out, help.out);
    EXPECT_EQ(RunCli({ "help" }).out, help.out);

    // help COMMAND, COMMAND --help and COMMAND -h print the same text.
    for (const auto& command : Commands()) {
        const std::string name(command.name);
        const Outcome asked = RunCli({ "help", name });
        EXPECT_EQ(asked.code, kExitOk) << name;
        EXPECT_EQ(asked.out, command.usage) << name;
        EXPECT_EQ(RunCli({ name, "--help" }).out, asked.out) << name;
        EXPECT_EQ(RunCli({ name, "-h" }).out, asked.out) << name;
    }
}

TEST(CliConventions, ManualPageDescribesEveryCommand)
{
    std::string page;
    ASSERT_TRUE(ReadWholeFile(std::string(PAGEWICK_SOURCE_DIR) + "/resources/man/pagewick-cli.1", page).ok);
    for (const auto& command : Commands()) {
        std::string name; // as roff writes it: hyphens escaped
        for (char c : command.name)
            name += c == '-' ? std::string("\\-") : std::string(1, c);
        const bool described
            = page.find(".B " + name) != std::string::npos || page.find(".BI \"" + name) != std::string::npos;
        EXPECT_TRUE(described) << command.name << " is not in the manual page";
    }
    for (const char* part : { "EXIT STATUS", "XDG_CONFIG_HOME", "\\-\\-version", ".B \\-\\-\n" })
        EXPECT_NE(page.find(part), std::string::npos) << part;
}

TEST(CliConventions, ErrorLinesAndExitCodes)
{
    test::TempDir dir;
    const std::string file = dir.file("plain-file");
    ASSERT_TRUE(WriteFileAtomically(file, "x").ok);
    struct Case {
        std::vector<std::string> args;
        int code;
    } cases[] = {
        { {}, kExitUsage },
        { { "frobnicate" }, kExitUsage },
        { { "--frobnicate" }, kExitUsage },
        { { "-x", "settings" }, kExitUsage },
        { { "help", "frobnicate" }, kExitUsage },
        { { "settings", "--dir" }, kExitUsage },
        { { "settings", "get" }, kExitUsage },
        { { "config-dir", "extra" }, kExitUsage },
        { { "settings", "decode", dir.file("missing.ini") }, kExitFile },
        { { "--dir", dir.file("missing"), "catalogue", "list" }, kExitFile },
        { { "--dir", file, "catalogue", "list" }, kExitFile },
        { { "--dir=", "catalogue", "list" }, kExitFile },
        { { "listing", "--now", "junk" }, kExitUsage },
    };
    for (const Case& c : cases) {
        const std::string what = ::testing::PrintToString(c.args);
        const Outcome o = RunCli(c.args);
        EXPECT_EQ(o.code, c.code) << what;
        EXPECT_EQ(o.out, "") << what;
        ExpectPrefixedLines(o.err, what);
    }
    // A --dir that is not a folder is refused before anything is written.
    EXPECT_FALSE(std::filesystem::exists(dir.file("missing")));
    const Outcome missing = RunCli({ "networks", "list", "--dir", dir.file("missing") });
    EXPECT_EQ(missing.err, "pagewick-cli: --dir " + dir.file("missing") + ": no such folder\n");
    EXPECT_FALSE(std::filesystem::exists(dir.file("missing")));

    // A message of several lines keeps the prefix on each line.
    std::ostringstream err;
    WriteErrorLines(err, "one\r\ntwo\nthree\n");
    EXPECT_EQ(err.str(), "pagewick-cli: one\npagewick-cli: two\npagewick-cli: three\n");
}

// Messages carry outside text (a server's reply, a report's cell, a name):
// the one writer of error lines shows its control characters as escapes.
TEST(CliConventions, ErrorLinesShowControlCharactersAsEscapes)
{
    struct Case {
        std::string text;
        bool raw;
        std::string written;
    } cases[] = {
        { "title \x1B]0;pwned\x07 end", false, "pagewick-cli: title \\x1B]0;pwned\\x07 end\n" },
        { "clear \x1B[2J", false, "pagewick-cli: clear \\x1B[2J\n" },
        { "cr\rover tab\there nul", false, "pagewick-cli: cr\\x0Dover tab\\x09here nul\n" },
        { std::string("nul\0 del\x7F", 9), false, "pagewick-cli: nul\\x00 del\\x7F\n" },
        { "csi \xC2\x9B"
          "2J, nel \xC2\x85",
            false, "pagewick-cli: csi \\u009B2J, nel \\u0085\n" },
        { "caf\xC3\xA9 \xE6\x97\xA5\xC2\xA0", false, "pagewick-cli: caf\xC3\xA9 \xE6\x97\xA5\xC2\xA0\n" },
        { "stray \x9B\xFF", false, "pagewick-cli: stray \\x9B\\xFF\n" },
        { "two\r\nlines\n", false, "pagewick-cli: two\npagewick-cli: lines\n" },
        // Shift_JIS bytes as stored: lead bytes 0x80 to 0x9F and a 5C trail stay.
        { "\x83\x5C\x95\x5C \x9B \x1B[2J", true, "pagewick-cli: \x83\x5C\x95\x5C \x9B \\x1B[2J\n" },
    };
    for (const auto& c : cases) {
        std::ostringstream err;
        WriteErrorLines(err, c.text, c.raw);
        EXPECT_EQ(err.str(), c.written) << ::testing::PrintToString(c.text);
    }
    // Every command writes its errors through it, the site commands too.
    test::TempDir dir;
    const Outcome site = RunCli({ "--dir", dir.path(), "site", "ls", "x\x1B[2J" });
    EXPECT_EQ(site.code, kExitFailure);
    EXPECT_EQ(site.err, "pagewick-cli: no setup named x\\x1B[2J\n");
}

TEST(CliConventions, DoubleDashEndsTheOptions)
{
    test::TempDir dir;
    const std::string file = dir.file("Pagewick.ini");
    // Without "--" these would be the common options and the help flag.
    for (const char* value : { "--raw", "--help", "-h", "--dir" }) {
        const Outcome set = RunCli({ "settings", "set", file, "S", "K", "--", value });
        ASSERT_EQ(set.code, kExitOk) << value << ": " << set.err;
        EXPECT_EQ(RunCli({ "settings", "get", file, "S", "K" }).out, std::string(value) + "\n");
    }
    EXPECT_EQ(RunCli({ "--", "settings", "get", file, "S", "K" }).out, "--dir\n");
    EXPECT_EQ(RunCli({ "settings", "get", "--", file, "S", "missing", "--version" }).out, "--version\n");

    // Option parsers of the commands stop at "--" as well.
    const Outcome listing = RunCli({ "listing", "--", "--now", "2024-01-01 00:00" });
    EXPECT_EQ(listing.code, kExitUsage);
    EXPECT_EQ(listing.err, "pagewick-cli: unexpected argument '--now'\n");
    const Outcome scan = RunCli({ "--dir", dir.path(), "ads", "scan", "--", "--repair" });
    EXPECT_EQ(scan.code, kExitFile) << "--repair is the PAGE here: " << scan.err;
    EXPECT_NE(scan.err.find("--repair"), std::string::npos) << scan.err;
}

// Every command reads its arguments with the same parser: an option it does not
// know, before "--", is bad usage and nothing runs; after "--" the same word is
// an operand. A value option given twice is refused rather than guessed at.
TEST(CliConventions, EveryCommandParsesOptionsAlike)
{
    test::TempDir dir;
    const std::string file = dir.file("Pagewick.ini");
    const std::vector<std::vector<std::string>> commands = {
        { "config-dir" },
        { "settings", "set", file, "S", "K" },
        { "block", "normal", "N" },
        { "encoding", file },
        { "detect" },
        { "listing" },
        { "network", "password", "N", "P" },
        { "networks", "list" },
        { "networks", "export", "--version", "1" },
        { "networks", "import", file },
        { "regist", "a=b" },
        { "login-page", "N", "P" },
        { "site", "list" },
        { "secrets", "status" },
        { "ads", "scan", file },
        { "catalogue", "list" },
        { "report", "show" },
    };
    std::set<std::string> covered;
    for (const auto& command : commands) {
        covered.insert(command.front());
        std::vector<std::string> args = { "--dir", dir.path() };
        args.insert(args.end(), command.begin(), command.end());
        args.push_back("--bogus");
        const std::string what = ::testing::PrintToString(args);
        const Outcome o = RunCli(args);
        EXPECT_EQ(o.code, kExitUsage) << what;
        EXPECT_EQ(o.out, "") << what;
        EXPECT_EQ(o.err, "pagewick-cli: unknown option '--bogus'\n") << what;
    }
    for (const auto& command : Commands())
        EXPECT_TRUE(covered.count(std::string(command.name))) << command.name << " is not tried";
    EXPECT_FALSE(std::filesystem::exists(file)) << "nothing may be written";
    EXPECT_TRUE(std::filesystem::is_empty(dir.path())) << "nothing may be written";

    // After "--" an option word is an operand, for the subcommands' options too.
    const Outcome imported
        = RunCli({ "--dir", dir.path(), "networks", "import", "--", "--accept-new-login-hosts" });
    EXPECT_EQ(imported.code, kExitFile) << imported.err;
    EXPECT_NE(imported.err.find("--accept-new-login-hosts"), std::string::npos) << imported.err;
    EXPECT_EQ(RunCli({ "regist", "--", "--bogus" }).code, kExitOk);

    const Outcome twice = RunCli({ "--dir", dir.path(), "networks", "export", "--version", "1", "--version=2" });
    EXPECT_EQ(twice.code, kExitUsage);
    EXPECT_EQ(twice.err, "pagewick-cli: --version given twice\n");
    EXPECT_TRUE(std::filesystem::is_empty(dir.path())) << "nothing may be written";

    // The flags of site stand anywhere before "--", the subcommand's place included.
    EXPECT_EQ(RunCli({ "--dir", dir.path(), "site", "--trust", "list" }).code, kExitOk);
    EXPECT_EQ(RunCli({ "--dir", dir.path(), "site", "list", "--trust-changed" }).code, kExitOk);
}

// --help lists the commands in the table's order, which is name order.
TEST(CliConventions, CommandTableIsInNameOrder)
{
    const auto commands = Commands();
    ASSERT_FALSE(commands.empty());
    for (size_t i = 1; i < commands.size(); ++i)
        EXPECT_LT(commands[i - 1].name, commands[i].name);
    const std::string help = RunCli({ "--help" }).out;
    size_t last = 0;
    for (const auto& command : commands) {
        const size_t at = help.find("\n  " + std::string(command.name) + "  ");
        ASSERT_NE(at, std::string::npos) << command.name;
        EXPECT_GT(at, last) << command.name;
        last = at;
    }
}

TEST(CliConventions, ShiftJisArgumentWithoutRawGetsAHint)
{
    test::TempDir dir;
    const std::string file = dir.file("Pagewick.ini");
    const std::string sjis = "\x93\xFA\x96\x7B"; // 日本 in Shift_JIS

    const Outcome refused = RunCli({ "settings", "set", file, "S", "K", sjis });
    EXPECT_EQ(refused.code, kExitUsage);
    EXPECT_EQ(refused.err,
        "pagewick-cli: argument \"\u65E5\u672C\" is Shift_JIS, not UTF-8: add --raw to pass "
        "Shift_JIS bytes as they are\n");
    EXPECT_FALSE(std::filesystem::exists(file)) << "nothing may be written";

    const Outcome garbage = RunCli({ "settings", "set", file, "S", "K", "a\xFF\xFE\\" });
    EXPECT_EQ(garbage.code, kExitUsage);
    EXPECT_EQ(garbage.err,
        "pagewick-cli: argument \"a\\xFF\\xFE\\x5C\" is not UTF-8 text: add --raw to pass bytes as they are\n");

    // Overlong and surrogate forms are not UTF-8 either.
    EXPECT_EQ(RunCli({ "settings", "get", file, "S", "\xC0\xAF" }).code, kExitUsage);
    EXPECT_EQ(RunCli({ "settings", "get", file, "S", "\xED\xA0\x80" }).code, kExitUsage);

    ASSERT_EQ(RunCli({ "--raw", "settings", "set", file, "S", "K", sjis }).code, kExitOk);
    EXPECT_EQ(RunCli({ "settings", "get", file, "S", "K" }).out, "\u65E5\u672C\n");
    EXPECT_EQ(RunCli({ "settings", "get", file, "S", "K", "\u65E5\u672C" }).code, kExitOk);
}

} // namespace
} // namespace pw::cli
