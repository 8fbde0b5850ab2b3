// catalogue list|add|delete|archive and detect: the banner catalogue of --dir
// (ads.ini) as the banner list, the banner editor and the archive use it.

#include "catalogue/adkind.h"
#include "catalogue/archive.h"
#include "catalogue/bannercheck.h"
#include "catalogue/bannerlist.h"
#include "catalogue/bannerstore.h"
#include "cli/cli.h"
#include "cli/cmd_pageads_support.h"
#include "cli/commands.h"
#include "networks/siteinfo.h"
#include "text/lines.h"

#include <charconv>

namespace pw::cli {

const std::string_view kCatalogueUsage
    = "Usage:\n"
      "  pagewick-cli catalogue list [--sort COLUMN] [--desc]   one line per banner: name, network,\n"
      "                      type, PV, CT, rate, revenue (TABs); --sort sorts by column 0 to 6\n"
      "  pagewick-cli catalogue add --name NAME [--network NAME] [--type TEXT] [--pv N] [--ct N]\n"
      "                      [--revenue N]   add a banner with the HTML from standard input\n"
      "  pagewick-cli catalogue delete NAME    remove a banner\n"
      "  pagewick-cli catalogue archive NAME   append a banner to pwh_ads.csv and remove it\n";

const std::string_view kDetectUsage
    = "Usage:\n"
      "  pagewick-cli detect   read ad HTML from standard input and print the detected network\n"
      "                        (or its stand-in for none), TAB, and the kind and size\n";

namespace {

int List(Context& c, const ParsedArgs& args)
{
    if (!args.positional.empty())
        return c.UsageError("catalogue list takes no arguments");
    int column = -1;
    if (const std::string* sort = args.Value("--sort")) {
        const auto [ptr, ec] = std::from_chars(sort->data(), sort->data() + sort->size(), column);
        if (ec != std::errc() || ptr != sort->data() + sort->size() || column < 0 || column >= kBannerColumnCount)
            return c.UsageError("--sort needs a column from 0 to 6");
    } else if (args.flags.count("--desc")) {
        return c.UsageError("--desc goes with --sort");
    }
    CatalogueFiles files;
    if (int code = LoadCatalogue(c, files, false); code != kExitOk)
        return code;
    if (column >= 0)
        SortBanners(files.banners, column, args.flags.count("--desc") > 0);
    for (const auto& banner : files.banners.Rows) {
        std::string line;
        for (int i = 0; i < kBannerColumnCount; ++i) {
            if (i > 0)
                line += '\t';
            line += BannerColumnText(*banner, i);
        }
        c.PrintLine(line);
    }
    return kExitOk;
}

int Save(Context& c, CatalogueFiles& files)
{
    if (Status saved = SaveBanners(files.banners, files.bannerStore, c.dir); !saved) {
        c.Error(saved.error);
        return kExitFile;
    }
    return kExitOk;
}

int Add(Context& c, const ParsedArgs& args)
{
    if (!args.positional.empty())
        return c.UsageError("catalogue add takes options only; the HTML comes from standard input");
    const std::string* name = args.Value("--name");
    if (!name)
        return c.UsageError("catalogue add needs --name");
    CatalogueFiles files;
    if (int code = LoadCatalogue(c, files, false); code != kExitOk)
        return code;

    // The HTML editor's lines joined by CR LF.
    std::string html;
    const std::vector<std::string> lines = SplitLines(c.ReadInput());
    for (size_t i = 0; i < lines.size(); ++i)
        html.append(i ? "\r\n" : "").append(lines[i]);
    const AdKind detected = DetectAdKind(html, files.networks);

    auto field = [&](const char* option, std::string_view fallback) {
        const std::string* value = args.Value(option);
        return TrimBlanks(value ? c.Data(*value) : std::string(fallback));
    };
    BannerFields fields;
    fields.SpaceName = field("--name", "");
    fields.Type = args.Value("--type") ? field("--type", "") : detected.KindText;
    fields.PV = field("--pv", "0");
    fields.CT = field("--ct", "0");
    fields.TotalRevenue = field("--revenue", "0");
    fields.BannerHTML = html;
    fields.Network = detected.Network;
    if (const std::string* network = args.Value("--network")) {
        const std::string wanted = c.Data(*network);
        fields.Network = nullptr;
        if (wanted != kNoNetworkName) {
            for (const auto& candidate : files.networks)
                if (candidate->Name == wanted) {
                    fields.Network = candidate.get();
                    break;
                }
            if (!fields.Network) {
                c.Error("no network named [" + wanted + "]");
                return kExitFailure;
            }
        }
    }
    const BannerCheck check = CheckBannerFields(files.banners, nullptr, fields);
    if (!check.Ok) {
        c.Error(check.Message);
        return kExitFailure;
    }
    auto banner = std::make_unique<TAdBanner>();
    banner->Number = static_cast<int32_t>(files.banners.Rows.size()) + 1;
    ApplyBannerFields(*banner, fields);
    files.banners.Rows.push_back(std::move(banner));
    return Save(c, files);
}

int Remove(Context& c, const ParsedArgs& args, bool archive)
{
    if (args.positional.size() != 1)
        return c.UsageError(std::string("catalogue ") + (archive ? "archive" : "delete") + " needs NAME");
    CatalogueFiles files;
    if (int code = LoadCatalogue(c, files, false); code != kExitOk)
        return code;
    const std::string name = c.Data(args.positional[0]);
    const int row = FindBannerRow(files.banners, name);
    if (row < 0) {
        c.Error("no banner named [" + name + "] in the catalogue");
        return kExitFailure;
    }
    if (!archive) {
        if (Status removed = RemoveBanner(files.banners, files.bannerStore, c.dir, row, nullptr); !removed) {
            c.Error(removed.error);
            return kExitFile;
        }
        return kExitOk;
    }
    const ArchiveResult result = ArchiveBanner(files.banners, files.bannerStore, c.dir, row, nullptr);
    c.Error(result.Message.Text);
    if (!result.Archived)
        return kExitFile;
    if (!result.Saved) {
        c.Error(result.Saved.error);
        return kExitFile;
    }
    return kExitOk;
}

} // namespace

int RunCatalogue(Context& c)
{
    if (c.args.empty())
        return c.UsageError("catalogue needs a subcommand: list, add, delete or archive");
    const std::string& sub = c.args[0];
    const ParsedArgs args
        = c.Parse(1, { "--sort", "--name", "--network", "--type", "--pv", "--ct", "--revenue" }, { "--desc" });
    if (!args.error.empty())
        return c.UsageError(args.error);
    if (sub == "list")
        return List(c, args);
    if (sub == "add")
        return Add(c, args);
    if (sub == "delete")
        return Remove(c, args, false);
    if (sub == "archive")
        return Remove(c, args, true);
    return c.UsageError("unknown catalogue subcommand '" + sub + "'");
}

int RunDetect(Context& c)
{
    const ParsedArgs args = c.Parse(0);
    if (!args.error.empty())
        return c.UsageError(args.error);
    if (!args.positional.empty())
        return c.UsageError("detect reads the HTML from standard input and takes no arguments");
    CatalogueFiles files;
    if (int code = LoadCatalogue(c, files, false); code != kExitOk)
        return code;
    const AdKind kind = DetectAdKind(c.ReadInput(), files.networks);
    c.PrintLine((kind.Network ? kind.Network->Name : std::string(kNoNetworkName)) + "\t" + kind.KindText);
    return kExitOk;
}

} // namespace pw::cli
