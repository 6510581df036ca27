#pragma once
// The entry functions of the fuzz targets listed in targets.def, shared by
// the libFuzzer programs and the corpus replay test.
#include <QByteArray>
#include <QString>

#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace dxu::fuzz {

#define DXU_FUZZ_TARGET(name, entry) int entry(const uint8_t* data, std::size_t size);
#include "targets.def"
#undef DXU_FUZZ_TARGET

// Stops the fuzzer at a broken invariant.
inline void check(bool ok)
{
    if (!ok)
        std::abort();
}

// Replaces the program's settings file with the given bytes, as if someone had
// edited it by hand; the next read of any stored value parses it afresh.
void writeStoreFile(const uint8_t* data, std::size_t size);

// Writes bytes to a file of that name (it may name a folder too, made as
// needed) in a scratch folder of the process; the file's path.
QString writeScratchFile(const QString& name, const QByteArray& bytes);

} // namespace dxu::fuzz
