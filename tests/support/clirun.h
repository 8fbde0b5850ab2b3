#pragma once

#include "base/files.h"
#include "cli/cli.h"
#include "settings/inilist.h"

#include <sstream>
#include <string>
#include <vector>

namespace pw::test {

// One in-process run of pagewick-cli.
struct CliOutcome {
    int code;
    std::string out;
    std::string err;
};

inline CliOutcome RunCli(const std::vector<std::string>& args, const std::string& input = "")
{
    std::istringstream in(input);
    std::ostringstream out, err;
    const int code = cli::Run(args, in, out, err);
    return { code, out.str(), err.str() };
}

// The bytes of a file; empty when it cannot be read.
inline std::string ReadBytes(const std::string& path)
{
    std::string bytes;
    ReadWholeFile(path, bytes);
    return bytes;
}

// The unscrambled text of a settings file.
inline std::string ReadSettingsText(const std::string& path)
{
    std::string image = ReadBytes(path);
    ScrambleFileImage(image);
    return image;
}

} // namespace pw::test
