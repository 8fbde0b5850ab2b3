// The networks area's repeated work: parsing every network's Regist when the
// login menu is rebuilt, one signup checker tick over a long signup form (in
// memory, so the figure is the core's own cost without the browser calls),
// and merging a definitions file of N networks into a list of N networks.
// Baselines of the same run (see baseline.h): a memchr pass over the Regist
// text (parsing, signup tick) or over the definitions text (merging).
#include "baseline.h"
#include "core/networks/fakedom.h"
#include "networks/definitions.h"
#include "networks/login.h"
#include "networks/network.h"
#include "networks/signupfill.h"

#include <benchmark/benchmark.h>

#include <string>

namespace {

using namespace pw;

// A Regist text of `entries` rules over the profile fields, with chains and
// options; each round of twelve rules has targets of its own.
std::string RegistText(int entries)
{
    static const char* const sources[] = { "EMail=*", "Name1=*", "NameM=", "Name2=", "Addr1=*",
        "Zip=", "Phone=", "Phone=", "AccountType=", "SiteUrl=", "\"-\"=", "Fax=" };
    static const char* const targets[]
        = { "email", "name", "name", "name", "pref", "zip", "tel1", "tel2", "kind", "url", "fax", "fax" };
    static const char* const options[]
        = { "", "", "", "", "#1#", "(-)", "<3<", "{5{", "#0:1:1:0:#", "", "", ">4>" };
    std::string text = "reg:";
    for (int i = 0; i < entries; ++i) {
        const int k = i % 12;
        const std::string round = i < 12 ? "" : std::to_string(i / 12);
        text += std::string(sources[k]) + targets[k] + round + ";" + options[k];
    }
    return text + " ";
}

void BM_ParseRegist(benchmark::State& state)
{
    TNetwork network;
    network.Regist = RegistText(static_cast<int>(state.range(0)));
    const double baseline = bench::MemchrSeconds(network.Regist);
    for (auto _ : state) {
        ParseRegist(network);
        benchmark::DoNotOptimize(network.Forms->front().Fields.size());
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(network.Regist.size()));
    bench::ReportBaseline(state, baseline);
}
BENCHMARK(BM_ParseRegist)->Arg(12)->Arg(120);

void BM_SignupTick(benchmark::State& state)
{
    NetworkList networks;
    networks.push_back(std::make_unique<TNetwork>());
    TNetwork& network = *networks[0];
    network.Regist = RegistText(static_cast<int>(state.range(0)));
    ParseRegist(network);
    test::FakeWindow window;
    test::FakeNodes elements;
    for (const auto& field : network.Forms->front().Fields)
        elements.push_back(test::Element(field->Target, field->Target.starts_with("kind") ? "radio" : "text"));
    for (const auto& field : network.Forms->front().Fields)
        if (field->Target.starts_with("kind"))
            elements.push_back(test::Element(field->Target, "radio"));
    window.document->forms = { test::Form("search", {}), test::Form("reg", elements) };
    network.SignupBrowser = &window;
    TSiteInfo profile;
    profile.EMail = "me@example.jp";
    profile.Name1 = "a";
    profile.Name2 = "b";
    profile.Zip = "123-4567";
    profile.Phone = "03-1234-5678";
    profile.Addr1 = 13;
    ProfileSignupValues values(profile, "u", "p");
    const double baseline = bench::MemchrSeconds(network.Regist);
    for (auto _ : state) {
        // Elements without a number are written only while empty: empty them so
        // every tick does the full work.
        for (auto& e : elements)
            e->value.clear();
        benchmark::DoNotOptimize(FillSignupForms(networks, values));
    }
    bench::ReportBaseline(state, baseline);
}
BENCHMARK(BM_SignupTick)->Arg(12)->Arg(120);

void BM_ImportNetworks(benchmark::State& state)
{
    const int n = static_cast<int>(state.range(0));
    NetworkList source;
    for (int i = 0; i < n; ++i) {
        source.push_back(std::make_unique<TNetwork>());
        source.back()->System = "S" + std::to_string(i);
        source.back()->Name = "Network " + std::to_string(i);
        source.back()->Regist = RegistText(24);
    }
    TIniList scratch;
    const std::string text = ExportNetworksText(scratch, source, 2);
    const double baseline = bench::MemchrSeconds(text);
    for (auto _ : state) {
        state.PauseTiming();
        NetworkList list;
        for (int i = 0; i < n; ++i) {
            list.push_back(std::make_unique<TNetwork>());
            list.back()->System = "S" + std::to_string(n - 1 - i);
            list.back()->SetLogin("Basic", "u", "p");
        }
        state.ResumeTiming();
        int version = 1;
        benchmark::DoNotOptimize(ImportNetworks(scratch, text, list, version));
    }
    bench::ReportBaseline(state, baseline);
}
BENCHMARK(BM_ImportNetworks)->Arg(50)->Arg(500);

} // namespace
PAGEWICK_BENCHMARK_MAIN()
