#include "settings/fileunits.h"

#include <algorithm>
#include <cmath>
#include <iterator>

namespace dxu {
namespace {

using R = UnitRecord;

constexpr float R::*kDistances[] = {&R::shortGate,      &R::longGate,    &R::offsetDistance, &R::tripPoint,
                                    &R::dampErrorRange, &R::windowWidth, &R::analogLow,      &R::analogHigh};

constexpr double kMetresPerFoot = 0.3048;

float rounded(double value, bool metres)
{
    const double scale = metres ? 1000.0 : 100.0;
    return static_cast<float>(std::round(value * scale) / scale);
}

} // namespace

bool isDistance(float UnitRecord::*field)
{
    return field && std::find(std::begin(kDistances), std::end(kDistances), field) != std::end(kDistances);
}

float distanceResolution(int32_t units) { return units == 1 ? 0.001f : 0.01f; }

UnitRecord convertedTo(const UnitRecord& record, int32_t units)
{
    const bool toMetres = units == 1;
    if ((record.units == 1) == toMetres)
        return record;
    UnitRecord out = record;
    out.units = units;
    const double factor = toMetres ? kMetresPerFoot : 1.0 / kMetresPerFoot;
    for (float R::*d : kDistances)
        out.*d = rounded(record.*d * factor, toMetres);
    return out;
}

UnitRecord inUnitsOf(const UnitRecord& file, const UnitRecord& unit)
{
    const bool toMetres = unit.units == 1;
    if (!unit.settingsRead || (file.units == 1) == toMetres)
        return file;
    UnitRecord out = file;
    out.units = unit.units;
    const double factor = toMetres ? kMetresPerFoot : 1.0 / kMetresPerFoot;
    for (float R::*d : kDistances) {
        if (!floatDiffers(rounded(unit.*d / factor, !toMetres), file.*d))
            out.*d = unit.*d;
        else
            out.*d = rounded(file.*d * factor, toMetres);
    }
    return out;
}

} // namespace dxu
