#pragma once
// A serial link that takes everything and sends nothing anywhere, for running
// the protocol layer without a port (benchmarks, the fuzzers).
#include "serial/commlink.h"

namespace dxu {

class HeadlessLink : public CommLink {
public:
    bool Connect() override { return true; }
    void SetReceiver(Receiver) override {}
    void Disconnect() override {}
    bool Connected() const override { return true; }
    int32_t SendData(const void*, int32_t size) override { return size > 0 ? size : 0; }
};

} // namespace dxu
