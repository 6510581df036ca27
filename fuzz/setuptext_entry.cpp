// Fuzz entry for the setup text reader: any bytes are either refused with a
// reason naming the text, or give a setup that a unit can have and whose own
// text reads back to the same image and the same text.
#include "entries.h"

#include "settings/setupfile.h"
#include "settings/setuptext.h"

#include <cstdlib>

namespace dxu::fuzz {

int runSetupTextInput(const uint8_t* data, std::size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    // Once alone, once over a base that gives what the text leaves out.
    UnitRecord base{};
    base.units = 1;
    base.measureMode = 2;
    base.prfAveraging = base.prfBinning = base.prfDetection = 100;
    base.displayMode = 1;
    base.faultCurrent = 4;
    const UnitRecord* const bases[] = {nullptr, &base};
    for (const UnitRecord* b : bases) {
        const SetupFromText read = parseSetupText(bytes, QStringLiteral("fuzz.txt"), b);
        if (!read.ok()) {
            check(read.error.startsWith(QLatin1String("fuzz.txt")));
            continue;
        }
        const UnitRecord::Image image = read.record.toBytes();
        check(parseSetupImage(image.data(), image.size(), QStringLiteral("fuzz.dxu")).ok());
        const QString text = setupText(read.record);
        const SetupFromText again = parseSetupText(text.toUtf8(), QStringLiteral("again.txt"));
        check(again.ok());
        check(again.record.toBytes() == image);
        check(setupText(again.record) == text);
    }
    return 0;
}

} // namespace dxu::fuzz
