// The faults dxu-sim produces on request, its traffic log and its command
// line: each must look on the wire exactly as described, or tests of the
// program built on them prove nothing.
#include "simharness.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <functional>
#include <poll.h>
#include <regex>
#include <sys/wait.h>
#include <unistd.h>

using simtest::Sim;

namespace {

using Clock = std::chrono::steady_clock;

struct FaultCase {
    const char* name;
    std::vector<std::string> args;
    std::function<void(Sim&)> check;
};

bool lineSafe(const std::string& bytes)
{
    return bytes.find_first_of(std::string("$#\r\n\0", 5)) == std::string::npos;
}

TEST(SimFaults, EveryFaultLooksOnTheWireAsAsked)
{
    const FaultCase cases[] = {
        {"every third reply dropped", {"--drop", "3"},
         [](Sim& sim) {
             sim.sendRaw("$US\r$SV\r$MM\r$PL\r$MU\r$DM\r");
             EXPECT_EQ(sim.linesFor(300),
                       (std::vector<std::string>{"$US,0", "$SV,DXU v1.0.5 build 7", "$PL,0", "$MU,1"}));
             EXPECT_NE(sim.log().find(" DROP $MM,1\n"), std::string::npos);
             EXPECT_NE(sim.log().find(" DROP $DM,1\n"), std::string::npos);
         }},
        {"every second reply late", {"--late", "2,400"},
         [](Sim& sim) {
             EXPECT_EQ(sim.ask("$US", 200), "$US,0");
             EXPECT_EQ(sim.ask("$US", 250), "");
             EXPECT_EQ(sim.readLine(400), "$US,0");
         }},
        {"fixed reply delay", {"--reply-delay", "300"},
         [](Sim& sim) {
             EXPECT_EQ(sim.ask("$US", 200), "");
             EXPECT_EQ(sim.readLine(300), "$US,0");
         }},
        {"reply delay within a range", {"--reply-delay", "150-250"},
         [](Sim& sim) {
             EXPECT_EQ(sim.ask("$US", 100), "");
             EXPECT_EQ(sim.readLine(300), "$US,0");
         }},
        {"a command sooner than the turnaround", {"--reply-delay", "0", "--min-turnaround-us", "200000"},
         [](Sim& sim) {
             EXPECT_EQ(sim.ask("$US"), "$US,0");
             EXPECT_EQ(sim.ask("$US"), "$US,0"); // at once: too soon
             usleep(250000);
             EXPECT_EQ(sim.ask("$US"), "$US,0"); // after the turnaround
             const std::string log = sim.log();
             EXPECT_NE(log.find(" TURN! "), std::string::npos);
             EXPECT_EQ(log.find(" TURN! "), log.rfind(" TURN! ")) << "one command was too soon";
         }},
        {"replies in three pieces", {"--split", "3", "--split-gap", "60"},
         [](Sim& sim) {
             sim.send("$SV");
             std::vector<std::pair<Clock::time_point, std::string>> reads;
             std::string all;
             while (all.find('\r') == std::string::npos) {
                 pollfd p{sim.fd(), POLLIN, 0};
                 ASSERT_GT(poll(&p, 1, 1000), 0);
                 char buf[256];
                 const ssize_t n = read(sim.fd(), buf, sizeof buf);
                 ASSERT_GT(n, 0);
                 reads.emplace_back(Clock::now(), std::string(buf, size_t(n)));
                 all += reads.back().second;
             }
             EXPECT_EQ(all, "$SV,DXU v1.0.5 build 7\r");
             ASSERT_EQ(reads.size(), 3u);
             EXPECT_GE(reads.back().first - reads.front().first, std::chrono::milliseconds(100));
         }},
        {"CR LF line ends", {"--eol", "crlf"},
         [](Sim& sim) {
             sim.send("$US");
             EXPECT_EQ(sim.readFor(150), "$US,0\r\n");
         }},
        {"LF line ends", {"--eol", "lf"},
         [](Sim& sim) {
             sim.send("$US");
             EXPECT_EQ(sim.readFor(150), "$US,0\n");
         }},
        {"junk between lines", {"--noise-bytes", "8"},
         [](Sim& sim) {
             sim.send("$US");
             const std::string got = sim.readFor(150);
             ASSERT_EQ(got.size(), 6u + 8u);
             EXPECT_EQ(got.substr(0, 6), "$US,0\r");
             EXPECT_TRUE(lineSafe(got.substr(6)));
         }},
        {"an over-long line that never ends", {"--overlong", "1,300"},
         [](Sim& sim) {
             sim.send("$US");
             const std::string got = sim.readFor(200);
             ASSERT_EQ(got.size(), 6u + 300u);
             EXPECT_EQ(got.substr(0, 7), "$US,0\r$");
             EXPECT_TRUE(lineSafe(got.substr(7)));
             sim.send("$US");
             EXPECT_EQ(sim.readFor(150), "$US,0\r");
         }},
        {"a reply from the wrong address", {"--wrong-address", "2"},
         [](Sim& sim) {
             EXPECT_EQ(sim.ask("$US"), "$US,0");
             EXPECT_EQ(sim.ask("$US"), "#bUS,0");
         }},
        {"a network reply from the wrong address", {"--units", "a,b", "--wrong-address", "1"},
         [](Sim& sim) { EXPECT_EQ(sim.ask("#aUS"), "#cUS,0"); }},
        {"the cable pulled in a stream", {"--exit-after-bm", "5", "--distance", "7.5", "--distance-noise", "0"},
         [](Sim& sim) {
             EXPECT_EQ(sim.ask("$GO"), "$OK");
             std::string got;
             EXPECT_TRUE(sim.readUntilHangup(3000, got));
             EXPECT_EQ(got, "$BM,7.500\r$BM,7.500\r$BM,7.500\r$BM,7.500\r$BM,7.500\r");
             EXPECT_EQ(sim.waitExit(2000), 0);
         }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Sim sim(c.args);
        c.check(sim);
    }
}

TEST(SimFaults, TheLogShowsEveryLineWithItsTime)
{
    Sim sim({"--units", "a,b", "--silent", "b"});
    EXPECT_EQ(sim.ask("#aSV"), "#aSV,DXU v1.0.5 build 7");
    EXPECT_EQ(sim.ask("#bSV", 200), "");
    sim.sendRaw("\x01junk\r");
    sim.readFor(100);
    const std::string log = sim.log();
    for (const char* line : {R"(RX #aSV)", R"(TX #aSV,DXU v1\.0\.5 build 7)", R"(RX #bSV)", R"(RX \\x01junk)"}) {
        SCOPED_TRACE(line);
        EXPECT_TRUE(std::regex_search(log, std::regex(std::string("(^|\n)\\d+\\.\\d{3} ") + line + "\n")));
    }
    EXPECT_EQ(log.find("TX #bSV"), std::string::npos);
}

TEST(SimFaults, CommandLineAndSignals)
{
    Sim env({"--env", "3"});
    EXPECT_TRUE(std::regex_match(env.firstLine(), std::regex("DXU_COM3=/dev/pts/\\d+")));
    EXPECT_EQ(env.ask("$US"), "$US,0");
    EXPECT_EQ(env.stop(SIGINT), 0);

    Sim plain;
    EXPECT_EQ(plain.firstLine(), plain.path());
    EXPECT_EQ(plain.stop(SIGTERM), 0);

    const auto run = [](const std::string& args, std::string& out) {
        FILE* p = popen((std::string(DXU_SIM_PATH) + " " + args + " 2>&1").c_str(), "r");
        char buf[512];
        size_t n;
        while ((n = fread(buf, 1, sizeof buf, p)) > 0)
            out.append(buf, n);
        const int status = pclose(p);
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    };
    std::string help;
    EXPECT_EQ(run("--help", help), 0);
    for (const char* opt : {"--units", "--address", "--dollar-replies", "--silent", "--port", "--rate", "--state",
                            "--version", "--env", "--log", "--reply-delay", "--restart-ms", "--seed", "--distance ",
                            "--distance-noise", "--intensity", "--targets", "--blink", "--drop", "--late",
                            "--split ", "--split-gap", "--eol", "--noise-bytes", "--overlong", "--wrong-address",
                            "--exit-after-bm", "--min-turnaround-us"})
        EXPECT_NE(help.find(opt), std::string::npos) << opt;
    for (const char* bad : {"--bogus", "--units a,#", "--drop 0", "--eol cr2", "--late 3", "--reply-delay 9-3"}) {
        std::string out;
        EXPECT_EQ(run(bad, out), 2) << bad;
        EXPECT_NE(out.find("dxu-sim: "), std::string::npos) << bad;
    }
}

} // namespace
