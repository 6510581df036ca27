#pragma once
// Test support shared by every test program: scripted message boxes, a fake
// clock, a control map standing in for the main window, a scripted serial port
// and hooks that record what the parser and the engine call.
#include "ui/app/controllooks.h"
#include "ui/display/resultpanel.h"
#include "protocol/hooks.h"
#include "ui/settings/panelevents.h"
#include "ui/display/settingsview.h"
#include "serial/commlink.h"
#include "services/clock.h"
#include "ui/services/filedialogs.h"
#include "ui/services/messages.h"
#include "ui/services/ui.h"

#include <QByteArray>
#include <QString>

#include <deque>
#include <functional>
#include <map>
#include <string>
#include <vector>

class QObject;

namespace dxu::test {

// Empties the program's store of values (the test's own configuration folder).
void clearStore();
// A stored value read back; Absent or "<absent>" when it is not there.
inline constexpr int Absent = -12345;
int storedInt(const char* name);
QByteArray storedString(const char* name);
// The caption or text of a label, button, edit or menu item; empty for others.
QString controlText(const QObject* control);
// Clicks a button or triggers a menu item; a test failure for anything else.
void clickControl(QObject* control, const char* name);

// Answers message boxes from a script (default: Yes / Ok) and records them.
class ScriptedMessages : public MessageService {
public:
    struct Shown {
        QString caption, text;
        MsgButtons buttons;
        QString details; // the informative text beside the text
    };
    ScriptedMessages() { setMessageService(this); }
    ~ScriptedMessages() override { setMessageService(nullptr); }
    MsgAnswer show(const QString& caption, const QString& text, MsgButtons buttons) override;
    MsgAnswer showDetailed(const QString& caption, const QString& text, const QString& details,
                           MsgButtons buttons) override;
    void answerNext(MsgAnswer a) { answers.push_back(a); }

    std::vector<Shown> shown;
    std::deque<MsgAnswer> answers;
};

// Answers file dialogs from a script (default: cancelled) and records which
// dialog was asked, by objectName, with the folder it would have opened in.
// A name answered without suffix gets the dialog's default suffix.
class ScriptedFileDialogs : public FileDialogService {
public:
    struct Asked {
        QString name, title, directory;
        bool save;
        QString proposed; // the file name the dialog proposes

    };
    ScriptedFileDialogs() { setFileDialogService(this); }
    ~ScriptedFileDialogs() override { setFileDialogService(nullptr); }
    QString choose(QFileDialog& dialog) override;
    void answerNext(const QString& path) { answers.push_back(path); }

    std::vector<Asked> asked;
    std::deque<QString> answers;
};

// Installs a FakeClock for the lifetime of the object.
class FakeClockScope : public FakeClock {
public:
    explicit FakeClockScope(uint32_t start = 100000) : FakeClock(start) { setClock(this); }
    ~FakeClockScope() override { setClock(nullptr); }
};

// A control map keyed by objectName. Like the window, it runs the handlers
// registered with onChange when a check state or a text changes, and checks
// only one radio button of each group in radioGroups.
class FakeUi : public Ui {
public:
    struct Control {
        std::string text;
        bool visible = true, enabled = true, checked = false;
        Rgb color{};
        bool buttonFace = false, bold = false, italic = false;
        Rgb fontColor{};
        int repaints = 0;
        std::string hint;
        std::vector<std::string> items;
        int itemIndex = -1;
    };
    void setText(std::string_view n, std::string_view t) override;
    void setVisible(std::string_view n, bool v) override { c(n).visible = v; }
    bool isVisible(std::string_view n) const override { return get(n).visible; }
    void setEnabled(std::string_view n, bool v) override { c(n).enabled = v; }
    bool isEnabled(std::string_view n) const override { return get(n).enabled; }
    void setChecked(std::string_view n, bool v) override;
    bool isChecked(std::string_view n) const override { return get(n).checked; }
    void setColor(std::string_view n, Rgb col) override { c(n).color = col; c(n).buttonFace = false; }
    void setButtonFace(std::string_view n) override { c(n).buttonFace = true; }
    void setFontStyle(std::string_view n, bool b, bool i, const Rgb* fc) override
    {
        c(n).bold = b;
        c(n).italic = i;
        c(n).fontColor = fc ? *fc : Rgb{};
    }
    void repaint(std::string_view n) override { ++c(n).repaints; }
    void setStatusPanel(int i, std::string_view t) override { panels[i] = std::string(t); }
    std::string text(std::string_view n) const override { return get(n).text; }
    void setHint(std::string_view n, std::string_view h) override { c(n).hint = std::string(h); }
    std::string hint(std::string_view n) const override { return get(n).hint; }
    void setItemIndex(std::string_view n, int i) override
    {
        c(n).itemIndex = (i >= 0 && i < static_cast<int>(c(n).items.size())) ? i : -1;
    }
    int itemIndex(std::string_view n) const override { return get(n).itemIndex; }
    int itemCount(std::string_view n) const override { return static_cast<int>(get(n).items.size()); }
    std::string itemText(std::string_view n, int i) const override;
    void setItemText(std::string_view n, int i, std::string_view t) override;
    void removeItem(std::string_view n, int i) override;
    void onChange(std::string_view n, std::function<void()> h) override { handlers[std::string(n)].push_back(h); }

    Control& c(std::string_view n) { return controls[std::string(n)]; }
    Control get(std::string_view n) const
    {
        auto it = controls.find(std::string(n));
        return it == controls.end() ? Control{} : it->second;
    }
    // A combo box with these items and nothing selected.
    void setItems(std::string_view n, std::vector<std::string> items);

    std::map<std::string, Control> controls;
    std::map<int, std::string> panels;
    std::map<std::string, std::vector<std::function<void()>>> handlers;
    std::vector<std::vector<std::string>> radioGroups;

private:
    void changed(std::string_view n);
};

// A serial port that records what is written and is always open unless told.
class FakePort : public CommLink {
public:
    bool Connect() override { ++connects; open = openable; return open; }
    void SetReceiver(Receiver) override {}
    void Disconnect() override { ++disconnects; open = false; }
    bool Connected() const override { return open; }
    int32_t SendData(const void* data, int32_t size) override;
    uint32_t ReplyAllowanceMs() const override { return replyAllowance; }

    // Everything written so far, and the lines (each ended by CR) one by one.
    std::string written;
    std::vector<std::string> lines() const;
    void clear() { written.clear(); }
    // The lines written since the last take.
    std::vector<std::string> take()
    {
        auto l = lines();
        clear();
        return l;
    }

    bool open = true, openable = true;
    int connects = 0, disconnects = 0, zeroLengthWrites = 0;
    uint32_t replyAllowance = 0; // the port's extra reply time, ms
};

// Records the calls the parser, the engine and the session make on the
// window, the settings panel and the result display.
class RecordingHooks : public Hooks, public SettingsView, public ResultView {
public:
    void showSetting(const SettingCode& row) override { calls.push_back(std::string("show") + row.code); }
    void showRate() override { calls.push_back("showRate"); }
    void refreshProcessingPanels() override { calls.push_back("refreshProcessingPanels"); }
    void applyOldFirmwareLimits() override { calls.push_back("applyOldFirmwareLimits"); }
    void showResult(const Result&) override { calls.push_back("showResult"); }
    void drawHistogram() override { calls.push_back("drawHistogram"); }
    void showVersionText(std::string_view t) override { versionText = std::string(t); }
    bool captureOpen() const override { return capturing; }
    void writeCaptureLine(std::string_view l) override { captureLines.emplace_back(l); }
    void appendTerminal(std::string_view l) override { terminal.emplace_back(l); }
    bool terminalVisible() const override { return terminalShown; }
    void addErrorLine(std::string_view t) override { errors.emplace_back(t); ++errCount; }
    void clearErrors() override { errors.clear(); }
    int errorCount() const override { return errCount; }
    void setErrorCount(int n) override { errCount = n; }
    bool errorWindowVisible() const override { return errorWindowShown; }
    void showErrorWindow() override { errorWindowShown = true; calls.push_back("showErrorWindow"); }
    void showConnectedControls() override { calls.push_back("showConnectedControls"); }
    void updatePrevNextButtons() override { calls.push_back("updatePrevNextButtons"); }
    void loadPollingInterval() override { calls.push_back("loadPollingInterval"); }
    void switchPcBaudRate() override { calls.push_back("switchPcBaudRate"); }
    bool commSetupVisible() const override { return commSetupShown; }

    bool called(const std::string& name) const;
    int count(const std::string& name) const;

    std::vector<std::string> calls, captureLines, terminal, errors;
    std::string versionText;
    bool capturing = false, terminalShown = false, errorWindowShown = false, commSetupShown = false;
    int errCount = 0;
};

// The window's subscribers to the parser's and the engine's events, over a
// control map, with the recording hooks standing in for the settings panel
// and the result view.
struct WindowEvents {
    WindowEvents(const DxuState& st, Ui& ui, RecordingHooks& hooks) : panel(st, ui, hooks), display(ui, hooks), looks(ui, hooks)
    {
        fanout.add(panel);
        fanout.add(display);
        fanout.add(looks);
    }
    PanelEvents panel;
    ResultPanel display;
    ControlLooks looks;
    EventFanout fanout;
};

} // namespace dxu::test
