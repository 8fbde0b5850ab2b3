#include "cli/cli.h"

#include "settings/settingsfile.h"
#include "text/codec.h"

#include <algorithm>
#include <iostream>
#include <iterator>
#include <unistd.h>

namespace pw::cli {

namespace {

std::vector<Command>& Registry()
{
    static std::vector<Command> commands;
    return commands;
}

constexpr std::string_view kProgramUsage =
    "Usage: pagewick-cli [--dir DIR] [--raw] COMMAND [ARGS...]\n"
    "\n"
    "Works on the settings folder DIR (default: the program's folder) as the\n"
    "Pagewick window does.\n"
    "\n"
    "Common options (anywhere on the command line):\n"
    "  --dir DIR   folder of Pagewick.ini, ads.ini, siteinfo.ini, pwh_ads.csv, nwks.txt\n"
    "  --raw       arguments, standard input and output are Shift_JIS bytes as stored\n"
    "              (default: UTF-8 on the terminal side)\n"
    "  --help      this text; COMMAND --help describes a command\n"
    "\n"
    "Commands:\n";

} // namespace

Registrar::Registrar(const Command& command)
{
    Registry().push_back(command);
}

const std::vector<Command>& Commands()
{
    auto& commands = Registry();
    std::sort(commands.begin(), commands.end(),
              [](const Command& a, const Command& b) { return a.name < b.name; });
    return commands;
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
    std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
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
    err << Terminal(data) << '\n';
}

int Context::UsageError(std::string_view message) const
{
    err << "pagewick-cli: " << message << '\n';
    return kExitUsage;
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
    std::string dir;
    bool dirGiven = false;
    bool raw = false;
    for (size_t i = 0; i < argv.size(); ++i) {
        const std::string& arg = argv[i];
        if (arg == "--raw") {
            raw = true;
        } else if (arg == "--dir") {
            if (i + 1 >= argv.size()) {
                err << "pagewick-cli: --dir needs a folder\n";
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

    const auto& commands = Commands();
    if (rest.empty() || rest.front() == "--help" || rest.front() == "-h" || rest.front() == "help") {
        // Without a command the usage is an error message; asked for, it is the output.
        std::ostream& target = rest.empty() ? err : out;
        target << kProgramUsage;
        for (const auto& command : commands)
            target << "  " << command.name << std::string(std::max<size_t>(2, 13 - command.name.size()), ' ')
                   << command.summary << '\n';
        return rest.empty() ? kExitUsage : kExitOk;
    }

    const auto it = std::find_if(commands.begin(), commands.end(),
                                 [&](const Command& c) { return c.name == rest.front(); });
    if (it == commands.end()) {
        err << "pagewick-cli: unknown command '" << rest.front() << "' (see pagewick-cli --help)\n";
        return kExitUsage;
    }
    rest.erase(rest.begin());
    if (std::find(rest.begin(), rest.end(), "--help") != rest.end()) {
        out << it->usage;
        return kExitOk;
    }
    Context context{rest, dirGiven ? dir : SettingsFolder(ProgramFolder()), raw, in, out, err};
    return it->run(context);
}

} // namespace pw::cli
