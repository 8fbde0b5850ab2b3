// listing and site: the listing parser, and the stored setups with their
// servers and folders, through the same connection logic as the window.

#include "base/files.h"
#include "cli/cli.h"
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
#include "text/lines.h"

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
      "--now sets the reference moment for dates without a year (default: the local clock).\n";

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
      "PATH is a full path as the server (or the disk) names it. The password comes from where\n"
      "passwords are kept; a keyring that does not answer or stays locked is an error (exit 1).\n"
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
    if (Status parsed = ParseListing(folder, SplitLines(c.ReadInput()), now); !parsed) {
        c.Error(parsed.error);
        return kExitFailure;
    }
    PrintEntries(c, folder);
    return kExitOk;
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
    void Message(MessageType, const std::string& text) override { m_context.Error(text); }
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

private:
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
    if (!ParseListing(folder, SplitLines(listing), LocalNow()))
        return -1;
    const std::string name = path.substr(slash + 1);
    for (const auto& child : *folder.Children) {
        if (child->Name == name && !child->IsFolder())
            return ModeOfAttributes(child->Attributes);
    }
    return -1;
}

TSetup* FindSetup(Settings& settings, const std::string& name)
{
    for (const auto& setup : settings.setups.Setups)
        if (setup->Name == name)
            return setup.get();
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
    TSetup* setup = FindSetup(settings, name);
    if (!setup) {
        c.Error("no setup named " + name);
        return kExitFailure;
    }
    const SecureString password = ReadPasswordInput(c);
    const std::unique_ptr<SecretStore> secrets = OpenPasswordStore(settings.store);
    if (Status kept = KeepSetupPassword(*secrets, *setup, password.view()); !kept) {
        c.Error(kept.error);
        return kExitFailure;
    }
    SaveSetups(settings.store, settings.setups.Setups, settings.setups.SelectedIndex);
    if (Status saved = SaveSettingsFile(settings.store, c.dir, kMainSettingsFile); !saved) {
        c.Error(saved.error);
        return kExitFile;
    }
    return kExitOk;
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
    TSetup* stored = FindSetup(settings, name);
    if (!stored) {
        c.Error("no setup named " + name);
        return kExitFailure;
    }
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
    if (feedback.Trusted()) {
        // Keep what the user trusted, as the window keeps it with the setup.
        SaveSetups(settings.store, settings.setups.Setups, settings.setups.SelectedIndex);
        if (Status saved = SaveSettingsFile(settings.store, c.dir, kMainSettingsFile); !saved) {
            c.Error(saved.error);
            return kExitFile;
        }
    }

    TDirNode folder;
    folder.Kind = nkFolder;
    folder.Path = path.empty() ? connection.Path : path;
    folder.Connection = &connection;

    if (sub == "ls") {
        if (!ListFolder(folder, feedback, LocalNow()))
            return kExitFailure;
        PrintEntries(c, folder);
        return kExitOk;
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

} // namespace

int RunSite(Context& c)
{
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
