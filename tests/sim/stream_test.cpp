// The measurement stream: its content in every mode and display setting, its
// rate, gating, units and offset, and the limit the line rate sets.
#include "simharness.h"

#include <gtest/gtest.h>

#include <regex>

using simtest::Sim;

namespace {

struct StreamCase {
    const char* name;
    std::vector<std::string> args;
    std::vector<std::string> setup;  // sent with the prefix, each answered OK
    const char* line;                // every line of the stream matches this
    int minLines, maxLines;          // lines within the 300 ms window
    std::string prefix = "$";
};

TEST(SimStream, EveryModeStreamsItsReplyFormAtItsRate)
{
    const std::vector<std::string> flat = {"--distance", "12.5", "--distance-noise", "0"};
    const std::vector<std::string> twoTargets = {"--targets", "5,9", "--distance-noise", "0"};
    // 100 measurements a second: PF 2000 / PO 20; about 30 in the window.
    const std::vector<std::string> fast = {"AW,10", "PO,20"};
    const auto with = [](std::vector<std::string> a, std::vector<std::string> b) {
        a.insert(a.end(), b.begin(), b.end());
        return a;
    };
    const StreamCase cases[] = {
        {"distance with offset", flat, with(fast, {"OF,1.25"}), R"(\$BM,13\.750)", 20, 33},
        {"distance and intensity", flat, with(fast, {"DM,2"}), R"(\$BM,12\.500,1[45]\d\d)", 20, 33},
        {"intensity only", flat, with(fast, {"DM,3"}), R"(\$BM,1[45]\d\d)", 20, 33},
        {"feet", flat, with(fast, {"MU,0"}), R"(\$BM,41\.01)", 20, 33},
        {"gated out by the short gate", flat, with(fast, {"EG,1", "SG,20"}), R"(\$BM,,)", 20, 33},
        {"gated out, with intensity", flat, with(fast, {"EG,3", "LG,10", "DM,2"}), R"(\$BM,,0)", 20, 33},
        {"first of two targets", twoTargets, fast, R"(\$BM,5\.000)", 20, 33},
        {"last target", twoTargets, with(fast, {"MM,4"}), R"(\$BM,9\.000)", 20, 33},
        {"slow default rate", flat, {}, R"(\$BM,12\.500)", 2, 4},
        // Binning: one reply per target, PF 500 / PO 5 sets a second, bins of 0.104 m.
        {"binning", twoTargets, {"MM,2", "AW,1", "PO,5"}, R"(\$BM,(0,2,4\.992|1,2,8\.944),\d+)", 40, 66},
        {"binning in feet", twoTargets, {"MM,2", "AW,1", "PO,5", "MU,0", "BS,0"},
         R"(\$BM,(0,2,16\.38|1,2,29\.50),\d+)", 40, 66},
        // Detection reports ten times a second.
        {"detection", twoTargets, {"MM,3", "TP,6"}, R"(\$BM,5000)", 2, 4},
        {"detection, nothing near", twoTargets, {"MM,3", "TP,2"}, R"(\$BM,0)", 2, 4},
        {"detection times", twoTargets, {"MM,3", "TP,6", "TB,1"}, R"(\$[0-9A-F]{4})", 2, 4},
        {"detection times, off", twoTargets, {"MM,3", "TP,2", "TB,1"}, R"(\$0)", 2, 4},
        {"network unit", with(flat, {"--units", "a,b"}), with(fast, {}), R"(#bBM,13\.500)", 20, 33, "#b"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Sim sim(c.args);
        for (const auto& s : c.setup)
            ASSERT_EQ(sim.ask(c.prefix + s), c.prefix + "OK") << s;
        ASSERT_EQ(sim.ask(c.prefix + "GO"), c.prefix + "OK");
        const auto lines = sim.linesFor(300);
        EXPECT_GE(int(lines.size()), c.minLines);
        EXPECT_LE(int(lines.size()), c.maxLines);
        for (const auto& l : lines)
            ASSERT_TRUE(std::regex_match(l, std::regex(c.line))) << l;

        // ST ends the stream: nothing follows its OK.
        sim.send(c.prefix + "ST");
        std::string l;
        while (!(l = sim.readLine(500)).empty() && l != c.prefix + "OK")
            ASSERT_TRUE(std::regex_match(l, std::regex(c.line))) << l;
        EXPECT_EQ(l, c.prefix + "OK");
        EXPECT_EQ(sim.readFor(100), "");
    }
}

TEST(SimStream, AnObjectThatComesAndGoesIsDetectedAndLost)
{
    // Absolute: nearer than the trip point. Relative: nearer than the range
    // when measuring began (12) minus the trip point.
    for (const char* reference : {"$LA,1", "$LA,0"}) {
        SCOPED_TRACE(reference);
        Sim sim({"--distance", "12", "--distance-noise", "0", "--blink", "3,150,150"});
        for (const char* s : {"$MM,3", reference, "$TP,5", "$GO"})
            ASSERT_EQ(sim.ask(s), "$OK") << s;
        int on = 0, off = 0;
        for (const auto& l : sim.linesFor(600)) {
            on += l == "$BM,3000";
            off += l == "$BM,0";
        }
        EXPECT_GE(on, 2);
        EXPECT_GE(off, 2);
    }
}

TEST(SimStream, NeverFasterThanTheLineCarries)
{
    // 4000 measurements a second would need 44000 bytes/s; 9600 bit/s carries 960.
    Sim sim({"--rate", "9600", "--distance", "12.5", "--distance-noise", "0"});
    sim.closePort();
    sim.openPort(9600);
    for (const char* s : {"$AW,0", "$PF,4000", "$PO,1", "$GO"})
        ASSERT_EQ(sim.ask(s), "$OK") << s;
    sim.readFor(200);
    const std::string second = sim.readFor(1000);
    EXPECT_LE(second.size(), 1060u);
    EXPECT_GE(second.size(), 700u);
    EXPECT_EQ(sim.ask("$ST", 2000).substr(0, 1), "$");
}

TEST(SimStream, ASingleMeasurementAnswersOnceInEveryMode)
{
    Sim sim({"--targets", "5,9", "--distance-noise", "0"});
    const std::pair<const char*, std::vector<std::string>> steps[] = {
        {"$DM,2", {"$BM,5.000,"}},
        {"$MM,2", {"$BM,0,2,4.992,", "$BM,1,2,8.944,"}},
        {"$MM,3", {"$BM,0"}},
        {"$TP,6", {"$BM,5000"}},
        {"$TB,1", {"$BM,5000"}},  // a single measurement is not part of the time stream
    };
    for (const auto& [set, replies] : steps) {
        SCOPED_TRACE(set);
        ASSERT_EQ(sim.ask(set), "$OK");
        sim.send("$BM");
        for (const auto& r : replies)
            EXPECT_EQ(sim.readLine().substr(0, r.size()), r);
        EXPECT_EQ(sim.readFor(150), "");
    }
}

TEST(SimStream, WithoutContinuousOutputTheUnitMeasuresSilently)
{
    Sim sim({"--distance", "2.5", "--distance-noise", "0"});
    for (const char* s : {"$CO,0", "$AW,10", "$PO,20", "$GO"})
        ASSERT_EQ(sim.ask(s), "$OK") << s;
    EXPECT_EQ(sim.readFor(200), "");
    EXPECT_EQ(sim.ask("$US"), "$US,2");
    EXPECT_EQ(sim.ask("$BM"), "$BM,2.500");
    EXPECT_EQ(sim.readFor(100), "");
}

} // namespace

TEST(SimStream, BinningSceneOptionsGiveHitCountsEmptyEntriesAndTheStartMode)
{
    // Starts in Binning: three targets with their hit counts, two empty entries between them.
    Sim sim({"--mode", "2", "--targets", "5,9,20", "--hits", "100,40,400", "--empty-bins", "2",
             "--distance-noise", "0"});
    EXPECT_EQ(sim.ask("$MM"), "$MM,2");
    sim.send("$BM");
    const std::vector<std::pair<std::string, int>> expected = {
        {"$BM,0,5,4.992,", 100}, {"$BM,1,5,0.000,0", 0}, {"$BM,2,5,8.944,", 40},
        {"$BM,3,5,0.000,0", 0},  {"$BM,4,5,19.968,", 400}};
    for (const auto& [head, hits] : expected) {
        const std::string line = sim.readLine();
        ASSERT_EQ(line.substr(0, head.size()), head) << line;
        const int got = std::stoi(line.substr(line.rfind(',') + 1));
        EXPECT_NEAR(got, hits, hits / 10 + 1) << line;
    }
    EXPECT_EQ(sim.readFor(150), "");
}
