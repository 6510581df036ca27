#include "entries.h"

#include "protocol/headless.h"
#include "protocol/linetext.h"
#include "protocol/protocol.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string_view>

namespace dxu::fuzz {
namespace {

// Checks that every capture line is one complete line.
class CheckingHooks : public Hooks {
public:
    bool captureOpen() const override { return capturing; }
    void writeCaptureLine(std::string_view line) override
    {
        if (line.size() < 16 || line.back() != '\n' || line.find('\n') != line.size() - 1)
            std::abort();
    }
    bool capturing = false;
};

// Reads every byte an event points at, so that a view beyond the parser's
// buffer is caught.
class CheckingEvents : public UnitEvents {
public:
    void result(const Result& r) override
    {
        touch(r.state);
        touch(r.detail);
    }
    void deviceError(const DeviceError& e) override { touch(e.text); }
    void version(std::string_view text) override { touch(text); }

    // Kept so that the reads are not optimised away.
    volatile unsigned sum = 0;

private:
    void touch(std::string_view text)
    {
        for (char c : text)
            sum = sum + static_cast<unsigned char>(c);
    }
};

void configure(DxuState& st, CheckingHooks& hooks, const uint8_t* cfg)
{
    st.setNetworkMode(cfg[0] & 1);
    st.connected = (cfg[0] >> 1) & 1;
    st.pollOtherUnit = (cfg[0] >> 2) & 1;
    hooks.capturing = (cfg[0] >> 3) & 1;
    st.logAll = (cfg[0] >> 4) & 1;
    st.networkCount = cfg[3] % 5;
    st.currentUnit = st.networkMode() ? 1 : 0;
    st.pollIndex = 1 + cfg[3] % 3;
    static constexpr int32_t states[] = {QueueIdle, QueueList, QueueUpload, QueueConnect, QueuePoll};
    st.queue.queueState = states[(cfg[1] >> 5) % 5];
    st.queue.enqueueCommand(KindCode, "SV", 2, 3);
    st.queue.enqueueCommand(KindCode, "US", 55, 3);
    st.queue.cursor = (cfg[2] >> 6) % 3;
    st.binOffset = (cfg[2] & 0x20) ? 1.5f : 0.0f;
    static constexpr int32_t prfs[] = {0, 1, 100, 1000, 4500, -1, 7, 65536};
    for (int i = 0; i < 5; ++i) {
        UnitRecord& r = st.unit(i);
        r.outputTBE = (cfg[0] >> 5) & 1;
        r.laserOn = (cfg[0] >> 6) & 1;
        r.units = (cfg[1] >> 4) & 1;
        r.measureMode = cfg[1] & 7;
        r.displayMode = (cfg[2] & 3) + ((cfg[1] >> 3) & 1);
        r.prfDetection = prfs[(cfg[2] >> 2) & 7];
        r.address = "ab0Zc"[i];
    }
}

} // namespace

int runParserInput(const uint8_t* data, std::size_t size)
{
    static const uint8_t defaults[4] = {0x02, 0x01, 0x01, 0x00};
    const uint8_t* cfg = size >= 4 ? data : defaults;
    if (size >= 4) {
        data += 4;
        size -= 4;
    }
    auto st = std::make_unique<DxuState>();
    HeadlessLink port;
    CheckingHooks hooks;
    configure(*st, hooks, cfg);
    CheckingEvents checking;
    EventFanout events;
    events.add(checking);
    Protocol protocol(*st, port, hooks, events);

    // The parser, on a buffer with exactly one spare byte.
    auto buffer = std::make_unique<char[]>(size + 1);
    if (size > 0)
        std::memcpy(buffer.get(), data, size);
    const ReplyResult verdict = protocol.parseReplies(buffer.get(), static_cast<int32_t>(size));
    if (verdict < ReplyNothing || verdict > ReplyCompleted)
        std::abort();
    for (std::size_t i = 0; i < size; ++i)
        if (buffer[i] != 0)
            std::abort();
    if (st->targetMinIndex < 0 || st->targetMinIndex > 9 || st->targetMaxIndex < 0 || st->targetMaxIndex > 9
        || st->targetCount < 0)
        std::abort();
    if (st->versionText[sizeof st->versionText - 1] != '\0')
        std::abort();

    // The field reader at every start position of a NUL-terminated copy.
    auto text = std::make_unique<char[]>(size + 1);
    if (size > 0)
        std::memcpy(text.get(), data, size);
    text[size] = '\0';
    auto field = std::make_unique<char[]>(61);
    for (std::size_t i = 0; i <= size && i < 512; ++i) {
        const int n = tokenReader(text.get() + i, field.get());
        if (n < 0 || n > 60 || field[static_cast<std::size_t>(n)] != '\0')
            std::abort();
    }
    parseVersionNumber(text.get(), st->current());
    return 0;
}

} // namespace dxu::fuzz
