// Port settings: loading and saving, the driver hand-over, the PC "Set"
// buttons, the unit rate changes and the PC rate switch that follows them.
#include "common/testsupport.h"
#include "ui/ports/commsetup.h"
#include "ports/devicepaths.h"
#include "services/store.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <unistd.h>

using namespace dxu;
using namespace dxu::test;

namespace {

// Records what is done to the PC port, with the fake clock's time.
class RecordingPort : public PcPort {
public:
    explicit RecordingPort(FakeClock& c) : clk(c) {}
    bool Connect() override { return log("connect"), open = true; }
    void Disconnect() override { log("disconnect"), open = false; }
    bool Connected() const override { return open; }
    void setComPort(int n) override { log("port " + std::to_string(n)); }
    void setRateIndex(int i) override { log("rate " + std::to_string(i)); }
    void setTurnaround(int ms) override { log("turnaround " + std::to_string(ms)); }
    void log(const std::string& what) { events.push_back(std::to_string(clk.tickCount() - start) + " " + what); }
    void reset() { events.clear(), start = clk.tickCount(); }
    FakeClock& clk;
    uint32_t start = clk.tickCount();
    std::vector<std::string> events;
    bool open = false;
};

struct Ports : ::testing::Test {
    void SetUp() override
    {
        clearStore();
        loadPortSettings(st, port);
        port.reset();
        st.current().port0Baud = st.current().port1Baud = 115200;
        ui.c("pbSaveSettings").enabled = false;
    }
    void connect() { st.connected = 1, port.open = true; }
    bool unitSet(UnitPort p, int index)
    {
        return changeUnitRate(st, asker, ui.isEnabled("pbSaveSettings"), p, index, [this] { ++uploads; });
    }
    FakeClockScope clk;
    ScriptedMessages msgs;
    DxuState st;
    RecordingPort port{clk};
    FakeUi ui;
    BoxAsker asker;
    int uploads = 0;
};

TEST(PortLoad, StoredValuesReachTheRealDriver)
{
    struct Case {
        std::vector<std::pair<const char*, int>> stored;
        TComPortNumber port;
        TComPortBaudRate speed;
        int rate232, inUse;
        const char* name;
        uint16_t turnaround = 0;
    };
    const Case cases[] = {
        {{}, pnCOM1, br115200, 8, 1, "COM1:"}, // nothing stored
        {{{"Port232", 2}, {"Port232RateIndex", 7}}, pnCOM3, br57600, 7, 1, "COM3:"},
        {{{"Port232RateIndex", 9}}, pnCOM1, br115200, 8, 1, "COM1:"},
        {{{"Port232RateIndex", -1}}, pnCOM1, br115200, 8, 1, "COM1:"},
        {{{"Port232RateIndex", 4}}, pnCOM1, br14400, 4, 1, "COM1:"},
        {{{"Network Mode", 1}, {"Port485", 5}, {"Port485RateIndex", 0}}, pnCOM6, br1200, 8, 2, "COM6:"},
        {{{"Network Mode", 5}, {"Port485", 99}}, pnCOM100, br115200, 8, 2, "COM100:"},
        {{{"Port232", -4}, {"In Use", 2}}, pnCOM1, br115200, 8, 1, "COM1:"}, // the mode decides the link
        {{{"Turnaround", 20}}, pnCOM1, br115200, 8, 1, "COM1:", 20},
        {{{"Turnaround", 5000}}, pnCOM1, br115200, 8, 1, "COM1:", 1000},
        {{{"Turnaround", -3}}, pnCOM1, br115200, 8, 1, "COM1:", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        clearStore();
        for (const auto& [name, value] : c.stored)
            Store::writeInt(QString::fromLatin1(name), value);
        DxuState s;
        TCommPortDriver driver;
        DriverPcPort pc(driver);
        loadPortSettings(s, pc);
        EXPECT_EQ(driver.ComPort(), c.port);
        EXPECT_EQ(driver.ComPortSpeed(), c.speed);
        EXPECT_EQ(s.unitTable[0].port232RateIndex, c.rate232);
        EXPECT_EQ(s.unitTable[1].port232RateIndex, c.rate232);
        EXPECT_EQ(s.unitTable[0].portInUse, c.inUse);
        EXPECT_EQ(s.unitTable[0].currentPort, 0);
        EXPECT_STREQ(s.unitTable[0].portName, c.name);
        EXPECT_EQ(driver.Turnaround(), c.turnaround);
    }
    EXPECT_EQ(storedInt("Currrent Port"), Absent); // a load writes nothing back
}

TEST_F(Ports, SaveWritesTheSevenValuesUnderTheirNames)
{
    UnitRecord& r = st.unitTable[0];
    r.networkMode = 1, r.currentPort = 2, r.port232 = 3, r.port485 = 4;
    r.port232RateIndex = 5, r.port485RateIndex = 6, r.portInUse = 2;
    savePortSettings(st);
    const std::pair<const char*, int> want[] = {{"Network Mode", 1}, {"Currrent Port", 2}, {"Port232", 3},
                                                {"Port485", 4}, {"Port232RateIndex", 5}, {"Port485RateIndex", 6},
                                                {"In Use", 2}};
    for (const auto& [name, value] : want)
        EXPECT_EQ(storedInt(name), value) << name;
}

TEST(RateTable, IndexesRatesAndTexts)
{
    const int rates[] = {1200, 2400, 4800, 9600, 14400, 19200, 38400, 57600, 115200};
    const char* texts[] = {"    1200", "    2400", "    4800", "    9600", "  14400", "  19200", "  38400", "  57600", "115200"};
    for (int i = 0; i < RateCount; ++i) {
        EXPECT_EQ(indexOfRate(rates[i]), i);
        EXPECT_EQ(rateItemText(i), QString::fromLatin1(texts[i]));
    }
    for (int odd : {56000, 110, 300, 600, 0, 230400})
        EXPECT_EQ(indexOfRate(odd), 8) << odd;
}

TEST_F(Ports, PcSetReachesTheDriverOnlyForTheLinkInUse)
{
    port.open = true;
    ASSERT_TRUE(setPcPort(st, port, PcLink::Rs232, 4, 3, true));
    EXPECT_EQ(port.events, (std::vector<std::string>{"0 disconnect", "200 rate 3", "400 connect"}));
    EXPECT_EQ(storedInt("Port232"), 4);
    EXPECT_EQ(storedInt("Port232RateIndex"), 3);

    // The other link's settings are kept for its mode and leave the driver alone.
    port.reset();
    ASSERT_TRUE(setPcPort(st, port, PcLink::Rs485, 2, 5, false));
    EXPECT_TRUE(port.events.empty());
    EXPECT_EQ(storedInt("Port485RateIndex"), 5);

    // Disconnected, the driver takes the new number too, so that the next
    // connection opens the port the dialog shows (and the connect check tests).
    port.open = false;
    port.reset();
    ASSERT_TRUE(setPcPort(st, port, PcLink::Rs232, 6, 2, true));
    EXPECT_EQ(port.events, (std::vector<std::string>{"0 port 6", "0 rate 2"}));
    EXPECT_STREQ(st.unitTable[0].portName, "COM7:");
    port.reset();
    ASSERT_TRUE(setPcPort(st, port, PcLink::Rs485, 3, 1, false));
    EXPECT_TRUE(port.events.empty()) << "the link not in use leaves the driver alone";
    EXPECT_STREQ(st.unitTable[0].portName, "COM7:");

    EXPECT_EQ(setPcPort(st, port, PcLink::Rs232, -1, 3, true).refusal, "No port selected.");
    EXPECT_EQ(setPcPort(st, port, PcLink::Rs232, 2, -1, true).refusal, "No Baud Rate selected.");
    EXPECT_EQ(st.unitTable[0].port232, 6);
}

TEST_F(Ports, UnitRateQuestionsByLinkPortAndAnswer)
{
    struct Case {
        UnitPort unitPort;
        int currentPort;
        std::vector<MsgAnswer> answers;
        const char* question; // nullptr: none asked
    };
    const char* uni = "Do you like to change the PC Baud Rate accordingly?";
    const char* cfg = "Do you want to change the PC Baud Rate accordingly?";
    const Case cases[] = {
        {UnitPort::Universal, 1, {MsgAnswer::Yes}, uni},
        {UnitPort::Universal, 2, {MsgAnswer::No}, uni}, // No still sends BR
        {UnitPort::Universal, 0, {}, nullptr},
        {UnitPort::Configuration, 0, {MsgAnswer::Yes}, cfg},
        {UnitPort::Configuration, 1, {}, nullptr}, // the link runs through the universal port
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.question ? c.question : "none");
        SetUp();
        connect();
        msgs.shown.clear();
        st.baudChangePending = st.newRateIndex232 = uploads = 0;
        st.current().port0BaudChanged = st.current().port1BaudChanged = 0;
        st.current().currentPort = c.currentPort;
        for (MsgAnswer a : c.answers)
            msgs.answerNext(a);
        EXPECT_TRUE(unitSet(c.unitPort, 5));
        EXPECT_EQ(uploads, 1);
        const bool uni = c.unitPort == UnitPort::Universal;
        EXPECT_EQ(uni ? st.editRecord.port1Baud : st.editRecord.port0Baud, 19200);
        EXPECT_EQ(st.current().port1BaudChanged, uni ? 1 : 0);
        EXPECT_EQ(st.current().port0BaudChanged, uni ? 0 : 1);
        ASSERT_EQ(msgs.shown.size(), c.question ? 1u : 0u);
        if (c.question) {
            EXPECT_EQ(msgs.shown[0].text, c.question);
        }
        const bool yes = !c.answers.empty() && c.answers[0] == MsgAnswer::Yes;
        EXPECT_EQ(st.baudChangePending, yes ? 1 : 0);
        EXPECT_EQ(st.newRateIndex232, yes ? 5 : 0);
    }
}

TEST_F(Ports, UnitRateChangesThatSendNothing)
{
    // The rate the unit has, no selection, no connection, and declined pending changes.
    connect();
    st.current().port1Baud = 57600;
    EXPECT_FALSE(unitSet(UnitPort::Universal, 7));
    EXPECT_FALSE(unitSet(UnitPort::Universal, -1));
    EXPECT_TRUE(msgs.shown.empty());
    st.connected = 0;
    EXPECT_FALSE(unitSet(UnitPort::Configuration, 3));
    st.connected = 1;
    ui.c("pbSaveSettings").enabled = true;
    msgs.answerNext(MsgAnswer::No);
    EXPECT_FALSE(unitSet(UnitPort::Universal, 3));
    ASSERT_EQ(msgs.shown.size(), 1u);
    EXPECT_TRUE(msgs.shown[0].text.startsWith("Other pending parameter changes will also be saved."));
    EXPECT_EQ(uploads, 0);
    EXPECT_EQ(st.current().port0BaudChanged + st.current().port1BaudChanged, 0);
}

TEST_F(Ports, PcRateFollowsTheUnitOnTheLinkOfTheMode)
{
    connect();
    st.setNetworkMode(1);
    st.currentUnit = 1;
    st.current().currentPort = 1;
    ASSERT_TRUE(unitSet(UnitPort::Universal, 6));
    EXPECT_EQ(st.newRateIndex485, 6);
    EXPECT_EQ(st.newRateIndex232, 0);

    std::vector<std::pair<PcLink, int>> shown;
    switchPcBaudRate(st, port, [&](PcLink l, int i) { shown.emplace_back(l, i); });
    EXPECT_EQ(port.events, (std::vector<std::string>{"0 disconnect", "200 rate 6", "400 connect"}));
    EXPECT_EQ(st.baudChangePending, 0);
    EXPECT_EQ(st.unitTable[0].port485RateIndex, 6);
    EXPECT_EQ(shown, (std::vector<std::pair<PcLink, int>>{{PcLink::Rs485, 6}}));
    EXPECT_EQ(storedInt("Port485RateIndex"), 6);
}

// --- the dialog -----------------------------------------------------------

struct Dialog : Ports {
    void SetUp() override
    {
        Ports::SetUp();
        dlg.bind(st, port, ui, [this] { ++uploads; });
    }
    template <class T> T* w(const char* name) { return dlg.findChild<T*>(QLatin1String(name)); }
    TfrmCommSetup dlg;
};

TEST_F(Dialog, ShowsSettingsAndSetsTheUnitRate)
{
    connect();
    UnitRecord& r = st.unitTable[0];
    r.port485 = 29, r.port485RateIndex = 0, r.portInUse = 2;
    st.current().port1Baud = 56000;
    st.current().currentPort = 1;
    dlg.show();
    EXPECT_EQ(w<QComboBox>("cmbPC485Port")->currentText(), "COM 30");
    EXPECT_EQ(w<QComboBox>("cmbPC485Rate")->currentText(), "    1200");
    EXPECT_EQ(w<QComboBox>("cmbDXUUniversalRate")->currentText(), "115200"); // 56000
    EXPECT_TRUE(w<QCheckBox>("cbActive485")->isChecked());
    EXPECT_FALSE(w<QCheckBox>("cbActive232")->isChecked());

    // 115200 is a change for a unit at 56000.
    msgs.answerNext(MsgAnswer::No);
    w<QPushButton>("pbUniversalBaudRate")->click();
    EXPECT_EQ(uploads, 1);
    EXPECT_EQ(st.editRecord.port1Baud, 115200);

    dlg.hide();
    st.connected = 0, port.open = false;
    dlg.show();
    EXPECT_EQ(w<QComboBox>("cmbDXUUniversalRate")->currentIndex(), -1);
    EXPECT_FALSE(w<QPushButton>("pbUniversalBaudRate")->isEnabled());
}

TEST_F(Dialog, TurnaroundIsStoredAndHandedToThePort)
{
    dlg.show();
    auto* ed = w<QSpinBox>("edTurnaround");
    ASSERT_NE(ed, nullptr);
    EXPECT_EQ(ed->text(), "Auto") << "absent: the line rate's own";
    EXPECT_TRUE(port.events.empty()) << "showing changes nothing";
    ed->setValue(25);
    EXPECT_EQ(storedInt("Turnaround"), 25);
    ASSERT_FALSE(port.events.empty());
    EXPECT_EQ(port.events.back(), "0 turnaround 25");
    dlg.hide();
    port.reset();
    Store::writeInt(QStringLiteral("Turnaround"), 40);
    dlg.show();
    EXPECT_EQ(ed->value(), 40);
    EXPECT_TRUE(port.events.empty());
}

TEST_F(Dialog, PcSetStoresTheChosenDevice)
{
    dlg.show();
    auto* portList = w<QComboBox>("cmbPC232Port");
    auto* device = w<QComboBox>("cmbPC232Device");
    portList->setCurrentIndex(1);
    EXPECT_EQ(device->currentText(), "/dev/ttyS1");
    device->setEditText(QStringLiteral("/dev/ttyUSB0"));
    w<QPushButton>("pbSetPC232")->click();
    EXPECT_EQ(comDevicePath(2), "/dev/ttyUSB0");
    EXPECT_EQ(st.unitTable[0].port232, 1);

    portList->setCurrentIndex(0);
    EXPECT_EQ(device->currentText(), "/dev/ttyS0");
    portList->setCurrentIndex(1);
    EXPECT_EQ(device->currentText(), "/dev/ttyUSB0");
    device->setEditText(QStringLiteral(" ttyACM0 ")); // a bare name is a device in /dev
    w<QPushButton>("pbSetPC232")->click();
    EXPECT_EQ(comDevicePath(2), "/dev/ttyACM0");
    device->setEditText(QStringLiteral("/dev/ttyS1")); // the default removes the choice
    w<QPushButton>("pbSetPC232")->click();
    EXPECT_TRUE(Store::portPath(2).isEmpty());
    EXPECT_TRUE(msgs.shown.empty());

    qputenv("DXU_COM1", "/tmp/dxu-pty-1");
    portList->setCurrentIndex(0);
    EXPECT_EQ(device->currentText(), "/tmp/dxu-pty-1");
    EXPECT_FALSE(device->isEnabled());
    qunsetenv("DXU_COM1");
}

// A typed device that is not there now is kept (the adapter may be plugged in
// later), and the dialog says so without standing in the way.
TEST_F(Dialog, DeviceNotPresentIsKeptWithANote)
{
    dlg.show();
    w<QComboBox>("cmbPC232Port")->setCurrentIndex(2);
    auto* device = w<QComboBox>("cmbPC232Device");
    auto* note = w<QLabel>("lblPC232DeviceNote");
    const std::pair<QString, QString> cases[] = {
        {"/dev/dxu-adapter-later", "/dev/dxu-adapter-later is not present now; COM3 will open it once it is plugged in."},
        {"/dev/null", ""},
        {"rfc2217://server:4001", "A device server's port: the line settings travel with RFC 2217."},
        {"tls://10.0.0.5:4002", "A device server's port: the line settings stay as the server has them."},
    };
    for (const auto& [typed, text] : cases) {
        device->setEditText(typed);
        w<QPushButton>("pbSetPC232")->click();
        EXPECT_EQ(comDevicePath(3), typed);
        EXPECT_EQ(note->text(), text);
        EXPECT_EQ(note->isHidden(), text.isEmpty()) << typed.toStdString();
    }
    EXPECT_TRUE(msgs.shown.empty());
}

// The port's options (RS-485 direction, echo, extra reply time, CA file)
// are stored for the COM number with Set and shown again for it; an address
// that is no network address the program knows is refused and nothing stored.
TEST_F(Dialog, PortOptionsAreStoredPerComNumber)
{
    dlg.show();
    w<QComboBox>("cmbPC232Port")->setCurrentIndex(3);
    w<QComboBox>("cmbPC232Direction")->setCurrentIndex(2);
    w<QSpinBox>("edPC232RtsBefore")->setValue(3);
    w<QSpinBox>("edPC232RtsAfter")->setValue(5);
    w<QCheckBox>("cbPC232DropEcho")->setChecked(true);
    w<QSpinBox>("edPC232ReplyAllowance")->setValue(750);
    w<QLineEdit>("edPC232CaFile")->setText(QStringLiteral("/etc/dxu/ca.pem"));
    w<QComboBox>("cmbPC232Device")->setEditText(QStringLiteral("rfc2217+tls://server:4001"));
    w<QPushButton>("pbSetPC232")->click();
    PortOptions want;
    want.rs485 = Rs485Mode::RtsAfterSend;
    want.rtsBeforeMs = 3;
    want.rtsAfterMs = 5;
    want.dropEcho = true;
    want.replyAllowanceMs = 750;
    want.caFile = QStringLiteral("/etc/dxu/ca.pem");
    EXPECT_EQ(loadPortOptions(4), want);
    EXPECT_EQ(loadPortOptions(1), PortOptions{});
    EXPECT_EQ(comDevicePath(4), "rfc2217+tls://server:4001");

    w<QComboBox>("cmbPC232Port")->setCurrentIndex(0);
    EXPECT_EQ(w<QComboBox>("cmbPC232Direction")->currentIndex(), 0);
    EXPECT_FALSE(w<QSpinBox>("edPC232RtsBefore")->isEnabled());
    w<QComboBox>("cmbPC232Port")->setCurrentIndex(3);
    EXPECT_EQ(w<QSpinBox>("edPC232ReplyAllowance")->value(), 750);
    EXPECT_TRUE(w<QSpinBox>("edPC232RtsBefore")->isEnabled());
    EXPECT_TRUE(msgs.shown.empty());

    w<QComboBox>("cmbPC232Device")->setEditText(QStringLiteral("rfc2217://server"));
    w<QPushButton>("pbSetPC232")->click();
    ASSERT_EQ(msgs.shown.size(), 1u);
    EXPECT_TRUE(msgs.shown[0].text.startsWith(QStringLiteral("'rfc2217://server' is no network address")));
    EXPECT_EQ(comDevicePath(4), "rfc2217+tls://server:4001");
}

// A USB adapter the technician types in (a pseudo-terminal stands in for
// /dev/ttyUSB0): chosen for COM 3 in the dialog, kept under Ports/COM3, and
// opened by the real driver for "COM 3", now and after a restart.
TEST(PortDevice, ChosenAdapterIsOpenedForItsComNumber)
{
    clearStore();
    ::unsetenv("DXU_COM3");
    int master = -1, slave = -1;
    char name[256] = {};
    ASSERT_EQ(::openpty(&master, &slave, name, nullptr, nullptr), 0);
    ::close(slave);
    const QString adapter = QString::fromLocal8Bit(name);
    const auto farEndReads = [master](int count) {
        QByteArray got;
        char buf[64];
        for (int i = 0; i < 100 && got.size() < count; ++i) {
            pollfd p{master, POLLIN, 0};
            if (::poll(&p, 1, 10) > 0) {
                const ssize_t n = ::read(master, buf, sizeof buf);
                if (n > 0)
                    got.append(buf, n);
            }
        }
        return got;
    };

    FakeClockScope clk;
    ScriptedMessages msgs;
    FakeUi ui;
    {
        DxuState st;
        TCommPortDriver driver;
        DriverPcPort pc(driver);
        loadPortSettings(st, pc);
        TfrmCommSetup dlg;
        dlg.bind(st, pc, ui, {});
        dlg.show();
        dlg.findChild<QComboBox*>(QStringLiteral("cmbPC232Port"))->setCurrentIndex(2);
        dlg.findChild<QComboBox*>(QStringLiteral("cmbPC232Rate"))->setCurrentIndex(3);
        dlg.findChild<QComboBox*>(QStringLiteral("cmbPC232Device"))->setEditText(QLatin1Char(' ') + adapter);
        dlg.findChild<QPushButton*>(QStringLiteral("pbSetPC232"))->click();
        EXPECT_TRUE(msgs.shown.empty());
        dlg.hide();

        EXPECT_EQ(Store::portPath(3), adapter);
        EXPECT_EQ(storedInt("Port232"), 2);
        EXPECT_TRUE(portIsFree(3)) << "the connect check looks at the adapter";
        ASSERT_TRUE(driver.Connect());
        EXPECT_EQ(driver.ComPort(), pnCOM3);
        EXPECT_EQ(driver.ComPortSpeed(), br9600);
        EXPECT_FALSE(portIsFree(3));
        EXPECT_EQ(driver.SendData("US\r", 3), 3);
        EXPECT_EQ(farEndReads(3), "US\r");
        driver.Disconnect();
    }
    {
        // The next start.
        DxuState st;
        TCommPortDriver driver;
        DriverPcPort pc(driver);
        loadPortSettings(st, pc);
        EXPECT_STREQ(st.unitTable[0].portName, "COM3:");
        ASSERT_TRUE(driver.Connect());
        EXPECT_EQ(driver.SendData("SV\r", 3), 3);
        EXPECT_EQ(farEndReads(3), "SV\r");
    }
    ::close(master);
}

TEST(SerialDevices, ListedInGroupsByNumber)
{
    QTemporaryDir dev, sys;
    const QString d = dev.path();
    QDir(d).mkpath(QStringLiteral("serial/by-id"));
    for (const char* n : {"ttyUSB10", "ttyUSB2", "ttyACM0", "ttyS0", "ttyS1", "ttyS12", "tty0", "serial/by-id/usb-FTDI"})
        QFile(d + "/" + n).open(QIODevice::WriteOnly);
    for (const char* n : {"ttyS0", "ttyS1"}) { // ttyS1 has no UART behind it
        QDir(sys.path()).mkpath(QString::fromLatin1(n));
        QFile f(sys.path() + "/" + n + "/type");
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(QByteArray(n) == "ttyS1" ? "0\n" : "4\n");
    }
    const QStringList want = {d + "/serial/by-id/usb-FTDI", d + "/ttyUSB2", d + "/ttyUSB10", d + "/ttyACM0",
                              d + "/ttyS0", d + "/ttyS12"};
    EXPECT_EQ(listSerialDevices(d, sys.path()), want);
}

} // namespace
