// Port settings: loading and saving, the driver hand-over, the PC "Set"
// buttons, the unit rate changes and the PC rate switch that follows them.
#include "common/testsupport.h"
#include "ports/commsetup.h"
#include "ports/devicepaths.h"
#include "ports/portsettings.h"
#include "ports/storedvalues.h"
#include "services/store.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QPushButton>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace dxu;
using dxu::test::FakeClockScope;
using dxu::test::FakeUi;
using dxu::test::ScriptedMessages;
using dxu::test::clearStore;
using dxu::test::storedInt;

namespace {

// Records what is done to the PC port, with the fake clock's time.
class RecordingPort : public PcPort {
public:
    explicit RecordingPort(FakeClock& c) : clk(c) {}
    bool Connect() override { log("connect"); open = true; return true; }
    void Disconnect() override { log("disconnect"); open = false; }
    bool Connected() const override { return open; }
    void setComPort(int n) override { comPort = n; log("port " + std::to_string(n)); }
    void setRateIndex(int i) override { rateIndex = i; log("rate " + std::to_string(i)); }

    void log(const std::string& what) { events.push_back(std::to_string(clk.tickCount() - start) + " " + what); }
    FakeClock& clk;
    uint32_t start = clk.tickCount();
    std::vector<std::string> events;
    bool open = false;
    int comPort = -1, rateIndex = -1;
};

struct PortsFixture : ::testing::Test {
    void SetUp() override { clearStore(); }
    FakeClockScope clk;
    ScriptedMessages msgs;
    DxuState st;
    RecordingPort port{clk};
    FakeUi ui;
};

using PortSettings = PortsFixture;

TEST_F(PortSettings, NothingStoredGivesRs232OnCom1At115200)
{
    loadPortSettings(st, port);
    const UnitRecord& r = st.unitTable[0];
    EXPECT_EQ(r.port232, 0);
    EXPECT_EQ(r.port485, 0);
    EXPECT_EQ(r.port232RateIndex, 8);
    EXPECT_EQ(r.port485RateIndex, 8);
    EXPECT_EQ(r.portInUse, 1);
    EXPECT_EQ(r.currentPort, 0);
    EXPECT_EQ(st.networkMode(), 0);
    EXPECT_STREQ(r.portName, "COM1:");
    EXPECT_EQ(port.comPort, 0);
    EXPECT_EQ(port.rateIndex, 8);
    EXPECT_EQ(st.unitTable[1].port232RateIndex, 8);
    EXPECT_EQ(st.unitTable[1].portInUse, 1);
    // A load writes nothing back.
    EXPECT_EQ(storedInt("Port232RateIndex"), dxu::test::Absent);
}

TEST_F(PortSettings, StoredValuesReachTheRealDriver)
{
    struct Case {
        int storedMode, stored232, stored485, rate232, rate485;
        TComPortNumber port;
        TComPortBaudRate speed;
        int recordRate232;
        const char* name;
    };
    const Case cases[] = {
        {0, 2, 5, 7, 3, pnCOM3, br57600, 7, "COM3:"},
        {0, 0, 0, 9, 3, pnCOM1, br115200, 8, "COM1:"},   // outside the table
        {0, 0, 0, -1, 3, pnCOM1, br115200, 8, "COM1:"},
        {0, 0, 0, 4, 3, pnCOM1, br14400, 4, "COM1:"},
        {1, 2, 5, 7, 0, pnCOM6, br1200, 7, "COM6:"},     // network mode takes the RS-485 link
        {5, 2, 99, 7, 6, pnCOM100, br38400, 7, "COM100:"},
        {1, 2, -4, 7, 6, pnCOM1, br38400, 7, "COM1:"},   // a port the driver cannot open
    };
    for (const Case& c : cases) {
        clearStore();
        Store::writeInt(QStringLiteral("Network Mode"), c.storedMode);
        Store::writeInt(QStringLiteral("Port232"), c.stored232);
        Store::writeInt(QStringLiteral("Port485"), c.stored485);
        Store::writeInt(QStringLiteral("Port232RateIndex"), c.rate232);
        Store::writeInt(QStringLiteral("Port485RateIndex"), c.rate485);
        DxuState s;
        TCommPortDriver driver;
        DriverPcPort pc(driver);
        loadPortSettings(s, pc);
        SCOPED_TRACE(c.name);
        EXPECT_EQ(driver.ComPort(), c.port);
        EXPECT_EQ(driver.ComPortSpeed(), c.speed);
        EXPECT_EQ(s.unitTable[0].port232RateIndex, c.recordRate232);
        EXPECT_EQ(s.unitTable[0].portInUse, c.storedMode ? 2 : 1);
        EXPECT_STREQ(s.unitTable[0].portName, c.name);
    }
}

TEST_F(PortSettings, SaveWritesTheSevenValuesUnderTheirNames)
{
    UnitRecord& r = st.unitTable[0];
    r.networkMode = 1;
    r.currentPort = 2;
    r.port232 = 3;
    r.port485 = 4;
    r.port232RateIndex = 5;
    r.port485RateIndex = 6;
    r.portInUse = 2;
    savePortSettings(st);
    EXPECT_EQ(storedInt("Network Mode"), 1);
    EXPECT_EQ(storedInt("Currrent Port"), 2);
    EXPECT_EQ(storedInt("Port232"), 3);
    EXPECT_EQ(storedInt("Port485"), 4);
    EXPECT_EQ(storedInt("Port232RateIndex"), 5);
    EXPECT_EQ(storedInt("Port485RateIndex"), 6);
    EXPECT_EQ(storedInt("In Use"), 2);

    DxuState again;
    loadPortSettings(again, port);
    const UnitRecord& a = again.unitTable[1];
    EXPECT_EQ(again.networkMode(), 1);
    EXPECT_EQ(a.currentPort, 2);
    EXPECT_EQ(a.port232, 3);
    EXPECT_EQ(a.port485, 4);
    EXPECT_EQ(a.port232RateIndex, 5);
    EXPECT_EQ(a.port485RateIndex, 6);
    EXPECT_EQ(a.portInUse, 2);
    EXPECT_EQ(port.comPort, 4);
    EXPECT_EQ(port.rateIndex, 6);
}

TEST(RateTable, IndexesRatesAndTexts)
{
    const int rates[] = {1200, 2400, 4800, 9600, 14400, 19200, 38400, 57600, 115200};
    const char* texts[] = {"    1200", "    2400", "    4800", "    9600", "  14400",
                           "  19200",  "  38400",  "  57600",  "115200"};
    for (int i = 0; i < RateCount; ++i) {
        EXPECT_EQ(rateOfIndex(i), rates[i]);
        EXPECT_EQ(indexOfRate(rates[i]), i);
        EXPECT_EQ(rateItemText(i), QString::fromLatin1(texts[i]));
    }
    for (int odd : {56000, 110, 300, 600, 0, -1, 230400})
        EXPECT_EQ(indexOfRate(odd), 8) << odd;
    EXPECT_EQ(rateOfIndex(9), 115200);
    EXPECT_EQ(driverRate(8), br115200);
    EXPECT_EQ(driverRate(4), br14400);
    EXPECT_EQ(driverRate(9), br115200);
}

using PcSet = PortsFixture;

TEST_F(PcSet, WhileConnectedReopensTheOldPortNumberAtTheNewRate)
{
    loadPortSettings(st, port);
    port.open = true;
    port.events.clear();
    port.start = clk.tickCount();
    ASSERT_TRUE(setPcPort(st, port, PcLink::Rs232, 4, 3, true));
    const std::vector<std::string> want = {"0 disconnect", "200 rate 3", "400 connect"};
    EXPECT_EQ(port.events, want); // the port number is not handed over
    EXPECT_EQ(st.unitTable[0].port232, 4);
    EXPECT_EQ(storedInt("Port232"), 4);
    EXPECT_EQ(storedInt("Port232RateIndex"), 3);
    // The new number is used by the next hand-over.
    applyPortSettings(st, port);
    EXPECT_EQ(port.comPort, 4);
}

TEST_F(PcSet, OnlyTheLinkOfTheModeTouchesTheDriver)
{
    loadPortSettings(st, port); // RS-232 mode
    for (bool open : {false, true}) {
        port.open = open;
        port.events.clear();
        ASSERT_TRUE(setPcPort(st, port, PcLink::Rs485, 2, 5, false));
        EXPECT_TRUE(port.events.empty());
        EXPECT_EQ(st.unitTable[0].port485RateIndex, 5);
        EXPECT_EQ(storedInt("Port485RateIndex"), 5);
    }
    port.open = false;
    ASSERT_TRUE(setPcPort(st, port, PcLink::Rs232, 1, 2, false));
    EXPECT_EQ(port.events.back(), "0 rate 2");
}

TEST_F(PcSet, MissingSelectionsAreRefused)
{
    loadPortSettings(st, port);
    EXPECT_FALSE(setPcPort(st, port, PcLink::Rs232, -1, 3, true));
    EXPECT_FALSE(setPcPort(st, port, PcLink::Rs232, 2, -1, true));
    ASSERT_EQ(msgs.shown.size(), 2u);
    EXPECT_EQ(msgs.shown[0].caption, "Error");
    EXPECT_EQ(msgs.shown[0].text, "No port selected.");
    EXPECT_EQ(msgs.shown[1].text, "No Baud Rate selected.");
    EXPECT_EQ(st.unitTable[0].port232, 0);
    EXPECT_EQ(storedInt("Port232"), dxu::test::Absent);
}

struct UnitRate : PortsFixture {
    void SetUp() override
    {
        PortsFixture::SetUp();
        loadPortSettings(st, port);
        st.connected = 1;
        port.open = true;
        st.current().port0Baud = 115200;
        st.current().port1Baud = 115200;
        ui.c("pbSaveSettings").enabled = false;
    }
    bool set(UnitPort p, int index) { return changeUnitRate(st, ui, p, index, [this] { ++uploads; }); }
    int uploads = 0;
};

TEST_F(UnitRate, TheRateTheUnitHasSendsNothing)
{
    st.current().port1Baud = 57600;
    EXPECT_FALSE(set(UnitPort::Universal, 7));
    EXPECT_FALSE(set(UnitPort::Universal, -1));
    EXPECT_EQ(uploads, 0);
    EXPECT_TRUE(msgs.shown.empty());
    EXPECT_EQ(st.current().port1BaudChanged, 0);
}

TEST_F(UnitRate, QuestionsByLinkPortAndAnswer)
{
    struct Case {
        UnitPort unitPort;
        int currentPort;
        std::vector<MsgAnswer> answers;
        const char* question; // nullptr: none asked
        int pending;
    };
    const char* uni = "Do you like to change the PC Baud Rate accordingly?";
    const char* cfg = "Do you want to change the PC Baud Rate accordingly?";
    const Case cases[] = {
        {UnitPort::Universal, 1, {MsgAnswer::Yes}, uni, 1},
        {UnitPort::Universal, 2, {MsgAnswer::No}, uni, 0},   // No still sends BR
        {UnitPort::Universal, 0, {}, nullptr, 0},
        {UnitPort::Configuration, 0, {MsgAnswer::Yes}, cfg, 1},
        {UnitPort::Configuration, 1, {}, nullptr, 0},        // link runs through the universal port
        {UnitPort::Configuration, 2, {}, nullptr, 0},
    };
    for (const Case& c : cases) {
        SetUp();
        msgs.shown.clear();
        st.baudChangePending = 0;
        st.newRateIndex232 = 0;
        st.current().currentPort = c.currentPort;
        for (MsgAnswer a : c.answers)
            msgs.answerNext(a);
        SCOPED_TRACE(c.currentPort);
        EXPECT_TRUE(set(c.unitPort, 5));
        EXPECT_EQ(uploads, 1);
        const bool universal = c.unitPort == UnitPort::Universal;
        EXPECT_EQ(universal ? st.editRecord.port1Baud : st.editRecord.port0Baud, 19200);
        EXPECT_EQ(universal ? st.current().port1BaudChanged : st.current().port0BaudChanged, 1);
        EXPECT_EQ(universal ? st.current().port0BaudChanged : st.current().port1BaudChanged, 0);
        if (c.question) {
            ASSERT_EQ(msgs.shown.size(), 1u);
            EXPECT_EQ(msgs.shown[0].caption, "Baud Rate Change");
            EXPECT_EQ(msgs.shown[0].text, c.question);
        } else {
            EXPECT_TRUE(msgs.shown.empty());
        }
        EXPECT_EQ(st.baudChangePending, c.pending);
        EXPECT_EQ(st.newRateIndex232, c.pending ? 5 : 0);
        uploads = 0;
        st.current().port0BaudChanged = st.current().port1BaudChanged = 0;
    }
}

TEST_F(UnitRate, PendingChangesQuestionCanDecline)
{
    ui.c("pbSaveSettings").enabled = true;
    st.current().currentPort = 0;
    msgs.answerNext(MsgAnswer::No);
    EXPECT_FALSE(set(UnitPort::Universal, 3));
    ASSERT_EQ(msgs.shown.size(), 1u);
    EXPECT_EQ(msgs.shown[0].caption, "Warning");
    EXPECT_TRUE(msgs.shown[0].text.startsWith("Other pending parameter changes will also be saved."));
    EXPECT_EQ(uploads, 0);
    EXPECT_EQ(st.current().port1BaudChanged, 0);
    EXPECT_EQ(st.editRecord.port1Baud, 0);
}

TEST_F(UnitRate, NothingIsMarkedWithoutAConnection)
{
    st.connected = 0;
    EXPECT_FALSE(set(UnitPort::Configuration, 3));
    EXPECT_EQ(uploads, 0);
    EXPECT_EQ(st.current().port0BaudChanged, 0);
}

TEST_F(UnitRate, PcFollowsInNetworkModeOnTheRs485Rate)
{
    st.setNetworkMode(1);
    st.currentUnit = 1;
    st.current().port1Baud = 9600;
    st.current().currentPort = 1;
    EXPECT_TRUE(set(UnitPort::Universal, 6));
    EXPECT_EQ(st.newRateIndex485, 6);
    EXPECT_EQ(st.newRateIndex232, 0);
}

TEST_F(UnitRate, PcRateSwitchAfterTheAnswer)
{
    st.baudChangePending = 1;
    st.newRateIndex232 = 5;
    port.events.clear();
    port.start = clk.tickCount();
    std::vector<std::pair<PcLink, int>> shown;
    switchPcBaudRate(st, port, [&](PcLink l, int i) { shown.emplace_back(l, i); });
    const std::vector<std::string> want = {"0 disconnect", "200 rate 5", "400 connect"};
    EXPECT_EQ(port.events, want);
    EXPECT_EQ(st.baudChangePending, 0);
    EXPECT_EQ(st.unitTable[0].port232RateIndex, 5);
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].first, PcLink::Rs232);
    EXPECT_EQ(storedInt("Port232RateIndex"), 5);
}

// --- the dialog -----------------------------------------------------------

struct Dialog : UnitRate {
    void SetUp() override
    {
        UnitRate::SetUp();
        dlg.bind(st, port, ui, [this] { ++uploads; });
    }
    template <class T> T* w(const char* name) { return dlg.findChild<T*>(QLatin1String(name)); }
    TfrmCommSetup dlg;
};

TEST_F(Dialog, ShowsControlsAndSelections)
{
    st.unitTable[0].port232 = 2;
    st.unitTable[0].port232RateIndex = 3;
    st.unitTable[0].port485 = 29;
    st.unitTable[0].port485RateIndex = 0;
    st.unitTable[0].portInUse = 2;
    st.current().port0Baud = 4800;
    st.current().port1Baud = 56000;
    dlg.show();
    EXPECT_EQ(dlg.windowTitle(), "Comm Ports Setup");
    EXPECT_EQ(w<QComboBox>("cmbPC232Port")->count(), 30);
    EXPECT_EQ(w<QComboBox>("cmbPC232Port")->currentText(), "COM 3");
    EXPECT_EQ(w<QComboBox>("cmbPC232Rate")->currentText(), "    9600");
    EXPECT_EQ(w<QComboBox>("cmbPC485Port")->currentText(), "COM 30");
    EXPECT_EQ(w<QComboBox>("cmbPC485Rate")->currentText(), "    1200");
    EXPECT_EQ(w<QComboBox>("cmbDXUConfigRate")->currentText(), "    4800");
    EXPECT_EQ(w<QComboBox>("cmbDXUUniversalRate")->currentText(), "115200"); // 56000
    EXPECT_TRUE(w<QCheckBox>("cbActive485")->isChecked());
    EXPECT_FALSE(w<QCheckBox>("cbActive232")->isChecked());
    for (const char* b : {"pbSetPC232", "pbSetPC485", "pbConfigBaudRate", "pbUniversalBaudRate", "pbExit"})
        EXPECT_NE(w<QPushButton>(b), nullptr) << b;

    // Disconnected: no unit rates, and they cannot be set.
    dlg.hide();
    port.open = false;
    st.connected = 0;
    dlg.show();
    EXPECT_EQ(w<QComboBox>("cmbDXUUniversalRate")->currentIndex(), -1);
    EXPECT_FALSE(w<QPushButton>("pbUniversalBaudRate")->isEnabled());
}

TEST_F(Dialog, InUseBoxesExcludeEachOther)
{
    dlg.show();
    auto* a = w<QCheckBox>("cbActive232");
    auto* b = w<QCheckBox>("cbActive485");
    ASSERT_TRUE(a->isChecked());
    b->click();
    EXPECT_TRUE(b->isChecked());
    EXPECT_FALSE(a->isChecked());
    b->click();
    EXPECT_FALSE(a->isChecked());
    EXPECT_FALSE(b->isChecked());
}

TEST_F(Dialog, UnitRateSetThroughTheButtons)
{
    st.current().port1Baud = 56000;
    st.current().currentPort = 1;
    dlg.show();
    // 56000 shows as 115200; choosing 115200 is a change for the unit.
    msgs.answerNext(MsgAnswer::No);
    w<QPushButton>("pbUniversalBaudRate")->click();
    EXPECT_EQ(uploads, 1);
    EXPECT_EQ(st.editRecord.port1Baud, 115200);
    EXPECT_EQ(st.baudChangePending, 0);

    w<QComboBox>("cmbDXUConfigRate")->setCurrentIndex(8); // what the unit has
    w<QPushButton>("pbConfigBaudRate")->click();
    EXPECT_EQ(uploads, 1);

    dlg.selectPcRate(PcLink::Rs232, 4);
    EXPECT_EQ(w<QComboBox>("cmbPC232Rate")->currentText(), "  14400");
}

TEST_F(Dialog, PcSetStoresTheChosenDevice)
{
    port.open = false;
    dlg.show();
    auto* portList = w<QComboBox>("cmbPC232Port");
    auto* device = w<QComboBox>("cmbPC232Device");
    ASSERT_NE(device, nullptr);
    portList->setCurrentIndex(1);
    EXPECT_EQ(device->currentText(), "/dev/ttyS1");
    device->setEditText(QStringLiteral("/dev/ttyUSB0"));
    w<QComboBox>("cmbPC485Port")->setCurrentIndex(-1);
    w<QPushButton>("pbSetPC232")->click();
    EXPECT_EQ(Store::portPath(2), "/dev/ttyUSB0");
    EXPECT_EQ(comDevicePath(2), "/dev/ttyUSB0");
    EXPECT_EQ(st.unitTable[0].port232, 1);
    EXPECT_TRUE(msgs.shown.empty());

    // Another COM number shows its own device; the default removes the choice.
    portList->setCurrentIndex(0);
    EXPECT_EQ(device->currentText(), "/dev/ttyS0");
    portList->setCurrentIndex(1);
    EXPECT_EQ(device->currentText(), "/dev/ttyUSB0");
    device->setEditText(QStringLiteral("/dev/ttyS1"));
    w<QPushButton>("pbSetPC232")->click();
    EXPECT_TRUE(Store::portPath(2).isEmpty());

    // A group without a port selected refuses and stores nothing.
    w<QPushButton>("pbSetPC485")->click();
    ASSERT_EQ(msgs.shown.size(), 1u);
    EXPECT_EQ(msgs.shown[0].text, "No port selected.");
}

TEST_F(Dialog, DeviceFixedByTheEnvironmentCannotBeChanged)
{
    qputenv("DXU_COM3", "/tmp/dxu-pty-3");
    st.unitTable[0].port232 = 2;
    dlg.show();
    auto* device = w<QComboBox>("cmbPC232Device");
    EXPECT_EQ(device->currentText(), "/tmp/dxu-pty-3");
    EXPECT_FALSE(device->isEnabled());
    qunsetenv("DXU_COM3");
}

TEST(SerialDevices, ListedInGroupsByNumber)
{
    QTemporaryDir dev, sys;
    const auto touch = [](const QString& path) {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    };
    QDir(dev.path()).mkpath(QStringLiteral("serial/by-id"));
    for (const char* n : {"ttyUSB10", "ttyUSB2", "ttyACM0", "ttyS0", "ttyS1", "ttyS12", "tty0", "null"})
        touch(dev.path() + "/" + n);
    touch(dev.path() + "/serial/by-id/usb-FTDI_FT232R-if00-port0");
    // ttyS1 has no UART behind it.
    for (const char* n : {"ttyS0", "ttyS1"}) {
        QDir(sys.path()).mkpath(QString::fromLatin1(n));
        QFile f(sys.path() + "/" + n + "/type");
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(QByteArray(n) == "ttyS1" ? "0\n" : "4\n");
    }
    const QString d = dev.path();
    const QStringList want = {d + "/serial/by-id/usb-FTDI_FT232R-if00-port0", d + "/ttyUSB2", d + "/ttyUSB10",
                              d + "/ttyACM0", d + "/ttyS0", d + "/ttyS12"};
    EXPECT_EQ(listSerialDevices(d, sys.path()), want);
    EXPECT_TRUE(listSerialDevices(d + "/missing", sys.path()).isEmpty());
}

} // namespace
