// The setting-code table: the orders that the read and the upload take from
// it, and each setting's row carried through the record, its image, the
// setup file's listing and the text form.
#include "protocol/settingcodes.h"
#include "settings/setupfile.h"
#include "settings/setuptext.h"

#include <QRegularExpression>

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>

namespace dxu {
namespace {

// Where a row of the setting-code table stands in a list; -1 for nowhere.
template <typename List>
int place(const List& list, const SettingCode* row)
{
    for (size_t i = 0; i < list.size(); ++i)
        if (list[i] == row)
            return static_cast<int>(i);
    return -1;
}

const SettingCode* row(uint32_t commandId) { return settingById(commandId); }

// The orders carry what the replies and the writes depend on: SV is read
// first (its reply decides the old-firmware limits); MM comes before PF and
// PO (their values are picked by mode); MU before every distance (formatted
// by the units); PF before TT (a pulse count of the detection rate). The
// upload writes the address and the rates last, so that everything before
// reaches the unit where it is.
TEST(SettingCodes, ReadAndUploadOrdersKeepTheirDependencies)
{
    const auto& read = settingsReadList();
    const auto& upload = uploadOrder();
    EXPECT_EQ(place(read, row(IdVersion)), 0);
    auto dependencies = [](const auto& list, const char* name) {
        SCOPED_TRACE(name);
        EXPECT_LT(place(list, row(IdMeasureMode)), place(list, row(IdPulseRate)));
        EXPECT_LT(place(list, row(IdMeasureMode)), place(list, row(IdPulses)));
        EXPECT_LT(place(list, row(IdPulseRate)), place(list, row(IdTripTimeout)));
        for (const SettingCode* c : list) {
            EXPECT_EQ(std::count(list.begin(), list.end(), c), 1) << c->code << ": once";
            if (c->decimals == DecimalsByUnits) {
                EXPECT_LT(place(list, row(IdUnits)), place(list, c)) << c->code;
            }
        }
    };
    dependencies(read, "read");
    dependencies(upload, "upload");
    const int writes = static_cast<int>(upload.size());
    EXPECT_EQ(place(upload, row(IdAddress)), writes - 3);
    EXPECT_EQ(place(upload, row(IdBaudPort0)), writes - 2);
    EXPECT_EQ(place(upload, row(IdBaudPort1)), writes - 1);
    for (const SettingCode& c : settingCodes()) {
        EXPECT_EQ(place(read, &c) >= 0, c.readOrder != 0) << c.code << ": every row the read names is read";
        EXPECT_EQ(place(upload, &c) >= 0, c.uploadOrder != 0) << c.code;
    }
    for (const SettingCode* c : upload) {
        EXPECT_TRUE(c->fields[0].changed) << c->code << ": a write is queued by its changed flag";
        EXPECT_EQ(c->argType == ArgFloat, c->form == ReplyForm::Float) << c->code;
    }
}

TEST(SettingCodes, EveryQueuedReadIsOneItemWithListRetries)
{
    CommandQueue q;
    enqueueSettingsRead(q);
    EXPECT_EQ(q.cursor, SettingsReadCount);
    EXPECT_EQ(q.items[3].commandId, IdBaudPort0);
    EXPECT_EQ(q.items[4].commandId, IdBaudPort1);
    EXPECT_EQ(q.items[49].retriesLeft, ListRetries);
    EXPECT_EQ(q.items[50].commandId, 0u);
}

// The values a field is tried with: every choice, else one the unit takes.
std::vector<double> samples(const SettingCode& row, const SettingField& f)
{
    std::vector<double> values;
    for (const Choice& c : f.choices)
        values.push_back(c.value);
    if (!values.empty())
        return values;
    if (row.commandId == IdAddress)
        return {'k'};
    if (f.limited)
        return {f.min, f.max};
    return {f.distance ? 12.345 : f.floatField ? 2.5 : 105};
}

// Every field of every row: a value put in the record comes back from the
// image and from the text form (with its changed flag), and the setup file's
// listing and the text form name it and its value as the row says.
TEST(SettingRegistry, EveryFieldRoundTripsThroughTheRecordTheImageAndTheText)
{
    // A record the text can hold: every value one the unit takes.
    UnitRecord base{};
    for (const SettingCode& row : settingCodes())
        for (const SettingField& f : row.fields)
            if (f.intField)
                base.*f.intField = f.choices.empty() ? static_cast<int32_t>(f.min) : f.choices.back().value;
            else if (f.floatField)
                base.*f.floatField = f.min;
    for (const SettingCode& row : settingCodes()) {
        for (int i = 0; i < row.fieldCount(); ++i) {
            const SettingField& f = row.fields[static_cast<size_t>(i)];
            for (const double value : samples(row, f)) {
                SCOPED_TRACE(std::string(row.code) + " " + f.name + " = " + std::to_string(value));
                UnitRecord r = base;
                if (f.intField)
                    r.*f.intField = static_cast<int32_t>(value);
                else
                    r.*f.floatField = static_cast<float>(value);
                if (f.changed)
                    r.*f.changed = 1;
                EXPECT_TRUE(UnitRecord::fromBytes(r.toBytes()) == r);
                const SetupFromText back = parseSetupText(setupText(r).toUtf8(), QStringLiteral("t.txt"));
                ASSERT_TRUE(back.ok()) << back.error.toStdString();
                EXPECT_TRUE(back.record == r);

                const Choice* choice = f.intField ? f.choice(r.*f.intField) : nullptr;
                const SettingText listed = describeSetting(f, r);
                EXPECT_EQ(listed.caption.toStdString(), f.name);
                if (choice && choice->caption) {
                    EXPECT_EQ(listed.value.toStdString(), choice->caption);
                }
                EXPECT_EQ(listed.unit.toStdString(), f.distance ? "m" : f.unit);
                if (!f.key)
                    continue;
                const std::string line = settingLine(f, r).toStdString();
                const std::string symbol = f.distance ? " m" : *f.symbol ? std::string(" ") + f.symbol : "";
                if (choice) {
                    EXPECT_EQ(line, std::string(f.key) + " = " + choice->word + symbol);
                } else {
                    EXPECT_TRUE(line.starts_with(std::string(f.key) + " = ") && line.ends_with(symbol)) << line;
                }
                EXPECT_EQ(sectionOf(f).toStdString(), sectionInfo(f.section).key);
            }
        }
    }
}

// A name, a key, a place in the text or a choice word that two settings (or
// two values) shared would be read back as the wrong one.
TEST(SettingRegistry, NamesKeysAndChoiceWordsAreUnique)
{
    std::set<std::string> names, keys, places;
    const QRegularExpression word(QStringLiteral("^[a-z0-9_.]+$"));
    for (const SettingCode& row : settingCodes()) {
        for (int i = 0; i < row.fieldCount(); ++i) {
            const SettingField& f = row.fields[static_cast<size_t>(i)];
            SCOPED_TRACE(std::string(row.code) + " field " + std::to_string(i));
            ASSERT_TRUE(f.name);
            EXPECT_TRUE(names.insert(f.name).second) << f.name;
            EXPECT_EQ(f.key != nullptr, f.section != Section::None);
            if (f.key) {
                EXPECT_TRUE(keys.insert(f.key).second) << f.key;
                EXPECT_TRUE(word.match(QLatin1String(f.key)).hasMatch()) << f.key;
                EXPECT_TRUE(places.insert(std::to_string(int(f.section)) + "." + std::to_string(f.textOrder)).second);
            }
            EXPECT_TRUE(!f.distance || f.floatField);
            std::set<int32_t> values;
            std::set<std::string> words, captions;
            for (const Choice& c : f.choices) {
                EXPECT_TRUE(values.insert(c.value).second) << c.value;
                EXPECT_TRUE(words.insert(c.word).second) << c.word;
                EXPECT_TRUE(word.match(QLatin1String(c.word)).hasMatch()) << c.word;
                EXPECT_EQ(c.caption != nullptr, f.namedChoices()) << c.word;
                if (c.caption) {
                    EXPECT_TRUE(captions.insert(c.caption).second) << c.caption;
                }
            }
        }
    }
}

} // namespace
} // namespace dxu
