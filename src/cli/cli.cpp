#include "cli/cli.h"

#include "base/files.h"
#include "cli/commands.h"
#include "pagewick_version.h"
#include "settings/settingsfile.h"
#include "settings/settingsfolder.h"
#include "text/codec.h"

#include <algorithm>
#include <iostream>
#include <iterator>
#include <sys/stat.h>
#include <unistd.h>

namespace pw::cli {

namespace {

constexpr std::string_view kProgramUsage
    = "Usage: pagewick-cli [--dir DIR] [--raw] [--encoding ENC] COMMAND [ARGS...]\n"
      "       pagewick-cli help [COMMAND]\n"
      "       pagewick-cli --version\n"
      "\n"
      "Works on the settings files as the Pagewick window does. The settings folder\n"
      "is the program's own folder when a Pagewick.ini stands there (portable mode),\n"
      "else $XDG_CONFIG_HOME/pagewick (default ~/.config/pagewick), created when\n"
      "missing; \"pagewick-cli config-dir\" prints it.\n"
      "\n"
      "Common options (anywhere on the command line):\n"
      "  --dir DIR    use the existing folder DIR as the settings folder (it holds\n"
      "               Pagewick.ini, ads.ini, siteinfo.ini, pwh_ads.csv, nwks.txt,\n"
      "               stats.sqlite)\n"
      "  --raw        arguments, standard input and output are Shift_JIS bytes as stored\n"
      "               (default: UTF-8 on the terminal side); texts of a page (block\n"
      "               and node names) are then bytes in the page's own encoding\n"
      "  --encoding auto|shift_jis|utf-8|euc-jp\n"
      "               the encoding of PAGE files (default auto: the byte order\n"
      "               mark, else a <meta> or XML charset declaration, else the bytes\n"
      "               decide; plain ASCII is shift_jis). Settings files are always\n"
      "               Shift_JIS\n"
      "  -h, --help   this text; \"COMMAND --help\" or \"help COMMAND\" describes a command\n"
      "  --version    print the program's name and version\n"
      "  --           end of the options: every later argument is an operand, even one\n"
      "               that starts with '-'\n"
      "\n"
      "Exit codes:\n"
      "  0  success\n"
      "  1  the operation ran and reported a failure or a warning\n"
      "  2  bad usage: unknown command or option, missing or malformed argument,\n"
      "     an argument that is not UTF-8 without --raw\n"
      "  3  a file could not be read or written, or --dir is not an existing folder\n"
      "\n"
      "Every message on standard error starts with \"pagewick-cli: \"; control characters\n"
      "in a message are written as \\xHH (C1 controls in UTF-8 as \\u00HH).\n"
      "\n"
      "Commands:\n";

void PrintProgramUsage(std::ostream& target, std::span<const Command> commands)
{
    target << kProgramUsage;
    for (const auto& command : commands)
        target << "  " << command.name << std::string(std::max<size_t>(2, 13 - command.name.size()), ' ')
               << command.summary << '\n';
}

// Strict UTF-8: no overlong forms, no surrogates, nothing past U+10FFFF.
bool IsValidUtf8(std::string_view s)
{
    size_t i = 0;
    while (i < s.size()) {
        const auto c = static_cast<unsigned char>(s[i]);
        size_t length = 0;
        char32_t cp = 0;
        char32_t min = 0;
        if (c < 0x80) {
            ++i;
            continue;
        } else if ((c & 0xE0) == 0xC0) {
            length = 2, cp = c & 0x1F, min = 0x80;
        } else if ((c & 0xF0) == 0xE0) {
            length = 3, cp = c & 0x0F, min = 0x800;
        } else if ((c & 0xF8) == 0xF0) {
            length = 4, cp = c & 0x07, min = 0x10000;
        } else {
            return false;
        }
        if (i + length > s.size())
            return false;
        for (size_t k = 1; k < length; ++k) {
            const auto t = static_cast<unsigned char>(s[i + k]);
            if ((t & 0xC0) != 0x80)
                return false;
            cp = (cp << 6) | (t & 0x3F);
        }
        if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
            return false;
        i += length;
    }
    return true;
}

// True when the bytes read as Shift_JIS text with no invalid or unassigned code.
bool LooksLikeSjis(std::string_view s)
{
    const std::string text = codec::DecodeSjis(s);
    for (size_t i = 0; i < text.size();)
        if (codec::IsEscape(codec::NextUtf8(text, i)))
            return false;
    return true;
}

// Printable ASCII as it is, every other byte as \xHH.
std::string EscapedBytes(std::string_view s)
{
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string text;
    for (const char c : s) {
        const auto b = static_cast<unsigned char>(c);
        if (b >= 0x20 && b < 0x7F && b != '\\') {
            text += c;
        } else {
            text += "\\x";
            text += kHex[b >> 4];
            text += kHex[b & 15];
        }
    }
    return text;
}

// Without --raw the arguments are UTF-8 text. One that is not gets refused with
// a hint; the check comes before the command runs, so nothing is written.
bool CheckArgumentsAreUtf8(const std::vector<std::string>& args, std::ostream& err)
{
    for (size_t i = 0; i < args.size(); ++i) {
        if (IsValidUtf8(args[i]))
            continue;
        if (LooksLikeSjis(args[i]))
            WriteErrorLines(err,
                "argument \"" + codec::DecodeSjis(args[i])
                    + "\" is Shift_JIS, not UTF-8: add --raw to pass Shift_JIS bytes as they are");
        else
            WriteErrorLines(err,
                "argument \"" + EscapedBytes(args[i])
                    + "\" is not UTF-8 text: add --raw to pass bytes as they are");
        return false;
    }
    return true;
}

// An existing folder given with --dir, or the settings folder of the rule.
int SettingsFolderOf(bool given, const std::string& dir, std::string& folder, std::ostream& err, bool raw)
{
    if (given) {
        struct stat st { };
        if (dir.empty() || ::stat(dir.c_str(), &st) != 0) {
            WriteErrorLines(err, "--dir " + dir + ": no such folder", raw);
            return kExitFile;
        }
        if (!S_ISDIR(st.st_mode)) {
            WriteErrorLines(err, "--dir " + dir + ": not a folder", raw);
            return kExitFile;
        }
        folder = dir;
        return kExitOk;
    }
    SettingsPlace place;
    if (Status resolved = ResolveSettingsFolder(ProgramFolder(), place); !resolved) {
        WriteErrorLines(err, resolved.error);
        return kExitFile;
    }
    if (!place.notice.empty())
        WriteErrorLines(err, place.notice);
    folder = place.folder;
    return kExitOk;
}

} // namespace

std::span<const Command> Commands()
{
    // The command table, in name order. A command is added here and in
    // commands.h; its code and help text stay in its own cmd_*.cpp file.
    static const Command kCommands[] = {
        { "ads", "list, find, add, replace and delete the ad blocks of a page", kAdsUsage, &RunAds },
        { "block", "print the ad block text of banner HTML", kBlockUsage, &RunBlock },
        { "catalogue", "list, add, delete and archive the banners of ads.ini", kCatalogueUsage, &RunCatalogue },
        { "config-dir", "print the settings folder in use", kConfigDirUsage, &RunConfigDir },
        { "detect", "detect an ad's network, kind and size from its HTML", kDetectUsage, &RunDetect },
        { "encoding", "print the encoding a page is read in", kEncodingUsage, &RunEncoding },
        { "listing", "parse an FTP LIST answer from standard input", kListingUsage, &RunListing },
        { "login-page", "print the auto-login page of a stored login", kLoginPageUsage, &RunLoginPage },
        { "network", "store the password of a network login", kNetworkUsage, &RunNetwork },
        { "networks", "list, export and merge the ad networks", kNetworksUsage, &RunNetworks },
        { "regist", "parse a signup field map (Regist text)", kRegistUsage, &RunRegist },
        { "report", "import the networks' CSV reports and show their history", kReportUsage, &RunReport },
        { "secrets", "show where passwords are kept and move them", kSecretsUsage, &RunSecrets },
        { "settings", "read and write the scrambled settings files", kSettingsUsage, &RunSettings },
        { "site", "list, read and write the files of a stored setup; scan and update whole sites", kSiteUsage,
            &RunSite },
    };
    return kCommands;
}

ParsedArgs ParseArgs(const std::vector<std::string>& args, size_t from, size_t optionsEnd,
    std::initializer_list<std::string_view> valueOptions, std::initializer_list<std::string_view> flagOptions,
    std::initializer_list<std::string_view> repeatableOptions)
{
    ParsedArgs parsed;
    auto contains = [](std::initializer_list<std::string_view> list, std::string_view name) {
        for (auto item : list)
            if (item == name)
                return true;
        return false;
    };
    for (size_t i = from; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (i >= optionsEnd || arg.size() < 3 || !arg.starts_with("--")) {
            parsed.positional.push_back(arg);
            continue;
        }
        std::string name = arg;
        std::string value;
        bool inlineValue = false;
        if (const auto equals = arg.find('='); equals != std::string::npos) {
            name = arg.substr(0, equals);
            value = arg.substr(equals + 1);
            inlineValue = true;
        }
        if (contains(flagOptions, name) && !inlineValue) {
            parsed.flags.insert(name);
        } else if (contains(repeatableOptions, name)) {
            if (!inlineValue) {
                if (i + 1 >= args.size() || i + 1 == optionsEnd) {
                    parsed.error = name + " needs a value";
                    return parsed;
                }
                value = args[++i];
            }
            parsed.values.emplace(name, value);
            parsed.lists[name].push_back(value);
        } else if (contains(valueOptions, name)) {
            if (!inlineValue) {
                if (i + 1 >= args.size() || i + 1 == optionsEnd) {
                    parsed.error = name + " needs a value";
                    return parsed;
                }
                value = args[++i];
            }
            // Which of two values was meant is the user's to say, not ours to guess.
            if (!parsed.values.emplace(name, value).second) {
                parsed.error = name + " given twice";
                return parsed;
            }
        } else {
            parsed.error = "unknown option '" + arg + "'";
            return parsed;
        }
    }
    return parsed;
}

std::string Context::Data(std::string_view terminalText) const
{
    if (raw)
        return std::string(terminalText);
    return codec::EncodeSjis(terminalText).bytes;
}

std::string Context::Terminal(std::string_view data) const
{
    if (raw)
        return std::string(data);
    return codec::DecodeSjis(data);
}

std::string Context::ReadInput() const
{
    std::string text { std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>() };
    return Data(text);
}

void Context::Print(std::string_view data) const
{
    if (raw)
        out.write(data.data(), static_cast<std::streamsize>(data.size()));
    else
        out << Terminal(data);
}

void Context::PrintLine(std::string_view data) const
{
    out << Terminal(data) << '\n';
}

void Context::Error(std::string_view data) const
{
    WriteErrorLines(err, Terminal(data), raw);
}

Status LoadSettings(const Context& c, TIniList& store, const std::string& folder, std::string_view name)
{
    SettingsLoadReport report;
    Status loaded = LoadSettingsFile(store, folder, name, &report);
    if (loaded && report.Damaged)
        c.Error(DamagedSettingsFileMessage(JoinPath(folder, name), report));
    return loaded;
}

int Context::UsageError(std::string_view message) const
{
    WriteErrorLines(err, message, raw);
    return kExitUsage;
}

namespace {

// One line of a message with its control characters made visible.
std::string VisibleLine(std::string_view line, bool raw)
{
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(line.size());
    auto hex = [&](std::string_view prefix, unsigned char b) {
        out.append(prefix);
        out += kHex[b >> 4];
        out += kHex[b & 15];
    };
    for (size_t i = 0; i < line.size();) {
        const auto b = static_cast<unsigned char>(line[i]);
        if (b < 0x20 || b == 0x7F) {
            hex("\\x", b);
            ++i;
        } else if (b < 0x80 || raw) {
            out += line[i++];
        } else if (const size_t length = pageenc::Utf8CharLength(line, i); length == 1) {
            hex("\\x", b);
            ++i;
        } else if (b == 0xC2 && static_cast<unsigned char>(line[i + 1]) < 0xA0) {
            hex("\\u00", static_cast<unsigned char>(line[i + 1]));
            i += 2;
        } else {
            out.append(line.substr(i, length));
            i += length;
        }
    }
    return out;
}

} // namespace

void WriteErrorLines(std::ostream& stream, std::string_view text, bool raw)
{
    if (!text.empty() && text.back() == '\n')
        text.remove_suffix(1);
    size_t start = 0;
    while (true) {
        const size_t end = text.find('\n', start);
        std::string_view line = text.substr(start, end == std::string_view::npos ? text.npos : end - start);
        if (line.ends_with('\r'))
            line.remove_suffix(1);
        stream << "pagewick-cli: " << VisibleLine(line, raw) << '\n';
        if (end == std::string_view::npos)
            break;
        start = end + 1;
    }
}

std::string VersionLine()
{
    return "pagewick-cli " + std::string(kVersion);
}

std::string ProgramFolder()
{
    std::string path(4096, '\0');
    const ssize_t n = ::readlink("/proc/self/exe", path.data(), path.size());
    if (n <= 0)
        return ".";
    path.resize(static_cast<size_t>(n));
    const auto slash = path.find_last_of('/');
    return slash == 0 ? "/" : path.substr(0, slash);
}

int Run(const std::vector<std::string>& argv, std::istream& in, std::ostream& out, std::ostream& err)
{
    std::vector<std::string> rest;
    size_t operandsFrom = static_cast<size_t>(-1); // index in rest of the first argument after "--"
    std::string dir;
    bool dirGiven = false;
    bool raw = false;
    PageCharset encoding = PageCharset::Auto;
    auto setEncoding = [&](std::string_view value) {
        const auto charset = PageCharsetFromKey(value);
        if (!charset) {
            WriteErrorLines(err, "--encoding needs auto, shift_jis, utf-8 or euc-jp");
            return false;
        }
        encoding = *charset;
        return true;
    };
    for (size_t i = 0; i < argv.size(); ++i) {
        const std::string& arg = argv[i];
        if (operandsFrom != static_cast<size_t>(-1)) {
            rest.push_back(arg);
        } else if (arg == "--") {
            operandsFrom = rest.size();
        } else if (arg == "--raw") {
            raw = true;
        } else if (arg == "--encoding") {
            // A missing value is no key either.
            if (!setEncoding(i + 1 < argv.size() ? std::string_view(argv[++i]) : std::string_view()))
                return kExitUsage;
        } else if (arg.starts_with("--encoding=")) {
            if (!setEncoding(std::string_view(arg).substr(11)))
                return kExitUsage;
        } else if (arg == "--dir") {
            if (i + 1 >= argv.size()) {
                WriteErrorLines(err, "--dir needs a folder");
                return kExitUsage;
            }
            dir = argv[++i];
            dirGiven = true;
        } else if (arg.starts_with("--dir=")) {
            dir = arg.substr(6);
            dirGiven = true;
        } else {
            rest.push_back(arg);
        }
    }

    const std::span<const Command> commands = Commands();
    if (rest.empty()) {
        WriteErrorLines(err, "no command given (pagewick-cli --help lists them)");
        return kExitUsage;
    }
    const bool frontIsOption = operandsFrom != 0;
    if (frontIsOption && (rest.front() == "--help" || rest.front() == "-h")) {
        PrintProgramUsage(out, commands);
        return kExitOk;
    }
    if (frontIsOption && rest.front() == "--version") {
        out << VersionLine() << '\n';
        return kExitOk;
    }
    auto find = [&](std::string_view name) {
        return std::find_if(commands.begin(), commands.end(), [&](const Command& c) { return c.name == name; });
    };
    if (rest.front() == "help") {
        if (rest.size() == 1) {
            PrintProgramUsage(out, commands);
            return kExitOk;
        }
        const auto it = find(rest[1]);
        if (rest.size() > 2 || it == commands.end()) {
            WriteErrorLines(err, "help: no command '" + rest[1] + "' (see pagewick-cli --help)");
            return kExitUsage;
        }
        out << it->usage;
        return kExitOk;
    }
    if (frontIsOption && rest.front().starts_with("-")) {
        WriteErrorLines(err, "unknown option '" + rest.front() + "' (see pagewick-cli --help)");
        return kExitUsage;
    }
    const auto it = find(rest.front());
    if (it == commands.end()) {
        WriteErrorLines(err, "unknown command '" + rest.front() + "' (see pagewick-cli --help)");
        return kExitUsage;
    }
    rest.erase(rest.begin());
    const size_t optionsEnd = operandsFrom == static_cast<size_t>(-1) ? operandsFrom
        : operandsFrom == 0                                           ? 0
                                                                      : operandsFrom - 1;
    for (size_t i = 0; i < rest.size() && i < optionsEnd; ++i) {
        if (rest[i] == "--help" || rest[i] == "-h") {
            out << it->usage;
            return kExitOk;
        }
    }
    if (!raw && !CheckArgumentsAreUtf8(rest, err))
        return kExitUsage;
    std::string folder;
    if (int code = SettingsFolderOf(dirGiven, dir, folder, err, raw); code != kExitOk)
        return code;
    Context context { rest, folder, raw, in, out, err, optionsEnd };
    context.encoding = encoding;
    return it->run(context);
}

} // namespace pw::cli
