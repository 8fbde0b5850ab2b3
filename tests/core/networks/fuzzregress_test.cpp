// Inputs the fuzz targets found, run through the same checks.
#include "core/networks/fakedom.h"
#include "networks/definitions.h"
#include "networks/network.h"
#include "networks/signupfill.h"

#include "base/files.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace pw {
namespace {

std::vector<std::filesystem::path> Inputs(std::string_view prefix)
{
    std::vector<std::filesystem::path> files;
    for (const auto& entry :
        std::filesystem::directory_iterator(std::string(PAGEWICK_TEST_DATA) + "/networks/fuzz"))
        if (entry.path().filename().string().starts_with(prefix))
            files.push_back(entry.path());
    return files;
}

TEST(FuzzRegressions, RegistInputsParseIntoFiniteChainsAndFill)
{
    const auto files = Inputs("regist-");
    ASSERT_FALSE(files.empty());
    for (const auto& path : files) {
        NetworkList networks;
        networks.push_back(std::make_unique<TNetwork>());
        TNetwork& network = *networks[0];
        ASSERT_TRUE(ReadWholeFile(path.string(), network.Regist).ok);
        ParseRegist(network);
        ASSERT_TRUE(network.Forms) << path;
        test::FakeWindow window;
        for (const RegistForm& form : *network.Forms) {
            test::FakeNodes elements;
            for (const auto& field : form.Fields) {
                size_t steps = 0;
                for (const TRegistField* f = field.get(); f; f = f->Next)
                    ASSERT_LE(++steps, form.Fields.size()) << path;
                elements.push_back(test::Element(field->Target));
            }
            window.document->forms.push_back(test::Form(form.Name, elements));
        }
        network.SignupBrowser = &window;
        TSiteInfo profile;
        profile.Zip = "1";
        ProfileSignupValues values(profile, "u", "p");
        EXPECT_TRUE(FillSignupForms(networks, values).empty()) << path;
    }
}

TEST(FuzzRegressions, DefinitionsInputsMergeWithoutHarm)
{
    for (const auto& path : Inputs("definitions-")) {
        std::string text;
        ASSERT_TRUE(ReadWholeFile(path.string(), text).ok);
        NetworkList networks;
        networks.push_back(std::make_unique<TNetwork>());
        networks.back()->Name = "mine";
        TIniList scratch;
        int version = 1;
        ImportNetworks(scratch, text, networks, version);
        ASSERT_FALSE(networks.empty()) << path;
        EXPECT_EQ(networks[0]->Name, "mine") << path;
    }
}

} // namespace
} // namespace pw
