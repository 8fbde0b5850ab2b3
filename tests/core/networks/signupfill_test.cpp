#include "core/networks/fakedom.h"
#include "networks/signupfill.h"
#include "text/codec.h"

#include <gtest/gtest.h>

namespace pw {
namespace {

using test::Element;
using test::FakeDocument;
using test::FakeWindow;
using test::Form;

const std::string kYamada = "\x8eR\x93"
                            "c"; // 山田
const std::string kTaro = "\x91\xbe\x98Y"; // 太郎

TSiteInfo Profile()
{
    TSiteInfo p;
    p.SetupName = "P";
    p.EMail = "me@example.jp";
    p.Name1 = kYamada;
    p.Name2 = kTaro;
    p.Zip = "123-4567";
    p.Phone = "03-1234-5678";
    p.Addr1 = 13; // 東京都
    p.AccountType = 0;
    return p;
}

// A network whose signup window is `window`, with its Regist parsed.
struct Fixture {
    explicit Fixture(std::string regist)
    {
        networks.push_back(std::make_unique<TNetwork>());
        network().Regist = std::move(regist);
        network().System = "S";
        ParseRegist(network());
        network().SignupBrowser = &window;
    }
    TNetwork& network() { return *networks[0]; }
    std::vector<SignupWindow*> Tick() { return FillSignupForms(networks, values); }

    NetworkList networks;
    FakeWindow window;
    TSiteInfo profile = Profile();
    ProfileSignupValues values { profile, "login-me", "pw" };
};

TEST(SignupFill, FillsEmptyElementsOnlyAndLeavesTypedTextAlone)
{
    Fixture f("reg:EMail=*email;Zip=zip;Phone=tel; ");
    auto email = Element("email"), zip = Element("zip", "text", "999"), tel = Element("tel");
    f.window.document->forms = { Form("reg", { email, zip, tel }) };
    EXPECT_TRUE(f.Tick().empty());
    EXPECT_EQ(email->value, "me@example.jp");
    EXPECT_EQ(zip->value, "999"); // pre-filled by the page
    EXPECT_EQ(tel->value, "03-1234-5678");

    // The user edits the page; the next tick leaves the edits alone.
    email->value = "typed@x";
    f.profile.EMail = "other@x";
    f.Tick();
    EXPECT_EQ(email->value, "typed@x");
    EXPECT_EQ(email->writes, 1);
}

TEST(SignupFill, ExpectedValueOptionFillsOnlyOverThatText)
{
    Fixture f("reg:EMail=a;$@$EMail=b;$@$ ");
    auto a = Element("a", "text", "@"), b = Element("b", "text", "");
    f.window.document->forms = { Form("reg", { a, b }) };
    f.Tick();
    EXPECT_EQ(a->value, "me@example.jp");
    EXPECT_EQ(b->value, ""); // empty differs from "@"
}

TEST(SignupFill, FormChoice)
{
    struct Case {
        const char* name;
        std::string regist;
        std::vector<std::string> pageForms;
        int filled; // index of the page form that gets the value, -1 for none
    } cases[] = {
        { "EarlierDefinitionWins", "b:EMail=m;a:EMail=m; ", { "a", "b" }, 1 },
        { "ByPositionWhenNoNameMatches", "1:EMail=m; ", { "x", "y" }, 1 },
        { "NameBeforePosition", "1:EMail=m; ", { "1x", "1" }, 1 },
        { "ZeroIsTheFirstForm", "0:EMail=m; ", { "x", "y" }, 0 },
        { "PositionBeyondTheForms", "5:EMail=m; ", { "x", "y" }, -1 },
        { "NoDefinitionMatches", "reg:EMail=m; ", { "x", "y" }, -1 },
    };
    for (const Case& c : cases) {
        Fixture f(c.regist);
        std::vector<std::shared_ptr<test::FakeNode>> fields;
        for (const std::string& name : c.pageForms) {
            fields.push_back(Element("m"));
            f.window.document->forms.push_back(Form(name, { fields.back() }));
        }
        EXPECT_TRUE(f.Tick().empty()) << c.name;
        for (size_t i = 0; i < fields.size(); ++i)
            EXPECT_EQ(fields[i]->value, int(i) == c.filled ? "me@example.jp" : "") << c.name << " form " << i;
    }
}

TEST(SignupFill, FramesAreExaminedOnlyWhenThePageHasNoForm)
{
    // The page has a form of its own: the frame holding "reg" is not examined.
    {
        Fixture f("reg:EMail=m; ");
        auto inFrame = Element("m");
        auto frame = std::make_shared<FakeDocument>();
        frame->forms = { Form("reg", { inFrame }) };
        f.window.document->forms = { Form("search", { Element("q") }) };
        f.window.document->frames = { frame };
        f.Tick();
        EXPECT_EQ(inFrame->value, "");
    }
    // A frameset whose second frame holds "reg"; the first frame has no form.
    {
        Fixture f("reg:EMail=m; ");
        auto inFrame = Element("m");
        auto menu = std::make_shared<FakeDocument>(), main = std::make_shared<FakeDocument>();
        main->forms = { Form("reg", { inFrame }) };
        f.window.document->frames = { menu, main };
        EXPECT_TRUE(f.Tick().empty());
        EXPECT_EQ(inFrame->value, "me@example.jp");
    }
    // Every frame with a matching form gets filled, one form per document.
    {
        Fixture f("reg:EMail=m; ");
        auto first = Element("m"), second = Element("m"), other = Element("m");
        auto a = std::make_shared<FakeDocument>(), b = std::make_shared<FakeDocument>();
        a->forms = { Form("reg", { first }), Form("reg", { other }) };
        b->forms = { Form("reg", { second }) };
        f.window.document->frames = { a, b };
        f.Tick();
        EXPECT_EQ(first->value, "me@example.jp");
        EXPECT_EQ(second->value, "me@example.jp");
        EXPECT_EQ(other->value, "");
    }
    // A frame of another origin (an ad's) is skipped; the page's own frame
    // after it is still filled.
    {
        Fixture f("reg:EMail=m; ");
        auto foreign = Element("m"), own = Element("m");
        auto ad = std::make_shared<FakeDocument>(), main = std::make_shared<FakeDocument>();
        ad->forms = { Form("reg", { foreign }) };
        ad->otherOrigin = true;
        main->forms = { Form("reg", { own }) };
        f.window.document->frames = { ad, main };
        EXPECT_TRUE(f.Tick().empty());
        EXPECT_EQ(foreign->value, "");
        EXPECT_EQ(own->value, "me@example.jp");
    }
    // Frames inside frames are not examined.
    {
        Fixture f("reg:EMail=m; ");
        auto deep = Element("m");
        auto outer = std::make_shared<FakeDocument>(), inner = std::make_shared<FakeDocument>();
        inner->forms = { Form("reg", { deep }) };
        outer->frames = { inner };
        f.window.document->frames = { outer };
        EXPECT_TRUE(f.Tick().empty());
        EXPECT_EQ(deep->value, "");
    }
}

TEST(SignupFill, ChainsJoinTheirValuesInTextOrder)
{
    Fixture f("reg:Name1=name;NameM=name;Name2=name;\"-\"=zip;Zip=zip;\"\"=x;Nmae1=x; ");
    auto name = Element("name"), zip = Element("zip"), x = Element("x");
    f.window.document->forms = { Form("reg", { name, zip, x }) };
    f.Tick();
    EXPECT_EQ(codec::DecodeSjis(name->value), "山田\u3000太郎");
    EXPECT_EQ(zip->value, "-123-4567");
    // An empty literal and a misspelt field contribute nothing: nothing is written.
    EXPECT_EQ(x->writes, 0);
}

TEST(SignupFill, RemoveTextAndCuts)
{
    struct Case {
        const char* regist;
        std::string initial;
        std::string expected;
    } cases[] = {
        // Without a number the element must be empty to be filled; with a cut
        // option it is written at every tick, whatever it holds.
        { "reg:Zip=t;(-) ", "", "1234567" },
        { "reg:Phone=t;(03-) ", "", "1234-5678" },
        { "reg:Phone=t;<2< ", "stale", "03" },
        { "reg:Phone=t;<99< ", "stale", "03-1234-5678" },
        { "reg:Phone=t;<0< ", "stale", "" },
        { "reg:Phone=t;>4> ", "stale", "5678" },
        { "reg:Phone=t;>99> ", "stale", "03-1234-5678" },
        { "reg:Phone=t;>-1> ", "stale", "" },
        { "reg:Phone=t;{4{ ", "stale", "1234-5678" },
        { "reg:Phone=t;{1{ ", "stale", "03-1234-5678" },
        { "reg:Phone=t;{-5{ ", "stale", "03-1234-5678" },
        { "reg:Phone=t;{13{ ", "stale", "" },
        { "reg:Phone=t;{12{ ", "stale", "8" },
    };
    for (const auto& c : cases) {
        Fixture f(c.regist);
        auto t = Element("t", "text", c.initial);
        f.window.document->forms = { Form("reg", { t }) };
        f.Tick();
        EXPECT_EQ(t->value, c.expected) << c.regist;
    }
}

TEST(SignupFill, ListOffsetChoosesAndFollowsTheDialog)
{
    Fixture f("reg:Addr1=pref;#1# ");
    auto pref = Element("pref", "select-one");
    pref->selectedIndex = 0;
    f.window.document->forms = { Form("reg", { pref }) };
    f.Tick();
    EXPECT_EQ(pref->selectedIndex, 14); // 東京都 is 13 in the dialog
    pref->selectedIndex = 3; // the user picks another entry in the page
    f.Tick();
    EXPECT_EQ(pref->selectedIndex, 14);
    f.profile.Addr1 = 1;
    f.Tick();
    EXPECT_EQ(pref->selectedIndex, 2);
}

TEST(SignupFill, ListPairsTickRadioButtons)
{
    Fixture f("reg:AccountType=kind;#0:1:1:0:# ");
    auto first = Element("kind", "radio", "futsu"), second = Element("kind", "Radio", "toza");
    f.window.document->forms = { Form("reg", { first, second }) };
    f.Tick();
    EXPECT_FALSE(first->checked);
    EXPECT_TRUE(second->checked); // 普通 (0) maps to the second button
    f.profile.AccountType = 1;
    f.Tick();
    EXPECT_TRUE(first->checked);
}

TEST(SignupFill, ListOptionsThatCannotApplyWriteNothing)
{
    struct Case {
        const char* name;
        const char* regist;
    } cases[] = {
        { "ListOptionOnATextSource", "reg:Zip=t;#1# " },
        { "OddPairCountWhoseLastNumberMatches", "reg:AccountType=t;#1:1:0:# " },
        // No chosen entry gives an empty value: the entry is skipped.
        { "NoChosenEntry", "reg:Addr1=t;#0# " },
    };
    for (const auto& c : cases) {
        Fixture f(c.regist);
        f.profile.Addr1 = 99; // outside the prefecture list: no chosen entry
        auto select = Element("t", "select-one");
        select->selectedIndex = 7;
        f.window.document->forms = { Form("reg", { select }) };
        f.Tick();
        EXPECT_EQ(select->selectedIndex, 7) << c.name;
        EXPECT_EQ(select->writes, 0) << c.name;
    }
    // A radio group with no button at the computed index is left alone.
    Fixture f("reg:AccountType=r;#3# ");
    auto radio = Element("r", "radio");
    f.window.document->forms = { Form("reg", { radio }) };
    f.Tick();
    EXPECT_EQ(radio->writes, 0);
}

TEST(SignupFill, GuardElementHoldingTheValueSkipsTheEntry)
{
    Fixture f("reg:EMail=a;!confirm!EMail=b;!other! ");
    auto a = Element("a"), b = Element("b"), confirm = Element("confirm", "text", "me@example.jp"),
         other = Element("other", "text", "x");
    f.window.document->forms = { Form("reg", { a, b, confirm, other }) };
    f.Tick();
    EXPECT_EQ(a->value, "");
    EXPECT_EQ(b->value, "me@example.jp");
}

TEST(SignupFill, UnreadableValueFallsBackToTheSecondElementOfThatName)
{
    Fixture f("reg:EMail=m; ");
    auto label = Element("m", "label"), input = Element("m");
    label->hasValue = false;
    f.window.document->forms = { Form("reg", { label, input }) };
    f.Tick();
    EXPECT_EQ(input->value, "me@example.jp");
}

TEST(SignupFill, AFailingEntryDoesNotStopTheOthers)
{
    Fixture f("reg:EMail=a;Zip=b;Phone=c;Name1=missing; ");
    auto a = Element("a"), b = Element("b"), c = Element("c");
    b->failWrites = true;
    a->hasValue = false; // and no second element of that name
    f.window.document->forms = { Form("reg", { a, b, c }) };
    EXPECT_TRUE(f.Tick().empty());
    EXPECT_EQ(c->value, "03-1234-5678");
    EXPECT_EQ(f.network().SignupBrowser, &f.window);
}

TEST(SignupFill, MirrorAndContinuedEntriesAreNotFilledOnTheirOwn)
{
    Fixture f("reg:Name1==AccountName;Name1=n;Name2=n;Name2=only; ");
    auto accountName = Element("AccountName"), n = Element("n"), only = Element("only");
    f.window.document->forms = { Form("reg", { accountName, n, only }) };
    f.Tick();
    EXPECT_EQ(accountName->writes, 0);
    EXPECT_EQ(n->value, kYamada + kTaro);
    EXPECT_EQ(n->writes, 1);
    EXPECT_EQ(only->value, kTaro);
}

TEST(SignupFill, LoginValuesComeFromTheValues)
{
    Fixture f("reg:User=id;Password=pw;Country=c;AffType=t;Addr1=p; ");
    auto id = Element("id"), pw = Element("pw"), c = Element("c"), t = Element("t"), p = Element("p");
    f.profile.Company = " K ";
    f.window.document->forms = { Form("reg", { id, pw, c, t, p }) };
    f.Tick();
    EXPECT_EQ(id->value, "login-me");
    EXPECT_EQ(pw->value, "pw");
    EXPECT_EQ(codec::DecodeSjis(c->value), "日本");
    EXPECT_EQ(codec::DecodeSjis(t->value), "法人");
    EXPECT_EQ(codec::DecodeSjis(p->value), "東京都");
}

TEST(SignupFill, UnusableWindowsAreDropped)
{
    struct Case {
        const char* name;
        void (*breakIt)(FakeWindow&);
    } cases[] = {
        { "Closed", [](FakeWindow& w) { w.closed = true; } },
        { "NotAnHtmlDocument", [](FakeWindow& w) { w.document->formsFail = true; } },
        { "FrameWithoutDocument", [](FakeWindow& w) { w.document->frames = { nullptr }; } },
    };
    for (const auto& c : cases) {
        Fixture f("reg:EMail=m; ");
        c.breakIt(f.window);
        EXPECT_EQ(f.Tick(), (std::vector<SignupWindow*> { &f.window })) << c.name;
        EXPECT_EQ(f.network().SignupBrowser, nullptr) << c.name;
        EXPECT_TRUE(f.Tick().empty()) << c.name; // nothing left to look at
    }
}

TEST(SignupFill, PageStillLoadingIsLeftForTheNextTick)
{
    Fixture f("reg:EMail=m; ");
    auto m = Element("m");
    f.window.document->forms = { Form("reg", { m }) };
    f.window.readyState = 3;
    EXPECT_TRUE(f.Tick().empty());
    EXPECT_EQ(m->value, "");
    EXPECT_EQ(f.network().SignupBrowser, &f.window);
    f.window.readyState = kReadyStateComplete;
    f.Tick();
    EXPECT_EQ(m->value, "me@example.jp");
}

TEST(SignupFill, NetworksWithoutFormsOrWindowAreSkipped)
{
    Fixture f("reg:EMail=m; ");
    auto m = Element("m");
    f.window.document->forms = { Form("reg", { m }) };
    f.network().Forms.reset();
    f.Tick();
    EXPECT_EQ(m->writes, 0);
    ParseRegist(f.network());
    f.network().SignupBrowser = nullptr;
    EXPECT_TRUE(f.Tick().empty());
    EXPECT_EQ(m->writes, 0);
}

TEST(RemoveAll, StepsOverDoubleByteCharacters)
{
    EXPECT_EQ(RemoveAll("a-b-c", "-"), "abc");
    EXPECT_EQ(RemoveAll("aaaa", "aa"), "");
    EXPECT_EQ(RemoveAll("aaa", "aa"), "a");
    EXPECT_EQ(RemoveAll("abc", ""), "abc");
    // "ソ" is 83 5C: its trail byte is a backslash, which is not removed.
    EXPECT_EQ(RemoveAll("\x83\x5C\\", "\\"), "\x83\x5C");
}

} // namespace
} // namespace pw
