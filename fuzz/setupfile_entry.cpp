// Fuzz entry for the setup-file reader: any bytes are either refused with a
// reason or give settings a unit can have, which then merge into a unit, are
// compared with it and reported without fault.
#include "entries.h"

#include "settings/setupfile.h"

#include <cmath>
#include <cstdlib>

namespace dxu::fuzz {

int runSetupFileInput(const uint8_t* data, std::size_t size)
{
    SetupImage image = parseSetupImage(data, size, QStringLiteral("fuzz.dxu"));
    if (!image.ok()) {
        check(image.error.contains(QLatin1String("fuzz.dxu")));
        return 0;
    }
    check(size == UnitRecord::ImageSize);
    const UnitRecord& file = image.record;
    check(file.measureMode >= 1 && file.measureMode <= 4);
    check(file.prfAveraging >= 0 && file.prfBinning >= 0 && file.prfDetection >= 0);

    UnitRecord unit{};
    unit.address = 'b';
    unit.port232 = 3;
    unit.loopCalibration4mA = 0x1234;
    const UnitRecord edit = withFileSettings(unit, file);
    const std::size_t rows = compareSettings(unit, edit).size();
    const bool any = adoptSetupImage(unit, edit);
    // The comparison counts distances to the unit's resolution; the merge
    // takes every change it can see.
    check(rows == 0 || any);
    // What belongs to the unit stays the unit's.
    check(unit.address == 'b' && unit.port232 == 3 && unit.loopCalibration4mA == 0x1234);
    check(edit.address == 'b' && edit.port232 == 3);
    // A second merge finds nothing left to change (the dithering state stays
    // the unit's until the upload's read-back).
    UnitRecord again = edit;
    again.ditherOn = unit.ditherOn;
    check(!adoptSetupImage(unit, again));
    check(!settingsReport(unit, QString()).isEmpty());
    return 0;
}

} // namespace dxu::fuzz
