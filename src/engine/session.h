#pragma once
// The session with the units: connect and disconnect, stepping through the
// units of a network, the start/stop and settings-read lists. It runs without
// a window: it reports each of its steps to its view (engine/sessionview.h),
// calls the window's hooks and asks its questions through the asker.
#include "engine/asking.h"
#include "engine/sessionview.h"
#include "protocol/dxustate.h"
#include "protocol/events.h"
#include "protocol/hooks.h"
#include "serial/commlink.h"

namespace dxu {

class Engine;
class Protocol;

// Directions of a unit step.
enum StepDirection : int32_t { StepNext = 1, StepPrevious = 2 };

// The session subscribes to the engine's events: a connect list that ends
// or goes unanswered, and the progress of a list.
class Session final : public UnitEvents {
public:
    Session(DxuState& state, Engine& engine, CommLink& link, Hooks& hooks, SessionView& view, Asker& asker);
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    // Connect, or disconnect after asking about unsaved changes.
    void connectClicked();
    void disconnectUnit();
    // Opens the port of the link in use and starts the connect list.
    void openAndConnect();
    // The next (StepNext) or previous (StepPrevious) assigned address after
    // address (0: from the start); moves currentUnit. 0 when there is none.
    char nextAssignedAddress(char address, int direction);
    // Prev and Next: show a unit read before, or connect to it and read it.
    void switchUnit(int direction);
    // Reset, after asking: the unit restarts with its saved settings and is
    // connected and read again.
    void resetClicked();
    // Asks about changes not saved in the unit before the program ends or
    // the unit is disconnected; true for Yes, and when nothing is unsaved.
    bool confirmUnsaved(UnsavedMoment moment);
    // The laser pointer on, or off again: each click switches it.
    void pointerClicked();
    // Measurement start and stop.
    void continuousClicked();
    // The full settings read; also the last step of every connect.
    void readSettings();
    // Shows how far the settings read is, or hides it when none runs.
    void showReadProgress();
    // The port went away under the connection.
    void portLost(int comNumber);

    // Steps the engine runs at the end of a connect list.
    void connectCompleted();
    void connectFailed();
    void updatePrevNextButtons();
    void updateConnectionTypeLabel();

    // UnitEvents.
    void listProgress() override { showReadProgress(); }
    void listEnded() override { updateConnectionTypeLabel(); }
    void connectAnswered() override { connectCompleted(); }
    void connectUnanswered() override { connectFailed(); }
    // A command of the connection on screen found its port closed.
    void portClosed() override;

    // "COM n" of the link in use.
    int comNumberInUse() const;

private:
    void showViewingLabels();
    void showDisconnectedLook();
    void abandonSwitch();
    void switchOutputOffFirst();

    DxuState& st_;
    Engine& engine_;
    CommLink& link_;
    Hooks& hooks_;
    SessionView& view_;
    Asker& asker_;
    // The laser pointer, as the user last switched it.
    bool pointerOn_ = false;
};

} // namespace dxu
