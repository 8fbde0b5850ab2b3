// A page file from its bytes and back: encoding, byte order mark and line
// break found once, and the same bytes written back.
#include "text/pagefile.h"

#include "text/codec.h"

#include <gtest/gtest.h>

#include <string>

namespace pw {
namespace {

constexpr PageEncoding kSjis = PageEncoding::ShiftJis;
constexpr PageEncoding kUtf8 = PageEncoding::Utf8;
constexpr PageEncoding kEuc = PageEncoding::EucJp;

std::string In(PageEncoding encoding, std::string_view utf8)
{
    return codec::Encode(encoding, utf8).bytes;
}

std::string Name(PageEncoding encoding)
{
    return std::string(PageEncodingName(encoding));
}

constexpr std::string_view kPage
    = "<html><head><title>表示テスト</title></head>\n<body>\n<p>こんにちは、世界。</p>\n"
      "\n<p>ｶﾞｲﾄﾞ ①</p>\n</body></html>\n";

std::string WithBreak(std::string_view text, std::string_view lineBreak)
{
    std::string out;
    for (char c : text)
        if (c == '\n')
            out += lineBreak;
        else
            out += c;
    return out;
}

TEST(PageFile, ReadsAndWritesBackTheSameBytes)
{
    struct Case {
        const char* what;
        std::string bytes;
        std::optional<PageEncoding> forced;
        PageEncoding encoding;
        bool mark;
        LineBreak lineBreak;
    } cases[] = {
        { "Shift_JIS, CR LF", In(kSjis, WithBreak(kPage, "\r\n")), {}, kSjis, false, LineBreak::CrLf },
        { "EUC-JP, LF", In(kEuc, kPage), {}, kEuc, false, LineBreak::Lf },
        { "UTF-8 with a byte order mark", "\xEF\xBB\xBF" + WithBreak(kPage, "\r\n"), {}, kUtf8, true,
            LineBreak::CrLf },
        { "a byte order mark alone", "\xEF\xBB\xBF", {}, kUtf8, true, LineBreak::Lf },
        { "forced: the mark of a page read as Shift_JIS is text", "\xEF\xBB\xBF" + In(kUtf8, kPage), kSjis, kSjis,
            false, LineBreak::Lf },
        { "forced: EUC-JP bytes read as UTF-8", In(kEuc, kPage), kUtf8, kUtf8, false, LineBreak::Lf },
        { "bytes that spell nothing", "a\x80\xFF\r\n\x8E\r\n", {}, kSjis, false, LineBreak::CrLf },
        { "empty", "", {}, kSjis, false, LineBreak::Lf },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const PageFile file = PageFile::FromBytes(c.bytes, c.forced);
        EXPECT_EQ(Name(file.Encoding), Name(c.encoding));
        EXPECT_EQ(file.ByteOrderMark, c.mark);
        EXPECT_EQ(file.Break, c.lineBreak);
        EXPECT_EQ(file.ToBytes(), c.bytes);
        // The mark is no part of the lines, so columns count from the text.
        if (!file.Lines.Empty()) {
            EXPECT_EQ(file.Lines[0].starts_with(kUtf8ByteOrderMark), c.forced == kSjis);
        }
        // Lines already split give the same file (a split page has no
        // unbroken last line to keep).
        if (c.bytes.ends_with('\n') || c.bytes.ends_with('\r')) {
            const PageFile split = PageFile::FromLines(LineBuffer(c.bytes), file.Break, c.forced);
            EXPECT_EQ(Name(split.Encoding), Name(file.Encoding));
            EXPECT_EQ(split.ByteOrderMark, file.ByteOrderMark);
            EXPECT_EQ(split.Lines, file.Lines);
            EXPECT_EQ(split.ToBytes(), c.bytes);
            EXPECT_EQ(split.MarkedLines(), LineBuffer(c.bytes));
        }
    }
}

TEST(PageFile, EveryLineIsWrittenWithThePageBreak)
{
    // The first break decides; the last line gets one too.
    EXPECT_EQ(PageFile::FromBytes("a\r\nb\nc\rd").ToBytes(), "a\r\nb\r\nc\r\nd\r\n");
    EXPECT_EQ(PageFile::FromBytes("a\nb\r\n").ToBytes(), "a\nb\n");
    EXPECT_EQ(PageFile::FromBytes(In(kUtf8, WithBreak(kPage, "\r"))).ToBytes(), In(kUtf8, kPage));
    // A page from a server is written with CR LF whatever it was read with.
    EXPECT_EQ(PageFile::FromLines(LineBuffer(std::string("a\nb\n")), LineBreak::CrLf).ToBytes(), "a\r\nb\r\n");
}

TEST(PageFile, EditedLinesKeepTheMarkAndEncoding)
{
    PageFile file = PageFile::FromBytes("\xEF\xBB\xBF" + In(kUtf8, "<p>表</p>\r\n<p>示</p>\r\n"));
    ASSERT_TRUE(file.ByteOrderMark);
    file.Lines.Set(0, In(kUtf8, "<p>テスト</p>"));
    EXPECT_EQ(file.ToBytes(), "\xEF\xBB\xBF" + In(kUtf8, "<p>テスト</p>\r\n<p>示</p>\r\n"));
    EXPECT_EQ(file.MarkedLines()[0], "\xEF\xBB\xBF" + In(kUtf8, "<p>テスト</p>"));
    // A page emptied in the editor still starts with its mark.
    file.Lines = LineBuffer();
    EXPECT_EQ(file.ToBytes(), "\xEF\xBB\xBF");
    EXPECT_EQ(file.MarkedLines(), LineBuffer({ "\xEF\xBB\xBF" }));
}

} // namespace
} // namespace pw
