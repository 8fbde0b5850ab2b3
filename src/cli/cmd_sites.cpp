// listing and site: the listing parser, and the stored setups with their
// servers and folders, through the same connection logic as the window.

#include "base/files.h"
#include "cli/cli.h"
#include "cli/cmd_pageads_support.h"
#include "cli/commands.h"
#include "cli/passwords.h"
#include "net/curlftpclient.h"
#include "secrets/keyringstore.h"
#include "settings/inilist.h"
#include "settings/settingsfile.h"
#include "shell/passwords.h"
#include "sites/connection.h"
#include "sites/documents.h"
#include "sites/listing.h"
#include "sites/sitewalk.h"
#include "sites/sitewidesettings.h"
#include "text/lines.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <istream>
#include <memory>
#include <ostream>
#include <vector>

namespace pw::cli {

const std::string_view kListingUsage
    = "Usage:\n"
      "  pagewick-cli listing [--now \"YYYY-MM-DD HH:MM\"]\n"
      "Reads FTP LIST text from standard input and prints one line per entry:\n"
      "kind, name, size, attributes and date (YYYY-MM-DD HH:MM), separated by TABs\n"
      "(TAB, CR, LF and NUL in a name are printed as \\t, \\r, \\n and \\0, other control\n"
      "characters and DEL as \\xHH).\n"
      "--now sets the reference moment for dates without a year (default: the local clock).\n"
      "A line that cannot be read is named on standard error (exit 1); the others are printed.\n";

const std::string_view kSiteUsage
    = "Usage:\n"
      "  pagewick-cli site list                       the stored setups: name, protocol, host, initial folder\n"
      "  pagewick-cli site ls SETUP [PATH]            list a folder (default: the initial folder)\n"
      "  pagewick-cli site get SETUP PATH             print a file's bytes\n"
      "  pagewick-cli site put SETUP PATH             store standard input as the file\n"
      "  pagewick-cli site preview-url SETUP PATH     print the preview address of an entry\n"
      "  pagewick-cli site password SETUP             store the first line of standard input as the\n"
      "                                               setup's password where passwords are kept\n"
      "                                               (see \"secrets\")\n"
      "  pagewick-cli site scan SETUP [--under PATH] [--ext LIST] [--jobs N] [--banner NAME]\n"
      "                                               the ad blocks of every page below PATH\n"
      "  pagewick-cli site update SETUP [--banner NAME]... [--delete NAME]... [--under PATH]\n"
      "                           [--ext LIST] [--jobs N] [--dry-run] [--resume RUN]\n"
      "                                               replace changed blocks, remove a banner's blocks\n"
      "  pagewick-cli site restore SETUP RUN [--dry-run]   put back the pages of a run\n"
      "  pagewick-cli site runs SETUP                 the runs kept for SETUP, newest first\n"
      "PATH is a full path as the server (or the disk) names it. The password comes from where\n"
      "passwords are kept; a keyring that does not answer or stays locked is an error (exit 1).\n"
      "\n"
      "scan prints one line per node of each page's ad tree: path, line of the start\n"
      "marker, depth (0 top, 1 member), status (rotation, matched, changed, unlisted)\n"
      "and node text, TAB-separated, pages in byte order of their paths; the last line\n"
      "on standard error is pages=N blocks=M matched=A changed=B unlisted=C rotations=D.\n"
      "LIST is comma-separated page name endings (default .html,.htm,.shtml,.php);\n"
      "--jobs: connections at once, 1 to 8 (default 4). Links to folders are not followed.\n"
      "update prints path, blocks replaced and blocks removed for every page it changes.\n"
      "Each page's old bytes are kept in backups/SETUP/RUN/ of the settings folder\n"
      "before it is stored; --resume RUN finishes a broken run; restore puts pages back\n"
      "where they are still what the run wrote. A folder or page that cannot be read or\n"
      "was changed on the server meanwhile is reported as PATH: error (exit 1).\n"
      "--trust accepts a server certificate or host key not trusted yet and stores it with the setup;\n"
      "a key that differs from the one trusted before is accepted only with --trust-changed.\n"
      "TAB, CR, LF and NUL in listed names are printed as \\t, \\r, \\n and \\0, other control\n"
      "characters and DEL as \\xHH.\n";

namespace {

bool ParseNow(std::string_view text, DateTime& now)
{
    int year = 0, month = 0, day = 0, hour = 0, minute = 0;
    char extra = 0;
    const std::string copy(text);
    if (std::sscanf(copy.c_str(), "%4d-%2d-%2d %2d:%2d%c", &year, &month, &day, &hour, &minute, &extra) != 5)
        return false;
    now = { year, month, day, hour, minute, 0 };
    return IsValidDateTime(now);
}

// A name as a field of the tab-separated output: TAB, CR, LF and NUL as \t,
// \r, \n and \0, every other control character (ESC and the rest of C0,
// and DEL) as \xHH, so a name from the server cannot drive the terminal. A
// backslash stays as it is: it is a trail byte of Shift_JIS names, which
// never use a control byte.
std::string FieldText(const std::string& name)
{
    std::string out;
    out.reserve(name.size());
    for (char ch : name) {
        switch (ch) {
        case '\t':
            out += "\\t";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\0':
            out += "\\0";
            break;
        default:
            if (static_cast<unsigned char>(ch) < 0x20 || ch == 0x7F) {
                static constexpr char kHex[] = "0123456789ABCDEF";
                out += "\\x";
                out += kHex[static_cast<unsigned char>(ch) >> 4];
                out += kHex[static_cast<unsigned char>(ch) & 0xF];
            } else {
                out += ch;
            }
        }
    }
    return out;
}

void PrintEntries(Context& c, const TDirNode& folder)
{
    if (!folder.Children)
        return;
    for (const auto& child : *folder.Children) {
        std::string line(KindWord(child->Kind));
        line += '\t';
        line += FieldText(child->Name);
        line += '\t';
        if (!child->IsFolder())
            line += std::to_string(static_cast<const TFileNode&>(*child).Size);
        line += '\t';
        line += FieldText(child->Attributes);
        line += '\t';
        line += IsoMinuteText(child->Date);
        c.PrintLine(line);
    }
}

} // namespace

int RunListing(Context& c)
{
    const ParsedArgs args = c.Parse(0, { "--now" });
    if (!args.error.empty())
        return c.UsageError(args.error);
    if (!args.positional.empty())
        return c.UsageError("unexpected argument '" + args.positional[0] + "'");
    DateTime now = LocalNow();
    if (const std::string* given = args.Value("--now"); given && !ParseNow(*given, now))
        return c.UsageError("--now needs \"YYYY-MM-DD HH:MM\"");
    TDirNode folder;
    const std::vector<ListingProblem> problems = ParseListing(folder, SplitLines(c.ReadInput()), now);
    PrintEntries(c, folder);
    for (const ListingProblem& problem : problems)
        c.Error("line " + std::to_string(problem.Line) + ": " + problem.Error);
    return problems.empty() ? kExitOk : kExitFailure;
}

namespace {

// Messages go to standard error; status texts are not printed. Questions about
// trust are answered by --trust.
class CliFeedback : public SiteFeedback {
public:
    CliFeedback(const Context& context, bool trust, bool trustChanged)
        : m_context(context)
        , m_trust(trust || trustChanged)
        , m_trustChanged(trustChanged)
    {
    }
    void Status(const std::string&) override { }
    void Message(MessageType type, const std::string& text) override
    {
        m_context.Error(text);
        m_warned = m_warned || type == MessageType::Warning || type == MessageType::Error;
    }
    bool Confirm(const std::string& text) override
    {
        m_context.Error(text);
        if (m_trust)
            m_trusted = true;
        return m_trust;
    }
    bool ConfirmTrust(const std::string& text, bool changed) override
    {
        if (changed && m_trust && !m_trustChanged) {
            m_context.Error(text);
            m_context.Error("the key differs from the one trusted before; --trust-changed accepts it");
            return false;
        }
        return Confirm(text);
    }
    bool Trusted() const { return m_trusted; }
    // A warning or an error was told: the command exits 1 though it went on.
    bool Warned() const { return m_warned; }

private:
    bool m_warned = false;
    const Context& m_context;
    bool m_trust;
    bool m_trustChanged;
    bool m_trusted = false;
};

// Standard output as a download's sink.
class OutputSink : public TransferSink {
public:
    explicit OutputSink(std::ostream& out)
        : m_out(out)
    {
    }
    bool Write(std::string_view bytes) override
    {
        m_out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        return m_out.good();
    }
    std::string Error() const override { return "cannot write to standard output"; }

private:
    std::ostream& m_out;
};

// Standard input as an upload's source, read once as it is sent.
class InputSource : public TransferSource {
public:
    explicit InputSource(std::istream& in)
        : m_in(in)
    {
    }
    bool Read(char* buffer, size_t capacity, size_t& count) override
    {
        count = 0;
        if (m_in.eof())
            return true;
        m_in.read(buffer, static_cast<std::streamsize>(capacity));
        count = static_cast<size_t>(m_in.gcount());
        if (m_in.bad()) {
            m_error = "cannot read standard input";
            return false;
        }
        return true;
    }
    std::string Error() const override { return m_error; }

private:
    std::istream& m_in;
    std::string m_error;
};

// A local file to standard output, piece by piece.
int CopyFileToOutput(Context& c, const std::string& path)
{
    FileReader reader;
    if (Status opened = reader.Open(path); !opened) {
        c.Error(opened.error);
        return kExitFile;
    }
    std::vector<char> buffer(1 << 20);
    for (;;) {
        size_t count = 0;
        if (Status read = reader.Read(buffer.data(), buffer.size(), count); !read) {
            c.Error(read.error);
            return kExitFile;
        }
        if (count == 0)
            return kExitOk;
        if (!c.out.write(buffer.data(), static_cast<std::streamsize>(count))) {
            c.Error("cannot write to standard output");
            return kExitFile;
        }
    }
}

// Standard input to a local file, replaced only once every byte is written.
int CopyInputToFile(Context& c, const std::string& path)
{
    AtomicFileWriter writer;
    if (Status opened = writer.Open(path); !opened) {
        c.Error(opened.error);
        return kExitFile;
    }
    InputSource source(c.in);
    std::vector<char> buffer(1 << 20);
    for (;;) {
        size_t count = 0;
        if (!source.Read(buffer.data(), buffer.size(), count)) {
            c.Error(source.Error());
            return kExitFile;
        }
        if (count == 0)
            break;
        if (Status written = writer.Write(std::string_view(buffer.data(), count)); !written) {
            c.Error(written.error);
            return kExitFile;
        }
    }
    if (Status committed = writer.Commit(); !committed) {
        c.Error(committed.error);
        return kExitFile;
    }
    return kExitOk;
}

struct Settings {
    TIniList store;
    SetupList setups;
};

int LoadSetupsOf(Context& c, Settings& settings)
{
    if (FileExists(JoinPath(c.dir, kMainSettingsFile))) {
        if (Status loaded = LoadSettings(c, settings.store, c.dir, kMainSettingsFile); !loaded) {
            c.Error(loaded.error);
            return kExitFile;
        }
    }
    settings.setups = LoadSetups(settings.store);
    return kExitOk;
}

// Writes the setups back into the main settings file.
int SaveSetupsOf(Context& c, Settings& settings)
{
    SaveSetups(settings.store, settings.setups.Setups, settings.setups.SelectedIndex);
    if (Status saved = SaveSettingsFile(settings.store, c.dir, kMainSettingsFile); !saved) {
        c.Error(saved.error);
        return kExitFile;
    }
    return kExitOk;
}

std::string_view ProtocolWord(const TSetup& setup)
{
    return setup.Kind == skLocal ? std::string_view("local") : ProtocolKey(setup.Protocol);
}

// The arguments of "site", its subcommand first.
using Operands = std::vector<std::string>;

int SiteList(Context& c, const Operands& a)
{
    if (a.size() != 1)
        return c.UsageError("site list takes no arguments");
    Settings settings;
    if (int code = LoadSetupsOf(c, settings); code != kExitOk)
        return code;
    for (const auto& setup : settings.setups.Setups) {
        c.PrintLine(
            setup->Name + "\t" + std::string(ProtocolWord(*setup)) + "\t" + setup->Host + "\t" + setup->IniPath);
    }
    return kExitOk;
}

// The permission bits of a remote file as its folder's listing shows them;
// -1 when it is not listed (a new file) or the listing fails.
int RemoteModeOf(TConnection& connection, const std::string& path)
{
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return -1;
    TDirNode folder;
    folder.Path = slash == 0 ? std::string("/") : path.substr(0, slash);
    std::string listing;
    if (!connection.FtpClient->ChangeDir(folder.Path) || !connection.FtpClient->List(listing))
        return -1;
    // The file's own line tells; lines that cannot be read give no entry
    // (when one was the file's, its mode is not known, as for a new file).
    (void)ParseListing(folder, SplitLines(listing), LocalNow());
    const std::string name = path.substr(slash + 1);
    for (const auto& child : *folder.Children) {
        if (child->Name == name && !child->IsFolder())
            return ModeOfAttributes(child->Attributes);
    }
    return -1;
}

// The stored setup of that name; says so on standard error when there is none.
TSetup* FindSetup(const Context& c, Settings& settings, const std::string& name)
{
    for (const auto& setup : settings.setups.Setups)
        if (setup->Name == name)
            return setup.get();
    c.Error("no setup named " + name);
    return nullptr;
}

int SitePassword(Context& c, const Operands& a)
{
    if (a.size() != 2)
        return c.UsageError("site password needs SETUP");
    Settings settings;
    if (int code = LoadSetupsOf(c, settings); code != kExitOk)
        return code;
    const std::string name = c.Data(a[1]);
    TSetup* setup = FindSetup(c, settings, name);
    if (!setup)
        return kExitFailure;
    SecureString password;
    if (!ReadPasswordInput(c, password))
        return kExitFailure;
    const std::unique_ptr<SecretStore> secrets = OpenPasswordStore(settings.store);
    if (Status kept = KeepSetupPassword(*secrets, *setup, password.view()); !kept) {
        c.Error(kept.error);
        return kExitFailure;
    }
    return SaveSetupsOf(c, settings);
}

// The commands that work on one setup's server or folder.
int SiteOnServer(Context& c, const Operands& a, bool trust, bool trustChanged)
{
    const std::string& sub = a[0];
    const bool pathOptional = sub == "ls";
    if (a.size() < 2 || a.size() > 3 || (!pathOptional && a.size() != 3))
        return c.UsageError("site " + sub + " needs SETUP" + (pathOptional ? " [PATH]" : " PATH"));
    Settings settings;
    if (int code = LoadSetupsOf(c, settings); code != kExitOk)
        return code;
    const std::string name = c.Data(a[1]);
    TSetup* stored = FindSetup(c, settings, name);
    if (!stored)
        return kExitFailure;
    const std::string path = a.size() == 3 ? c.Data(a[2]) : std::string();

    CliFeedback feedback(c, trust, trustChanged);
    TConnection connection;
    connection.Setup = CopySetup(*stored);
    // Only the connection's copy holds the password: the records saved below never do.
    if (stored->Kind != skLocal) {
        if (int code = FillSetupPasswordFor(c, settings.store, *connection.Setup); code != kExitOk)
            return code;
    }
    if (!ConnectSite(connection, net::CurlFtpClientFactory(), feedback, stored))
        return kExitFailure;
    // Keep what the user trusted, as the window keeps it with the setup.
    if (feedback.Trusted()) {
        if (int code = SaveSetupsOf(c, settings); code != kExitOk)
            return code;
    }

    TDirNode folder;
    folder.Kind = nkFolder;
    folder.Path = path.empty() ? connection.Path : path;
    folder.Connection = &connection;

    if (sub == "ls") {
        if (!ListFolder(folder, feedback, LocalNow()))
            return kExitFailure;
        PrintEntries(c, folder);
        return feedback.Warned() ? kExitFailure : kExitOk;
    }
    if (sub == "preview-url") {
        c.PrintLine(PreviewURL(folder));
        return kExitOk;
    }

    // The file's bytes stream through: written as they arrive, read as they are sent.
    if (sub == "get") {
        if (!connection.FtpClient)
            return CopyFileToOutput(c, path);
        OutputSink sink(c.out);
        return DownloadFile(connection, path, sink, feedback) ? kExitOk : kExitFailure;
    }
    // put
    if (!connection.FtpClient)
        return CopyInputToFile(c, path);
    InputSource source(c.in);
    return UploadFile(connection, path, source, feedback, RemoteModeOf(connection, path)) ? kExitOk : kExitFailure;
}

// ---------------------------------------------------------------------------
// Whole sites: scan, update, restore, runs

// Connects once as the other site commands do, so that trust questions are
// asked (and kept) and a refused login is reported in the same words.
int CheckConnection(Context& c, Settings& settings, TSetup& stored, bool trust, bool trustChanged)
{
    if (stored.Kind != skFtp)
        return kExitOk;
    CliFeedback feedback(c, trust, trustChanged);
    TConnection connection;
    connection.Setup = CopySetup(stored);
    if (!ConnectSite(connection, net::CurlFtpClientFactory(), feedback, &stored))
        return kExitFailure;
    return feedback.Trusted() ? SaveSetupsOf(c, settings) : kExitOk;
}

void ReportProblems(Context& c, const std::vector<SiteProblem>& problems)
{
    for (const SiteProblem& problem : problems)
        c.Error(FieldText(problem.Path) + ": " + problem.Error);
}

bool ValidRunName(const std::string& run)
{
    return !run.empty() && run.find_first_not_of("0123456789-") == std::string::npos;
}

int SiteWhole(Context& c)
{
    const std::string sub = c.args[0];
    const ParsedArgs args = c.Parse(1, { "--under", "--ext", "--jobs", "--resume" },
        { "--dry-run", "--trust", "--trust-changed" }, { "--banner", "--delete" });
    if (!args.error.empty())
        return c.UsageError(args.error);
    const Operands& a = args.positional;
    const size_t wanted = sub == "restore" ? 2 : 1;
    if (a.size() != wanted)
        return c.UsageError("site " + sub + " needs SETUP" + (sub == "restore" ? " RUN" : ""));
    auto allowed = [&](std::initializer_list<const char*> options) {
        for (const char* option :
            { "--under", "--ext", "--jobs", "--resume", "--dry-run", "--banner", "--delete" })
            if (args.Has(option)
                && std::find(options.begin(), options.end(), std::string_view(option)) == options.end())
                return std::string(option);
        return std::string();
    };
    std::string stray;
    if (sub == "scan")
        stray = allowed({ "--under", "--ext", "--jobs", "--banner" });
    else if (sub == "update")
        stray = allowed({ "--under", "--ext", "--jobs", "--resume", "--dry-run", "--banner", "--delete" });
    else if (sub == "restore")
        stray = allowed({ "--dry-run" });
    else
        stray = allowed({});
    if (!stray.empty())
        return c.UsageError("site " + sub + " takes no " + stray);
    if (sub == "scan" && args.lists.count("--banner") && args.lists.at("--banner").size() > 1)
        return c.UsageError("site scan takes one --banner");

    SiteWalkOptions options;
    if (const std::string* jobs = args.Value("--jobs")) {
        const auto [ptr, ec] = std::from_chars(jobs->data(), jobs->data() + jobs->size(), options.Jobs);
        if (ec != std::errc() || ptr != jobs->data() + jobs->size() || options.Jobs < 1 || options.Jobs > 8)
            return c.UsageError("--jobs needs a number from 1 to 8");
    }
    if (const std::string* ext = args.Value("--ext"); ext && !ParseEndings(*ext, options.Endings))
        return c.UsageError("--ext needs a comma-separated list of name endings");
    if (const std::string* under = args.Value("--under"))
        options.Folder = c.Data(*under);
    const std::string* resume = args.Value("--resume");
    if (resume && !ValidRunName(*resume))
        return c.UsageError("--resume needs a run name (YYYYMMDD-HHMMSS)");
    if (sub == "restore" && !ValidRunName(a[1]))
        return c.UsageError("site restore needs a run name (YYYYMMDD-HHMMSS)");

    Settings settings;
    if (int code = LoadSetupsOf(c, settings); code != kExitOk)
        return code;
    const std::string setupName = c.Data(a[0]);
    TSetup* stored = FindSetup(c, settings, setupName);
    if (!stored)
        return kExitFailure;
    const std::string backups = SetupBackupFolder(c.dir, setupName);
    if (sub == "runs") {
        for (const SiteRun& run : ListRuns(backups))
            c.PrintLine(run.Name + "\t" + std::to_string(run.Pages));
        return kExitOk;
    }
    options.Charset = c.encoding != PageCharset::Auto ? c.encoding : stored->Charset;
    if (int code = FillSetupPasswordFor(c, settings.store, *stored); code != kExitOk)
        return code;
    if (int code = CheckConnection(c, settings, *stored, args.Has("--trust"), args.Has("--trust-changed"));
        code != kExitOk)
        return code;
    const SiteAccessFactory access = SiteAccessFor(*stored, net::CurlFtpClientFactory());

    if (sub == "restore") {
        const std::string runFolder = JoinPath(backups, a[1]);
        if (!FileExists(runFolder)) {
            c.Error("no run " + a[1] + " kept for " + setupName);
            return kExitFailure;
        }
        const SiteRestoreResult restored = RestoreRun(access, runFolder, args.Has("--dry-run"));
        for (const std::string& path : restored.Restored)
            c.PrintLine(FieldText(path));
        ReportProblems(c, restored.Problems);
        return restored.Problems.empty() ? kExitOk : kExitFailure;
    }

    CatalogueFiles catalogue;
    if (int code = LoadCatalogue(c, catalogue, false); code != kExitOk)
        return code;

    if (sub == "scan") {
        const std::string banner = args.Has("--banner") ? c.Data(*args.Value("--banner")) : std::string();
        const SiteScanResult scan = ScanSite(access, catalogue.banners, options);
        static constexpr std::string_view kWords[] = { "rotation", "matched", "changed", "unlisted" };
        size_t counts[4] = {};
        for (const SitePage& page : scan.Pages) {
            const std::string path = c.Terminal(FieldText(page.Path));
            for (const SiteAdNode& node : page.Nodes) {
                if (!banner.empty() && (node.Status == nsRotation || node.Banner != banner))
                    continue;
                ++counts[node.Status];
                c.out << path << '\t' << node.Line << '\t' << node.Depth << '\t' << kWords[node.Status] << '\t'
                      << FieldText(PageTextToTerminal(c, page.Encoding, node.Text)) << '\n';
            }
        }
        ReportProblems(c, scan.Problems);
        c.err << "pages=" << scan.Pages.size() << " blocks=" << counts[0] + counts[1] + counts[2] + counts[3]
              << " matched=" << counts[nsMatched] << " changed=" << counts[nsChanged]
              << " unlisted=" << counts[nsUnlisted] << " rotations=" << counts[nsRotation] << '\n';
        return scan.Problems.empty() ? kExitOk : kExitFailure;
    }

    // update
    SiteUpdateOptions update;
    update.DryRun = args.Has("--dry-run");
    if (const auto it = args.lists.find("--banner"); it != args.lists.end()) {
        for (const std::string& name : it->second) {
            update.Replace.push_back(c.Data(name));
            if (FindBannerRow(catalogue.banners, update.Replace.back()) < 0) {
                c.Error("no banner named [" + update.Replace.back() + "] in the catalogue");
                return kExitFailure;
            }
        }
    }
    if (const auto it = args.lists.find("--delete"); it != args.lists.end())
        for (const std::string& name : it->second)
            update.Delete.push_back(c.Data(name));
    std::string run;
    if (resume) {
        run = *resume;
        update.Resume = true;
        if (!FileExists(JoinPath(backups, run))) {
            c.Error("no run " + run + " kept for " + setupName);
            return kExitFailure;
        }
    } else if (!update.DryRun) {
        if (Status made = NewRunFolder(backups, run); !made) {
            c.Error(made.error);
            return kExitFile;
        }
    }
    if (!run.empty()) {
        update.RunFolder = JoinPath(backups, run);
        c.err << "run " << run << std::endl;
    }
    const SiteUpdateResult result = UpdateSite(access, catalogue.banners, options, update);
    for (const SitePageChange& page : result.Changed)
        c.out << c.Terminal(FieldText(page.Path)) << '\t' << page.Replaced << '\t' << page.Removed << '\n';
    ReportProblems(c, result.Problems);
    if (!update.DryRun)
        PruneRuns(backups, StoredRunsToKeep(settings.store));
    return result.Problems.empty() ? kExitOk : kExitFailure;
}

} // namespace

int RunSite(Context& c)
{
    if (!c.args.empty()
        && (c.args[0] == "scan" || c.args[0] == "update" || c.args[0] == "restore" || c.args[0] == "runs"))
        return SiteWhole(c);
    // --trust and --trust-changed may stand anywhere, before the subcommand too.
    const ParsedArgs args = c.Parse(0, {}, { "--trust", "--trust-changed" });
    if (!args.error.empty())
        return c.UsageError(args.error);
    const Operands& a = args.positional;
    if (a.empty())
        return c.UsageError("site needs a subcommand: list, ls, get, put, preview-url or password");
    const std::string& sub = a.front();
    if (sub == "list")
        return SiteList(c, a);
    if (sub == "password")
        return SitePassword(c, a);
    if (sub == "ls" || sub == "get" || sub == "put" || sub == "preview-url")
        return SiteOnServer(c, a, args.Has("--trust"), args.Has("--trust-changed"));
    return c.UsageError("unknown site subcommand '" + sub + "'");
}

} // namespace pw::cli
