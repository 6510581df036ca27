#pragma once
// The main window's looks of the session's steps: which controls are shown,
// usable and captioned how while connecting, connected, measuring and
// disconnected.
#include "ui/app/controllooks.h"
#include "engine/sessionview.h"
#include "ui/display/settingsview.h"
#include "ui/services/ui.h"

namespace dxu {

class SessionLooks final : public SessionView {
public:
    SessionLooks(Ui& ui, SettingsView& settings, ControlLooks& controls)
        : ui_(ui), settings_(settings), controls_(controls)
    {
    }

    void disconnecting() override;
    void disconnected() override;
    void idle() override;
    void singleUnit() override;
    void connecting() override;
    void connectEnded() override;
    void connected(bool laserOn) override;
    void unitShownAgain() override;
    void unitSilent() override;
    void steppingShown() override;
    void stepping(bool previous, bool next) override;
    void viewing(int unit, int count, char address) override;
    void connectionType(bool rs232, int comNumber, bool universal) override;
    void measuring(bool on) override;
    void calibration(bool allowed) override;
    void unitReset() override;
    void pointer(bool on) override;
    void readProgress(int item, int count) override;
    bool unsavedInUnit() const override;

private:
    Ui& ui_;
    SettingsView& settings_;
    ControlLooks& controls_;
};

} // namespace dxu
