// Who may hold the port, and what happens when the device goes away.
#include "pty.h"
#include "serial/commportdriver.h"
#include "serial/posixport.h"

#include <QElapsedTimer>
#include <QSignalSpy>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace dxu;
using dxu::test::Pty;

namespace {

constexpr int kCom = 3;

// Whether the tty's exclusive flag is set (root ignores it, other users don't).
bool exclusiveFlag(const Pty& pty)
{
    const int fd = ::open(pty.slavePath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    EXPECT_GE(fd, 0);
    int flag = -1;
    EXPECT_EQ(::ioctl(fd, TIOCGEXCL, &flag), 0);
    ::close(fd);
    return flag != 0;
}

// Whether an ordinary user could open the tty now (run in a child process).
bool ordinaryUserCanOpen(const Pty& pty)
{
    ::chmod(pty.slavePath().c_str(), 0666);
    const pid_t pid = ::fork();
    if (pid == 0) {
        if (::setgid(65534) != 0 || ::setuid(65534) != 0)
            ::_exit(2);
        const int fd = ::open(pty.slavePath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        ::_exit(fd >= 0 ? 0 : 1);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) != 2) << "cannot drop privileges";
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// Another program holding the port, as a child process; it lets go when
// released or destroyed.
class OtherProgram {
public:
    explicit OtherProgram(const Pty& pty)
    {
        int ready[2], release[2];
        EXPECT_EQ(::pipe(ready), 0);
        EXPECT_EQ(::pipe(release), 0);
        // Built before the fork: the child of a threaded process must not allocate.
        const QByteArray path = QByteArray::fromStdString(pty.slavePath());
        pid_ = ::fork();
        if (pid_ == 0) {
            ::close(release[1]); // so that the parent's close reads as the end
            ::close(ready[0]);
            const int fd = serialio::openExclusive(path);
            const char ok = fd >= 0 ? '1' : '0';
            (void)!::write(ready[1], &ok, 1);
            char c;
            (void)!::read(release[0], &c, 1);
            ::_exit(0);
        }
        ::close(ready[1]);
        ::close(release[0]);
        release_ = release[1];
        char ok = 0;
        EXPECT_EQ(::read(ready[0], &ok, 1), 1);
        EXPECT_EQ(ok, '1') << "the other program could not take the port";
        ::close(ready[0]);
    }
    ~OtherProgram() { letGo(); }
    void letGo()
    {
        if (pid_ <= 0)
            return;
        ::close(release_);
        ::waitpid(pid_, nullptr, 0);
        pid_ = -1;
    }

private:
    pid_t pid_ = -1;
    int release_ = -1;
};

} // namespace

TEST(SerialOwnership, PortIsHeldByOneProgramAtATime)
{
    Pty pty(kCom);
    TCommPortDriver d;
    d.SetComPort(pnCOM3);
    {
        OtherProgram other(pty);
        EXPECT_FALSE(portIsFree(kCom));
        EXPECT_FALSE(d.Connect());
        EXPECT_FALSE(d.Connected());
        other.letGo();
        EXPECT_TRUE(portIsFree(kCom));
    }
    ASSERT_TRUE(d.Connect());
    EXPECT_FALSE(portIsFree(kCom)) << "the driver's own hold counts too";
    EXPECT_TRUE(exclusiveFlag(pty));
    EXPECT_FALSE(ordinaryUserCanOpen(pty));
    d.Disconnect();
    EXPECT_FALSE(exclusiveFlag(pty));
    EXPECT_TRUE(portIsFree(kCom));
}

TEST(SerialOwnership, CheckLeavesNothingBehind)
{
    Pty pty(kCom);
    EXPECT_TRUE(portIsFree(kCom));
    EXPECT_FALSE(exclusiveFlag(pty)) << "a leftover flag would lock out non-root users";
    EXPECT_TRUE(ordinaryUserCanOpen(pty));
    TCommPortDriver d;
    d.SetComPort(pnCOM3);
    EXPECT_TRUE(d.Connect());
    ::unsetenv("DXU_COM4");
    ::setenv("DXU_COM4", "/dev/nonexistent-serial", 1);
    EXPECT_FALSE(portIsFree(4));
    ::unsetenv("DXU_COM4");
}

TEST(SerialOwnership, DeviceVanishingWhileOpen)
{
    TCommPortDriver d;
    d.SetComPort(pnCOM3);
    d.SetComPortPollingDelay(10);
    QByteArray received;
    d.SetOnReceiveData([&](TCommPortDriver*, const char* p, int32_t n) {
        ASSERT_GT(n, 0);
        received.append(p, n);
    });
    QSignalSpy lost(&d, &TCommPortDriver::portLost);
    {
        Pty pty(kCom);
        ASSERT_TRUE(d.Connect());
        pty.write("last words\r");
        dxu::test::runEventsFor(60);
        pty.hangUp();
        dxu::test::runEventsFor(100);
        EXPECT_EQ(received, "last words\r") << "nothing but real bytes reach the handler";

        const double cpu0 = dxu::test::cpuMs();
        dxu::test::runEventsFor(400);
        EXPECT_LT(dxu::test::cpuMs() - cpu0, 60.0) << "a dead port must not keep the processor busy";
        EXPECT_EQ(lost.count(), 1);
        EXPECT_TRUE(d.LinkLost());
        EXPECT_TRUE(d.Connected()) << "still open until the owner disconnects";

        QElapsedTimer t;
        t.start();
        EXPECT_EQ(d.SendData("cmd\r", 4), 0);
        EXPECT_LT(t.elapsed(), 100) << "a send on a dead port gives up at once";
        d.Disconnect();
        EXPECT_FALSE(d.Connected());
        EXPECT_FALSE(d.LinkLost());
    }
    // The device comes back (a new adapter node under the same COM number).
    Pty back(kCom);
    ASSERT_TRUE(d.Connect());
    back.write("again");
    dxu::test::runEventsFor(100);
    EXPECT_TRUE(received.endsWith("again"));
    EXPECT_EQ(d.SendData("ok", 2), 2);
    EXPECT_EQ(back.read(2), "ok");
}

TEST(SerialOwnership, SendNoticesLossBeforeAnyPoll)
{
    Pty pty(kCom);
    TCommPortDriver d;
    d.SetComPort(pnCOM3);
    d.SetComPortPollingDelay(10000);
    QSignalSpy lost(&d, &TCommPortDriver::portLost);
    ASSERT_TRUE(d.Connect());
    pty.hangUp();
    QElapsedTimer t;
    t.start();
    EXPECT_EQ(d.SendData("x", 1), 0);
    EXPECT_LT(t.elapsed(), 100);
    EXPECT_TRUE(d.LinkLost());
    EXPECT_EQ(lost.count(), 0) << "the owner hears of it from the event loop, not mid-send";
    EXPECT_TRUE(lost.wait(200));
    d.Disconnect();
}

namespace {

// How opening path fails for a user without rights to it: the path is made
// unreadable, and root tries as an ordinary user in a child process (root
// itself may open anything).
serialio::OpenFailure failureForOrdinaryUser(const std::string& path)
{
    struct stat before {};
    ::stat(path.c_str(), &before);
    ::chmod(path.c_str(), 0);
    const QByteArray p = QByteArray::fromStdString(path);
    serialio::OpenFailure failure;
    if (::geteuid() != 0) {
        const serialio::OpenAttempt a = serialio::tryOpenExclusive(p);
        serialio::releasePort(a.fd);
        failure = a.failure;
    } else {
        const pid_t pid = ::fork();
        if (pid == 0) {
            if (::setgid(65534) != 0 || ::setuid(65534) != 0)
                ::_exit(100);
            ::_exit(int(serialio::tryOpenExclusive(p).failure));
        }
        int status = 0;
        ::waitpid(pid, &status, 0);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) != 100) << "cannot drop privileges";
        failure = serialio::OpenFailure(WEXITSTATUS(status));
    }
    ::chmod(path.c_str(), before.st_mode & 07777);
    return failure;
}

} // namespace

// Every way a port can fail to open is told apart, in the words the user reads.
TEST(SerialOwnership, OpenFailuresAreToldApart)
{
    using serialio::OpenFailure;
    Pty free(kCom);
    Pty held(kCom + 1);
    OtherProgram other(held);
    const QString another = "\nPlease select another serial port";
    const QString port = QString("Serial port: COM%1 (%2)").arg(kCom);
    struct Case {
        std::string path;
        serialio::OpenCall call;
        OpenFailure failure;
        QString text;
    };
    const serialio::OpenCall denied = [](const char*, int) { errno = EACCES; return -1; };
    const QString noPermission = port.arg(QString::fromStdString(free.slavePath()))
                                 + " cannot be opened: permission denied.\n"
                                   "Give your user access to serial ports with\n"
                                   "    sudo usermod -aG dialout $USER\n"
                                   "then log out and log in again.";
    const Case cases[] = {
        {free.slavePath(), nullptr, OpenFailure::None, ""},
        {held.slavePath(), nullptr, OpenFailure::Busy, "Serial port: COM3 is in use by other program." + another},
        {"/dev/dxu-no-such-port", nullptr, OpenFailure::NotFound,
         port.arg("/dev/dxu-no-such-port") + " was not found." + another},
        {"/tmp", nullptr, OpenFailure::NotSerial, port.arg("/tmp") + " is not a serial device." + another},
        {"/dev/null", nullptr, OpenFailure::NotSerial, port.arg("/dev/null") + " is not a serial device." + another},
        {free.slavePath(), denied, OpenFailure::NoPermission, noPermission},
    };
    for (const Case& c : cases) {
        const serialio::OpenAttempt a = serialio::tryOpenExclusive(QByteArray::fromStdString(c.path), c.call);
        serialio::releasePort(a.fd);
        EXPECT_EQ(a.failure, c.failure) << c.path;
        EXPECT_EQ(a.fd >= 0, c.failure == OpenFailure::None) << c.path;
        if (c.failure != OpenFailure::None) {
            EXPECT_EQ(openFailureText(kCom, QString::fromStdString(c.path), a), c.text) << c.path;
        }
    }
    // The same without the stand-in: a device the user has no rights to.
    EXPECT_EQ(failureForOrdinaryUser(free.slavePath()), OpenFailure::NoPermission);
    // The text the window shows comes from a fresh look at the mapped device.
    EXPECT_EQ(portOpenFailureText(kCom + 1), "Serial port: COM4 is in use by other program." + another);
    EXPECT_TRUE(portIsFree(kCom)) << "looking leaves nothing behind";
}
