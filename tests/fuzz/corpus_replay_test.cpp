// Replays every fuzz target's corpus through its entry function in the
// normal build, so every input that once broke a reader stays fixed.
#include "entries.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

namespace {

struct Target {
    const char* name;
    int (*entry)(const uint8_t*, std::size_t);
};

constexpr Target kTargets[] = {
#define DXU_FUZZ_TARGET(name, entry) {#name, dxu::fuzz::entry},
#include "targets.def"
#undef DXU_FUZZ_TARGET
};

} // namespace

TEST(FuzzCorpus, EverySeedOfEveryTargetRunsCleanly)
{
    namespace fs = std::filesystem;
    for (const Target& t : kTargets) {
        SCOPED_TRACE(t.name);
        const fs::path dir = fs::path(DXU_FUZZ_CORPUS) / t.name;
        ASSERT_TRUE(fs::is_directory(dir)) << dir;
        int files = 0;
        for (const auto& entry : fs::directory_iterator(dir)) {
            if (!entry.is_regular_file())
                continue;
            std::ifstream in(entry.path(), std::ios::binary);
            const std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
            SCOPED_TRACE(entry.path().filename().string());
            EXPECT_EQ(t.entry(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()), 0);
            ++files;
        }
        EXPECT_GE(files, 3) << "a target needs seeds";
    }
}
