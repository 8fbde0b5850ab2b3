#include "targets.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    pw::fuzz::FuzzCommands(data, size);
    return 0;
}
