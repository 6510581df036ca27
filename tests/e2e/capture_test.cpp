// A capture of the fastest stream the simulated unit sends: every result it
// sent is in the file, once, in order.
#include "e2e/e2efixture.h"

#include "ui/capture/capturelog.h"

#include <cstdio>

namespace dxu::test {
namespace {

TEST_F(EndToEnd, CaptureOfTheFastestStreamHoldsEveryResultInOrder)
{
    // One pulse per result: the line's 115200 bit/s is the limit.
    startSimWithSettings("MM 1\nCO 1\nDM 1\nMU 1\nPF 2000 750 1000\nPO 1 25\nAW 1\n");
    const QString path = folder.filePath(QStringLiteral("dxu0001.log"));
    ScriptedFileDialogs dialogs;
    dialogs.answerNext(path);
    connectAndRead();

    click("StartCapture1");
    EXPECT_EQ(statusPanel(5), " On");
    click("pbContinuous");
    QTest::qWait(3000);
    click("pbContinuous");
    // The results in flight when the stop went out arrive too.
    const QColor silver(192, 192, 192);
    ASSERT_TRUE(waitFor([&] { return lamp("lblLaserOn") == silver; }, 3000));
    QTest::qWait(300);
    click("StopCapture1");

    std::vector<std::string> results;
    for (const std::string& l : sim.sent()) {
        const std::size_t at = l.find("BM,");
        double d = 0;
        if (at != std::string::npos && std::sscanf(l.c_str() + at + 3, "%lf", &d) == 1) {
            char text[32];
            std::snprintf(text, sizeof text, "%.3f,m", d);
            results.emplace_back(text);
        }
    }
    std::vector<std::string> captured;
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly | QIODevice::Text));
    while (!f.atEnd()) {
        const QByteArray line = f.readLine().trimmed();
        ASSERT_GT(line.size(), 15) << line.constData();
        captured.emplace_back(line.constData() + 15);
    }
    EXPECT_GT(results.size(), 300u) << "not a fast stream";
    EXPECT_EQ(captured, results);
    EXPECT_TRUE(messages.shown.empty());
}

} // namespace
} // namespace dxu::test
