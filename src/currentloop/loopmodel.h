#pragma once
// The current-loop output of the current unit, without widgets: the texts
// the settings window shows, its Accept, and the calibration of one output
// point (coarse and fine written, the calibration read back).
#include "protocol/dxustate.h"
#include "services/stepoutcome.h"

#include <QString>

#include <array>
#include <functional>

namespace dxu {

struct SettingCode;

// The four edits of the settings window, in the order low, high, fault
// current, fault time-out, and the length unit ("M" or "F").
struct LoopRangeTexts {
    QString low, high, faultCurrent, faultTimeout;
    QString units;
};

LoopRangeTexts loopRangeTexts(const DxuState& st);
// The settings of the four edits, in their order, as the setting-code table
// has them (one field each: its member, changed flag, limits and caption).
const std::array<const SettingCode*, 4>& loopSettings();
// Accept: an empty edit is 0, others are read with the user's decimal
// separator into editRecord; a value that differs from the unit's is marked
// changed and the upload started. Text that is not a number, or a value
// outside what the unit takes: refused with a sentence naming the field,
// nothing sent or changed, and refused (when given) holds the field's place
// (0..3).
StepOutcome acceptLoopRanges(DxuState& st, const LoopRangeTexts& texts, const std::function<void()>& queueUpload,
                             int* refused = nullptr);

// Coarse (bits 8-15) and fine (bits 0-7) of a calibration value, as "%02d".
struct CalibrationTexts {
    QString coarse, fine;
};
CalibrationTexts calibrationTexts(int32_t calibration);

enum LoopPoint { Point4mA = 0, Point20mA = 1 };
// Set 4 mA / Set 20 mA: the queue is emptied and gets CD,160 (point, coarse)
// and CD,161 (point, fine); sendFirst then starts it. Text that is not a
// whole number: refused with the conversion message, nothing queued.
StepOutcome queueCalibrationPoint(DxuState& st, LoopPoint point, const QString& coarse, const QString& fine,
                           const std::function<void()>& sendFirst);

} // namespace dxu
