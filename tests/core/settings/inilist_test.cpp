#include "settings/inilist.h"

#include <gtest/gtest.h>

#include <random>

namespace pw {
namespace {

using Lines = std::vector<std::string>;

TIniList& Store(TIniList& store, const Lines& lines)
{
    store.SetLines(lines);
    return store;
}

TEST(IniList, NewStoreHoldsTheTitleLine)
{
    TIniList store;
    EXPECT_EQ(store.Lines(), Lines { "; NoTitle" });
    EXPECT_TRUE(store.CaseSensitive());
    EXPECT_EQ(store.Separator(), '=');
}

TEST(IniList, ReadsFollowTheLineRules)
{
    TIniList store;
    Store(store,
        { "; NoTitle", "", "[Setups]", "Count=3", "Empty=", "Two=a=b", "=lead", "NoSeparator", " Blank=1",
            "count=lower", "", "Hidden=after blank", "[Setups2", "Cut=yes", "[Other]", "Count=9" });
    struct Case {
        const char* section;
        const char* key;
        const char* expected;
    };
    const Case cases[] = {
        { "Setups", "Count", "3" },
        { "SETUPS", "Count", "3" }, // section names ignore case
        { "setups", "count", "lower" }, // keys do not
        { "Setups", "Empty", "def" }, // empty value gives the default
        { "Setups", "Two", "a=b" }, // further separators belong to the value
        { "Setups", "", "lead" }, // a line starting with the separator has an empty key
        { "Setups", "NoSeparator", "def" },
        { "Setups", " Blank", "1" }, // blanks belong to the key
        { "Setups", "Blank", "def" },
        { "Setups", "Hidden", "def" }, // entries after a blank line are invisible
        { "Setups", "Cut", "def" }, // the next header ends the section
        { "Setups2", "Cut", "def" }, // "[Setups2" names "Setups"
        { "Setups", "Missing", "def" },
        { "Missing", "Count", "def" },
        { "Other", "Count", "9" },
    };
    for (const auto& c : cases)
        EXPECT_EQ(store.ReadString(c.section, c.key, "def"), c.expected) << c.section << "/" << c.key;
}

TEST(IniList, HeaderNameDropsTheLastCharacterWhateverItIs)
{
    TIniList store;
    Store(store, { "[Setups", "Count=1", "[Ab]x", "K=2", "[", "E=3" });
    EXPECT_EQ(store.ReadString("Setup", "Count", "d"), "1");
    EXPECT_EQ(store.ReadString("Ab]", "K", "d"), "2");
    EXPECT_EQ(store.ReadString("", "E", "d"), "3"); // "[" names the empty section
}

TEST(IniList, TypedReads)
{
    TIniList store;
    Store(store,
        { "[S]", "a=12", "b=-5", "c= 5", "d=5x", "e=2147483648", "f=-2147483648", "g=+7", "h=1", "i=0", "j=true",
            "k= 1", "l=2", "m=", "n=0x10" });
    const std::pair<const char*, int> integers[] = { { "a", 12 }, { "b", -5 }, { "c", 99 }, { "d", 99 },
        { "e", 99 }, { "f", INT32_MIN }, { "g", 7 }, { "m", 99 }, { "n", 99 } };
    for (const auto& [key, value] : integers)
        EXPECT_EQ(store.ReadInteger("S", key, 99), value) << key;
    const std::pair<const char*, int> bools[]
        = { { "h", 1 }, { "i", 0 }, { "j", 2 }, { "k", 2 }, { "l", 2 }, { "m", 2 } };
    for (const auto& [key, value] : bools) {
        EXPECT_EQ(store.ReadBool("S", key, true), value == 2 ? true : value == 1) << key;
        EXPECT_EQ(store.ReadBool("S", key, false), value == 2 ? false : value == 1) << key;
    }
}

TEST(IniList, NewKeysGoDirectlyBelowTheHeader)
{
    TIniList store;
    store.LoadFromText("");
    store.WriteString("New", "First", "1");
    store.WriteString("New", "Second", "2");
    store.WriteString("New", "Third", "3");
    store.WriteString("New", "First", "one");
    EXPECT_EQ(store.Lines(), (Lines { "; NoTitle", "", "", "[New]", "Third=3", "Second=2", "First=one" }));
    store.WriteInteger("Next", "Minus", -42);
    store.WriteBool("Next", "Flag", true);
    store.WriteBool("Next", "Off", false);
    EXPECT_EQ(store.Lines(),
        (Lines { "; NoTitle", "", "", "[New]", "Third=3", "Second=2", "First=one", "", "[Next]", "Off=0", "Flag=1",
            "Minus=-42" }));
}

TEST(IniList, CaseRulesOnWrite)
{
    TIniList store;
    Store(store, { "; NoTitle", "", "[Setups]", "Count=1" });
    store.WriteString("setups", "Count", "2");
    store.WriteString("Setups", "count", "3");
    EXPECT_EQ(store.Lines(), (Lines { "; NoTitle", "", "[Setups]", "count=3", "Count=2" }));

    store.SetCaseSensitive(false); // then sections compare exactly and keys ignore case
    EXPECT_EQ(store.ReadString("setups", "COUNT", "d"), "d");
    EXPECT_EQ(store.ReadString("Setups", "COUNT", "d"), "3");
}

TEST(IniList, KeyBelowABlankLineIsWrittenAgainBelowTheHeader)
{
    TIniList store;
    Store(store, { "[S]", "a=1", "", "b=2" });
    store.WriteString("S", "b", "3");
    EXPECT_EQ(store.Lines(), (Lines { "[S]", "b=3", "a=1", "", "b=2" }));
}

TEST(IniList, OnlyTheFirstOfTwoEqualHeadersIsFound)
{
    TIniList store;
    Store(store, { "[A]", "k=1", "", "[a]", "k=2" });
    EXPECT_EQ(store.ReadString("A", "k", ""), "1");
    store.EraseSection("A");
    EXPECT_EQ(store.ReadString("A", "k", ""), "2");
    EXPECT_EQ(store.Lines(), (Lines { "", "[a]", "k=2" }));
}

TEST(IniList, EraseSection)
{
    struct Case {
        const char* what;
        Lines before;
        const char* section;
        Lines after;
    };
    const Case cases[] = {
        { "section at line 0 deletes nothing above", { "[A]", "x=1", "", "[B]", "y=2" }, "A",
            { "", "[B]", "y=2" } },
        { "blank line above goes, blank line below stays", { "; NoTitle", "", "[A]", "x=1", "", "[B]", "y=2" },
            "A", { "; NoTitle", "", "[B]", "y=2" } },
        { "last section without trailing blank deletes to the end",
            { "; NoTitle", "", "[A]", "x=1", "", "[B]", "y=2", "z=3" }, "B", { "; NoTitle", "", "[A]", "x=1" } },
        { "lines after the blank line stay", { "t", "[A]", "x=1", "", "hidden=1", "[B]" }, "A",
            { "t", "", "hidden=1", "[B]" } },
        { "blank after trimming above the header", { "t", "  \t", "[A]", "x=1" }, "A", { "t" } },
        { "no such section", { "t", "[A]" }, "C", { "t", "[A]" } },
        { "section name ignores case", { "t", "", "[Banner1]", "x=1" }, "BANNER1", { "t" } },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        TIniList store;
        Store(store, c.before);
        store.EraseSection(c.section);
        EXPECT_EQ(store.Lines(), c.after);
        EXPECT_FALSE(store.SectionExists(c.section) && std::string(c.section) != "C");
    }
}

TEST(IniList, TitleNormalisationOnLoad)
{
    struct Case {
        std::string text;
        Lines lines;
    };
    const Case cases[] = {
        { "", { "; NoTitle", "" } },
        { "; Some other comment\r\n[A]\r\nk=v\r\n", { "; NoTitle", "[A]", "k=v" } },
        { "[A]\r\nk=v", { "; NoTitle", "", "[A]", "k=v" } },
        { "k=v\n", { "; NoTitle", "", "k=v" } },
        { "\r\n[A]", { "; NoTitle", "", "", "[A]" } },
        { std::string("; x\r\n[A]\r\nk=v\0[B]\r\n", 20), { "; NoTitle", "[A]", "k=v" } },
        { "; x\r[A]\nk=v\r\n", { "; NoTitle", "[A]", "k=v" } },
    };
    for (const auto& c : cases) {
        TIniList store;
        store.LoadFromText(c.text);
        EXPECT_EQ(store.Lines(), c.lines);
    }
    TIniList store;
    store.LoadFromText("[A]\r\nk=v");
    EXPECT_EQ(store.ReadString("A", "k", ""), "v");
    EXPECT_EQ(store.SaveToText(), "; NoTitle\r\n\r\n[A]\r\nk=v\r\n");
}

TEST(IniList, Scrambling)
{
    std::string one = "X";
    ScrambleFileImage(one);
    EXPECT_EQ(one, "X");

    std::string six(6, '\0');
    ScrambleFileImage(six);
    EXPECT_EQ(six, std::string("\0vobek", 6)); // byte 0 plain, bytes 1..5 take key characters 1..5

    const std::string plain = "; NoTitle\r\n\r\n[Setups]\r\nCount=1\r\n";
    std::string image = plain;
    ScrambleFileImage(image);
    EXPECT_NE(image, plain);
    EXPECT_EQ(image[0], ';');
    ScrambleFileImage(image);
    EXPECT_EQ(image, plain);

    std::string text(7, '\0');
    ScrambleText(text);
    EXPECT_EQ(text, std::string("vobekvo"));
}

// The scrambling works a block at a time; every length, and every way of
// cutting an image into pieces, must give what the byte-by-byte rule gives.
TEST(IniList, ScramblingAgreesWithTheByteRule)
{
    std::string bytes(130, '\0');
    for (size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = static_cast<char>(i * 37 + 11);
    for (size_t length = 0; length <= bytes.size(); ++length) {
        const std::string plain = bytes.substr(0, length);
        std::string file = plain, text = plain;
        for (size_t k = 1; k < length; ++k)
            file[k] = static_cast<char>(file[k] ^ kScrambleKey[(k - 1) % 5]);
        for (size_t k = 0; k < length; ++k)
            text[k] = static_cast<char>(text[k] ^ kScrambleKey[k % 5]);
        std::string whole = plain;
        ScrambleFileImage(whole);
        ASSERT_EQ(whole, file) << length;
        std::string asText = plain;
        ScrambleText(asText);
        ASSERT_EQ(asText, text) << length;
        for (size_t cut = 0; cut <= length; cut += 7) {
            std::string pieces = plain;
            ScrambleFileBytes(pieces.data(), cut, 0);
            ScrambleFileBytes(pieces.data() + cut, length - cut, cut);
            ASSERT_EQ(pieces, file) << length << " cut at " << cut;
        }
    }
}

// A literal walk over the lines, as the rules read: the reference that the
// indexed store must agree with.
class ReferenceStore {
public:
    Lines lines;

    static std::string Upper(std::string s)
    {
        for (char& c : s)
            if (c >= 'a' && c <= 'z')
                c = static_cast<char>(c - 32);
        return s;
    }
    int FindSection(const std::string& name) const
    {
        for (size_t i = 0; i < lines.size(); ++i) {
            const std::string line = Upper(lines[i]);
            if (!line.empty() && line[0] == '['
                && line.substr(1, line.size() >= 2 ? line.size() - 2 : 0) == Upper(name))
                return static_cast<int>(i);
        }
        return -1;
    }
    int FindKey(int h, const std::string& key) const
    {
        if (h < 0)
            return -1;
        for (size_t i = static_cast<size_t>(h) + 1; i < lines.size(); ++i) {
            const std::string& line = lines[i];
            if (line.empty() || line[0] == '[')
                return -1;
            const auto sep = line.find('=');
            if ((sep == std::string::npos ? std::string() : line.substr(0, sep)) == key)
                return static_cast<int>(i);
        }
        return -1;
    }
    std::string Read(const std::string& s, const std::string& k) const
    {
        const int i = FindKey(FindSection(s), k);
        if (i < 0)
            return "<none>";
        const auto sep = lines[static_cast<size_t>(i)].find('=');
        return sep == std::string::npos ? "" : lines[static_cast<size_t>(i)].substr(sep + 1);
    }
    void Write(const std::string& s, const std::string& k, const std::string& v)
    {
        int h = FindSection(s);
        if (h < 0) {
            lines.push_back("");
            lines.push_back("[" + s + "]");
            h = static_cast<int>(lines.size()) - 1;
        }
        const int i = FindKey(h, k);
        if (i >= 0)
            lines[static_cast<size_t>(i)] = k + "=" + v;
        else
            lines.insert(lines.begin() + h + 1, k + "=" + v);
    }
    void Erase(const std::string& s)
    {
        int h = FindSection(s);
        if (h < 0)
            return;
        if (h > 0 && lines[static_cast<size_t>(h) - 1].find_first_not_of(" \t") == std::string::npos) {
            lines.erase(lines.begin() + h - 1);
            --h;
        }
        lines.erase(lines.begin() + h);
        while (h < static_cast<int>(lines.size()) && !lines[static_cast<size_t>(h)].empty()
            && lines[static_cast<size_t>(h)][0] != '[')
            lines.erase(lines.begin() + h);
    }
};

TEST(IniList, AgreesWithALiteralWalkUnderRandomEdits)
{
    std::mt19937 rng(42);
    const char* sections[] = { "A", "a", "B", "Banner1", "Banner10", "Setups" };
    const char* keys[] = { "x", "X", "Count", "Name", "" };
    const char* stray[] = { "", "[A]", "[b]", "junk", "Count=stray", "  " };
    for (int run = 0; run < 200; ++run) {
        ReferenceStore reference;
        reference.lines = { "; NoTitle", "" };
        TIniList store;
        store.SetLines(reference.lines);
        for (int step = 0; step < 60; ++step) {
            const std::string s = sections[rng() % std::size(sections)];
            const std::string k = keys[rng() % std::size(keys)];
            switch (rng() % 5) {
            case 0:
            case 1: {
                const std::string v = std::to_string(rng() % 100);
                reference.Write(s, k, v);
                store.WriteString(s, k, v);
                break;
            }
            case 2:
                reference.Erase(s);
                store.EraseSection(s);
                break;
            case 3: { // a hand edit: insert a stray line somewhere, then reload the lines
                auto lines = store.Lines();
                const size_t at = rng() % (lines.size() + 1);
                lines.insert(lines.begin() + static_cast<long>(at), stray[rng() % std::size(stray)]);
                reference.lines = lines;
                store.SetLines(lines);
                break;
            }
            default:
                break;
            }
            ASSERT_EQ(store.Lines(), reference.lines) << "run " << run << " step " << step;
            for (const char* rs : sections)
                for (const char* rk : keys) {
                    const std::string expected = reference.Read(rs, rk);
                    ASSERT_EQ(store.ReadString(rs, rk, "<none>"), expected.empty() ? "<none>" : expected);
                }
        }
    }
}

} // namespace
} // namespace pw
