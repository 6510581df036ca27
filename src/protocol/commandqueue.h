#pragma once
// The command queue: 100 fixed items, a cursor and the queue state. The engine
// runs it; the senders read the item at the cursor and the parser re-plans the
// connect list.
#include <array>
#include <cstdint>

namespace dxu {

enum QueueState : int32_t {
    QueueIdle = 0,
    QueueList = 1,
    QueueUpload = 2,
    QueueConnect = 3,
    QueuePoll = 5,
    QueueScan = 6, // one version request to each address of a line
};

enum ItemKind : int32_t {
    KindEmpty = 0,
    KindCode = 1,    // send by code: a query or a plain command
    KindBuilder = 2, // send through the builder of its commandId
    KindDone = 4,    // done, skip
};

enum ArgType : int32_t { ArgInt = 1, ArgFloat = 3 };

// Retries of an item whose reply does not come or reports an error.
inline constexpr int32_t ListRetries = 3; // every item of a list
inline constexpr int32_t NoRetries = 0;   // GO, and a network status request
inline constexpr int32_t RestartRetries = 150; // the status request that waits for a reset unit

struct CommandItem {
    int32_t kind = 0;
    char code[12] = {};
    uint32_t commandId = 0; // 0: empty slot, end of the list
    int32_t retriesLeft = 0;
    int32_t argType = 0;
    char failureText[128] = {};
    std::array<uint32_t, 4> args = {};

    int32_t intArg(int i) const { return static_cast<int32_t>(args.at(i)); }
    float floatArg(int i) const;
};

class CommandQueue {
public:
    static constexpr int Capacity = 100;
    // A list keeps at least one empty slot after its last item.
    static constexpr int MaxListItems = Capacity - 1;

    std::array<CommandItem, Capacity> items{};
    int cursor = 0;
    int32_t queueState = QueueIdle;
    std::array<uint32_t, 4> argumentBlock{};
    // Items of the settings read the queue holds (a stop prelude included);
    // 0 while it holds any other list.
    int readLength = 0;

    // Zeroes all items; cursor = 0, readLength = 0.
    void resetQueue();
    // At cursor: kind, code, commandId, retries; cursor += 1. An item that
    // would fill the last slot is dropped, so a list never loses its end mark.
    void enqueueCommand(int32_t kind, const char* code, uint32_t commandId, int32_t retries);
    // The same, with argType and the four words of argumentBlock.
    void enqueueWithArgs(int32_t kind, const char* code, uint32_t commandId, int32_t retries,
                         int32_t argType);
    void setIntArg(int i, int32_t v) { argumentBlock.at(i) = static_cast<uint32_t>(v); }
    void setFloatArg(int i, float v);

    // The item at the cursor; a cursor out of range yields the (empty) last slot.
    CommandItem& atCursor();
    const CommandItem& atCursor() const;
    CommandItem& at(int index);
    // The item whose reply is awaited: while connecting the cursor runs one
    // ahead of it.
    CommandItem& inFlight() { return queueState == QueueConnect && cursor > 0 ? at(cursor - 1) : atCursor(); }
};

} // namespace dxu
