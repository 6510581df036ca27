// Setup files through the real window against the simulator's core: a unit's
// settings saved, opened into another unit, compared and uploaded; files that
// cannot be used refused with nothing changed; the merge rules; the report.
#include "uploadwindow.h"

#include "protocol/settingcodes.h"
#include "ui/settings/compareview.h"
#include "ui/settings/setupfiles.h"
#include "settings/setuptext.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QTableWidget>
#include <QTemporaryDir>

#include <cmath>
#include <csignal>
#include <functional>
#include <limits>
#include <set>
#include <string_view>
#include <sys/resource.h>
#include <sys/stat.h>

namespace dxu::test {
namespace {

// The codes whose changed flags are set in a record.
std::set<std::string> flagged(const UnitRecord& r)
{
    std::set<std::string> codes;
    for (const SettingCode& row : settingCodes())
        for (const SettingField& f : row.fields)
            if (f.changed && r.*f.changed)
                codes.insert(row.code);
    return codes;
}

QByteArray fileBytes(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void writeBytes(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

QByteArray imageOf(const UnitRecord& r)
{
    const auto image = r.toBytes();
    return QByteArray(reinterpret_cast<const char*>(image.data()), static_cast<qsizetype>(image.size()));
}

class SetupFileWindow : public UploadWindow {
public:
    QString path(const char* name) const { return dir.filePath(QString::fromLatin1(name)); }
    void openFile(const QString& file)
    {
        dialogs.answerNext(file);
        top().setupFiles().open();
    }
    // The write lines of an upload (its read-back queries left out).
    Lines writes(const Lines& wire)
    {
        Lines w;
        for (const std::string& l : wire)
            if (l.find(',') != std::string::npos)
                w.push_back(l);
        return w;
    }
    std::vector<std::vector<QString>> compareRows()
    {
        auto* grid = top().compareView()->findChild<QTableWidget*>(QStringLiteral("grdCompare"));
        std::vector<std::vector<QString>> rows;
        for (int r = 0; grid && r < grid->rowCount(); ++r)
            rows.push_back({grid->item(r, 0)->text(), grid->item(r, 1)->text(), grid->item(r, 2)->text()});
        return rows;
    }

    QTemporaryDir dir;
    ScriptedFileDialogs dialogs;
};

// Unit A saved, its file opened into unit B and uploaded: B holds A's
// settings, never A's address or port rates; only the differences go on the
// wire (a setting the panel does not show in B's mode too), and the Upload
// after that gathers the panel again. Until the upload, B's record is B's.
TEST_F(SetupFileWindow, RoundTripGivesAnotherUnitTheSettings)
{
    const Changes a = {{"SG", {1.25}}, {"XP", {900}}, {"FA", {2}}, {"AB", {600}}, {"DS", {7}},
                       {"UA", {'c'}},  {"BR", {115200, 9600}}};
    connect(a);
    dialogs.answerNext(path("unitA")); // typed without an extension
    top().setupFiles().saveAs();
    const QString saved = path("unitA.dxu");
    EXPECT_EQ(fileBytes(saved), imageOf(top().state().current()));
    EXPECT_TRUE(readSetupFile(saved).record == top().state().current());
    EXPECT_EQ(top().windowTitle(), QStringLiteral("DXU Interface - unitA.dxu"));
    EXPECT_EQ(top().setupFiles().setupFileName(), saved);

    connect();
    openFile(saved);
    const UnitRecord& b = top().state().current();
    EXPECT_TRUE(flagged(b).empty());
    EXPECT_FLOAT_EQ(b.shortGate, 0.5f);
    EXPECT_EQ(b.addressChar(), 'a');
    EXPECT_EQ(b.port1Baud, 115200);
    EXPECT_TRUE(top().isEnabled("pbUpload"));
    EXPECT_EQ(compareRows().size(), 5u);

    EXPECT_EQ(writes(upload()), (Lines{"$SG,1.250", "$XP,900", "$FA,2", "$AB,600", "$DS,7"}));
    for (const auto& [code, values] : a) {
        if (code != "UA" && code != "BR") {
            EXPECT_DOUBLE_EQ(unitValue(code.c_str()), values[0]) << code;
        }
    }
    EXPECT_EQ(unit().address(), 'a');
    EXPECT_DOUBLE_EQ(unitValue("BR", 1), 115200);
    EXPECT_TRUE(flagged(top().state().current()).empty());

    type("edMinIntensity", "7");
    EXPECT_EQ(upload(), (Lines{"$MP,7", "$MP"}));
    EXPECT_TRUE(messages.shown.empty());
}

// A file with the unit's own settings changes nothing; Save writes the same
// name again without asking.
// A setup file belongs to the unit it was saved from: with another unit on
// screen the title no longer names it and Save Setup asks for a name,
// proposing the file, instead of overwriting it; with the same unit again
// (the same port reconnected) Save Setup saves into it.
TEST_F(SetupFileWindow, ASetupFileBelongsToTheUnitItHolds)
{
    enum Change { NextOnTheLine, AnotherPort, SameUnitAgain };
    const struct {
        const char* what;
        Change change;
    } cases[] = {{"Next on a line", NextOnTheLine}, {"another port", AnotherPort}, {"the same unit", SameUnitAgain}};
    const QString pump = path("pump7.dxu");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const bool line = c.change == NextOnTheLine;
        clearStore(); // the mode and the line of the row before
        if (line)
            attachLine({'a', 'b'});
        else
            attach();
        // Read, and Save Setup offered for it (on the next tick).
        auto read = [this] { return idle() && top().state().current().settingsRead && top().isEnabled("Save1"); };
        top().session().connectClicked();
        ASSERT_TRUE(runUntil(read));
        dialogs.answerNext(pump);
        click("Saveas1");
        ASSERT_EQ(top().windowTitle(), QStringLiteral("DXU Interface - pump7.dxu"));

        if (c.change == NextOnTheLine) {
            top().session().switchUnit(StepNext);
        } else {
            click("pbConnect");
            if (c.change == AnotherPort)
                top().state().unitTable[0].port232 = 1;
            top().session().connectClicked();
        }
        ASSERT_TRUE(runUntil([&] { return read() && (!line || top().state().currentUnit == 2); }));
        const bool another = c.change != SameUnitAgain;
        EXPECT_EQ(top().windowTitle(), another ? QStringLiteral("DXU Interface")
                                               : QStringLiteral("DXU Interface - pump7.dxu"));

        // Ctrl+S, the file meanwhile holding something else.
        UnitRecord other = top().state().current();
        other.shortGate = 9.0f;
        writeBytes(pump, imageOf(other));
        dialogs.asked.clear();
        click("Save1");
        if (another) {
            ASSERT_EQ(dialogs.asked.size(), 1u);
            EXPECT_EQ(dialogs.asked[0].name, QStringLiteral("CfgSave"));
            EXPECT_EQ(dialogs.asked[0].proposed, QStringLiteral("pump7.dxu"));
            EXPECT_EQ(fileBytes(pump), imageOf(other)); // cancelled: untouched
        } else {
            EXPECT_TRUE(dialogs.asked.empty());
            EXPECT_EQ(fileBytes(pump), imageOf(top().state().current()));
        }
    }
}

TEST_F(SetupFileWindow, OpeningTheUnitsOwnFileFindsNoDifference)
{
    connect();
    dialogs.answerNext(path("same.dxu"));
    top().setupFiles().saveAs();
    openFile(path("same.dxu"));
    EXPECT_FALSE(top().isEnabled("pbUpload"));
    EXPECT_TRUE(flagged(top().state().current()).empty());
    EXPECT_TRUE(compareRows().empty());
    auto* said = top().compareView()->findChild<QLabel*>(QStringLiteral("lblCompareFile"));
    ASSERT_NE(said, nullptr);
    EXPECT_TRUE(said->text().contains(QStringLiteral("same settings")));

    ASSERT_TRUE(QFile::remove(path("same.dxu")));
    top().setupFiles().save();
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_TRUE(messages.shown[0].text.contains(QStringLiteral("same.dxu"))) << messages.shown[0].text.toStdString();
    EXPECT_FALSE(QFile::exists(path("same.dxu")));
    EXPECT_EQ(dialogs.asked.size(), 2u); // Save did not ask for a name
}

// The Compare view lists each differing setting as the panel names it, with
// the unit's and the file's values; its Upload sends them, once a unit is
// connected. The pulse rate of the mode the unit leaves goes out while it is
// still in that mode.
TEST_F(SetupFileWindow, CompareListsTheDifferencesAndUploads)
{
    connect();
    UnitRecord file = top().state().current();
    file.shortGate = 1.25f;
    file.measureMode = 2;
    file.binHits = 20;
    file.prfAveraging = 1000;
    writeBytes(path("three.dxu"), imageOf(file));
    openFile(path("three.dxu"));
    ASSERT_TRUE(top().compareView()->isVisible());
    using Row = std::vector<QString>;
    EXPECT_EQ(compareRows(), (std::vector<Row>{{"Measurement Mode", "Averaging", "Binning"},
                                               {"Short Gate", "0.500 m", "1.250 m"},
                                               {"PRF (Averaging, LastTarget)", "2000 Hz", "1000 Hz"},
                                               {"Bin Hits", "10", "20"}}));
    auto* upload = top().compareView()->findChild<QAbstractButton*>(QStringLiteral("pbCompareUpload"));
    ASSERT_NE(upload, nullptr);
    upload->click();
    pump();
    EXPECT_EQ(writes(takeLines()), (Lines{"$PF,1000", "$MM,2", "$SG,1.250", "$BH,20"}));
    EXPECT_EQ(unit().mode(), 2);
    EXPECT_DOUBLE_EQ(unitValue("PF", 0), 1000);
    EXPECT_DOUBLE_EQ(unitValue("PF", 1), 500);

    EXPECT_FALSE(upload->isEnabled()); // not twice

    // Without a unit the differences are still listed, but Upload waits for
    // one; nothing can be saved from settings that are not the unit's.
    top().PollTimerTimer();
    const char* const fileItems[] = {"Save1", "Saveas1", "SettingsReport1", "ExportSetupText1"};
    for (const char* item : fileItems)
        EXPECT_TRUE(top().isEnabled(item)) << item;
    dialogs.answerNext(path("saved.dxu"));
    top().setupFiles().saveAs();
    const QByteArray saved = fileBytes(path("saved.dxu"));
    // A unit that goes while the view is open takes its Upload with it.
    file.binHits = 40;
    writeBytes(path("four.dxu"), imageOf(file));
    openFile(path("four.dxu"));
    ASSERT_TRUE(upload->isEnabled());
    click("pbConnect");
    ASSERT_EQ(top().state().connected, 0);
    EXPECT_FALSE(upload->isEnabled());
    EXPECT_TRUE(top().compareView()->isVisible());
    for (const char* item : fileItems)
        EXPECT_FALSE(top().isEnabled(item)) << item;
    top().setupFiles().save();
    EXPECT_EQ(fileBytes(path("saved.dxu")), saved);
    file.binHits = 30;
    writeBytes(path("other.dxu"), imageOf(file));
    openFile(path("other.dxu"));
    EXPECT_EQ(compareRows().size(), 1u);
    EXPECT_FALSE(upload->isEnabled());
}

// An opened file's settings are pending on the panel (in bold) and nothing
// else: what discards them (a read, a disconnect and connect, another file)
// leaves an Upload that sends only the edit made after it. A file in feet
// for a unit in metres speaks metres: a length the unit holds is no
// difference, and no units write goes out.
TEST_F(SetupFileWindow, ADiscardedFileNeverReachesTheUnit)
{
    connect();
    UnitRecord feet = top().state().current();
    feet.units = 0;
    for (float UnitRecord::*d : {&UnitRecord::shortGate, &UnitRecord::longGate, &UnitRecord::offsetDistance,
                                 &UnitRecord::tripPoint, &UnitRecord::dampErrorRange, &UnitRecord::windowWidth,
                                 &UnitRecord::analogLow, &UnitRecord::analogHigh})
        feet.*d = std::round(feet.*d / 0.3048f * 100) / 100;
    feet.offsetDistance = 10.0f; // 3.048 m
    feet.maxIntensity = 900;
    feet.binHits = 20; // not shown on the panel in averaging mode
    writeBytes(path("feet.dxu"), imageOf(feet));
    writeBytes(path("own.dxu"), imageOf(top().state().current()));

    const struct {
        const char* what;
        std::function<void()> discard;
    } cases[] = {
        {"Read", [&] { click("pbRead"); pump(); }},
        {"Disconnect and connect", [&] { click("pbConnect"); click("pbConnect"); pump(); }},
        {"another file", [&] { openFile(path("own.dxu")); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        click("rbDistance");
        upload();
        openFile(path("feet.dxu"));
        c.discard();
        takeLines();
        click("rbBothNumbers");
        EXPECT_EQ(writes(upload()), (Lines{"$DM,2"}));
    }

    openFile(path("feet.dxu"));
    using Row = std::vector<QString>;
    EXPECT_EQ(compareRows(), (std::vector<Row>{{"Offset Distance", "0.000 m", "3.048 m"},
                                               {"Intensity Rejection Max", "1000 ns", "900 ns"},
                                               {"Bin Hits", "10", "20"},
                                               {"Display", "Both", "Distance"}}));
    EXPECT_TRUE(get<QWidget>("edOffsetDistance")->font().bold());
    EXPECT_FALSE(get<QWidget>("edShortGate")->font().bold());
    EXPECT_EQ(writes(upload()), (Lines{"$OF,3.048", "$XP,900", "$BH,20", "$DM,1"}));
}

// A file that cannot be used is refused with a message naming it and what is
// wrong; the window, the record and the working copy stay as they were.
TEST_F(SetupFileWindow, RefusedFilesChangeNothing)
{
    connect();
    const UnitRecord good = top().state().current();
    auto with = [&](auto change) {
        UnitRecord r = good;
        change(r);
        return imageOf(r);
    };
    const struct {
        const char* name;
        QByteArray bytes; // empty: the file is not there
        const char* says;
    } cases[] = {
        {"missing.dxu", {}, "Cannot open"},
        {"short.dxu", imageOf(good).left(100), "holds 100 bytes"},
        {"long.dxu", imageOf(good) + QByteArray(1, '\0'), "holds 557 bytes"},
        {"longer.dxu", imageOf(good) + QByteArray(4000, '\0'), "holds 4556 bytes"},
        {"mode.dxu", with([](UnitRecord& r) { r.measureMode = 7; }), "measurement mode 7"},
        {"prf.dxu", with([](UnitRecord& r) { r.prfDetection = -5; }), "PRF (Detection Mode) is negative"},
        {"nan.dxu", with([](UnitRecord& r) { r.longGate = std::numeric_limits<float>::quiet_NaN(); }),
         "Long Gate is not a number"},
        {"trip.dxu", with([](UnitRecord& r) { r.tripTimeout = 1e9f; }), "Trip Timeout"},
        {"display.dxu", with([](UnitRecord& r) { r.displayMode = INT32_MIN; }), "Display of -2147483648"},
        {"target.dxu", with([](UnitRecord& r) { r.targetSelector = 9; }), "Target of 9"},
        {"fifo.dxu", {}, "not a regular file"}, // opened without waiting for a writer
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        if (!c.bytes.isEmpty())
            writeBytes(path(c.name), c.bytes);
        if (std::string_view(c.name) == "fifo.dxu") {
            ASSERT_EQ(::mkfifo(QFile::encodeName(path(c.name)).constData(), 0600), 0);
        }
        const UnitRecord edit = top().state().editRecord;
        messages.shown.clear();
        openFile(path(c.name));
        ASSERT_EQ(messages.shown.size(), 1u);
        EXPECT_EQ(messages.shown[0].caption, QStringLiteral("Error"));
        EXPECT_TRUE(messages.shown[0].text.contains(QString::fromLatin1(c.name)));
        EXPECT_TRUE(messages.shown[0].text.contains(QString::fromLatin1(c.says)))
            << messages.shown[0].text.toStdString();
        EXPECT_TRUE(top().state().current() == good);
        EXPECT_TRUE(top().state().editRecord == edit);
        EXPECT_FALSE(top().isEnabled("pbUpload"));
        EXPECT_EQ(top().windowTitle(), QStringLiteral("DXU Interface"));
        EXPECT_TRUE(top().setupFiles().setupFileName().isEmpty());
    }

    // A save that cannot be written says so and leaves the name as it was.
    messages.shown.clear();
    dialogs.answerNext(path("no/such/folder/x.dxu"));
    top().setupFiles().saveAs();
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_TRUE(messages.shown[0].text.contains(QStringLiteral("x.dxu")));
    EXPECT_TRUE(top().setupFiles().setupFileName().isEmpty());

    // A FIFO or a device is never replaced by a file, and a full disk never empties the
    // file a save would replace: the old one stays, whole, and the failure is said.
    const QByteArray old = imageOf(good);
    writeBytes(path("kept.dxu"), old);
    struct rlimit limit = {};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &limit), 0);
    const auto oldXfsz = std::signal(SIGXFSZ, SIG_IGN);
    const struct {
        QString target;
        rlim_t sizeLimit;
        const char* says;
    } saves[] = {
        {path("fifo.dxu"), limit.rlim_cur, "not a regular file"},
        {path("kept.dxu"), 100, "File too large"},
    };
    for (const auto& c : saves) {
        SCOPED_TRACE(c.target.toStdString());
        messages.shown.clear();
        dialogs.answerNext(c.target);
        struct rlimit small = limit;
        small.rlim_cur = c.sizeLimit;
        ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
        top().setupFiles().saveAs();
        ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &limit), 0);
        ASSERT_EQ(messages.shown.size(), 1u);
        EXPECT_TRUE(messages.shown[0].text.contains(QLatin1String(c.says))) << messages.shown[0].text.toStdString();
    }
    std::signal(SIGXFSZ, oldXfsz);
    EXPECT_FALSE(QFileInfo(path("fifo.dxu")).isFile());
    QFile kept(path("kept.dxu"));
    ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
    EXPECT_EQ(kept.readAll(), old);
    EXPECT_EQ(QDir(dir.path()).entryList({QStringLiteral("kept.dxu*")}, QDir::Files | QDir::Hidden),
              QStringList{QStringLiteral("kept.dxu")})
        << "no temporary file is left";
}

// The merge takes settings only: floats within 0.0001 are equal, a new
// detection PRF brings the trip timeout, dithering copies the steps, and
// address, port block, rates and calibration are never taken.
TEST(SetupFileMerge, TakesSettingsByTheRules)
{
    UnitRecord unit{};
    unit.measureMode = 1;
    unit.shortGate = 1.0f;
    unit.prfDetection = 1000;
    unit.tripTimeout = 2.0f;
    unit.ditherOn = 1;
    unit.ditherSteps = 4;
    unit.address = 'a';
    unit.port232 = 2;
    unit.port0Baud = 115200;
    unit.loopCalibration4mA = 0x1010;
    const struct {
        const char* what;
        void (*change)(UnitRecord&);
        std::set<std::string> flags;
        void (*expect)(const UnitRecord& merged);
    } cases[] = {
        {"a float within tolerance", [](UnitRecord& f) { f.shortGate = 1.00005f; }, {},
         [](const UnitRecord& m) { EXPECT_FLOAT_EQ(m.shortGate, 1.0f); }},
        {"a float beyond tolerance", [](UnitRecord& f) { f.shortGate = 1.001f; }, {"SG"},
         [](const UnitRecord& m) { EXPECT_FLOAT_EQ(m.shortGate, 1.001f); }},
        {"detection PRF pulls the trip timeout",
         [](UnitRecord& f) {
             f.prfDetection = 500;
             f.tripTimeout = 2.00001f;
         },
         {"PF", "TT"}, [](const UnitRecord& m) { EXPECT_FLOAT_EQ(m.tripTimeout, 2.00001f); }},
        {"dithering switched off copies the steps only", [](UnitRecord& f) { f.ditherOn = 0; }, {"DD"},
         [](const UnitRecord& m) { EXPECT_EQ(m.ditherOn, 1); }},
        {"identity, ports and calibration are not settings",
         [](UnitRecord& f) {
             f.address = 'z';
             f.port232 = 5;
             f.port0Baud = 9600;
             f.loopCalibration4mA = 0x2020;
             f.firmwareVersion = 200;
         },
         {}, [](const UnitRecord& m) {
             EXPECT_EQ(m.addressChar(), 'a');
             EXPECT_EQ(m.port232, 2);
             EXPECT_EQ(m.port0Baud, 115200);
             EXPECT_EQ(m.loopCalibration4mA, 0x1010);
         }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        UnitRecord file = unit;
        c.change(file);
        UnitRecord merged = unit;
        const UnitRecord edit = withFileSettings(merged, file);
        EXPECT_EQ(adoptSetupImage(merged, edit), !c.flags.empty());
        EXPECT_EQ(flagged(merged), c.flags);
        EXPECT_EQ(edit.addressChar(), 'a');
        c.expect(merged);
    }
}

// The setup as text reads back to the image Save Setup As writes.
TEST_F(SetupFileWindow, ExportedTextIsTheSavedSetup)
{
    connect({{"SG", {1.25}}, {"PL", {1}}});
    dialogs.answerNext(path("pump"));
    top().setupFiles().exportText();
    dialogs.answerNext(path("pump.dxu"));
    top().setupFiles().saveAs();
    const QByteArray text = fileBytes(path("pump.txt"));
    EXPECT_TRUE(text.contains("\nshort_gate = 1.250 m\n")) << text.toStdString();
    const SetupFromText read = parseSetupText(text, QStringLiteral("pump.txt"));
    ASSERT_TRUE(read.ok()) << read.error.toStdString();
    const UnitRecord::Image image = read.record.toBytes();
    EXPECT_EQ(QByteArray(reinterpret_cast<const char*>(image.data()), 556), fileBytes(path("pump.dxu")));
    EXPECT_TRUE(messages.shown.empty());
}

// A setup edited with no unit: the panel shows the file for editing, the
// checks of an upload apply when it is saved, unsaved edits are asked about,
// and nothing goes on the line. Connecting then compares the saved setup
// with the unit in the unit's units, and Upload writes just the difference.
TEST_F(SetupFileWindow, OfflineSetupIsEditedSavedAndUploaded)
{
    connect();
    dialogs.answerNext(path("site.dxu"));
    top().setupFiles().saveAs();
    click("pbConnect");
    ASSERT_EQ(top().state().connected, 0);
    takeLines();
    const auto openOffline = [&] {
        dialogs.answerNext(path("site.dxu"));
        click("Open1");
    };

    openOffline();
    EXPECT_EQ(top().windowTitle(), QStringLiteral("DXU Interface - Offline - site.dxu"));
    EXPECT_EQ(text("StatusBar1Panel3").trimmed(), QStringLiteral("Offline: site.dxu"));
    for (const char* shown : {"pnlBasicSetup", "pnlMode", "pnlOutputSetup", "pnlAveraging"})
        EXPECT_TRUE(top().isVisible(shown)) << shown;
    for (const char* off : {"pbUpload", "pbSaveSettings", "pbContinuous", "pbSingleMeasure", "pbRead", "pbReset"})
        EXPECT_FALSE(top().isEnabled(off)) << off;
    EXPECT_TRUE(top().isEnabled("Save1"));

    // A value an upload would refuse is refused here, and nothing is written.
    const QByteArray before = fileBytes(path("site.dxu"));
    type("edMaxIntensity", "x9");
    click("Save1");
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(fileBytes(path("site.dxu")), before);

    // Binning and a maximum of 900, in feet: the mode's panel follows, the
    // lengths are converted, Upload stays off.
    type("edMaxIntensity", "900");
    choose("cmbMeasureMode", 2);
    EXPECT_TRUE(top().isVisible("pnlBinning"));
    get<QAbstractButton>("cbUnitsFeet")->click();
    EXPECT_FALSE(top().isEnabled("pbUpload"));
    click("Save1");
    ASSERT_EQ(messages.shown.size(), 1u) << messages.shown.back().text.toStdString();
    const SetupImage saved = readSetupFile(path("site.dxu"));
    ASSERT_TRUE(saved.ok());
    EXPECT_EQ(saved.record.maxIntensity, 900);
    EXPECT_EQ(saved.record.measureMode, 2);
    EXPECT_EQ(saved.record.units, 0);
    EXPECT_NEAR(saved.record.shortGate, 1.64f, 0.001f);
    // A file that cannot be written is reported; the setup stays the one saved.
    dialogs.answerNext(path("gone/site.dxu"));
    click("Saveas1");
    ASSERT_EQ(messages.shown.size(), 2u);
    EXPECT_TRUE(messages.shown[1].text.contains(QStringLiteral("gone"))) << messages.shown[1].text.toStdString();
    EXPECT_EQ(top().windowTitle(), QStringLiteral("DXU Interface - Offline - site.dxu"));

    // Unsaved edits: "No" keeps them, "Yes" lets the saved file be opened again.
    type("edMinIntensity", "7");
    messages.answerNext(MsgAnswer::No);
    click("Open1");
    ASSERT_EQ(messages.shown.size(), 3u);
    EXPECT_TRUE(messages.shown[2].text.contains(QStringLiteral("site.dxu")));
    EXPECT_EQ(text("edMinIntensity"), QStringLiteral("7"));
    messages.answerNext(MsgAnswer::No);
    EXPECT_FALSE(top().close()); // the end of the program asks too
    openOffline();
    EXPECT_EQ(messages.shown.size(), 5u);
    EXPECT_EQ(text("edMaxIntensity"), QStringLiteral("900"));
    EXPECT_NE(text("edMinIntensity"), QStringLiteral("7"));
    EXPECT_TRUE(top().isVisible("pnlBinning"));
    EXPECT_TRUE(top().isChecked("cbUnitsFeet"));
    // The settings report is of the setup as saved, named in its head.
    dialogs.answerNext(path("offline"));
    click("SettingsReport1");
    const QString report = QString::fromUtf8(fileBytes(path("offline.csv")));
    EXPECT_TRUE(report.contains(QStringLiteral("Offline: site.dxu")) && report.contains(QStringLiteral("Intensity Rejection Max,900,ns")))
        << report.toStdString();
    EXPECT_TRUE(link->received.empty());

    click("pbConnect");
    pump();
    ASSERT_EQ(top().state().connected, 1);
    takeLines();
    ASSERT_TRUE(top().compareView()->isVisible());
    using Row = std::vector<QString>;
    EXPECT_EQ(compareRows(), (std::vector<Row>{{"Measurement Mode", "Averaging", "Binning"},
                                               {"Intensity Rejection Max", "1000 ns", "900 ns"}}));
    EXPECT_EQ(top().windowTitle(), QStringLiteral("DXU Interface - site.dxu"));
    top().compareView()->findChild<QAbstractButton*>(QStringLiteral("pbCompareUpload"))->click();
    pump();
    EXPECT_EQ(writes(takeLines()), (Lines{"$MM,2", "$XP,900"}));
    EXPECT_EQ(messages.shown.size(), 5u);
}

// The settings report: one CSV line per setting with its value and unit.
TEST_F(SetupFileWindow, ReportListsEverySettingAsCsv)
{
    connect({{"SG", {1.25}}, {"PL", {1}}});
    dialogs.answerNext(path("report"));
    top().setupFiles().saveReport();
    const QString text = QString::fromUtf8(fileBytes(path("report.csv")));
    const QStringList lines = text.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    ASSERT_FALSE(lines.isEmpty());
    EXPECT_EQ(lines[0], QStringLiteral("Setting,Value,Unit"));
    for (const char* line : {"Short Gate,1.250,m", "Laser Power Level,Medium,", "PRF (Detection Mode),1000,Hz",
                             "Trip Timeout,1.00,secs"})
        EXPECT_TRUE(lines.contains(QString::fromLatin1(line))) << line << "\n" << text.toStdString();
    std::set<QString> names;
    for (const QString& l : lines) { // every setting has its panel name, once
        EXPECT_FALSE(l.front().isDigit()) << l.toStdString();
        EXPECT_TRUE(names.insert(l.section(QLatin1Char(','), 0, 0)).second) << l.toStdString();
    }
    // The head: when, through which port, which unit.
    ASSERT_GE(lines.size(), 5);
    EXPECT_TRUE(lines[1].startsWith(QStringLiteral("Date,20"))) << lines[1].toStdString();
    EXPECT_EQ(lines[2], QStringLiteral("Port,COM1 (RS-232),"));
    EXPECT_EQ(lines[3], QStringLiteral("Address,a,"));
    EXPECT_TRUE(lines[4].startsWith(QStringLiteral("Version,"))) << lines[4].toStdString();
    EXPECT_TRUE(messages.shown.empty());
}

} // namespace
} // namespace dxu::test
