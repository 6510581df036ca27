#include "settings/fileunits.h"

#include "protocol/settingcodes.h"

#include <cmath>

namespace dxu {
namespace {

using R = UnitRecord;

// Calls visit with the member of every length the record holds.
template <typename Visit>
void forEachDistance(Visit&& visit)
{
    for (const SettingCode& row : settingCodes())
        for (const SettingField& f : row.fields)
            if (f.distance)
                visit(f.floatField);
}

constexpr double kMetresPerFoot = 0.3048;

float rounded(double value, bool metres)
{
    const double scale = metres ? 1000.0 : 100.0;
    return static_cast<float>(std::round(value * scale) / scale);
}

} // namespace

bool isDistance(float UnitRecord::*field)
{
    bool found = false;
    if (field)
        forEachDistance([&](float R::*d) { found = found || d == field; });
    return found;
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
    forEachDistance([&](float R::*d) { out.*d = rounded(record.*d * factor, toMetres); });
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
    forEachDistance([&](float R::*d) {
        if (!floatDiffers(rounded(unit.*d / factor, !toMetres), file.*d))
            out.*d = unit.*d;
        else
            out.*d = rounded(file.*d * factor, toMetres);
    });
    return out;
}

} // namespace dxu
