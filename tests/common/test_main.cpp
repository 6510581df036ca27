// main() of every test program: Qt on the offscreen platform and a private
// settings store, so no test sees the user's values or another test's.
#include <QApplication>
#include <QDir>
#include <QTemporaryDir>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>

int main(int argc, char** argv)
{
    if (!std::getenv("QT_QPA_PLATFORM"))
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    auto config = std::make_unique<QTemporaryDir>(QDir::tempPath() + QStringLiteral("/dxu-test-XXXXXX"));
    setenv("XDG_CONFIG_HOME", config->path().toLocal8Bit().constData(), 1);
    setenv("XDG_RUNTIME_DIR", config->path().toLocal8Bit().constData(), 1);
    // The change journal of the tests, never the user's.
    setenv("XDG_STATE_HOME", config->path().toLocal8Bit().constData(), 1);
    QApplication app(argc, argv);
    testing::InitGoogleMock(&argc, argv);
    const int rc = RUN_ALL_TESTS();
    return rc;
}
