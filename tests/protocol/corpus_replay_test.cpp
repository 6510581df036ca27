// Replays the fuzzer's corpus through the same entry function with the
// normal build, so every input that once crashed stays fixed.
#include "parser_entry.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

TEST(ParserCorpus, EverySeedRunsCleanly)
{
    namespace fs = std::filesystem;
    const fs::path dir(DXU_FUZZ_CORPUS);
    ASSERT_TRUE(fs::is_directory(dir)) << dir;
    int files = 0;
    for (const auto& entry : fs::directory_iterator(dir)) {
        if (!entry.is_regular_file())
            continue;
        std::ifstream in(entry.path(), std::ios::binary);
        const std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        SCOPED_TRACE(entry.path().filename().string());
        EXPECT_EQ(dxu::fuzz::runParserInput(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()), 0);
        ++files;
    }
    EXPECT_GT(files, 10);
}
