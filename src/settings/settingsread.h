#pragma once
#include "protocol/dxustate.h"

namespace dxu {

// Appends the 50 queries of a full settings read to the queue, in the order
// the replies depend on: SV first, MM before PF/PO, MU before every distance,
// PF before TT.
void enqueueSettingsRead(CommandQueue& queue);

// The read list's codes and command ids, for whoever needs to check them.
struct ReadQuery {
    const char* code;
    uint32_t commandId;
};
extern const ReadQuery kSettingsReadList[50];

} // namespace dxu
