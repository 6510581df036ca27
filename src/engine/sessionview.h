#pragma once
// What the session shows of itself, step by step: the window renders each
// step with its controls (app/sessionlooks.*), dxu-cli shows the read
// progress only. Every call has an empty default so that a view overrides
// only what it shows. The session names no control.
#include <cstdint>

namespace dxu {

class SessionView {
public:
    virtual ~SessionView() = default;

    // A disconnect begins (the unit's buttons are let go), and has ended
    // (results, errors and the unit's menu items are cleared away).
    virtual void disconnecting() {}
    virtual void disconnected() {}
    // Nothing is connected: Connect is offered and the mode can be chosen.
    virtual void idle() {}
    // A point-to-point connect: nothing to step through.
    virtual void singleUnit() {}
    // The connect list is under way, and has ended without an answer.
    virtual void connecting() {}
    virtual void connectEnded() {}
    // The unit answered its connect: laserOn says whether it measures.
    virtual void connected(bool /*laserOn*/) {}
    // Back on a unit whose settings were read before; the panel shows them.
    virtual void unitShownAgain() {}
    // A network unit the user stepped to did not answer.
    virtual void unitSilent() {}
    // Prev and Next: visible, and each usable or not.
    virtual void steppingShown() {}
    virtual void stepping(bool /*previous*/, bool /*next*/) {}
    // "Viewing: unit of count" and "Address: address" ('?' for a silent one).
    virtual void viewing(int /*unit*/, int /*count*/, char /*address*/) {}
    // The link in use: RS-232 or RS-485, its COM number, and whether the unit
    // answers on its universal port.
    virtual void connectionType(bool /*rs232*/, int /*comNumber*/, bool /*universal*/) {}
    // Measuring starts or stops (before its list is sent); the current loop
    // can be calibrated, or not while measuring (after).
    virtual void measuring(bool /*on*/) {}
    virtual void calibration(bool /*allowed*/) {}
    // The unit restarted with its saved settings: nothing is unsaved.
    virtual void unitReset() {}
    // The laser pointer is on or off.
    virtual void pointer(bool /*on*/) {}
    // How far the settings read is: item of count; a count of 0 when none runs.
    virtual void readProgress(int /*item*/, int /*count*/) {}

    // Settings were written to the unit and not yet saved there.
    virtual bool unsavedInUnit() const { return false; }
};

} // namespace dxu
