// Finding the units of an RS-485 line through its window, over the simulated
// line: who answers, adding them to the network, and Cancel.
#include "common/simwindow.h"
#include "network/findunits.h"

#include <QAction>
#include <QListWidget>
#include <QMenu>

namespace dxu::test {
namespace {

class FindUnits : public SimWindowTest {
protected:
    bool menuOffersScan()
    {
        emit qobject_cast<QMenu*>(top().control("Connections1"))->aboutToShow();
        return qobject_cast<QAction*>(top().control("FindUnits1"))->isEnabled();
    }
    long versionRequests() const
    {
        return std::count_if(link->received.begin(), link->received.end(),
                             [](const std::string& l) { return l.size() == 4 && l.substr(2) == "SV"; });
    }
    bool scanning() { return top().state().queue.queueState == QueueScan; }
};

TEST_F(FindUnits, ListsTheAnsweringUnitsAddsThemAndCancelStops)
{
    dxusim::Options o = quick();
    o.network = true;
    o.addresses = {'a', 'c', 'k'};
    attach(o);
    EXPECT_FALSE(menuOffersScan()); // RS-232
    click("MultiDrop1");
    ASSERT_TRUE(menuOffersScan());
    top().windows().findUnits->show();

    click("pbStartScan");
    EXPECT_TRUE(link->Connected());
    ASSERT_TRUE(runUntil([this] { return !scanning(); }, 300000));
    auto* list = get<QListWidget>("lstUnits");
    QStringList shown;
    for (int i = 0; i < list->count(); ++i)
        shown << list->item(i)->text();
    const QString v = QStringLiteral("  \u2014 DXU v1.0.5 build 7");
    EXPECT_EQ(shown, QStringList({"a" + v, "c" + v, "k" + v}));
    EXPECT_EQ(versionRequests(), 62 + UnitScan::SecondAsks);
    EXPECT_FALSE(link->Connected());
    EXPECT_EQ(top().state().versionText[0], '\0'); // the about box is not the scan's
    EXPECT_EQ(top().state().queue.queueState, QueueIdle);

    list->item(1)->setCheckState(Qt::Unchecked);
    click("pbAddToNetwork");
    const SlotString& members = top().state().networkSlots;
    EXPECT_EQ(members[0], 'a');
    EXPECT_EQ(members[2], EmptySlot);
    EXPECT_EQ(members[10], 'k');
    EXPECT_EQ(top().state().networkCount, 2);

    // Cancel midway: the address in hand is finished, then the port closes.
    link->received.clear();
    click("pbStartScan");
    ASSERT_TRUE(runUntil([this] { return versionRequests() == 5; }, 60000));
    click("pbCancelScan");
    ASSERT_TRUE(runUntil([this] { return !scanning(); }, 10000));
    runUntil([] { return false; }, 5000);
    EXPECT_EQ(versionRequests(), 5);
    EXPECT_FALSE(link->Connected());
    EXPECT_EQ(get<QListWidget>("lstUnits")->count(), 2); // a and c, among a..e
    top().windows().findUnits->hide();
}

// A line at 9600 bit/s whose units answer within 50 ms (plus the reply on the
// wire): the scan's short time-out gets over the 59 silent addresses in
// seconds and still hears every unit.
TEST_F(FindUnits, WholeLineScanIsQuickAndMissesNoUnit)
{
    dxusim::Options o = quick();
    o.network = true;
    o.addresses = {'a', 'c', '7'};
    o.replyDelayMs = 80;
    attach(o);
    click("MultiDrop1");
    top().state().unitTable[0].port485RateIndex = 3; // 9600 bit/s
    top().windows().findUnits->show();

    const uint32_t started = clock.tickCount();
    click("pbStartScan");
    ASSERT_TRUE(runUntil([this] { return !scanning(); }, 60000));
    EXPECT_LT(clock.tickCount() - started, 20000u);
    QString found;
    auto* list = get<QListWidget>("lstUnits");
    for (int i = 0; i < list->count(); ++i)
        found += list->item(i)->data(Qt::UserRole).toChar();
    EXPECT_EQ(found, QStringLiteral("ac7"));
    EXPECT_EQ(versionRequests(), 62 + UnitScan::SecondAsks);
    top().windows().findUnits->hide();
}

} // namespace
} // namespace dxu::test
