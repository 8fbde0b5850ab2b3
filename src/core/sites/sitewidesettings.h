#pragma once

// The whole-site choices kept in the general settings of Pagewick.ini: how
// many past runs of a setup are kept, and how many connections a setup's
// walks use.

#include "settings/inilist.h"

#include <cstddef>
#include <string>

namespace pw {

inline constexpr size_t kDefaultRunsToKeep = 20;
// 0: every run is kept.
size_t StoredRunsToKeep(const TIniList& store);
void StoreRunsToKeep(TIniList& store, size_t keep);

// 1 to 8; 4 where the setup has none stored.
int StoredSiteJobs(const TIniList& store, const std::string& setupName);
void StoreSiteJobs(TIniList& store, const std::string& setupName, int jobs);

} // namespace pw
