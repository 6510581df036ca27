#include "options.h"

#include "settings.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string_view>

namespace dxusim {

namespace {

const char kHelp[] =
    "Usage: dxu-sim [options]\n"
    "\n"
    "A simulated DXU laser distance unit, or an RS-485 line of them, on a\n"
    "pseudo-terminal. Prints the device path of the terminal on the first line\n"
    "of standard output and serves until SIGINT or SIGTERM.\n"
    "\n"
    "Line and units:\n"
    "  --units a,b,c       an RS-485 line with units at these addresses; each answers\n"
    "                      only lines \"#<its address>...\" (default: one unit on RS-232,\n"
    "                      answering \"$...\" lines and \"#<address>...\" lines);\n"
    "                      an address given twice (a,c,c) puts two units on it:\n"
    "                      replies that overlap on the wire reach the program\n"
    "                      garbled (CLASH in the log), others one after the other\n"
    "  --address C         address of the RS-232 unit (default a)\n"
    "  --dollar-replies    network units frame their replies with \"$\" instead of\n"
    "                      \"#<address>\"\n"
    "  --silent b[,c]      these units never answer\n"
    "  --port P            unit port the link runs through, as WP reports it:\n"
    "                      0 configuration, 1 universal, 2 RS-485 universal\n"
    "                      (default 0 on RS-232, 2 on RS-485)\n"
    "  --rate R            rate of that unit port at start, bit/s (default 115200;\n"
    "                      a saved state overrides it)\n"
    "  --state FILE        settings kept by SU and calibration kept by CD,95 live in\n"
    "                      FILE and are loaded from it at start\n"
    "  --version TEXT      the unit's version text (default \"DXU v1.0.5 build 7\");\n"
    "                      --version alone prints this program's version\n"
    "  --env N             print \"DXU_COM<N>=<path>\" instead of the bare path\n"
    "  --log FILE          log every line received (RX) and every reply sent (TX)\n"
    "                      with a time stamp in seconds; RX! and TX! mark lines\n"
    "                      garbled by a rate mismatch, DROP a dropped reply,\n"
    "                      JUNK noise bytes, LONG an over-long line, NOTE an event\n"
    "  --reply-delay MS    delay before each reply, or A-B: random from A to B ms\n"
    "                      (default: random 0..5 ms)\n"
    "  --min-turnaround-us N  report (stderr, TURN! in the log) every command\n"
    "                      whose first byte came sooner than N us after the last\n"
    "                      byte of a reply went out (measurements not counted);\n"
    "                      the count is printed again at exit\n"
    "  --restart-ms MS     how long CD,30 keeps a unit silent (default 1000)\n"
    "  --seed N            seed of the random numbers (default 1)\n"
    "\n"
    "Scene (distances in metres; reported in the unit's units with OF added):\n"
    "  --distance M        distance of the target (default 12.345; unit k of a\n"
    "                      network sees it k metres further)\n"
    "  --distance-noise M  random spread of every distance, +/- M (default 0.002)\n"
    "  --intensity N       intensity of the echo (default 1500)\n"
    "  --targets M1,M2,..  targets of a binning measurement (default: the target)\n"
    "  --hits H1,H2,..     hit counts of those targets, nearest first, each +/- 10 %\n"
    "                      (default: 60..90 % of the pulses per measurement)\n"
    "  --empty-bins N      N empty entries (distance 0, no hits) among the targets\n"
    "                      of every binning reply; at most 10 entries in all\n"
    "  --mode N            measurement mode at start: 1 Averaging, 2 Binning,\n"
    "                      3 Detection, 4 LastTarget (default: the stored one)\n"
    "  --blink M,ON,OFF    an object at M that is gone for OFF ms from the start,\n"
    "                      then there for ON ms, again and again; while there it\n"
    "                      is the nearest target\n"
    "\n"
    "Faults:\n"
    "  --drop N            drop every N-th reply\n"
    "  --late N,MS         send every N-th reply MS ms late\n"
    "  --split K           write every reply in K pieces\n"
    "  --split-gap MS      pause between the pieces (default 60)\n"
    "  --eol cr|crlf|lf    line end of the replies (default cr)\n"
    "  --noise-bytes N     N junk bytes after every reply\n"
    "  --overlong N[,LEN]  after the N-th reply, a line of LEN bytes (default 60000)\n"
    "                      that never ends\n"
    "  --wrong-address N   every N-th reply comes from an address no unit has\n"
    "  --refuse C1,C2,..   writes of these setting codes, and these commands (SU),\n"
    "                      are answered with the setting's error (else ER,49)\n"
    "  --measure-error N,E every N-th streamed measurement is ER,E instead\n"
    "  --exit-after-bm N   exit after the N-th measurement reply (the cable pulled)\n"
    "  --help              this text\n"
    "\n"
    "The unit: every setting code answers its query and takes its set line; SU\n"
    "saves the settings, CD,30 restarts on them (silent, no reply), CD,160/161\n"
    "trim the loop calibration that P4 reports and CD,95 stores it. GO streams\n"
    "measurements at PF/PO a second (detection: ten a second) while CO is 1;\n"
    "with CO 0 the unit measures without streaming and BM gives one result.\n"
    "US reports 2 while measuring, plus 4 while the pointer is on. No target\n"
    "(gated out) gives an empty distance: \"$BM,,\", or \"$BM,,0\" with intensity.\n"
    "A BR for the port the link runs through takes effect after its OK; lines\n"
    "sent at another rate than the unit's are garbage to it, and so are its\n"
    "replies to the program.\n";

[[noreturn]] void fail(const std::string& what)
{
    std::fprintf(stderr, "dxu-sim: %s (see --help)\n", what.c_str());
    std::exit(2);
}

long toInt(std::string_view opt, const std::string& text, long lo, long hi)
{
    errno = 0;
    char* end = nullptr;
    long v = std::strtol(text.c_str(), &end, 10);
    if (text.empty() || *end || errno || v < lo || v > hi)
        fail(std::string(opt) + ": '" + text + "' is not a whole number from " + std::to_string(lo) + " to "
             + std::to_string(hi));
    return v;
}

double toReal(std::string_view opt, const std::string& text)
{
    errno = 0;
    char* end = nullptr;
    double v = std::strtod(text.c_str(), &end);
    if (text.empty() || *end || errno || v < 0 || v > 100000)
        fail(std::string(opt) + ": '" + text + "' is not a distance");
    return v;
}

std::vector<char> toAddresses(std::string_view opt, const std::string& text, bool twiceAllowed = false)
{
    std::vector<char> list;
    for (const auto& part : splitCommas(text)) {
        if (part.size() != 1 || !isAddressChar(part[0]))
            fail(std::string(opt) + ": '" + part + "' is not an address (a-z, A-Z, 0-9)");
        if (!twiceAllowed && std::find(list.begin(), list.end(), part[0]) != list.end())
            fail(std::string(opt) + ": address " + part + " given twice");
        list.push_back(part[0]);
    }
    return list;
}

} // namespace

const char* helpText() { return kHelp; }

bool Options::isSilent(char a) const { return std::find(silent.begin(), silent.end(), a) != silent.end(); }

Options parseOptions(int argc, char** argv)
{
    Options o;
    for (int i = 1; i < argc; ++i) {
        const std::string_view opt = argv[i];
        if (opt == "--help" || opt == "-h") {
            std::fputs(kHelp, stdout);
            std::exit(0);
        }
        const auto flag = [&](std::string_view name) { return opt == name; };
        if (flag("--dollar-replies")) {
            o.dollarReplies = true;
            continue;
        }
        if (i + 1 >= argc)
            fail("unknown option or missing value: " + std::string(opt));
        const std::string val = argv[++i];
        if (flag("--units")) {
            o.addresses = toAddresses(opt, val, true);
            o.network = true;
        } else if (flag("--address")) {
            auto a = toAddresses(opt, val);
            if (a.size() != 1)
                fail("--address takes one address");
            o.address = a[0];
        } else if (flag("--silent")) {
            o.silent = toAddresses(opt, val);
        } else if (flag("--port")) {
            o.port = int(toInt(opt, val, 0, 2));
        } else if (flag("--rate")) {
            o.rate = unsigned(toInt(opt, val, 50, 4000000));
        } else if (flag("--state")) {
            o.stateFile = val;
        } else if (flag("--version")) {
            if (val.find_first_of(",\r\n") != std::string::npos)
                fail("--version: the text may not hold a comma or a line end");
            o.version = val;
        } else if (flag("--env")) {
            o.envIndex = int(toInt(opt, val, 1, 999));
        } else if (flag("--log")) {
            o.logFile = val;
        } else if (flag("--reply-delay")) {
            const size_t dash = val.find('-', 1);
            o.replyDelayMs = int(toInt(opt, val.substr(0, dash), 0, 600000));
            o.replyDelayMaxMs = dash == std::string::npos ? -1 : int(toInt(opt, val.substr(dash + 1), 0, 600000));
            if (o.replyDelayMaxMs >= 0 && o.replyDelayMaxMs < o.replyDelayMs)
                fail("--reply-delay: the range " + val + " ends before it starts");
        } else if (flag("--min-turnaround-us")) {
            o.minTurnaroundUs = long(toInt(opt, val, 0, 10000000));
        } else if (flag("--restart-ms")) {
            o.restartMs = int(toInt(opt, val, 0, 600000));
        } else if (flag("--seed")) {
            o.seed = uint32_t(toInt(opt, val, 0, 0x7fffffff));
        } else if (flag("--distance")) {
            o.distance = toReal(opt, val);
        } else if (flag("--distance-noise")) {
            o.distanceNoise = toReal(opt, val);
        } else if (flag("--intensity")) {
            o.intensity = int(toInt(opt, val, 0, 1000000));
        } else if (flag("--targets")) {
            o.targets.clear();
            for (const auto& t : splitCommas(val))
                o.targets.push_back(toReal(opt, t));
        } else if (flag("--hits")) {
            o.hits.clear();
            for (const auto& h : splitCommas(val))
                o.hits.push_back(int(toInt(opt, h, 0, 1000000)));
        } else if (flag("--empty-bins")) {
            o.emptyBins = int(toInt(opt, val, 0, 9));
        } else if (flag("--mode")) {
            o.mode = int(toInt(opt, val, 1, 4));
        } else if (flag("--blink")) {
            auto p = splitCommas(val);
            if (p.size() != 3)
                fail("--blink takes M,ON,OFF");
            o.blinkDistance = toReal(opt, p[0]);
            o.blinkOnMs = int(toInt(opt, p[1], 1, 600000));
            o.blinkOffMs = int(toInt(opt, p[2], 1, 600000));
        } else if (flag("--drop")) {
            o.dropEvery = int(toInt(opt, val, 1, 1000000));
        } else if (flag("--late")) {
            auto p = splitCommas(val);
            if (p.size() != 2)
                fail("--late takes N,MS");
            o.lateEvery = int(toInt(opt, p[0], 1, 1000000));
            o.lateMs = int(toInt(opt, p[1], 0, 600000));
        } else if (flag("--split")) {
            o.splitPieces = int(toInt(opt, val, 1, 64));
        } else if (flag("--split-gap")) {
            o.splitGapMs = int(toInt(opt, val, 0, 60000));
        } else if (flag("--eol")) {
            if (val == "cr")
                o.lineEnd = LineEnd::Cr;
            else if (val == "crlf")
                o.lineEnd = LineEnd::CrLf;
            else if (val == "lf")
                o.lineEnd = LineEnd::Lf;
            else
                fail("--eol takes cr, crlf or lf");
        } else if (flag("--noise-bytes")) {
            o.noiseBytes = int(toInt(opt, val, 0, 100000));
        } else if (flag("--overlong")) {
            auto p = splitCommas(val);
            if (p.size() > 2)
                fail("--overlong takes N[,LEN]");
            o.overlongAfter = int(toInt(opt, p[0], 1, 1000000));
            if (p.size() == 2)
                o.overlongLength = int(toInt(opt, p[1], 1, 10000000));
        } else if (flag("--wrong-address")) {
            o.wrongAddressEvery = int(toInt(opt, val, 1, 1000000));
        } else if (flag("--refuse")) {
            o.refuse = splitCommas(val);
        } else if (flag("--measure-error")) {
            auto p = splitCommas(val);
            if (p.size() != 2)
                fail("--measure-error takes N,E");
            o.measureErrorEvery = int(toInt(opt, p[0], 1, 1000000));
            o.measureError = int(toInt(opt, p[1], -999, 999));
        } else if (flag("--exit-after-bm")) {
            o.exitAfterBm = int(toInt(opt, val, 1, 100000000));
        } else {
            fail("unknown option " + std::string(opt));
        }
    }
    if (o.port < 0)
        o.port = o.network ? 2 : 0;
    return o;
}

} // namespace dxusim
