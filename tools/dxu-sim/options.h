#pragma once
// Command-line options of dxu-sim.
#include <cstdint>
#include <string>
#include <vector>

namespace dxusim {

enum class LineEnd { Cr, CrLf, Lf };

struct Options {
    // Line and units
    std::vector<char> addresses;     // network units (empty: one unit on RS-232)
    char address = 'a';              // address of the RS-232 unit
    bool network = false;
    bool dollarReplies = false;      // network units frame replies with "$"
    std::vector<char> silent;        // units that never answer
    int port = -1;                   // unit port the link runs through (-1: 0 on RS-232, 2 on RS-485)
    unsigned rate = 115200;          // rate of the unit port the link runs through at start
    std::string stateFile;
    std::string version = "DXU v1.0.5 build 7";
    int envIndex = -1;
    std::string logFile;
    int replyDelayMs = -1;           // -1: random 0..5 ms
    int replyDelayMaxMs = -1;        // above replyDelayMs: random within the two
    long minTurnaroundUs = 0;        // report commands sooner than this after a reply
    int restartMs = 1000;
    uint32_t seed = 1;

    // Scene, in metres
    double distance = 12.345;
    double distanceNoise = 0.002;
    int intensity = 1500;
    std::vector<double> targets;     // binning targets; empty: the main distance
    std::vector<int> hits;           // hit counts of the binning targets, in order; empty: random
    int emptyBins = 0;               // empty entries among the targets of a binning reply
    int mode = 0;                    // measurement mode at start (MM 1..4); 0: the stored one
    double blinkDistance = 0;        // an object that comes and goes
    int blinkOnMs = 0, blinkOffMs = 0;

    // Faults
    int dropEvery = 0;
    int lateEvery = 0, lateMs = 0;
    int splitPieces = 1, splitGapMs = 60;
    LineEnd lineEnd = LineEnd::Cr;
    int noiseBytes = 0;
    int overlongAfter = 0, overlongLength = 60000;
    int wrongAddressEvery = 0;
    std::vector<std::string> refuse; // setting codes whose writes are answered with an error
    int measureErrorEvery = 0, measureError = 0; // every N-th streamed result is ER,<code>
    int exitAfterBm = 0;

    bool isSilent(char a) const;
};

// Parses argv. On --help prints the help and exits 0; on an error prints a
// message and exits 2.
Options parseOptions(int argc, char** argv);
const char* helpText();

} // namespace dxusim
