#include "support/clirun.h"
#include "support/tempdir.h"

#include <gtest/gtest.h>

#include <cstdio>

namespace pw::cli {
namespace {

using test::RunCli;
using Outcome = test::CliOutcome;

std::string Plain(const std::string& path)
{
    return test::ReadSettingsText(path);
}

TEST(SettingsCli, SetGetEraseRoundTrip)
{
    test::TempDir dir;
    const std::string file = dir.file("Pagewick.ini");
    EXPECT_EQ(RunCli({ "settings", "set", file, "Setups", "Count", "3" }).code, kExitOk);
    EXPECT_EQ(RunCli({ "settings", "set", file, "Setup1", "Name", "\u65E5\u672C" }).code, kExitOk); // 日本
    EXPECT_EQ(
        Plain(file), "; NoTitle\r\n\r\n\r\n[Setups]\r\nCount=3\r\n\r\n[Setup1]\r\nName=\x93\xFA\x96\x7B\r\n");

    EXPECT_EQ(RunCli({ "settings", "get", file, "setups", "Count" }).out, "3\n");
    EXPECT_EQ(RunCli({ "settings", "get", file, "Setup1", "Name" }).out, "\u65E5\u672C\n");
    EXPECT_EQ(RunCli({ "--raw", "settings", "get", file, "Setup1", "Name" }).out, "\x93\xFA\x96\x7B\n");
    EXPECT_EQ(RunCli({ "settings", "get", file, "Setups", "Missing", "fallback" }).out, "fallback\n");
    EXPECT_EQ(RunCli({ "settings", "get", file, "Setups", "Missing" }).out, "\n");

    EXPECT_EQ(RunCli({ "settings", "erase", file, "Setups", "--dir", dir.path() }).code, kExitOk);
    EXPECT_EQ(Plain(file), "; NoTitle\r\n\r\n\r\n[Setup1]\r\nName=\x93\xFA\x96\x7B\r\n");
}

TEST(SettingsCli, DecodeAndEncodeAreExact)
{
    test::TempDir dir;
    const std::string file = dir.file("ads.ini");
    const std::string text = "no title line\nName=\u8868\r\n"; // 表: trail byte 0x5C
    EXPECT_EQ(RunCli({ "settings", "encode", file }, text).code, kExitOk);
    EXPECT_EQ(Plain(file), "no title line\nName=\x95\x5C\r\n");
    EXPECT_EQ(RunCli({ "settings", "decode", file }).out, text);
    EXPECT_EQ(RunCli({ "settings", "decode", "--raw", file }).out, "no title line\nName=\x95\x5C\r\n");

    const std::string raw = std::string("\x80\x00\xFF", 3);
    EXPECT_EQ(RunCli({ "--raw", "settings", "encode", file }, raw).code, kExitOk);
    EXPECT_EQ(RunCli({ "settings", "decode", file, "--raw" }).out, raw);
    // Without --raw the invalid bytes survive the trip through UTF-8 as well.
    const Outcome decoded = RunCli({ "settings", "decode", file });
    EXPECT_EQ(RunCli({ "settings", "encode", file }, decoded.out).code, kExitOk);
    EXPECT_EQ(Plain(file), raw);
}

// A settings file whose load stops at a byte that decodes to NUL: the set
// that follows writes the shortened store, so the whole file is copied first
// and the copy named on standard error.
TEST(SettingsCli, ADamagedFileIsCopiedAndReported)
{
    test::TempDir dir;
    const std::string file = dir.file("Pagewick.ini");
    std::string plain = std::string("; NoTitle\r\n\r\n[S]\r\nk=v\r\n") + '\0';
    while (plain.size() < 100000)
        plain += "[Setup" + std::to_string(plain.size()) + "]\r\nName=x\r\n\r\n";
    std::string image = plain;
    ScrambleFileImage(image);
    ASSERT_TRUE(WriteFileAtomically(file, image).ok);

    const Outcome r = RunCli({ "settings", "set", file, "S", "k", "w" });
    ASSERT_EQ(r.code, kExitOk) << r.err;
    const std::string copy = file + ".damaged-";
    const auto at = r.err.find(copy);
    ASSERT_NE(at, std::string::npos) << r.err;
    const std::string copyPath = r.err.substr(at, copy.size() + 15);
    EXPECT_TRUE(r.err.starts_with("pagewick-cli: " + file + " is damaged: reading stopped at byte 23 of "))
        << r.err;
    EXPECT_EQ(test::ReadBytes(copyPath), image);
    EXPECT_LT(test::ReadBytes(file).size(), 100u);

    const Outcome get = RunCli({ "settings", "get", file, "S", "k" });
    EXPECT_EQ(get.out, "w\n");
    EXPECT_EQ(get.err, ""); // saved whole since
}

// A raw decode streams the file through a fixed buffer: an image of several
// buffers, cut at lengths that are no multiple of the key, comes out whole.
TEST(SettingsCli, RawDecodeOfALargeFileIsExact)
{
    test::TempDir dir;
    const std::string file = dir.file("big.ini");
    std::string plain((3u << 20) + 7, '\0');
    for (size_t i = 0; i < plain.size(); ++i)
        plain[i] = static_cast<char>((i * 131) >> 3);
    ASSERT_EQ(RunCli({ "--raw", "settings", "encode", file }, plain).code, kExitOk);
    const Outcome decoded = RunCli({ "--raw", "settings", "decode", file });
    EXPECT_EQ(decoded.code, kExitOk);
    EXPECT_TRUE(decoded.out == plain) << "decoded " << decoded.out.size() << " bytes of " << plain.size();
}

TEST(SettingsCli, UsageAndFileErrors)
{
    test::TempDir dir;
    struct Case {
        std::vector<std::string> args;
        int code;
    };
    const Case cases[] = {
        { {}, kExitUsage },
        { { "nonsense" }, kExitUsage },
        { { "settings" }, kExitUsage },
        { { "settings", "frob", "x" }, kExitUsage },
        { { "settings", "get", dir.file("a.ini"), "S" }, kExitUsage },
        { { "settings", "set", dir.file("a.ini"), "S", "K" }, kExitUsage },
        { { "settings", "get", "--dir" }, kExitUsage },
        { { "settings", "decode", dir.file("missing.ini") }, kExitFile },
        { { "settings", "set", dir.file("no/such/folder.ini"), "S", "K", "V" }, kExitFile },
        { { "--help" }, kExitOk },
        { { "settings", "--help" }, kExitOk },
    };
    for (const auto& c : cases) {
        const Outcome o = RunCli(c.args);
        EXPECT_EQ(o.code, c.code) << ::testing::PrintToString(c.args);
        if (c.code == kExitUsage || c.code == kExitFile) {
            EXPECT_FALSE(o.err.empty()) << ::testing::PrintToString(c.args);
        }
    }
    EXPECT_NE(RunCli({ "--help" }).out.find("settings"), std::string::npos);
}

TEST(SettingsCli, BuiltProgramRunsEndToEnd)
{
    test::TempDir dir;
    const std::string file = dir.file("siteinfo.ini");
    const std::string set = std::string(PAGEWICK_CLI) + " settings set " + file + " Site1 SetupName \xE5\x9F\xBA";
    ASSERT_EQ(std::system(set.c_str()), 0);
    FILE* pipe
        = ::popen((std::string(PAGEWICK_CLI) + " --raw settings get " + file + " Site1 SetupName").c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    char buffer[64] = {};
    const size_t n = std::fread(buffer, 1, sizeof buffer, pipe);
    EXPECT_EQ(::pclose(pipe), 0);
    EXPECT_EQ(std::string(buffer, n), "\x8A\xEE\n"); // 基 in Shift_JIS
}

} // namespace
} // namespace pw::cli
