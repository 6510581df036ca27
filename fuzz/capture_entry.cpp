// Fuzz entry for the capture viewer's reader: every line of the input through
// the line reader, then the whole input as a file through the file reader and
// the CSV export.
#include "entries.h"

#include "capture/capturelines.h"

#include <cmath>
#include <cstdlib>
#include <string_view>

namespace dxu::fuzz {

int runCaptureInput(const uint8_t* data, std::size_t size)
{
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string_view::npos)
            end = text.size();
        if (const auto sample = parseCaptureLine(text.substr(start, end - start))) {
            if (sample->msOfDay < 0 || sample->msOfDay >= 24 * 3600 * 1000)
                std::abort();
            if (sample->distance && !std::isfinite(*sample->distance))
                std::abort();
        }
        start = end + 1;
    }

    const QString path = writeScratchFile(
        QStringLiteral("dxu0001.log"), QByteArray(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size)));
    const CaptureContents contents = readCaptureFile(path);
    if (contents.samples.size() > static_cast<std::size_t>(contents.lines.size()))
        std::abort();
    captureCsv(contents, PlotValue::Distance);
    captureCsv(contents, PlotValue::Intensity);
    return 0;
}

} // namespace dxu::fuzz
