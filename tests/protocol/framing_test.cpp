// What each sender puts on the wire and in the terminal, in both link modes.
#include "protocolfixture.h"

#include "services/locale.h"

#include <clocale>
#include <functional>

namespace dxu::test {
namespace {

class FramingTest : public ProtocolFixture {
public:
    // Puts one item at the queue cursor.
    void item(int32_t kind, const char* code, uint32_t id, int32_t argType = 0, uint32_t a0 = 0, uint32_t a1 = 0)
    {
        st.queue.resetQueue();
        st.queue.setIntArg(0, static_cast<int32_t>(a0));
        st.queue.setIntArg(1, static_cast<int32_t>(a1));
        st.queue.enqueueWithArgs(kind, code, id, 3, argType);
        st.queue.cursor = 0;
    }
    void floatItem(const char* code, uint32_t id, float v)
    {
        st.queue.resetQueue();
        st.queue.setFloatArg(0, v);
        st.queue.enqueueWithArgs(KindBuilder, code, id, 3, ArgFloat);
        st.queue.cursor = 0;
    }
};

struct SendCase {
    const char* name;
    std::function<void(DxuState&)> setup;
    std::function<void(FramingTest&, Protocol&)> send;
    const char* pointToPoint; // expected line, the same text in network mode after "#b"
};

TEST_F(FramingTest, EverySenderFramesItsLineForBothLinks)
{
    auto none = [](DxuState&) {};
    auto mode = [](int m) { return [m](DxuState& s) { s.current().measureMode = m; }; };
    auto rates = [](DxuState& s) {
        s.editRecord.prfAveraging = 4000;
        s.editRecord.prfBinning = 1000;
        s.editRecord.prfDetection = 4500;
        s.editRecord.pulsesAveraging = 40;
        s.editRecord.pulsesBinning = 10;
    };
    auto both = [](auto a, auto b) { return [a, b](DxuState& s) { a(s); b(s); }; };
    auto metres = [](DxuState& s) { s.editRecord.units = 1; };
    const std::vector<SendCase> cases = {
        {"query", none, [](auto&, Protocol& p) { p.sendCode("MM"); }, "$MM\r"},
        {"int", none, [](auto&, Protocol& p) { p.sendIntCommand("MM", 2); }, "$MM,2\r"},
        {"negative int", none, [](auto&, Protocol& p) { p.sendIntCommand("OF", -12); }, "$OF,-12\r"},
        {"pointer on", none, [](auto&, Protocol& p) { p.sendIntCommand("PT", 1); }, "$PT,1\r"},
        {"float metres", metres, [](auto&, Protocol& p) { p.sendFloatCommand("SG", 12.5f); }, "$SG,12.500\r"},
        {"float feet", none, [](auto&, Protocol& p) { p.sendFloatCommand("SG", 12.5f); }, "$SG,12.50\r"},
        {"float rounding", metres, [](auto&, Protocol& p) { p.sendFloatCommand("AL", 0.0005f); }, "$AL,0.001\r"},
        {"negative float", none, [](auto&, Protocol& p) { p.sendFloatCommand("OF", -1.25f); }, "$OF,-1.25\r"},
        {"single measurement", none, [](auto&, Protocol& p) { p.sendSingleMeasure(); }, "$BM\r"},
        {"save", none, [](auto&, Protocol& p) { p.sendSaveSettings(); }, "$SU\r"},
        {"calibration store", none, [](auto&, Protocol& p) { p.sendCalibrationStore(); }, "$CD,95\r"},
        {"queued status", none, [](auto& t, Protocol& p) { t.item(KindCode, "US", 55); p.sendWithBuilder(); }, "$US\r"},
        {"queued go", none, [](auto& t, Protocol& p) { t.item(KindBuilder, "GO", 53); p.sendWithBuilder(); }, "$GO\r"},
        {"baud query port 0", none, [](auto& t, Protocol& p) { t.item(KindCode, "BR", 33); p.sendCode("BR"); }, "$BR,0\r"},
        {"baud query port 1", none, [](auto& t, Protocol& p) { t.item(KindCode, "BR", 34); p.sendCode("BR"); }, "$BR,1\r"},
        {"baud code, other id", none, [](auto& t, Protocol& p) { t.item(KindCode, "BR", 7); p.sendCode("BR"); }, "$BR\r"},
        {"PF averaging", both(rates, mode(1)), [](auto& t, Protocol& p) { t.item(KindBuilder, "PF", 5); p.sendWithBuilder(); }, "$PF,4000\r"},
        {"PF last target", both(rates, mode(4)), [](auto& t, Protocol& p) { t.item(KindBuilder, "PF", 5); p.sendWithBuilder(); }, "$PF,4000\r"},
        {"PF binning", both(rates, mode(2)), [](auto& t, Protocol& p) { t.item(KindBuilder, "PF", 5); p.sendWithBuilder(); }, "$PF,1000\r"},
        {"PF detection", both(rates, mode(3)), [](auto& t, Protocol& p) { t.item(KindBuilder, "PF", 5); p.sendWithBuilder(); }, "$PF,4500\r"},
        {"PO averaging", both(rates, mode(1)), [](auto& t, Protocol& p) { t.item(KindBuilder, "PO", 6); p.sendWithBuilder(); }, "$PO,40\r"},
        {"PO binning", both(rates, mode(2)), [](auto& t, Protocol& p) { t.item(KindBuilder, "PO", 6); p.sendWithBuilder(); }, "$PO,10\r"},
        {"DD off", [](DxuState& s) { s.editRecord.ditherOn = 0; s.editRecord.ditherSteps = 8; },
         [](auto& t, Protocol& p) { t.item(KindBuilder, "DD", 11); p.sendWithBuilder(); }, "$DD,0\r"},
        {"DD on", [](DxuState& s) { s.editRecord.ditherOn = 1; s.editRecord.ditherSteps = 8; },
         [](auto& t, Protocol& p) { t.item(KindBuilder, "DD", 11); p.sendWithBuilder(); }, "$DD,8\r"},
        {"TT hex", none, [](auto& t, Protocol& p) { t.item(KindBuilder, "TT", 18, ArgInt, 255); p.sendWithBuilder(); }, "$TT,FF\r"},
        {"TT large", none, [](auto& t, Protocol& p) { t.item(KindBuilder, "TT", 18, ArgInt, 0xABCDE); p.sendWithBuilder(); }, "$TT,ABCDE\r"},
        {"DR", [](DxuState& s) { s.editRecord.units = 1; s.editRecord.dampErrorTimeout = 5; s.editRecord.dampErrorRange = 1.25f; },
         [](auto& t, Protocol& p) { t.item(KindBuilder, "DR", 42); p.sendWithBuilder(); }, "$DR,5,1.250\r"},
        {"loop coarse", none, [](auto& t, Protocol& p) { t.item(KindBuilder, "CD", 58, ArgInt, 1, 200); p.sendWithBuilder(); }, "$CD,160,1,200\r"},
        {"loop fine", none, [](auto& t, Protocol& p) { t.item(KindBuilder, "CD", 59, ArgInt, 0, 17); p.sendWithBuilder(); }, "$CD,161,0,17\r"},
        {"baud set port 0", none, [](auto& t, Protocol& p) { t.item(KindBuilder, "BR", 33, ArgInt, 0, 9600); p.sendWithBuilder(); }, "$BR,0,9600\r"},
        {"baud set port 1", none, [](auto& t, Protocol& p) { t.item(KindBuilder, "BR", 34, ArgInt, 1, 115200); p.sendWithBuilder(); }, "$BR,1,115200\r"},
        {"address", none, [](auto& t, Protocol& p) { t.item(KindBuilder, "UA", 31, ArgInt, 0x0100 + 'k'); p.sendWithBuilder(); }, "$UA,k\r"},
        {"other int", none, [](auto& t, Protocol& p) { t.item(KindBuilder, "MU", 4, ArgInt, 1); p.sendWithBuilder(); }, "$MU,1\r"},
        {"other float", metres, [](auto& t, Protocol& p) { t.floatItem("AL", 20, 2.5f); p.sendWithBuilder(); }, "$AL,2.500\r"},
    };
    for (const bool net : {false, true}) {
        for (const SendCase& c : cases) {
            SCOPED_TRACE(std::string(c.name) + (net ? " (network)" : ""));
            *state = DxuState{};
            if (net)
                network();
            c.setup(st);
            port.clear();
            hooks.terminal.clear();
            st.lastSendTick = 0;
            clock.advance(10);
            c.send(*this, protocol);
            const std::string expected = net ? "#b" + std::string(c.pointToPoint + 1) : c.pointToPoint;
            EXPECT_EQ(port.written, expected);
            ASSERT_EQ(hooks.terminal.size(), 1u);
            EXPECT_EQ(hooks.terminal[0], expected);
            EXPECT_EQ(st.lastSendTick, clock.tickCount());
        }
    }
}

TEST_F(FramingTest, ItemsWithoutBuilderOrArgumentSendNothing)
{
    item(KindBuilder, "XX", 9, 0);
    protocol.sendWithBuilder();
    EXPECT_EQ(port.written, "");
    EXPECT_TRUE(hooks.terminal.empty());
    EXPECT_EQ(st.lastSendTick, 0u);
}

TEST_F(FramingTest, PulsesInDetectionModeWriteAnEmptyLine)
{
    st.current().measureMode = 3;
    st.editRecord.pulsesAveraging = 40;
    item(KindBuilder, "PO", 6);
    protocol.sendWithBuilder();
    EXPECT_EQ(port.written, "");
    EXPECT_EQ(port.zeroLengthWrites, 1);
    ASSERT_EQ(hooks.terminal.size(), 1u);
    EXPECT_EQ(hooks.terminal[0], "");
    EXPECT_EQ(st.lastSendTick, clock.tickCount());
}

TEST_F(FramingTest, PolledStatusGoesToThePolledUnitOnly)
{
    network();
    st.pollOtherUnit = 1;
    st.pollIndex = 2;
    item(KindCode, "US", 55);
    protocol.sendCode("US");
    st.current().measureMode = 1;
    st.editRecord.prfAveraging = 100;
    item(KindBuilder, "PF", 5);
    protocol.sendWithBuilder();
    EXPECT_EQ(port.lines(), (std::vector<std::string>{"#cUS\r", "#bPF,100\r"}));
}

TEST_F(FramingTest, UnitWithoutAddressGetsOnlyTheFrameCharacter)
{
    network();
    st.current().address = 0;
    protocol.sendIntCommand("MM", 2);
    EXPECT_EQ(port.written, "#");
    EXPECT_EQ(hooks.terminal, (std::vector<std::string>{"#"}));
}

TEST_F(FramingTest, ResetLineStartsNoReplyTimeout)
{
    for (const bool net : {false, true}) {
        if (net)
            network();
        port.clear();
        st.lastSendTick = 77;
        protocol.sendResetLine();
        EXPECT_EQ(port.written, net ? "#bCD,30\r" : "$CD,30\r");
        EXPECT_EQ(st.lastSendTick, 0u);
    }
}

TEST_F(FramingTest, WireNumbersIgnoreTheDisplayLocale)
{
    setDecimalSeparatorOverride(QLatin1Char(','));
    const char* previous = std::setlocale(LC_NUMERIC, nullptr);
    const std::string saved = previous ? previous : "C";
    for (const char* name : {"de_DE.UTF-8", "de_DE", "fr_FR.UTF-8"})
        if (std::setlocale(LC_NUMERIC, name))
            break;
    st.decimalComma = 1;
    st.editRecord.units = 1;
    protocol.sendFloatCommand("SG", 12.5f);
    std::setlocale(LC_NUMERIC, saved.c_str());
    setDecimalSeparatorOverride(QChar());
    EXPECT_EQ(port.written, "$SG,12.500\r");
}

TEST_F(FramingTest, TypedCommands)
{
    struct Case {
        bool net;
        std::string typed;
        std::string line; // empty: nothing is sent
    };
    const std::vector<Case> cases = {
        {true, "SU", "#bSU\r"},
        {false, "$SU", "$SU\r"},
        {false, "SU", "$SU\r"},
        {false, "#cMM", "#cMM\r"},
        {false, "", ""},
        {true, std::string(Protocol::MaxRawCommandLength, 'A'), "#b" + std::string(Protocol::MaxRawCommandLength, 'A') + "\r"},
        {false, std::string(Protocol::MaxRawCommandLength + 1, 'A'), ""},
        {true, std::string(500, 'A'), ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.typed.substr(0, 20));
        *state = DxuState{};
        if (c.net)
            network();
        port.clear();
        hooks.terminal.clear();
        protocol.sendRawCommand(c.typed);
        EXPECT_EQ(port.written, c.line);
        EXPECT_EQ(hooks.terminal.size(), c.line.empty() ? 0u : 1u);
        EXPECT_EQ(st.lastSendTick, c.line.empty() ? 0u : clock.tickCount());
    }
}

TEST_F(FramingTest, OverlongCodeIsNotWritten)
{
    protocol.sendIntCommand(std::string(100, 'Q').c_str(), 1);
    EXPECT_EQ(port.written, "");
    EXPECT_TRUE(hooks.terminal.empty());
}

TEST_F(FramingTest, DistanceTextsAndDisplayHelpers)
{
    char out[64];
    st.editRecord.units = 1;
    EXPECT_STREQ(protocol.formatDistance(3.14159f, out, sizeof out), "3.142");
    st.editRecord.units = 0;
    EXPECT_STREQ(protocol.formatDistance(3.14159f, out, sizeof out), "3.14");
    EXPECT_STREQ(protocol.formatDistance(-0.004f, out, sizeof out), "-0.00");
    char tiny[4];
    EXPECT_STREQ(protocol.formatDistance(123.45f, tiny, sizeof tiny), "");

    struct TextCase {
        const char* in;
        bool comma;
        const char* trimmed;
        const char* shown;
    };
    const TextCase texts[] = {
        {"  12.50  ", true, "12.50", "12,50"},
        {"1.2.3", true, "1.2.3", "1,2.3"},
        {"7", true, "7", "7"},
        {"   ", false, "", ""},
        {" 12.5", false, "12.5", "12.5"},
    };
    for (const TextCase& t : texts) {
        char buf[32];
        std::snprintf(buf, sizeof buf, "%s", t.in);
        trimSpaces(buf);
        EXPECT_STREQ(buf, t.trimmed) << t.in;
        toDecimalComma(buf, t.comma);
        EXPECT_STREQ(buf, t.shown) << t.in;
    }
}

} // namespace
} // namespace dxu::test
