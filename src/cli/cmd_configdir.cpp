// config-dir: the settings folder in use.

#include "cli/cli.h"
#include "cli/commands.h"

#include <ostream>

namespace pw::cli {

const std::string_view kConfigDirUsage
    = "Usage: pagewick-cli config-dir\n"
      "\n"
      "Prints the settings folder that the other commands use: the --dir folder when\n"
      "given, else the program's own folder when a Pagewick.ini stands there (portable\n"
      "mode), else $XDG_CONFIG_HOME/pagewick (default ~/.config/pagewick), which is\n"
      "created (mode 0700) when missing.\n";

int RunConfigDir(Context& c)
{
    const ParsedArgs args = c.Parse(0);
    if (!args.error.empty())
        return c.UsageError(args.error);
    if (!args.positional.empty())
        return c.UsageError("config-dir takes no arguments");
    // A path, printed as the system names it (never converted).
    c.out << c.dir << '\n';
    return kExitOk;
}

} // namespace pw::cli
