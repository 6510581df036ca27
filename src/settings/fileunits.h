#pragma once
// A setup file's distances in the distance units of the unit it is opened
// for, so that the Compare view and the upload speak the unit's units and the
// same length in feet and in metres is no difference.
#include "protocol/unitrecord.h"

namespace dxu {

// file with its units set to unit's and every distance converted, rounded as
// the panel shows distances (three decimals in metres, two in feet). A
// distance that the file holds as the unit's own value, rounded to the
// file's decimals, takes the unit's value. A unit not read yet has no units
// to speak: file is returned as it is.
UnitRecord inUnitsOf(const UnitRecord& file, const UnitRecord& unit);
// record with its units set to units (1 metres, else feet) and every distance
// converted and rounded as above; record as it is when already in them.
UnitRecord convertedTo(const UnitRecord& record, int32_t units);
// Whether the field holds a length, which the unit converts when its units
// change.
bool isDistance(float UnitRecord::*field);
// The smallest step of a distance in those units: 0.001 m or 0.01 ft.
float distanceResolution(int32_t units);

} // namespace dxu
