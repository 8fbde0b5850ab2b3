#pragma once

#include "base/result.h"
#include "catalogue/banner.h"
#include "reports/reportimport.h"

#include <cstdint>
#include <ctime>
#include <limits>
#include <map>
#include <set>
#include <string>
#include <string_view>
#include <vector>

struct sqlite3;

// The history of imported report figures: "stats.sqlite" in the settings
// folder, an SQLite database in WAL mode. Per banner (by its stable id, so that
// a renamed or deleted banner keeps its history) and month it holds page views,
// clicks and revenue, beside a log of the imports and the column mapping last
// used for each network. Texts go in and out as program text (Shift_JIS) and
// are kept as UTF-8 in the file, so that any SQLite tool can read them.
namespace pw {

inline constexpr std::string_view kStatsFile = "stats.sqlite";
// Version 1 held the figures and the imports; version 2 added the banners'
// last known names and the remembered mappings; version 3 the keys each
// network's mapping gives a banner by hand.
inline constexpr int kStatsSchemaVersion = 3;

struct StatsOpenReport {
    // The file could not be read as a database (or failed its check): it was
    // renamed to NAME.damaged-YYYYMMDD-HHMMSS beside it (its -wal and -shm
    // files likewise) and a new, empty history was started.
    bool Damaged = false;
    std::string DamagedCopy;
    std::string Problem; // what SQLite said of the damaged file
    // The file was written by a newer version of the program, with this
    // schema version, and was left as it is (Open fails).
    int NewerSchema = 0;
};

// The message that tells the user about a damaged history and its copy.
std::string DamagedStatsMessage(const std::string& path, const StatsOpenReport& report);

// a + b, held at the ends of int64_t instead of wrapping round. Figures that
// add up beyond them can only come from a history written before reports'
// figures were bounded; they show as the largest figure, never as a negative
// one, and never stop the sums of the others.
inline int64_t AddFiguresHeld(int64_t a, int64_t b)
{
    int64_t sum = 0;
    if (__builtin_add_overflow(a, b, &sum))
        return b > 0 ? std::numeric_limits<int64_t>::max() : std::numeric_limits<int64_t>::min();
    return sum;
}

struct StatsFigures {
    int64_t PV = 0;
    int64_t Clicks = 0;
    int64_t Revenue = 0;

    StatsFigures& operator+=(const StatsFigures& other)
    {
        PV = AddFiguresHeld(PV, other.PV);
        Clicks = AddFiguresHeld(Clicks, other.Clicks);
        Revenue = AddFiguresHeld(Revenue, other.Revenue);
        return *this;
    }
    bool operator==(const StatsFigures&) const = default;
};

// Figures under a label: a banner id, a network name or a month.
struct StatsRow {
    std::string Label;
    StatsFigures Figures;
};

// One banner's figures for one month and network, as the charts read them.
struct StatsCell {
    std::string BannerId;
    std::string Network;
    std::string Period;
    StatsFigures Figures;
};

struct StatsImportInfo {
    std::string File; // the report's file name
    std::string Network; // the network the user named; empty for none
    std::time_t Time = 0;
};

struct StatsImportRecord {
    std::string File;
    std::string Network;
    std::string Period;
    std::string Time; // "YYYY-MM-DDTHH:MM:SSZ"
    int64_t Matched = 0;
    int64_t Unmatched = 0;
};

class StatsHistory {
public:
    StatsHistory() = default;
    ~StatsHistory();
    StatsHistory(const StatsHistory&) = delete;
    StatsHistory& operator=(const StatsHistory&) = delete;

    // Opens (creating when missing) `folder`/stats.sqlite and brings its schema
    // up to date. A damaged file is kept aside as `report` tells; a file made
    // by a newer version of the program is refused and left untouched. The
    // file is readable by the owner only (0600), as ads.ini is, and so are the
    // -wal and -shm files SQLite makes beside it with the file's own mode; an
    // older file that others could read is narrowed to 0600.
    Status Open(const std::string& folder, StatsOpenReport* report = nullptr);
    Status OpenFile(const std::string& path, StatsOpenReport* report = nullptr);
    void Close();
    bool IsOpen() const { return m_db != nullptr; }
    const std::string& Path() const { return m_path; }

    // Stores an import in one transaction: for every period it covers, the
    // figures earlier imports of the same network stored for that period are
    // replaced by these. Every matched banner needs its StatsId. The figures'
    // network is the one named in `info`, else the banner's own. `touched`
    // (when given) gets the ids of every banner whose figures changed: those
    // of the replaced periods and those of the import.
    Status StoreImport(
        const ReportImportResult& result, const StatsImportInfo& info, std::set<std::string>* touched = nullptr);

    // The sums below never fail on figures too large to add up: a sum beyond
    // int64_t is given as its largest (or smallest) value.
    // Sums per banner id over all periods (or over `period` alone).
    Status BannerTotals(std::map<std::string, StatsFigures>& out, std::string_view period = {}) const;
    // Sums per network name, ascending (その他 last), and per month, ascending.
    Status NetworkTotals(std::vector<StatsRow>& out, std::string_view period = {}) const;
    Status MonthTotals(std::vector<StatsRow>& out, std::string_view period = {}) const;
    // One banner's sums per month, ascending.
    Status BannerHistory(std::string_view bannerId, std::vector<StatsRow>& out) const;
    // Every stored figure of the months from `first` to `last` (both "YYYY-MM").
    Status Cells(std::string_view first, std::string_view last, std::vector<StatsCell>& out) const;
    // The last name each banner id had when an import matched it.
    Status BannerNames(std::map<std::string, std::string>& out) const;
    Status Imports(std::vector<StatsImportRecord>& out) const;
    // The latest month with figures; empty when there is none.
    Status LatestPeriod(std::string& out) const;

    // The mapping last used for a network (empty name: imports with none),
    // with the keys it gives a banner by hand; saving replaces all of it.
    Status SaveMapping(std::string_view network, const ReportMapping& mapping);
    Status LoadMapping(std::string_view network, ReportMapping& mapping, bool& found) const;

    int SchemaVersion() const;

private:
    Status Exec(const char* sql) const;
    Status Fail(const std::string& what) const;
    Status Migrate();

    sqlite3* m_db = nullptr;
    std::string m_path;
};

// A new stable banner id: 16 random hexadecimal digits.
std::string NewStatsId();

// The banner's stable id, given one first when it has none.
const std::string& EnsureStatsId(TAdBanner& banner);

// Gives the banners that `result` matched an id when they have none; true when
// any was given (the catalogue then needs saving).
bool AssignStatsIds(BannerList& banners, const ReportImportResult& result);

// Puts the history's sums into PV, CT and TotalRevenue (and the click rate) of
// every banner that has any; banners without history keep their own figures.
// Sums beyond what the catalogue holds are capped. A banner in `touched` that
// has no figures left (a re-import replaced the only month it had) shows 0.
void ApplyStatsTotals(BannerList& banners, const std::map<std::string, StatsFigures>& totals,
    const std::set<std::string>* touched = nullptr);

} // namespace pw
