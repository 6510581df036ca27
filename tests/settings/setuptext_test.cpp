// The text form of a setup: what the reader refuses, and the round trips
// image -> text -> image and text -> image -> text.
#include "protocol/settingcodes.h"
#include "settings/setupfile.h"
#include "settings/setuptext.h"

#include <QDir>
#include <QRegularExpression>
#include <QFile>

#include <gtest/gtest.h>

namespace dxu::test {
namespace {

UnitRecord corpusRecord(const char* name)
{
    const SetupImage image = readSetupFile(QStringLiteral(DXU_FUZZ_CORPUS "/setupfile/") + QLatin1String(name));
    EXPECT_TRUE(image.ok()) << image.error.toStdString();
    return image.record;
}

TEST(SetupText, RefusesWhatNoUnitCanTakeWithTheLine)
{
    const QStringList lines = setupText(corpusRecord("sim-metres")).split(QLatin1Char('\n'));
    const struct {
        const char* setting; // the line replaced; nullptr: added at the end
        const char* line;
        const char* error;   // after "t.txt:<line>: "
    } cases[] = {
        {"short_gate", "short_gate = abc m", "'abc' is not a number for short_gate"},
        {"short_gate", "short_gate = 1e999 m", "'1e999' is not a number for short_gate"},
        {"short_gate", "shortgate = 1 m", "unknown setting 'shortgate'"},
        {"short_gate", "short_gate = 3.28 ft", "short_gate is in m in this setup (units = meters), not in 'ft'"},
        {"intensity_min", "intensity_min = 5 Hz", "intensity_min is in ns, not in 'Hz'"},
        {"intensity_min", "intensity_min = 5.5 ns", "'5.5' is not a whole number for intensity_min"},
        {"prf_binning", "prf_binning = 2000 Hz", "prf_binning = 2000 is outside the unit's limits (10 .. 1000 Hz)"},
        {"prf_detection", "prf_detection = 5 Hz", "prf_detection = 5 is outside the unit's limits (10 .. 4500 Hz)"},
        {"bin_hits", "bin_hits = 256", "bin_hits = 256 is outside the unit's limits (0 .. 255)"},
        {"fault_current", "fault_current = 25 mA", "fault_current = 25 is outside the unit's limits (2 .. 20 mA)"},
        {"analog_high", "analog_high = 2000.5 m", "analog_high = 2000.5 is outside the unit's limits (0 .. 2000 m)"},
        {"measurement_mode", "measurement_mode = sideways",
         "'sideways' is not a measurement_mode (averaging, binning, detection, last_target)"},
        {"dither_steps", "dither_steps = 3", "'3' is not a dither_steps (0, 1, 2, 4, 8, 16)"},
        {"trip_timeout", "trip_timeout = 3000000 s", "trip_timeout = 3e+06 s is more than a unit can count at 1000 Hz"},
        {"address", "address = ab", "'ab' is not an address (a-z, A-Z, 0-9 or none)"},
        {"units", "units = meters extra", "units takes no units word ('extra')"},
        {"units", "units = meters in use", "expected 'name = value unit', found 'units = meters in use'"},
        {"units", "units", "expected 'name = value unit', found 'units'"},
        {"units", "units =", "units has no value"},
        {"units", "[basic]", "unknown panel '[basic]'"},
        {nullptr, "units = meters", "units is given twice (first on line 4)"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        QStringList text = lines;
        int at = static_cast<int>(text.size());
        if (c.setting)
            at = static_cast<int>(text.indexOf(QRegularExpression(QStringLiteral("%1 = .*").arg(QLatin1String(c.setting)))));
        ASSERT_GE(at, 0);
        if (at < text.size())
            text[at] = QLatin1String(c.line);
        else
            text << QLatin1String(c.line);
        const SetupFromText read = parseSetupText(text.join(QLatin1Char('\n')).toUtf8(), QStringLiteral("t.txt"));
        EXPECT_EQ(read.error.toStdString(), QStringLiteral("t.txt:%1: %2").arg(at + 1).arg(QLatin1String(c.error)).toStdString());
    }

    // A setting left out is refused, unless a base gives it (in its own
    // units: a base in feet gives a text in metres its distances in metres).
    QStringList partial = lines.filter(QRegularExpression(QStringLiteral("^(?!short_gate = |bin_hits = )")));
    const QByteArray text = partial.join(QLatin1Char('\n')).toUtf8();
    EXPECT_EQ(parseSetupText(text, QStringLiteral("t.txt")).error.toStdString(),
              "t.txt: the text leaves out short_gate, bin_hits; give them, or a base setup file that has them");
    const UnitRecord feet = corpusRecord("sim-feet");
    const SetupFromText based = parseSetupText(text, QStringLiteral("t.txt"), &feet);
    ASSERT_TRUE(based.ok()) << based.error.toStdString();
    EXPECT_EQ(based.record.toBytes(), corpusRecord("sim-metres").toBytes());
}

// What the program writes, with everything a record can hold beside the
// settings: the PC's port block, pending changes, the last measurement.
UnitRecord writtenMidSession()
{
    UnitRecord r = corpusRecord("sim-feet");
    std::strcpy(r.portName, "COM12:");
    r.networkMode = 1;
    r.status = 2;
    r.laserOn = r.measurementSeen = 1;
    r.lastDistance = 40.4987f;
    r.lastIntensity = 1.5f;
    r.shortGateChanged = r.prfBinningChanged = r.ditherStepsChanged = r.port1BaudChanged = 1;
    r.shortGate = 1.2345f; // typed with more decimals than the unit keeps
    r.address = '7';
    return r;
}

TEST(SetupText, ImageToTextToImageAndBackAreIdentical)
{
    std::vector<std::pair<std::string, UnitRecord>> records{{"mid-session", writtenMidSession()}};
    const QDir corpus(QStringLiteral(DXU_FUZZ_CORPUS "/setupfile"));
    for (const QString& name : corpus.entryList(QDir::Files)) {
        QFile f(corpus.filePath(name));
        ASSERT_TRUE(f.open(QIODevice::ReadOnly));
        const QByteArray bytes = f.readAll();
        const SetupImage image = parseSetupImage(reinterpret_cast<const uint8_t*>(bytes.constData()),
                                                 static_cast<std::size_t>(bytes.size()), name);
        if (image.ok())
            records.emplace_back(name.toStdString(), image.record);
    }
    ASSERT_GE(records.size(), 4u);
    for (const auto& [name, record] : records) {
        SCOPED_TRACE(name);
        // The image as the program writes it.
        const UnitRecord::Image image = record.toBytes();
        const QString text = setupText(record);
        const SetupFromText read = parseSetupText(text.toUtf8(), QStringLiteral("t.txt"));
        ASSERT_TRUE(read.ok()) << read.error.toStdString();
        EXPECT_EQ(read.record.toBytes(), image);
        EXPECT_EQ(setupText(read.record).toStdString(), text.toStdString());
    }
}

TEST(SetupText, DifferencesAreInTheFirstSetupsUnitsAndItsResolution)
{
    const UnitRecord metres = corpusRecord("sim-metres"), feet = corpusRecord("sim-feet");
    EXPECT_TRUE(setupDifferences(metres, feet).empty());
    EXPECT_TRUE(setupDifferences(feet, metres).empty());

    UnitRecord near = metres;
    near.longGate += 0.0004f; // within the millimetre
    EXPECT_TRUE(setupDifferences(metres, near).empty());
    UnitRecord moved = metres;
    moved.longGate += 0.5f;
    moved.binHits = 20;
    UnitRecord shown;
    const std::vector<const SettingField*> fields = setupDifferences(feet, moved, &shown);
    ASSERT_EQ(fields.size(), 2u);
    EXPECT_EQ(settingLine(*fields[0], feet).toStdString(), "long_gate = 328.08 ft");
    EXPECT_EQ(settingLine(*fields[0], shown).toStdString(), "long_gate = 329.72 ft");
    EXPECT_EQ(sectionOf(*fields[1]).toStdString(), "binning");
}

} // namespace
} // namespace dxu::test
