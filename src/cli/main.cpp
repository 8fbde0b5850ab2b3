#include "cli/cli.h"

#include <iostream>

int main(int argc, char** argv)
{
    std::ios::sync_with_stdio(false);
    std::vector<std::string> args(argv + 1, argv + argc);
    const int code = pw::cli::Run(args, std::cin, std::cout, std::cerr);
    std::cout.flush();
    return code;
}
