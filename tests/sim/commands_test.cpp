// The unit's command set as the program sees it on the wire: queries and sets
// of every setting, the error replies, addressing on an RS-485 line, saving
// and restarting, and the rate switch.
#include "simharness.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <thread>

using simtest::Sim;

namespace {

struct SettingCase {
    const char* query;
    const char* before;  // reply to the query at power-up
    const char* set;
    const char* after;   // reply to the query after the set
};

TEST(SimCommands, EverySettingAnswersItsQueryAndKeepsWhatIsSet)
{
    // Kept in an order where earlier sets do not change later replies; MM and
    // MU come last because they change the meaning of PF/PO and distances.
    const SettingCase cases[] = {
        {"CG", "CG,0", "CG,1", "CG,1"},
        {"PL", "PL,0", "PL,2", "PL,2"},
        {"FL", "FL,0", "FL,1", "FL,1"},
        {"TE", "TE,0", "TE,1", "TE,1"},
        {"MP", "MP,0", "MP,25", "MP,25"},
        {"XP", "XP,1000", "XP,800", "XP,800"},
        {"LA", "LA,1", "LA,0", "LA,0"},
        {"AW", "AW,50", "AW,150", "AW,150"},
        {"AB", "AB,500", "AB,250", "AB,250"},
        {"IL", "IL,1000", "IL,2000", "IL,2000"},
        {"BS", "BS,3", "BS,5", "BS,5"},
        {"BH", "BH,10", "BH,200", "BH,200"},
        {"FA", "FA,0", "FA,3", "FA,3"},
        {"FT", "FT,500", "FT,100", "FT,100"},
        {"MX", "MX,10", "MX,20", "MX,20"},
        {"CT", "CT,10", "CT,5", "CT,5"},
        {"TB", "TB,0", "TB,1", "TB,1"},
        {"CE", "CE,0", "CE,1", "CE,1"},
        {"CV", "CV,0", "CV,15", "CV,15"},
        {"OP", "OP,0", "OP,2", "OP,2"},
        {"DS", "DS,5", "DS,10", "DS,10"},
        {"WT", "WT,5", "WT,7", "WT,7"},
        {"MO", "MO,0", "MO,1", "MO,1"},
        {"CL", "CL,1", "CL,3", "CL,3"},
        {"CO", "CO,1", "CO,0", "CO,0"},
        {"MA", "MA,0", "MA,1", "MA,1"},
        {"DM", "DM,1", "DM,2", "DM,2"},
        {"EG", "EG,0", "EG,5", "EG,5"},
        {"DD", "DD,0", "DD,8", "DD,8"},
        {"SG", "SG,0.500", "SG,12.5", "SG,12.500"},
        {"LG", "LG,100.000", "LG,250.125", "LG,250.125"},
        {"OF", "OF,0.000", "OF,-1.25", "OF,-1.250"},
        {"TP", "TP,5.000", "TP,7.5", "TP,7.500"},
        {"WV", "WV,0.500", "WV,0.25", "WV,0.250"},
        {"AL", "AL,0.000", "AL,2.5", "AL,2.500"},
        {"AH", "AH,100.000", "AH,150", "AH,150.000"},
        {"AT", "AT,5.000", "AT,12.5", "AT,12.500"},
        {"AF", "AF,3.600", "AF,20.00", "AF,20.000"},
        {"PF", "PF,2000,500,1000", "PF,3000", "PF,3000,500,1000"},
        {"PO", "PO,200,50", "PO,300", "PO,300,50"},
        {"DR", "DR,3,0.500", "DR,4,1.25", "DR,4,1.250"},
        {"TT", "TT,3E8", "TT,FF", "TT,FF"},
        {"BR,1", "BR,1,115200", "BR,1,9600", "BR,1,9600"},
        {"UA", "UA,97", "UA,b", "UA,98"},
        {"WP", "WP,0", "WP,1", "WP,0"},
        {"P4", "P4,32896,32896", "P4,1,2", "P4,32896,32896"},
        {"SV", "SV,DXU v1.0.5 build 7", "SV,x", "SV,DXU v1.0.5 build 7"},
        {"US", "US,0", "US,2", "US,0"},
        // In Binning the PRF and pulses set are the second values.
        {"MM", "MM,1", "MM,2", "MM,2"},
        {"PF", "PF,3000,500,1000", "PF,800", "PF,3000,800,1000"},
        {"PO", "PO,300,50", "PO,70", "PO,300,70"},
        {"MM", "MM,2", "MM,3", "MM,3"},
        {"PF", "PF,3000,800,1000", "PF,4500", "PF,3000,800,4500"},
        // Feet: the unit converts its distances.
        {"MU", "MU,1", "MU,0", "MU,0"},
        {"SG", "SG,41.01", "SG,10", "SG,10.00"},
        {"DR", "DR,4,4.10", "DR,4,1", "DR,4,1.00"},
    };
    Sim sim;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.set);
        const std::string query = std::string("$") + c.query;
        EXPECT_EQ(sim.ask(query), std::string("$") + c.before);
        const bool readOnly = std::string(c.before) == c.after;
        EXPECT_EQ(sim.ask(std::string("$") + c.set), readOnly ? "$ER,1" : "$OK");
        EXPECT_EQ(sim.ask(query), std::string("$") + c.after);
    }
}

TEST(SimCommands, RefusedCommandsAnswerWithTheirErrorNumber)
{
    const std::pair<const char*, const char*> steps[] = {
        {"$XY", "$ER,1"},         {"$mm", "$ER,1"},          {"$MM,x", "$ER,1"},
        {"$", "$ER,1"},           {"$CD,7", "$ER,1"},        {"$PT,2", "$ER,1"},
        {"$UA,%", "$ER,1"},       {"$PF,4001", "$ER,32"},    {"$PF,9", "$ER,32"},
        {"$BR,0,56000", "$ER,34"}, {"$BR,1,abc", "$ER,34"},  {"$BR,2,9600", "$ER,84"},
        {"$BR,3", "$ER,84"},      {"$BR", "$ER,84"},         {"$MO,3", "$ER,84"},
        {"$MM,5", "$ER,85"},      {"$MM,0", "$ER,85"},       {"$AL,2001", "$ER,83"},
        {"$CD,160,2,5", "$ER,83"}, {"$CD,161,0,256", "$ER,83"}, {"$AW,-1", "$ER,35"},
        {"$ST", "$ER,86"},        {"$GO", "$OK"},            {"$GO", "$ER,31"},
        {"$ST", "$OK"},           {"$ST", "$ER,86"},         {"$PO,40", "$OK"},
        {"$GO", "$ER,49"},        {"$BM", "$ER,49"},         {"$MM,4", "$OK"},
        {"$GO", "$ER,49"},        {"$AW,40", "$OK"},         {"$BM", "$BM,12.345"},
        {"$MM,2", "$OK"},         {"$PF,1001", "$ER,32"},    {"$PF,1000", "$OK"},
        {"$MM,3", "$OK"},         {"$PO,10", "$ER,85"},      {"$PF,4501", "$ER,32"},
        {"$PF,4500", "$OK"},      {"$PT,1", "$OK"},          {"$US", "$US,4"},
    };
    Sim sim({"--distance-noise", "0"});
    for (const auto& [line, reply] : steps) {
        SCOPED_TRACE(line);
        EXPECT_EQ(sim.ask(line), reply);
    }
}

TEST(SimCommands, NetworkUnitsAnswerOnlyTheirOwnAddress)
{
    Sim sim({"--units", "a,b,c", "--silent", "c"});
    EXPECT_EQ(sim.ask("#aSV"), "#aSV,DXU v1.0.5 build 7");
    EXPECT_EQ(sim.ask("#bMM,2"), "#bOK");
    EXPECT_EQ(sim.ask("#bMM"), "#bMM,2");
    EXPECT_EQ(sim.ask("#aMM"), "#aMM,1") << "every unit keeps its own settings";
    EXPECT_EQ(sim.ask("#aWP"), "#aWP,2") << "the RS-485 line runs through the universal port";
    for (const char* unanswered : {"#cSV", "$SV", "#dSV", "#", "SV"}) {
        SCOPED_TRACE(unanswered);
        EXPECT_EQ(sim.ask(unanswered, 200), "");
    }
    EXPECT_EQ(sim.ask("#bUA,d"), "#bOK") << "the OK comes from the old address";
    EXPECT_EQ(sim.ask("#bSV", 300), "");
    EXPECT_EQ(sim.ask("#dUA"), "#dUA,100");

    Sim dollar({"--units", "a,b", "--dollar-replies"});
    EXPECT_EQ(dollar.ask("#bUS"), "$US,0");
    EXPECT_EQ(dollar.ask("$US", 300), "");

    Sim single({"--address", "k"});
    EXPECT_EQ(single.ask("$UA"), "$UA,107");
    EXPECT_EQ(single.ask("#kUS"), "#kUS,0");
    EXPECT_EQ(single.ask("#aUS", 300), "");
    EXPECT_EQ(single.ask("xx$US"), "$US,0") << "junk before the line start is skipped";
}

TEST(SimCommands, SavedSettingsSurviveRestartsAndUnsavedOnesDoNot)
{
    const std::string state = simtest::tempDir() + "/unit.state";
    {
        Sim sim({"--state", state});
        for (const char* line : {"$MM,2", "$SU", "$PL,2", "$CD,160,0,10", "$CD,161,0,5", "$CD,95", "$CD,161,1,7"})
            EXPECT_EQ(sim.ask(line), "$OK") << line;
        EXPECT_EQ(sim.ask("$P4"), "$P4,2565,32775");
        sim.send("$CD,30");
        std::this_thread::sleep_for(std::chrono::milliseconds(400));
        EXPECT_EQ(sim.ask("$US", 400), "") << "the unit is silent while it starts again";
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        EXPECT_EQ(sim.ask("$PL"), "$PL,0") << "an unsaved setting is lost";
        EXPECT_EQ(sim.ask("$MM"), "$MM,2");
        EXPECT_EQ(sim.ask("$P4"), "$P4,2565,32896") << "only the stored calibration is kept";
        EXPECT_EQ(sim.stop(), 0);
    }
    Sim again({"--state", state});
    EXPECT_EQ(again.ask("$MM"), "$MM,2");
    EXPECT_EQ(again.ask("$PL"), "$PL,0");
    EXPECT_EQ(again.ask("$P4"), "$P4,2565,32896");
}

TEST(SimCommands, AutostartMeasuresAfterARestart)
{
    Sim sim({"--restart-ms", "100"});
    EXPECT_EQ(sim.ask("$MA,1"), "$OK");
    EXPECT_EQ(sim.ask("$SU"), "$OK");
    sim.send("$CD,30");
    const auto lines = sim.linesFor(600);
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.front().rfind("$BM,", 0), 0u);
}

TEST(SimCommands, ARateChangeOfTheLinkPortTakesEffectAfterItsOk)
{
    Sim sim;
    EXPECT_EQ(sim.ask("$BR,1,1200"), "$OK") << "the other port";
    EXPECT_EQ(sim.ask("$US"), "$US,0");
    EXPECT_EQ(sim.ask("$BR,0,9600"), "$OK") << "still at the old rate";
    EXPECT_EQ(sim.ask("$US", 300), "");
    EXPECT_NE(sim.log().find("RX! a $US (line at 115200 bit/s, unit at 9600)"), std::string::npos);

    sim.closePort();
    sim.openPort(9600);
    EXPECT_EQ(sim.ask("$US"), "$US,0");
    EXPECT_EQ(sim.ask("$BR,0,14400"), "$OK");
    sim.setRate(14400);
    EXPECT_EQ(sim.ask("$BR,0"), "$BR,0,14400");

    // Replies sent at a rate the program does not listen at arrive as junk.
    EXPECT_EQ(sim.ask("$GO"), "$OK");
    sim.setRate(19200);
    const std::string junk = sim.readFor(300);
    EXPECT_FALSE(junk.empty());
    EXPECT_EQ(junk.find_first_of("$#\r\n"), std::string::npos);
    EXPECT_NE(sim.log().find("TX! $BM,"), std::string::npos);
}

TEST(SimCommands, TheDeviceCanBeOpenedExclusivelyAgainAndAgain)
{
    Sim sim;
    for (int round = 0; round < 3; ++round) {
        sim.openPort();
        EXPECT_EQ(flock(sim.fd(), LOCK_EX | LOCK_NB), 0);
        EXPECT_EQ(ioctl(sim.fd(), TIOCEXCL), 0);
        EXPECT_EQ(sim.ask("$US"), "$US,0");
        sim.closePort();
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        const int probe = ::open(sim.path().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        ASSERT_GE(probe, 0);
        int exclusive = -1;
        EXPECT_EQ(ioctl(probe, TIOCGEXCL, &exclusive), 0);
        EXPECT_EQ(exclusive, 0) << "the exclusive mode ends with the last close";
        ::close(probe);
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    EXPECT_EQ(sim.stop(), 0);
}

} // namespace
