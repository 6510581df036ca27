#pragma once
// What the reply parser calls on the settings panel and on the result display:
// one show function per setting, and the display calls. Every call has a
// harmless default so that tests override only what they observe.
#include <string_view>

namespace dxu {

// The show functions of the settings panel; the setting-code table names the
// ones each code runs.
#define DXU_SHOW_FUNCTIONS(X)                                                                     \
    X(UA) X(MM) X(MU) X(EG) X(SG) X(LG) X(CG) X(OF) X(PL) X(FL) X(MP) X(XP) X(TE) X(PF) X(PO)     \
    X(AW) X(DD) X(AB) X(IL) X(FA) X(BH) X(BS) X(LA) X(TP) X(TT) X(FT) X(MX) X(CT) X(TB) X(OP)     \
    X(CE) X(CV) X(WT) X(WV) X(DRRange) X(DS) X(DR) X(AL) X(AH) X(AF) X(AT) X(CL) X(MO) X(CO)     \
    X(MA) X(DM)

class SettingsView {
public:
    virtual ~SettingsView() = default;
#define DXU_DECLARE_SHOW(code) virtual void show##code() {}
    DXU_SHOW_FUNCTIONS(DXU_DECLARE_SHOW)
#undef DXU_DECLARE_SHOW
    virtual void refreshProcessingPanels() {}
    virtual void applyOldFirmwareLimits() {}
    // Every show function, for a unit whose settings were read before.
    virtual void showSettings() {}
    // The histogram's bin offset from the bin-size choice and the units.
    virtual void updateBinOffset() {}
};

class ResultView {
public:
    virtual ~ResultView() = default;
    virtual void showResult() {}
    virtual void showRate() {}
    virtual void drawHistogram() {}
};

} // namespace dxu
