#pragma once
// Moving settings between the panel and the unit: the upload of every changed
// setting (in the setting-code table's upload order, each write read back
// afterwards by the engine), Save in the unit (SU), and the mode write that
// does not wait for Upload. The buttons that start them are the window's
// (ui/settings/settingstransfer.*).
#include "protocol/dxustate.h"

namespace dxu {

class Engine;

// Queues one write per changed setting, clearing its flags, and starts the
// queue; false when nothing was to be written (status requests may go on).
// A changed pulse rate or pulse count of a mode other than the one the unit
// is to end in is written while the unit is switched to that mode; the unit
// then ends in the mode of editRecord (when the mode changed) or its own.
bool startUpload(DxuState& st, Engine& engine);
// Queues SU: the unit stores its working settings.
void startSave(DxuState& st, Engine& engine);

// The measurement mode chosen is written at once (MM), with measuring
// stopped first and resumed after, as the unit requires.
void writeMeasureMode(DxuState& st, Engine& engine, int32_t mode);

} // namespace dxu
