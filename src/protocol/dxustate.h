#pragma once
// The state that the main window owns and that the senders, the parser and
// the engine share: the unit table, the working copy, the queue and the flags.
#include "protocol/commandqueue.h"
#include "protocol/unitrecord.h"

#include <array>
#include <cstdint>

namespace dxu {

// One binning target as the unit reported it.
struct TargetEntry {
    float distance = 0;
    int32_t value = 0;
    int32_t bar = 0; // bar height in pixels, set by the histogram
};

// The address alphabet: a-z, A-Z, 0-9. Slot strings hold 65 characters in
// which an empty slot is 0x01.
inline constexpr char AddressAlphabet[] =
    "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
inline constexpr int SlotCount = 65;
inline constexpr char EmptySlot = 0x01;
using SlotString = std::array<char, SlotCount>;

// The reply that answers the line sent last. A query is answered by a reply
// with its own code, a setting written or an action by "OK"; an error reply
// "ER" answers whatever is in flight. Until the program sends a line of its
// own (and after a line typed in the terminal) any reply counts.
struct AwaitedReply {
    bool any = true;
    char code[3] = {};
    bool ok = false;

    // Takes the code from a framed line ("$MM", "#aPF,100", ...).
    void expect(const char* line, std::size_t length);
    void expectAny() { *this = AwaitedReply{}; }
    // Whether a reply with this code answers the line in flight.
    bool answeredBy(const char* reply, std::size_t length) const;
};

struct DxuState {
    DxuState() { networkSlots.fill(EmptySlot); assignedSlots.fill(EmptySlot); }

    UnitTable unitTable{};
    UnitRecord editRecord{};
    CommandQueue queue;

    // Main window flags.
    int32_t connected = 0;
    int32_t currentUnit = 0;
    int32_t decimalComma = 0;
    int32_t statusRequests = 1;
    int32_t logAll = 0;
    int32_t readyForStatus = 1;
    int32_t resumeMeasuring = 0;
    int32_t switchingUnit = 0;
    int32_t lastDirection = 1; // 1 next, 2 previous
    uint32_t lastSendTick = 0; // 0: no reply awaited
    // What answers the line in flight; a reply that does not answer it is
    // late or stray and changes nothing.
    AwaitedReply awaited;
    uint32_t lastResultTick = 0;
    int32_t noDistance = 1;

    // Polling (timer ticks).
    int32_t pollOtherUnit = 0;
    int32_t pollIndex = 1;
    // The network index the status request in flight was sent to (pollIndex
    // has already moved on); 0 when none was sent.
    int32_t pollTarget = 0;
    int32_t pollTickCount = 0;
    int32_t pollingInterval = 10;
    int32_t rs232TickCount = 0;

    // Network.
    int32_t networkCount = 0;
    SlotString networkSlots{};
    SlotString assignedSlots{};
    // Members added while disconnected, by list position: their continuous
    // output is switched off at the next connect to them.
    std::array<bool, SlotCount> outputOffPending{};

    // Last SV text.
    char versionText[80] = {};

    // Binning results.
    std::array<TargetEntry, 10> targetList{};
    int32_t targetCount = 0;
    int32_t targetMinIndex = 0;
    int32_t targetMaxIndex = 0;
    int32_t selectedTarget = 0;
    float binOffset = 0;

    // Settings upload and port changes.
    int32_t uploadQueued = 0;
    int32_t baudChangePending = 0;
    int32_t newRateIndex232 = 0;
    int32_t newRateIndex485 = 0;

    // The system's network flag lives in record 0.
    int32_t networkMode() const { return unitTable[0].networkMode; }
    void setNetworkMode(int32_t on) { unitTable[0].networkMode = on; }

    UnitRecord& current() { return unitTable[index(currentUnit)]; }
    const UnitRecord& current() const { return unitTable[index(currentUnit)]; }
    UnitRecord& unit(int i) { return unitTable[index(i)]; }
    // Record indices are kept inside the table whatever a caller computed.
    static int index(int i) { return (i >= 0 && i < static_cast<int>(UnitTable().size())) ? i : 0; }
};

} // namespace dxu
