#include "networks/network.h"
#include "networks/registnumber.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace pw {
namespace {

std::unique_ptr<TNetwork> Parsed(const std::string& regist)
{
    auto network = std::make_unique<TNetwork>();
    network->Regist = regist;
    ParseRegist(*network);
    return network;
}

int IndexOf(const RegistForm& form, const TRegistField* field)
{
    for (size_t i = 0; i < form.Fields.size(); ++i)
        if (form.Fields[i].get() == field)
            return static_cast<int>(i) + 1;
    return 0;
}

// One entry as compact text: source|target|flags and options.
std::string Describe(const RegistForm& form, const TRegistField& f)
{
    std::string out = f.Source + "|" + f.Target;
    if (f.Required)
        out += "|required";
    if (f.Mirror)
        out += "|mirror";
    if (f.Continued)
        out += "|continued";
    if (f.Next)
        out += "|next=" + std::to_string(IndexOf(form, f.Next));
    if (f.Number != kNoNumber)
        out += "|number=" + std::to_string(f.Number);
    if (f.Pairs) {
        out += "|pairs=";
        for (size_t i = 0; i < f.Pairs->size(); ++i)
            out += (i ? "," : "") + std::to_string((*f.Pairs)[i]);
    }
    if (f.Cut)
        out += std::string("|cut=") + f.Cut;
    if (!f.RemoveText.empty())
        out += "|remove=" + f.RemoveText;
    if (!f.GuardName.empty())
        out += "|guard=" + f.GuardName;
    if (!f.Expected.empty())
        out += "|expected=" + f.Expected;
    return out;
}

// Every entry of every form, each line prefixed by its form's name.
std::vector<std::string> DescribeAll(const TNetwork& network)
{
    std::vector<std::string> lines;
    if (!network.Forms)
        return lines;
    for (const RegistForm& form : *network.Forms)
        for (const auto& field : form.Fields)
            lines.push_back(form.Name + ":" + Describe(form, *field));
    return lines;
}

TEST(ParseRegist, WorkedExampleGivesItsTable)
{
    auto network = Parsed("reg:EMail=*email;Name1=*name;NameM=name;Name2=name;Addr1=*pref;#1#Zip=zip;(-)"
                          "Phone=tel1;<3<AccountType=kind;#0:0:1:1:#Name1==AccountName; ");
    ASSERT_TRUE(network->Forms);
    ASSERT_EQ(network->Forms->size(), 1u);
    const RegistForm& form = network->Forms->front();
    EXPECT_EQ(form.Name, "reg");
    EXPECT_EQ(DescribeAll(*network),
        (std::vector<std::string> {
            "reg:EMail|email|required",
            "reg:Name1|name|required|next=3",
            "reg:NameM|name|continued|next=4",
            "reg:Name2|name|continued",
            "reg:Addr1|pref|required|number=1",
            "reg:Zip|zip|remove=-",
            "reg:Phone|tel1|number=3|cut=<",
            "reg:AccountType|kind|number=2|pairs=0,0,1,1",
            "reg:Name1|AccountName|mirror",
        }));
    // Sources are looked up in the field map; the chain members keep their order.
    EXPECT_EQ(form.Fields[0]->Control, ProfileField::EMail);
    EXPECT_EQ(form.Fields[2]->Control, ProfileField::NameM);
    EXPECT_EQ(form.Fields[7]->Control, ProfileField::AccountType);
    EXPECT_FALSE(form.Fields[1]->Continued);
}

struct RegistCase {
    const char* name;
    std::string regist;
    std::vector<std::string> expected;
};

// Failure messages and test names show the case's name, not its raw bytes.
void PrintTo(const RegistCase& c, std::ostream* os)
{
    *os << c.name;
}

class RegistCases : public ::testing::TestWithParam<RegistCase> { };

TEST_P(RegistCases, Parses)
{
    EXPECT_EQ(DescribeAll(*Parsed(GetParam().regist)), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(ParseRegist, RegistCases,
    ::testing::Values(
        // The last character is never examined.
        RegistCase { "FinalSemicolonUnexamined", "f:Name1=n;", { "f:Name1|" } },
        RegistCase { "TrailingBlankCompletesTarget", "f:Name1=n; ", { "f:Name1|n" } },
        RegistCase { "CutClosingAtEndIsNotCollected", "f:Phone=tel;<12<", { "f:Phone|tel|number=1|cut=<" } },
        RegistCase { "CutWithOneMoreCharacter", "f:Phone=tel;<12< ", { "f:Phone|tel|number=12|cut=<" } },
        RegistCase { "CutNotANumberGivesOne", "f:Phone=tel;<x< ", { "f:Phone|tel|number=1|cut=<" } },
        RegistCase { "LastBytesAndFromByte", "f:Phone=a;>4>Fax=b;{2{ ",
            { "f:Phone|a|number=4|cut=>", "f:Fax|b|number=2|cut={" } },
        RegistCase { "ListOffset", "f:Addr1=pref;#7# ", { "f:Addr1|pref|number=7" } },
        RegistCase { "ListOffsetNotANumber", "f:Addr1=pref;#abc# ", { "f:Addr1|pref" } },
        RegistCase { "NegativeOffset", "f:Addr1=pref;#-1# ", { "f:Addr1|pref|number=-1" } },
        RegistCase { "PairsWithTextAfterLastColon", "f:AccountType=kind;#0:5:1:6:9# ",
            { "f:AccountType|kind|number=2|pairs=0,5,1,6" } },
        RegistCase { "PairsBadNumberIsZeroOddCountRoundsDown", "f:AccountType=kind;#x:5:1:# ",
            { "f:AccountType|kind|number=1|pairs=0,5,1" } },
        RegistCase { "NumberOutOfRangeIsNotANumber", "f:Addr1=pref;#2147483648# ", { "f:Addr1|pref" } },
        RegistCase { "GuardAndExpected", "f:EMail=mail;!mail2!EMail=mail2;$@$ ",
            { "f:EMail|mail|guard=mail2", "f:EMail|mail2|expected=@" } },
        RegistCase { "ChainOfThree", "f:Name1=n;NameM=n;Name2=n; ",
            { "f:Name1|n|next=2", "f:NameM|n|continued|next=3", "f:Name2|n|continued" } },
        // "%" after an entry's ";" keeps that entry out of earlier chains; a
        // later entry of the same target joins it.
        RegistCase { "PercentStartsANewChain", "f:Name1=n;Name2=n;%Zip=n; ",
            { "f:Name1|n", "f:Name2|n|next=3", "f:Zip|n|continued" } },
        RegistCase { "PercentOnFirstEntryChangesNothing", "f:Name1=n;%Name2=n; ",
            { "f:Name1|n|next=2", "f:Name2|n|continued" } },
        // With the final ";" unexamined the second entry gets no target.
        RegistCase { "UnexaminedSemicolonLeavesNoChain", "f:Name1=n;Name2=n;", { "f:Name1|n", "f:Name2|" } },
        RegistCase { "ChainsStayInsideTheirForm", "a:Name1=n;b:Name2=n; ", { "a:Name1|n", "b:Name2|n" } },
        RegistCase { "TwoForms", "a:EMail=m;b:Zip=z; ", { "a:EMail|m", "b:Zip|z" } },
        RegistCase { "BlanksAndBreaksBelongToNames", "f:\r\nName1 = n ;x", { "f:\r\nName1 | n " } },
        RegistCase { "LiteralSource", "f:\"-\"=tel; ", { "f:\"-\"|tel" } }),
    [](const ::testing::TestParamInfo<RegistCase>& info) { return std::string(info.param.name); });

TEST(ParseRegist, SeparateEntryTakesNoOption)
{
    // "%" ends the entry: the "#" after it is part of the next token.
    auto network = Parsed("f:Addr1=pref;%#3#Zip=z; ");
    EXPECT_EQ(DescribeAll(*network), (std::vector<std::string> { "f:Addr1|pref", "f:#3#Zip|z" }));
}

TEST(ParseRegist, SourcesAreLookedUpIgnoringCase)
{
    auto network = Parsed("f:accountNUMBER=a;\"-\"=b;Nmae1=c; ");
    const auto& fields = network->Forms->front().Fields;
    EXPECT_EQ(fields[0]->Control, ProfileField::AccountNumber);
    EXPECT_EQ(fields[1]->Control, ProfileField::None); // a literal
    EXPECT_EQ(fields[2]->Control, ProfileField::None); // a misspelt name
}

TEST(ParseRegist, ShortTextsLeaveFormsAbsentOrEmpty)
{
    for (const char* text : { "", ":" }) {
        auto network = Parsed(text);
        EXPECT_FALSE(network->Forms) << '"' << text << '"';
    }
    // Once Forms exists, a later parse of a short text empties it.
    auto network = Parsed("f:EMail=m; ");
    ASSERT_EQ(network->Forms->size(), 1u);
    network->Regist = "x";
    ParseRegist(*network);
    ASSERT_TRUE(network->Forms);
    EXPECT_TRUE(network->Forms->empty());
}

TEST(ParseRegist, ReparseRebuildsForms)
{
    auto network = Parsed("f:EMail=m; ");
    network->Regist = "g:Zip=z;Fax=y; ";
    ParseRegist(*network);
    EXPECT_EQ(DescribeAll(*network), (std::vector<std::string> { "g:Zip|z", "g:Fax|y" }));
}

TEST(ParseRegist, PiecesOutsideAFormAreSkipped)
{
    // An entry before any form header (with its option), and a ";" before any
    // entry: skipped; the text after them parses as usual.
    auto network = Parsed("EMail=m;#5#f:Zip=z; ");
    EXPECT_EQ(DescribeAll(*network), (std::vector<std::string> { "f:Zip|z" }));
    network = Parsed(";(x)f:Zip=z; ");
    EXPECT_EQ(DescribeAll(*network), (std::vector<std::string> { "f:Zip|z" }));
    network = Parsed("a;b;c=;=;:; ");
    ASSERT_TRUE(network->Forms);
    ASSERT_EQ(network->Forms->size(), 1u);
    EXPECT_EQ(network->Forms->front().Name, "");
    EXPECT_TRUE(network->Forms->front().Fields.empty());
}

TEST(ParseRegist, SecondSemicolonNeverChainsAnEntryToItself)
{
    // "x;" after the entry completes it again with the same target: without
    // care the entry would become its own successor and a fill would loop.
    auto network = Parsed("f:Name1=n;n;Name2=n; ");
    const auto& fields = network->Forms->front().Fields;
    ASSERT_EQ(fields.size(), 2u);
    EXPECT_NE(fields[0]->Next, fields[0].get());
    EXPECT_EQ(fields[0]->Next, fields[1].get());
    EXPECT_EQ(fields[1]->Next, nullptr);

    // The same happens to any entry completed with an empty target.
    network = Parsed("f:Name1=;x");
    ASSERT_EQ(network->Forms->front().Fields.size(), 1u);
    EXPECT_EQ(network->Forms->front().Fields[0]->Next, nullptr);
}

TEST(ParseDecimal, SignedThirtyTwoBit)
{
    const struct {
        const char* text;
        bool ok;
        int32_t value;
    } cases[] = {
        { "0", true, 0 },
        { "-12", true, -12 },
        { "+7", true, 7 },
        { "2147483647", true, INT32_MAX },
        { "-2147483648", true, INT32_MIN },
        { "2147483648", false, 0 },
        { "", false, 0 },
        { "-", false, 0 },
        { " 1", false, 0 },
        { "1a", false, 0 },
        { "0x1", false, 0 },
    };
    for (const auto& c : cases) {
        int32_t value = 99;
        EXPECT_EQ(ParseDecimal(c.text, value), c.ok) << c.text;
        if (c.ok) {
            EXPECT_EQ(value, c.value) << c.text;
        }
    }
}

} // namespace
} // namespace pw
