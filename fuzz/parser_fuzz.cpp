// libFuzzer target for the reply parser and the field reader.
#include "parser_entry.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    return dxu::fuzz::runParserInput(data, size);
}
