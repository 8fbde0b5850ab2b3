#include "base/files.h"
#include "support/tempdir.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace pw {
namespace {

size_t EntriesIn(const std::string& folder)
{
    size_t count = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(folder))
        ++count;
    return count;
}

// Read in one piece from the size the file reports, or in several when the
// file reports none (as files under /proc do).
TEST(Files, ReadWholeFileReadsEveryByte)
{
    test::TempDir dir;
    for (const size_t size : { size_t(0), size_t(1), size_t(65536), size_t(65537), size_t(3u << 20) }) {
        std::string bytes(size, '\0');
        for (size_t i = 0; i < size; ++i)
            bytes[i] = static_cast<char>(i * 7 + (i >> 12));
        ASSERT_TRUE(WriteFileAtomically(dir.file("f"), bytes).ok);
        std::string read;
        ASSERT_TRUE(ReadWholeFile(dir.file("f"), read).ok);
        EXPECT_TRUE(read == bytes) << size;
    }
    std::string status;
    ASSERT_TRUE(ReadWholeFile("/proc/self/status", status).ok);
    EXPECT_NE(status.find("VmRSS"), std::string::npos);
    std::string missing = "old";
    EXPECT_FALSE(ReadWholeFile(dir.file("none"), missing).ok);
    EXPECT_EQ(missing, "");
}

// Mapped bytes stay as they were when the page is replaced by a rename, and
// outlive the call that mapped them; empty and special files are read.
TEST(Files, MappedBytesSurviveAReplacedFile)
{
    test::TempDir dir;
    const std::string path = dir.file("page.html");
    ASSERT_TRUE(WriteFileAtomically(path, "line one\r\nline two\r\n").ok);
    FileBytes bytes;
    ASSERT_TRUE(MapWholeFile(path, bytes).ok);
    ASSERT_TRUE(WriteFileAtomically(path, "replaced").ok);
    EXPECT_EQ(bytes.Bytes, "line one\r\nline two\r\n");
    FileBytes copy = bytes;
    bytes = {};
    EXPECT_EQ(copy.Bytes, "line one\r\nline two\r\n");

    ASSERT_TRUE(WriteFileAtomically(dir.file("empty"), "").ok);
    FileBytes empty;
    ASSERT_TRUE(MapWholeFile(dir.file("empty"), empty).ok);
    EXPECT_EQ(empty.Bytes, "");
    FileBytes status;
    ASSERT_TRUE(MapWholeFile("/proc/self/status", status).ok);
    EXPECT_NE(status.Bytes.find("VmRSS"), std::string_view::npos);
    FileBytes missing;
    EXPECT_FALSE(MapWholeFile(dir.file("none"), missing).ok);
}

TEST(Files, AtomicWriterReplacesOnlyOnCommit)
{
    test::TempDir dir;
    const std::string path = dir.file("page.html");
    ASSERT_TRUE(WriteFileAtomically(path, "old").ok);
    {
        AtomicFileWriter writer;
        ASSERT_TRUE(writer.Open(path).ok);
        ASSERT_TRUE(writer.Write("new ").ok);
        EXPECT_EQ(EntriesIn(dir.path()), 2u); // the page and the temporary file
        // Going away without Commit: the page stays, the temporary file goes.
    }
    std::string bytes;
    ASSERT_TRUE(ReadWholeFile(path, bytes).ok);
    EXPECT_EQ(bytes, "old");
    EXPECT_EQ(EntriesIn(dir.path()), 1u);

    AtomicFileWriter writer;
    ASSERT_TRUE(writer.Open(path).ok);
    ASSERT_TRUE(writer.Write("new ").ok);
    ASSERT_TRUE(writer.Write("page").ok);
    ASSERT_TRUE(writer.Commit().ok);
    ASSERT_TRUE(ReadWholeFile(path, bytes).ok);
    EXPECT_EQ(bytes, "new page");
    EXPECT_EQ(EntriesIn(dir.path()), 1u);

    AtomicFileWriter nowhere;
    const Status failed = nowhere.Open(dir.file("missing/page.html"));
    EXPECT_FALSE(failed.ok);
    EXPECT_NE(failed.error.find("Cannot create a temporary file beside"), std::string::npos) << failed.error;
}

} // namespace
} // namespace pw
