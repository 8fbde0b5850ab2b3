// Runs both fuzz targets over every input kept in tests/data/pageads/fuzz:
// crash inputs the fuzzer found, and a few made by hand.
#include "fuzz/pageads/targets.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace pw {
namespace {

TEST(FuzzRegression, KeptInputsRunCleanly)
{
    size_t inputs = 0;
    for (const auto& entry : std::filesystem::directory_iterator(PAGEWICK_TEST_DATA "/pageads/fuzz")) {
        std::ifstream file(entry.path(), std::ios::binary);
        std::stringstream bytes;
        bytes << file.rdbuf();
        const std::string input = bytes.str();
        SCOPED_TRACE(entry.path().filename().string());
        const auto* data = reinterpret_cast<const uint8_t*>(input.data());
        fuzz::FuzzScanner(data, input.size());
        fuzz::FuzzCommands(data, input.size());
        ++inputs;
    }
    EXPECT_GE(inputs, 2u);
}

} // namespace
} // namespace pw
