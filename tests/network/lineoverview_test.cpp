// The line overview over the simulated line: a silent unit, a measuring unit
// and a unit with written settings it has not saved, each said in its row,
// from the status requests the program sends anyway; a double-click views a
// unit; the table exported as CSV.
#include "common/simwindow.h"
#include "ui/network/lineoverview.h"
#include "ui/network/networkedit.h"
#include "ui/settings/settingstransfer.h"

#include <QFile>
#include <QRegularExpression>
#include <QTableWidget>
#include <QTemporaryDir>

namespace dxu::test {
namespace {

class LineOverviewTest : public SimWindowTest {
protected:
    QStringList row(int r)
    {
        auto* grid = get<QTableWidget>("grdLineOverview");
        QStringList cells;
        for (int c = 0; grid && c < grid->columnCount(); ++c)
            cells << (grid->item(r, c) ? grid->item(r, c)->text() : QString());
        return cells;
    }
    bool readDone() { return idle() && top().state().current().settingsRead; }
};

TEST_F(LineOverviewTest, EachUnitSaysWhatTheLineToldAndADoubleClickViewsIt)
{
    dxusim::Options o = quick();
    o.silent = {'b'};
    attachLine({'a', 'b', 'c'}, o);
    click("LineOverview1");
    LineOverview& overview = top().lineOverview();
    ASSERT_NE(overview.window(), nullptr);

    // a: a setting written, not saved.
    top().session().connectClicked();
    ASSERT_TRUE(runUntil([&] { return readDone(); }));
    type("edOffsetDistance", QStringLiteral("1.250"));
    top().settingsTransfer().uploadClicked();
    ASSERT_TRUE(runUntil([&] { return idle(); }));

    // c, by a double-click on its row: measuring.
    overview.window()->refresh();
    auto* grid = get<QTableWidget>("grdLineOverview");
    ASSERT_EQ(grid->rowCount(), 3);
    emit grid->cellDoubleClicked(2, 0);
    ASSERT_TRUE(runUntil([&] { return readDone() && top().state().currentUnit == 3; }));
    EXPECT_EQ(text("lblDXUAddress"), QStringLiteral("Address: c"));
    top().session().continuousClicked();
    // Long enough for the poll timer to have asked every unit of the list.
    runUntil([] { return false; }, 15000);
    top().protocol().sendSingleMeasure();
    runUntil([] { return false; }, 200);

    // Opening and refreshing the window puts nothing on the line.
    link->received.clear();
    click("LineOverview1");
    overview.window()->refresh();
    EXPECT_TRUE(link->received.empty());

    const QString v = QStringLiteral("DXU v1.0.5 build 7");
    EXPECT_EQ(row(0), QStringList({"a", v, "Averaging", "metres", "idle", "", "", "", "not saved"}));
    EXPECT_EQ(row(1).mid(0, 5), QStringList({"b", "", "", "", "not answering"}));
    const QStringList c = row(2);
    EXPECT_EQ(c.mid(0, 5), QStringList({"c", v, "Averaging", "metres", "measuring"}));
    EXPECT_TRUE(QRegularExpression("^1\\d\\.\\d{3} m$").match(c[5]).hasMatch()) << c[5].toStdString();
    EXPECT_EQ(c[6], "0 s");
    EXPECT_EQ(c[8], "");

    QTemporaryDir dir;
    ScriptedFileDialogs files;
    files.answerNext(dir.filePath("line.csv"));
    click("pbExportCsv");
    QFile csv(dir.filePath("line.csv"));
    ASSERT_TRUE(csv.open(QIODevice::ReadOnly));
    const QStringList lines = QString::fromUtf8(csv.readAll()).split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 4);
    EXPECT_EQ(lines[0], "Address,Version,Mode,Units,State,Last result,Age,Last error,Settings");
    EXPECT_TRUE(lines[2].startsWith("b,,,,not answering,")) << lines[2].toStdString();

    // A file that cannot be written is said, never passed over.
    files.answerNext(dir.filePath("no/such/line.csv"));
    click("pbExportCsv");
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].caption, "Error");
    EXPECT_TRUE(messages.shown[0].text.startsWith("Cannot write \"" + dir.path())) << messages.shown[0].text.toStdString();

    // c stopped, back to a by its row, its settings saved: the mark goes
    // with the unit's OK.
    top().session().continuousClicked();
    ASSERT_TRUE(runUntil([&] { return idle(); }));
    emit grid->cellDoubleClicked(0, 0);
    ASSERT_EQ(top().state().currentUnit, 1);
    top().settingsTransfer().saveClicked();
    ASSERT_TRUE(runUntil([&] { return idle(); }));
    overview.window()->refresh();
    EXPECT_EQ(row(0)[8], "");
    EXPECT_EQ(row(2)[4], "idle");
}

} // namespace
} // namespace dxu::test
