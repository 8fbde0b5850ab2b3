// report import|show: the networks' CSV reports matched to the catalogue of
// --dir and the history of their figures in stats.sqlite.

#include "base/files.h"
#include "catalogue/bannerstore.h"
#include "cli/cli.h"
#include "cli/cmd_pageads_support.h"
#include "cli/commands.h"
#include "reports/reportcolumns.h"
#include "reports/reportimport.h"
#include "reports/statshistory.h"

#include <ctime>
#include <map>
#include <set>

namespace pw::cli {

const std::string_view kReportUsage
    = "Usage:\n"
      "  pagewick-cli report import FILE [--key COL] [--pv COL] [--clicks COL] [--revenue COL]\n"
      "                      [--month COL | --period YYYY-MM] [--match name|code]\n"
      "                      [--network NAME] [--dry-run]\n"
      "      match the rows of a network's CSV report (Shift_JIS, UTF-8 or EUC-JP, detected)\n"
      "      to the banners and store their figures in stats.sqlite; COL is a header text\n"
      "      or a column number from 1. --match name (default): the key is the banner's\n"
      "      name; code: the key occurs in the banner's HTML. --month names the date or\n"
      "      month column, else --period gives the month of the whole report. Importing\n"
      "      a network's month again replaces it. Columns and match mode are remembered\n"
      "      per --network, with the keys the window gave a banner by hand. A column not\n"
      "      given is the remembered one, else the one whose header names it (プログラム名,\n"
      "      広告名, program; 表示回数, インプレッション, PV; クリック数, clicks; 確定報酬,\n"
      "      報酬額, revenue; 日付, 年月, date, ...). Prints one line per banner matched:\n"
      "      name, page views, clicks, revenue (TABs); the unmatched, ambiguous and total\n"
      "      rows go to standard error (the first 1000 of each, then their number).\n"
      "      --dry-run stores nothing. Exit 1 when no row matched. A report above 64 MiB\n"
      "      or a figure above 10^15 is refused.\n"
      "  pagewick-cli report show [--by banner|network|month] [--period YYYY-MM]\n"
      "      the stored history summed per banner (catalogue order, then banners no\n"
      "      longer in it), per network (その他 for none) or per month (ascending):\n"
      "      label, page views, clicks, revenue (TABs)\n";

namespace {

std::string Figures(const StatsFigures& f)
{
    return "\t" + std::to_string(f.PV) + "\t" + std::to_string(f.Clicks) + "\t" + std::to_string(f.Revenue);
}

// Opens the history of --dir; a damaged file is reported and kept aside.
int OpenHistory(Context& c, StatsHistory& history)
{
    StatsOpenReport report;
    if (Status opened = history.Open(c.dir, &report); !opened) {
        c.Error(opened.error);
        return kExitFile;
    }
    if (report.Damaged)
        c.Error(DamagedStatsMessage(history.Path(), report));
    return kExitOk;
}

std::string BaseName(const std::string& path)
{
    const auto slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

int Import(Context& c, const ParsedArgs& args)
{
    if (args.positional.size() != 1)
        return c.UsageError("report import needs FILE");
    const std::string& path = args.positional[0];
    const bool dryRun = args.flags.count("--dry-run") > 0;
    if (args.Value("--month") && args.Value("--period"))
        return c.UsageError("give --month or --period, not both");
    const std::string* period = args.Value("--period");
    if (period && !IsReportPeriod(*period))
        return c.UsageError("--period needs a month written YYYY-MM");
    std::optional<ReportMatch> match;
    if (const std::string* key = args.Value("--match")) {
        match = ReportMatchFromKey(*key);
        if (!match)
            return c.UsageError("--match needs name or code");
    }
    const std::string network = args.Value("--network") ? c.Data(*args.Value("--network")) : std::string();

    CatalogueFiles files;
    if (int code = LoadCatalogue(c, files, false); code != kExitOk)
        return code;
    // The history is created only when an import is stored, so that a dry
    // run or a failed import leaves the folder as it was.
    StatsHistory history;
    if (FileExists(JoinPath(c.dir, kStatsFile)))
        if (int code = OpenHistory(c, history); code != kExitOk)
            return code;

    ReportMapping rememberedMapping;
    bool remembered = false;
    if (history.IsOpen())
        if (Status loaded = history.LoadMapping(network, rememberedMapping, remembered); !loaded) {
            c.Error(loaded.error);
            return kExitFile;
        }

    ReportTable table;
    if (Status read = ReadReportFile(path, table); !read) {
        c.Error(c.Data(read.error));
        return kExitFile;
    }
    // The columns given, then those remembered for the network, then those
    // the header's words name.
    ReportMapping mapping = ChooseReportMapping(table, remembered ? &rememberedMapping : nullptr);
    auto column = [&](const char* option, std::string& target) {
        if (const std::string* value = args.Value(option))
            target = c.Data(*value);
    };
    column("--key", mapping.Key);
    column("--pv", mapping.PV);
    column("--clicks", mapping.Clicks);
    column("--revenue", mapping.Revenue);
    column("--month", mapping.Month);
    if (period)
        mapping.Month.clear();
    if (match)
        mapping.Match = *match;
    const std::string none = std::string(" (no column's header names it")
        + (remembered ? "" : ", and no mapping is remembered for this network") + ")";
    for (const auto& [option, value] : { std::pair { "--key", &mapping.Key }, { "--pv", &mapping.PV },
             { "--clicks", &mapping.Clicks }, { "--revenue", &mapping.Revenue } })
        if (value->empty())
            return c.UsageError(std::string("report import needs ") + option + none);
    if (mapping.Month.empty() && !period)
        return c.UsageError("report import needs --month COL or --period YYYY-MM" + none);

    ReportImportResult result;
    if (Status imported = ReportImport(table, mapping, period ? *period : "", files.banners, result); !imported) {
        c.Error(imported.error);
        return kExitFailure;
    }

    // One line per banner, its periods added up.
    std::map<const TAdBanner*, StatsFigures> perBanner;
    std::vector<const TAdBanner*> order;
    for (const auto& sum : result.Matched) {
        if (!perBanner.count(sum.Banner))
            order.push_back(sum.Banner);
        perBanner[sum.Banner] += StatsFigures { sum.PV, sum.Clicks, sum.Revenue };
    }
    for (const TAdBanner* banner : order)
        c.PrintLine(banner->SpaceName + Figures(perBanner[banner]));
    // At most the first rows of each kind are listed; the rest are counted.
    auto skipped = [&](const std::vector<ReportSkippedRow>& rows, size_t count, const std::string& prefix,
                       const std::string& what) {
        for (const auto& row : rows)
            c.Error(prefix + DescribeSkippedRow(row));
        if (count > rows.size())
            c.Error("and " + std::to_string(count - rows.size()) + " more " + what + " rows");
    };
    skipped(result.Unmatched, result.UnmatchedRows, "unmatched ", "unmatched");
    skipped(result.Ambiguous, result.AmbiguousRows, "ambiguous ", "ambiguous");
    skipped(result.Totals, result.TotalRows, "total row, not counted: ", "total");
    if (result.Matched.empty()) {
        c.Error("no row of the report matched a banner; nothing was stored");
        return kExitFailure;
    }
    if (dryRun)
        return kExitOk;

    if (!history.IsOpen())
        if (int code = OpenHistory(c, history); code != kExitOk)
            return code;
    // The ids go into ads.ini before the figures are stored under them, so
    // that no stored figure can lose its banner.
    if (AssignStatsIds(files.banners, result))
        if (Status saved = SaveBanners(files.banners, files.bannerStore, c.dir); !saved) {
            c.Error(saved.error);
            return kExitFile;
        }
    const StatsImportInfo info { BaseName(path), network, std::time(nullptr) };
    std::set<std::string> touched;
    if (Status stored = history.StoreImport(result, info, &touched); !stored) {
        c.Error(stored.error);
        return kExitFile;
    }
    if (Status saved = history.SaveMapping(network, mapping); !saved) {
        c.Error(saved.error);
        return kExitFile;
    }
    std::map<std::string, StatsFigures> totals;
    if (Status read = history.BannerTotals(totals); !read) {
        c.Error(read.error);
        return kExitFile;
    }
    ApplyStatsTotals(files.banners, totals, &touched);
    if (Status saved = SaveBanners(files.banners, files.bannerStore, c.dir); !saved) {
        c.Error(saved.error);
        return kExitFile;
    }
    return kExitOk;
}

int Show(Context& c, const ParsedArgs& args)
{
    if (!args.positional.empty())
        return c.UsageError("report show takes no arguments");
    const std::string by = args.Value("--by") ? *args.Value("--by") : "banner";
    if (by != "banner" && by != "network" && by != "month")
        return c.UsageError("--by needs banner, network or month");
    const std::string period = args.Value("--period") ? *args.Value("--period") : "";
    if (args.Value("--period") && !IsReportPeriod(period))
        return c.UsageError("--period needs a month written YYYY-MM");
    CatalogueFiles files;
    if (by == "banner")
        if (int code = LoadCatalogue(c, files, false); code != kExitOk)
            return code;
    if (!FileExists(JoinPath(c.dir, kStatsFile)))
        return kExitOk; // no report was ever imported
    StatsHistory history;
    if (int code = OpenHistory(c, history); code != kExitOk)
        return code;

    if (by == "banner") {
        std::map<std::string, StatsFigures> totals;
        std::map<std::string, std::string> names;
        if (Status read = history.BannerTotals(totals, period); !read) {
            c.Error(read.error);
            return kExitFile;
        }
        if (Status read = history.BannerNames(names); !read) {
            c.Error(read.error);
            return kExitFile;
        }
        std::set<std::string> shown;
        for (const auto& banner : files.banners.Rows) {
            const auto it = banner->StatsId.empty() ? totals.end() : totals.find(banner->StatsId);
            if (it == totals.end() || !shown.insert(it->first).second)
                continue;
            c.PrintLine(banner->SpaceName + Figures(it->second));
        }
        // Banners renamed away or deleted keep their history under the name
        // they last had.
        std::vector<std::pair<std::string, StatsFigures>> gone;
        for (const auto& [id, figures] : totals)
            if (!shown.count(id))
                gone.emplace_back(names.count(id) ? names[id] : id, figures);
        std::sort(gone.begin(), gone.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
        for (const auto& [name, figures] : gone)
            c.PrintLine(name + Figures(figures));
        return kExitOk;
    }
    std::vector<StatsRow> rows;
    const Status read = by == "network" ? history.NetworkTotals(rows, period) : history.MonthTotals(rows, period);
    if (!read) {
        c.Error(read.error);
        return kExitFile;
    }
    for (const auto& row : rows)
        c.PrintLine(row.Label + Figures(row.Figures));
    return kExitOk;
}

} // namespace

int RunReport(Context& c)
{
    if (c.args.empty())
        return c.UsageError("report needs a subcommand: import or show");
    const std::string& sub = c.args[0];
    if (sub == "import") {
        const ParsedArgs args = c.Parse(1,
            { "--key", "--pv", "--clicks", "--revenue", "--month", "--period", "--match", "--network" },
            { "--dry-run" });
        if (!args.error.empty())
            return c.UsageError(args.error);
        return Import(c, args);
    }
    if (sub == "show") {
        const ParsedArgs args = c.Parse(1, { "--by", "--period" });
        if (!args.error.empty())
            return c.UsageError(args.error);
        return Show(c, args);
    }
    return c.UsageError("unknown report subcommand '" + sub + "'");
}

} // namespace pw::cli
