// Finding the units of an RS-485 line through its window, over the simulated
// line: who answers, two units at one address, adding them to the network,
// Cancel, and how long an address is waited for.
#include "common/simwindow.h"
#include "ui/network/findunits.h"

#include <QAction>
#include <QListWidget>
#include <QMenu>
#include <QSpinBox>

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
    o.addresses = {'a', 'c', 'c', 'k'}; // two units at c
    attach(o);
    EXPECT_FALSE(menuOffersScan()); // RS-232
    click("MultiDrop1");
    ASSERT_TRUE(menuOffersScan());
    top().windows().findUnits->show();
    top().state().unitTable[0].port485 = 3;
    top().state().unitTable[0].port485RateIndex = 3;

    click("pbStartScan");
    EXPECT_TRUE(link->Connected());
    EXPECT_EQ(text("lblScanLine"), QStringLiteral("Scanning COM4 at 9600 bit/s"));
    ASSERT_TRUE(runUntil([this] { return !scanning(); }, 300000));
    auto* list = get<QListWidget>("lstUnits");
    QStringList shown;
    for (int i = 0; i < list->count(); ++i)
        shown << list->item(i)->text();
    const QString v = QStringLiteral("  \u2014 DXU v1.0.5 build 7");
    EXPECT_EQ(shown, QStringList({"a" + v, "k" + v, "address c: more than one unit answers?"}));
    EXPECT_EQ(versionRequests(), 62);
    EXPECT_FALSE(link->Connected());
    EXPECT_EQ(top().state().versionText[0], '\0'); // the about box is not the scan's
    EXPECT_EQ(top().state().queue.queueState, QueueIdle);

    list->item(0)->setCheckState(Qt::Unchecked);
    click("pbAddToNetwork");
    const SlotString& members = top().state().networkSlots;
    EXPECT_EQ(members[0], EmptySlot);
    EXPECT_EQ(members[2], EmptySlot); // c holds two units
    EXPECT_EQ(members[10], 'k');
    EXPECT_EQ(top().state().networkCount, 1);
    EXPECT_EQ(text("lblAdded"), QStringLiteral("Added to the network: k."));
    list->item(0)->setCheckState(Qt::Checked);
    click("pbAddToNetwork");
    EXPECT_EQ(text("lblAdded"),
              QStringLiteral("Added to the network: a. In the network already: k."));
    EXPECT_EQ(top().state().networkCount, 2);
    EXPECT_EQ(text("lblScanLine"), QStringLiteral("Scans COM4 at 9600 bit/s"));

    // Cancel midway: the address in hand is finished, then the port closes.
    link->received.clear();
    click("pbStartScan");
    ASSERT_TRUE(runUntil([this] { return versionRequests() == 5; }, 60000));
    click("pbCancelScan");
    ASSERT_TRUE(runUntil([this] { return !scanning(); }, 10000));
    runUntil([] { return false; }, 5000);
    EXPECT_EQ(versionRequests(), 5);
    EXPECT_FALSE(link->Connected());
    EXPECT_EQ(get<QListWidget>("lstUnits")->count(), 2); // a and crowded c, among a..e
    top().windows().findUnits->hide();
}

// Units a, c and 7 (and a second c where a row says so) that start their
// replies after delayMs, scanned at a rate with "Units answer within" set: a
// unit at the edge of the answer time is found, one beyond it is not waited
// for, and 62 addresses at 9600 bit/s take no more than 5 s. A reply that
// comes in pieces is waited for whole and is one unit, not two.
TEST_F(FindUnits, ScanWaitsForTheAnswerTimeAtEveryRate)
{
    const struct {
        int rateIndex;
        int answerWithinMs;
        int delayMs;
        const char* found;
        int pieces = 1; // each reply in this many pieces, 60 ms apart
        bool twoAtC = false;
        const char* crowded = "";
    } cases[] = {
        {3, 50, 50, "ac7"},   // 9600 bit/s, at the edge
        {3, 50, 75, ""},      // 9600: later than the question, 50 ms and the PC's share
        {0, 50, 90, "ac7"},   // 1200: the question alone takes 42 ms
        {0, 50, 115, ""},
        {3, 50, 1, "ac7", 4}, // replies in pieces
        {8, 50, 1, "ac7", 4},
        {8, 50, 1, "a7", 4, true, "c"},
        {8, 200, 205, "ac7"}, // 115200 bit/s, slow units
        {8, 20, 40, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "rate index " << c.rateIndex << ", delay " << c.delayMs << ", pieces "
                                        << c.pieces);
        dxusim::Options o = quick();
        o.network = true;
        o.addresses = {'a', 'c', '7'};
        if (c.twoAtC)
            o.addresses.push_back('c');
        o.replyDelayMs = c.delayMs;
        o.splitPieces = c.pieces;
        attach(o);
        click("MultiDrop1");
        top().state().unitTable[0].port485RateIndex = c.rateIndex;
        top().windows().findUnits->show();
        get<QSpinBox>("updAnswerWithin")->setValue(c.answerWithinMs);

        const uint32_t started = clock.tickCount();
        click("pbStartScan");
        // Millisecond steps: the scan's deadlines are checked as they fall due.
        for (int ms = 0; ms < 60000 && scanning(); ++ms) {
            clock.advance(1);
            link->pump();
            top().engine().checkScanTimeout();
        }
        ASSERT_FALSE(scanning());
        if (c.rateIndex == 3 && *c.found) {
            EXPECT_LE(clock.tickCount() - started, 5000u);
        }
        QString found, crowded;
        auto* list = get<QListWidget>("lstUnits");
        for (int i = 0; i < list->count(); ++i) {
            const QString text = list->item(i)->text();
            if (text.startsWith(QLatin1String("address ")))
                crowded += text.at(8);
            else
                found += list->item(i)->data(Qt::UserRole).toChar();
        }
        EXPECT_EQ(found, QLatin1String(c.found));
        EXPECT_EQ(crowded, QLatin1String(c.crowded));
        if (*c.found) {
            EXPECT_EQ(versionRequests(), 62);
        }
        top().windows().findUnits->hide();
    }
    EXPECT_EQ(UnitScan::storedAnswerWithinMs(), 20); // kept for the next scan and dxu-cli
}

} // namespace
} // namespace dxu::test
