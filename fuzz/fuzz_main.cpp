// The libFuzzer program of one target: DXU_FUZZ_ENTRY names its entry function.
#include "entries.h"

#include <cstdlib>
#include <string>
#include <unistd.h>

// A corrupt typed value ("@Variant(...)") in the settings file makes Qt ask
// for a block of many gigabytes, and it copes when the allocator says no, as
// a real machine's does; the sanitizer's allocator then says no too, instead
// of stopping the run.
extern "C" const char* __asan_default_options() { return "allocator_may_return_null=1"; }

// Stored settings go to a private folder, never to the user's own file.
extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    std::string dir = "/tmp/dxu-fuzz-XXXXXX";
    if (!::mkdtemp(dir.data()))
        std::abort();
    ::setenv("XDG_CONFIG_HOME", dir.c_str(), 1);
    for (int n = 1; n <= 100; ++n)
        ::unsetenv(("DXU_COM" + std::to_string(n)).c_str());
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    return dxu::fuzz::DXU_FUZZ_ENTRY(data, size);
}
