#include "protocol/commandqueue.h"

#include <cstring>

namespace dxu {

float CommandItem::floatArg(int i) const
{
    const uint32_t bits = args.at(i);
    float f;
    std::memcpy(&f, &bits, sizeof f);
    return f;
}

void CommandQueue::resetQueue()
{
    items.fill(CommandItem{});
    cursor = 0;
    readLength = 0;
}

void CommandQueue::enqueueCommand(int32_t kind, const char* code, uint32_t commandId, int32_t retries)
{
    if (cursor < 0 || cursor >= MaxListItems)
        return;
    CommandItem& it = items[cursor];
    it.kind = kind;
    std::memset(it.code, 0, sizeof it.code);
    if (code)
        std::strncpy(it.code, code, sizeof it.code - 1);
    it.commandId = commandId;
    it.retriesLeft = retries;
    // A new command has not failed yet, whatever the slot held before.
    std::memset(it.failureText, 0, sizeof it.failureText);
    ++cursor;
}

void CommandQueue::enqueueWithArgs(int32_t kind, const char* code, uint32_t commandId, int32_t retries,
                                   int32_t argType)
{
    if (cursor < 0 || cursor >= MaxListItems)
        return;
    CommandItem& it = items[cursor];
    enqueueCommand(kind, code, commandId, retries);
    it.argType = argType;
    it.args = argumentBlock;
}

void CommandQueue::setFloatArg(int i, float v)
{
    uint32_t bits;
    std::memcpy(&bits, &v, sizeof bits);
    argumentBlock.at(i) = bits;
}

CommandItem& CommandQueue::atCursor() { return at(cursor); }

const CommandItem& CommandQueue::atCursor() const
{
    return items[(cursor >= 0 && cursor < Capacity) ? cursor : Capacity - 1];
}

CommandItem& CommandQueue::at(int index)
{
    return items[(index >= 0 && index < Capacity) ? index : Capacity - 1];
}

} // namespace dxu
