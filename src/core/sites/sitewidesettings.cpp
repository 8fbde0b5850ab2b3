#include "sites/sitewidesettings.h"

#include <algorithm>

namespace pw {

namespace {

constexpr std::string_view kSection = "SiteWide";
constexpr std::string_view kRunsToKeepKey = "KeepRuns";
constexpr int kDefaultJobs = 4;

// A setup's name may hold any byte, "=" and "]" among them: its key spells
// the bytes in hexadecimal.
std::string JobsKey(const std::string& setupName)
{
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string key = "Jobs_";
    for (const unsigned char c : setupName) {
        key += kHex[c >> 4];
        key += kHex[c & 15];
    }
    return key;
}

} // namespace

size_t StoredRunsToKeep(const TIniList& store)
{
    const int keep = store.ReadInteger(kSection, kRunsToKeepKey, static_cast<int>(kDefaultRunsToKeep));
    return keep < 0 ? kDefaultRunsToKeep : static_cast<size_t>(keep);
}

void StoreRunsToKeep(TIniList& store, size_t keep)
{
    store.WriteInteger(kSection, kRunsToKeepKey, static_cast<int>(std::min<size_t>(keep, 9999)));
}

int StoredSiteJobs(const TIniList& store, const std::string& setupName)
{
    const int jobs = store.ReadInteger(kSection, JobsKey(setupName), kDefaultJobs);
    return jobs >= 1 && jobs <= 8 ? jobs : kDefaultJobs;
}

void StoreSiteJobs(TIniList& store, const std::string& setupName, int jobs)
{
    store.WriteInteger(kSection, JobsKey(setupName), std::clamp(jobs, 1, 8));
}

} // namespace pw
