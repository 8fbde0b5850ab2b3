// Page encodings: detection, the user's charset choice, whole pages with a
// byte order mark, program text into a page and back, and finding an ASCII
// character among the multi-byte characters of each encoding.
#include "text/pageencoding.h"

#include "text/codec.h"

#include <gtest/gtest.h>

#include <string>

namespace pw {
namespace {

constexpr PageEncoding kSjis = PageEncoding::ShiftJis;
constexpr PageEncoding kUtf8 = PageEncoding::Utf8;
constexpr PageEncoding kEuc = PageEncoding::EucJp;

std::string Sjis(std::string_view utf8)
{
    return codec::EncodeSjis(utf8).bytes;
}

std::string In(PageEncoding encoding, std::string_view utf8)
{
    return codec::Encode(encoding, utf8).bytes;
}

std::string Name(PageEncoding encoding)
{
    return std::string(PageEncodingName(encoding));
}

TEST(DetectPageEncoding, ByteOrderMarkThenDeclarationThenBytes)
{
    const std::string sjisText = Sjis("<p>表示テスト ソフトウェア</p>");
    const std::string eucText = In(kEuc, "<p>日本語のページです。漢字とかな。</p>");
    const std::string utf8Text = "<p>日本語のページ</p>";
    struct Case {
        const char* what;
        std::string bytes;
        PageEncoding expected;
    } cases[] = {
        { "empty page", "", kSjis },
        { "plain ASCII", "<html><body>hello</body></html>", kSjis },
        { "byte order mark", "\xEF\xBB\xBF<p>a</p>", kUtf8 },
        { "byte order mark beats a declaration", "\xEF\xBB\xBF<meta charset=\"shift_jis\">", kUtf8 },
        { "meta charset", "<head><meta charset=\"UTF-8\"></head>", kUtf8 },
        { "meta charset without quotes", "<meta charset=euc-jp>", kEuc },
        { "meta charset in single quotes, upper case", "<META CHARSET='X-EUC-JP'>", kEuc },
        { "http-equiv form",
            "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=Shift_JIS\">" + utf8Text, kSjis },
        { "http-equiv with alias x-sjis", "<meta http-equiv=Content-Type content='text/html;charset=x-sjis'>",
            kSjis },
        { "alias windows-31j", "<meta charset=\"windows-31j\">" + eucText, kSjis },
        { "alias cp932", "<meta charset=\"cp932\">", kSjis },
        { "alias ms932", "<meta charset=\"MS932\">", kSjis },
        { "alias sjis", "<meta charset=\"sjis\">", kSjis },
        { "alias shift-jis", "<meta charset=\"shift-jis\">", kSjis },
        { "alias utf8", "<meta charset=\"utf8\">" + sjisText, kUtf8 },
        { "XML declaration", "<?xml version=\"1.0\" encoding=\"EUC-JP\"?>\n<html>", kEuc },
        { "declaration beats the bytes", "<meta charset=\"euc-jp\">" + utf8Text, kEuc },
        { "unknown charset falls to the bytes", "<meta charset=\"iso-8859-1\">" + utf8Text, kUtf8 },
        { "a declaration inside a comment does not count", "<!-- <meta charset=\"euc-jp\"> -->" + utf8Text,
            kUtf8 },
        { "a declaration after 4 KiB does not count", std::string(4096, ' ') + "<meta charset=\"euc-jp\">",
            kSjis },
        { "a declaration at byte 3000 counts", std::string(3000, ' ') + "<meta charset=\"euc-jp\">" + utf8Text,
            kEuc },
        { "a declaration that ends at 4 KiB counts",
            std::string(4096 - 23, ' ') + "<meta charset=\"euc-jp\">" + utf8Text, kEuc },
        // A long ASCII head, a quotation pasted in Shift_JIS, then the page's
        // own text in UTF-8: the fragment leads the first kilobyte by far, but
        // not by enough to decide the whole page.
        { "a UTF-8 page starting with a short Shift_JIS fragment",
            "<html><head><style>" + std::string(970, ' ') + "</style></head><body>\n" + Sjis("「ようこそ」")
                + "<p>日本語のページです。今日はいい天気ですね。</p>\n<p>明日も晴れるでしょう。</p>\n",
            kUtf8 },
        { "UTF-8 bytes", utf8Text, kUtf8 },
        { "UTF-8 with a four-byte character", "a\xF0\x9F\x98\x80", kUtf8 },
        { "Shift_JIS bytes", sjisText, kSjis },
        { "Shift_JIS half-width katakana only", "\xB1\xB2\xB3", kSjis },
        { "EUC-JP bytes", eucText, kEuc },
        { "EUC-JP after a long ASCII head", std::string(10000, 'a') + eucText, kEuc },
        { "ill-formed UTF-8 that is valid Shift_JIS", utf8Text + sjisText, kSjis },
        { "bytes valid in no encoding", "\x80\xFF\xFE", kSjis },
        // One kanji in EUC-JP, two half-width katakana in Shift_JIS: the kanji
        // is the likelier reading (nkf reads it so too).
        { "EUC-JP bytes that are also valid Shift_JIS", "\xB1\xB2", kEuc },
        { "a short EUC-JP page that is also valid Shift_JIS",
            In(kEuc, "<title>表示テスト</title>\n<p>表示</p>\n<p>テスト</p>\n"), kEuc },
        // Half-width katakana are two bytes each in EUC-JP (8E A1 to 8E DF);
        // both ends of the range are here: ｡ and ﾟ.
        { "an EUC-JP page with half-width katakana",
            In(kEuc, "<title>表示テスト</title>\n<p>ｶﾞｲﾄﾞです｡ﾊﾟｿｺﾝの設定</p>\n"), kEuc },
        { "an EUC-JP line with half-width katakana and brackets",
            In(kEuc, "<p>ｱﾌｨﾘｴｲﾄ広告の報酬は｢確定｣後にお支払いします｡</p>\n"), kEuc },
        { "the same line in Shift_JIS", Sjis("<p>ｱﾌｨﾘｴｲﾄ広告の報酬は｢確定｣後にお支払いします｡</p>\n"), kSjis },
        { "a UTF-8 page with one stray byte",
            "<p>日本語のページです。今日はいい天気ですね。</p>\x80<p>明日も晴れるでしょう。</p>", kUtf8 },
        { "a Shift_JIS page with one stray byte",
            Sjis("<p>日本語のページです。今日はいい天気ですね。</p>") + "\xFF"
                + Sjis("<p>明日も晴れるでしょう。</p>"),
            kSjis },
    };
    for (const auto& c : cases)
        EXPECT_EQ(Name(DetectPageEncoding(c.bytes)), Name(c.expected)) << c.what;
}

TEST(PageCharset, KeysAndResolution)
{
    for (PageCharset charset : { PageCharset::Auto, PageCharset::ShiftJis, PageCharset::Utf8, PageCharset::EucJp })
        EXPECT_EQ(PageCharsetFromKey(PageCharsetKey(charset)), charset);
    EXPECT_EQ(PageCharsetFromKey("UTF-8"), std::nullopt);
    EXPECT_EQ(PageCharsetFromKey(""), std::nullopt);
    const std::string utf8 = "<p>日本語</p>";
    EXPECT_EQ(ResolvePageEncoding(PageCharset::Auto, utf8), kUtf8);
    EXPECT_EQ(ResolvePageEncoding(PageCharset::EucJp, utf8), kEuc);
    EXPECT_EQ(ResolvePageEncoding(PageCharset::ShiftJis, utf8), kSjis);
}

TEST(DecodePage, ByteOrderMarkKeptExactly)
{
    const std::string page = "\xEF\xBB\xBF<p>\xE8\xA1\xA8\x80</p>\r\n";
    const DecodedPage decoded = DecodePage(kUtf8, page);
    EXPECT_TRUE(decoded.ByteOrderMark);
    EXPECT_EQ(decoded.Text.substr(0, 3), "<p>");
    EXPECT_EQ(EncodePage(kUtf8, decoded.Text, decoded.ByteOrderMark).bytes, page);
    // Without the mark nothing is added; in another encoding the bytes are text.
    EXPECT_EQ(EncodePage(kUtf8, DecodePage(kUtf8, page.substr(3)).Text, false).bytes, page.substr(3));
    const DecodedPage asSjis = DecodePage(kSjis, page);
    EXPECT_FALSE(asSjis.ByteOrderMark);
    EXPECT_EQ(EncodePage(kSjis, asSjis.Text, asSjis.ByteOrderMark).bytes, page);
}

TEST(PageText, ProgramTextIntoEachEncodingAndBack)
{
    struct Case {
        const char* what;
        std::string program; // Shift_JIS
        PageEncoding encoding;
        std::string page;
        std::string back; // program text read back from the page
    } cases[] = {
        { "Shift_JIS pages take program text as it is", "\x95\x5C\x83\x5C\x87\x40\x80", kSjis,
            "\x95\x5C\x83\x5C\x87\x40\x80", "\x95\x5C\x83\x5C\x87\x40\x80" },
        { "ASCII", "<a href=\"x\">", kUtf8, "<a href=\"x\">", "<a href=\"x\">" },
        { "UTF-8: 表 ソ ① ㈱ 等", Sjis("表ソ①㈱等"), kUtf8, "表ソ①㈱等", Sjis("表ソ①㈱等") },
        { "UTF-8: half-width katakana", "\xB1\xB2", kUtf8, "ｱｲ", "\xB1\xB2" },
        { "UTF-8: a second spelling becomes its character", "\xED\x40", kUtf8, "\u7E8A", "\xFA\x5C" },
        { "UTF-8: bytes that spell nothing", "a\x80", kUtf8, "a\uFFFD", "a&#xFFFD;" },
        { "EUC-JP: 表 ソ 等", Sjis("表ソ等"), kEuc, "\xC9\xBD\xA5\xBD\xC5\xF9", Sjis("表ソ等") },
        { "EUC-JP: ① and ㈱ as references, read back", Sjis("丸①㈱"), kEuc, "\xB4\xDD&#x2460;&#x3231;",
            Sjis("丸①㈱") },
        { "EUC-JP: the CP932 wave dash as the JIS one", "\x81\x60", kEuc, "\xA1\xC1", "\x81\x60" },
        { "EUC-JP: half-width katakana", "\xB1", kEuc, "\x8E\xB1", "\xB1" },
        { "EUC-JP: a literal reference of a character it holds stays", "&#x8868;", kEuc, "&#x8868;", "&#x8868;" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(ToPageText(c.encoding, c.program), c.page);
        EXPECT_EQ(FromPageText(c.encoding, c.page), c.back);
    }
    // Page bytes that the encoding does not read as characters.
    EXPECT_EQ(FromPageText(kUtf8, "\x95\x5C"), "&#xFFFD;\\");
    EXPECT_EQ(FromPageText(kEuc, "\xAD\xA1"), Sjis("①")); // NEC row 13 in an EUC-JP page
}

TEST(FindPageChar, StepsOverCharactersOfEachEncoding)
{
    struct Case {
        const char* what;
        PageEncoding encoding;
        std::string text;
        char c;
        size_t from;
        size_t expected;
    } cases[] = {
        { "Shift_JIS: ゾ ends in ']'", kSjis, "\x83]]", ']', 0, 2 },
        { "Shift_JIS: 表 ends in '\\'", kSjis, "a\x95\\\\", '\\', 0, 3 },
        { "UTF-8: after a stray byte ']' is ']'", kUtf8, "\x83]]", ']', 0, 1 },
        { "UTF-8: after a kanji", kUtf8, "表]", ']', 0, 3 },
        { "EUC-JP: after a lead byte ']' is ']'", kEuc, "\xC9]", ']', 0, 1 },
        { "EUC-JP: after a three-byte character", kEuc, "\x8F\xB0\xA1[", '[', 0, 3 },
        { "none", kUtf8, "abc", ']', 0, std::string::npos },
        { "from beyond the end", kEuc, "]", ']', 1, std::string::npos },
    };
    for (const auto& c : cases)
        EXPECT_EQ(FindPageChar(c.encoding, c.text, c.c, c.from), c.expected) << c.what;
}

} // namespace
} // namespace pw
