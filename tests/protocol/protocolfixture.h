#pragma once
// A protocol wired to fakes: a scripted port, a control map, recording hooks,
// scripted message boxes and a fake clock.
#include "common/testsupport.h"
#include "protocol/protocol.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace dxu::test {

class ProtocolFixture : public ::testing::Test {
public:
    FakeClockScope clock{123456};
    ScriptedMessages messages;
    std::unique_ptr<DxuState> state = std::make_unique<DxuState>();
    DxuState& st = *state;
    FakePort port;
    FakeUi ui;
    RecordingHooks hooks;
    WindowEvents events{st, ui, hooks};
    Protocol protocol{st, port, hooks, events.fanout};

    // Hands text to the parser the way the receive handler does, and checks
    // that the parser consumed (zeroed) every byte and nothing beyond.
    ReplyResult feed(const std::string& text)
    {
        std::vector<char> buffer(text.begin(), text.end());
        buffer.push_back('\x7f'); // the spare byte the parser may use
        buffer.push_back('\x55'); // must stay untouched
        const ReplyResult r = protocol.parseReplies(buffer.data(), static_cast<int32_t>(text.size()));
        for (std::size_t i = 0; i < text.size(); ++i)
            EXPECT_EQ(buffer[i], '\0') << "byte " << i << " left in the buffer";
        EXPECT_EQ(buffer[text.size() + 1], '\x55');
        return r;
    }

    // Network mode with units 1 (address b, current) and 2 (address c).
    void network()
    {
        st.setNetworkMode(1);
        st.networkCount = 2;
        st.currentUnit = 1;
        st.unit(1).address = 'b';
        st.unit(2).address = 'c';
    }
};

} // namespace dxu::test
