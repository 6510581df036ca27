#pragma once
// What the parser, the engine, the session and the line scan call on the
// faces above them (the window's hooks router, dxu-cli's unit line), split
// by purpose so that a reader sees who needs what. Every call has a harmless
// default so that tests override only what they observe.
#include <cstdint>
#include <string_view>

namespace dxu {

// The watchers of the wire: the terminal's echo, the capture file, the error
// list and the result's age. They only hear; nothing they do changes the line.
class WireWatchers {
public:
    virtual ~WireWatchers() = default;

    // Shows whether the result on screen is still live at tick count now.
    virtual void showResultAge(uint32_t /*now*/) {}
    virtual void showVersionText(std::string_view /*text*/) {} // the about box's lblDXUVersion

    // Capture file.
    virtual bool captureOpen() const { return false; }
    virtual void writeCaptureLine(std::string_view /*line*/) {}

    // Terminal window.
    virtual void appendTerminal(std::string_view /*line*/) {}
    virtual bool terminalVisible() const { return false; }

    // Error list.
    virtual void addErrorLine(std::string_view /*text*/) {}
    virtual void clearErrors() {}
    virtual int errorCount() const { return 0; }
    virtual void setErrorCount(int /*count*/) {}
    virtual bool errorWindowVisible() const { return false; }
    virtual void showErrorWindow() {}
};

// The link's control: the port, the poll timer, the PC side of a rate
// change, and how the conversation with the unit goes on.
class LinkControl {
public:
    virtual ~LinkControl() = default;

    // Whether port "COM n" can be opened now; when it cannot, the user has
    // been told why. A closed port is pointed at it.
    virtual bool claimPort(int /*comNumber*/) { return true; }
    virtual void startPolling() {}
    virtual void stopPolling() {}
    virtual void setTerminalSend(bool /*enabled*/) {}
    // Loads "Polling" from the store into the state.
    virtual void loadPollingInterval() {}
    // The PC side of a unit baud-rate change, after its BR write was answered.
    virtual void switchPcBaudRate() {}
    virtual bool commSetupVisible() const { return false; }
    // A reply arrived for the item in flight.
    virtual void unitAnswered() {}
    // The last try of the item in flight went unanswered; true when the
    // face has taken over (the queue is stopped).
    virtual bool unitUnanswered() { return false; }
    // A network unit answered the write of its new address: the program
    // follows it there before anything more is sent to it.
    virtual void unitAddressChanged(char /*to*/) {}
};

// What a connect and a disconnect ask of the face: the user's answers and
// the look of the controls that follow them.
class ConnectSteps {
public:
    virtual ~ConnectSteps() = default;

    virtual void showConnectedControls() {}
    // The disconnected look of the panels and the result widgets.
    virtual void showDisconnectedPanels() {}
    // True when the unit may be disconnected (the user was asked about
    // changes not saved in the unit).
    virtual bool confirmDisconnect() { return true; }
    // Prev and Next usable as the unit on screen allows (the session's rule).
    virtual void updatePrevNextButtons() {}
    // The point-to-point unit did not answer a connect: true when the PC
    // port is now at another rate to try it at.
    virtual bool tryAnotherRate() { return false; }
    // A unit answered a connect: false when the user does not want the rate
    // it was found at (the connection is then closed).
    virtual bool keepConnectRate() { return true; }
    // The user closed the connection while a connect was being tried.
    virtual void connectAbandoned() {}
};

// A line scan's listener: what the asked address sent, and the end of its
// one request.
class ScanListener {
public:
    virtual ~ScanListener() = default;

    // The version text the asked address sent, and the end of its one
    // request (answered or not).
    virtual void scanVersion(std::string_view /*text*/) {}
    virtual void scanStepDone(bool /*answered*/) {}
    // A reply framed with this address arrived, whether it answers the
    // request in flight or not.
    virtual void scanReplyFrom(char /*address*/) {}
};

// All of them, as one face implements them: the window's hooks router
// (ui/wiring/) and dxu-cli's unit line.
class Hooks : public WireWatchers, public LinkControl, public ConnectSteps, public ScanListener {};

} // namespace dxu
