#pragma once
// What the window shows of the unit's settings and of its results, as the
// settings panel's subscriber and the session ask for it. Every call has a
// harmless default so that tests override only what they observe.
#include <string_view>

namespace dxu {

struct SettingCode;

class SettingsView {
public:
    virtual ~SettingsView() = default;
    // The setting of a row of the setting-code table, as the record now holds it.
    virtual void showSetting(const SettingCode& /*row*/) {}
    virtual void refreshProcessingPanels() {}
    virtual void applyOldFirmwareLimits() {}
    // Every show function, for a unit whose settings were read before.
    virtual void showSettings() {}
    // The histogram's bin offset from the bin-size choice and the units.
    virtual void updateBinOffset() {}
};

struct Result;

class ResultView {
public:
    virtual ~ResultView() = default;
    // A distance result as the parser reported it.
    virtual void showResult(const Result& /*result*/) {}
    virtual void showRate() {}
    virtual void drawHistogram() {}
};

} // namespace dxu
