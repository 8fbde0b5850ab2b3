#pragma once

#include <cstdio>
#include <string>

namespace pw::test {

// One run of a shell command: its exit status as pclose gives it (-1 when it
// could not start) and what it wrote on standard output.
struct CommandOutcome {
    int status = -1;
    std::string out;
};

inline CommandOutcome RunShell(const std::string& command)
{
    CommandOutcome outcome;
    FILE* pipe = ::popen(command.c_str(), "r");
    if (!pipe)
        return outcome;
    char buffer[4096];
    while (const size_t n = std::fread(buffer, 1, sizeof buffer, pipe))
        outcome.out.append(buffer, n);
    outcome.status = ::pclose(pipe);
    return outcome;
}

} // namespace pw::test
