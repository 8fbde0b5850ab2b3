// Fuzzes the Regist parser and then fills a page built from the parsed forms,
// so that chains, cuts, pairs and offsets of arbitrary texts are exercised.

#include "core/networks/fakedom.h"
#include "networks/network.h"
#include "networks/signupfill.h"

#include <cstdint>
#include <cstdlib>
#include <string>

using namespace pw;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    NetworkList networks;
    networks.push_back(std::make_unique<TNetwork>());
    TNetwork& network = *networks[0];
    network.Regist.assign(reinterpret_cast<const char*>(data), size);
    ParseRegist(network);
    ParseRegist(network); // a second parse reuses Forms

    if (!network.Forms)
        return 0;
    // Every chain must end: links only ever point to later entries of the form.
    for (const TRegistForm& form : *network.Forms) {
        for (size_t i = 0; i < form.Fields.size(); ++i) {
            size_t steps = 0;
            for (const TRegistField* f = form.Fields[i].get(); f; f = f->Next)
                if (++steps > form.Fields.size())
                    std::abort();
        }
    }

    // A page holding every form with an element (text and radio) per target.
    test::FakeWindow window;
    for (const TRegistForm& form : *network.Forms) {
        test::FakeNodes elements;
        for (const auto& field : form.Fields) {
            elements.push_back(test::Element(field->Target, "text", field->Expected));
            elements.push_back(test::Element(field->Target, "radio"));
        }
        window.document->forms.push_back(test::Form(form.Name, elements));
    }
    network.SignupBrowser = &window;
    TSiteInfo profile;
    profile.Name1 = "\x8eR\x93"
                    "c";
    profile.Zip = "123-4567";
    profile.Phone = "03-1234-5678";
    profile.Addr1 = static_cast<int32_t>(size % 50);
    profile.AccountType = static_cast<int32_t>(size % 3);
    ProfileSignupValues values(profile, "user", "pass");
    FillSignupForms(networks, values);
    return 0;
}
