#pragma once
// The main window over the simulator's core on the fake clock, connected and
// read, for the tests of changing a unit's settings.
#include "common/simwindow.h"
#include "ui/settings/settingspanel.h"
#include "settings/setupfile.h"
#include "ui/settings/settingstransfer.h"

#include <QFont>

#include <utility>

namespace dxu::test {

using Lines = std::vector<std::string>;

class UploadWindow : public SimWindowTest {
public:
    using Changes = SimLink::Values;
    using SimWindowTest::click;
    using SimWindowTest::type;
    // Connects to a unit whose settings differ from the simulator's defaults
    // by changes and reads them; the wire is then clear.
    void connect(const Changes& changes = {})
    {
        attach(quick(), changes);
        click("pbConnect");
        pump();
        ASSERT_EQ(top().state().connected, 1);
        ASSERT_FALSE(top().isEnabled("pbUpload"));
        link->received.clear();
    }
    // Lets the unit answer until the queue has run out (no status polls).
    void pump()
    {
        for (int t = 0; t < 20000; t += 10) {
            clock.advance(10);
            link->pump();
            if (idle())
                return;
        }
        ADD_FAILURE() << "the queue never ran out";
    }
    Lines takeLines() { return std::exchange(link->received, {}); }
    void choose(const char* name, int index)
    {
        if (auto* c = get<QComboBox>(name)) {
            c->setCurrentIndex(index);
            emit c->activated(index);
        }
    }
    void typePrf(const char* text)
    {
        if (auto* c = get<QComboBox>("cmbPRF"))
            c->setEditText(QString::fromLatin1(text));
        top().settingsPanel().settingChanged("cmbPRF");
    }
    // Upload and every reply to it; the lines it wrote.
    Lines upload()
    {
        top().settingsTransfer().uploadClicked();
        pump();
        return takeLines();
    }
    const dxusim::Settings& unit() const { return link->unit(0).settings(); }
    double unitValue(const char* code, size_t k = 0) const { return unit().get(code, k); }
};

} // namespace dxu::test
