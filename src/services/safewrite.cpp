#include "services/safewrite.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <random>
#include <sys/stat.h>
#include <unistd.h>

namespace dxu {
namespace {

QString reason(int error) { return QString::fromLocal8Bit(std::strerror(error)); }

bool writeAll(int fd, const QByteArray& data)
{
    const char* p = data.constData();
    std::size_t left = static_cast<std::size_t>(data.size());
    while (left > 0) {
        const ssize_t n = ::write(fd, p, left);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            if (n == 0)
                errno = EIO;
            return false;
        }
        p += n;
        left -= static_cast<std::size_t>(n);
    }
    return true;
}

// A name beside target that is not taken yet; the caller creates it.
QByteArray tempNameFor(const QByteArray& target)
{
    static std::mt19937 random(std::random_device{}());
    return target + ".tmp" + QByteArray::number(static_cast<qulonglong>(random()), 36);
}

mode_t defaultMode()
{
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
}

} // namespace

QString replaceFile(const QString& path, const QByteArray& data, Links links)
{
    QByteArray target = QFile::encodeName(path);
    struct stat info = {};
    bool exists = false;
    const bool follow = links == Links::Follow;
    if ((follow ? ::stat(target.constData(), &info) : ::lstat(target.constData(), &info)) == 0) {
        if (S_ISLNK(info.st_mode)) {
            // A name like any other: the rename over it replaces the link,
            // and the file takes the folder's default permissions.
        } else if (!S_ISREG(info.st_mode)) {
            return QStringLiteral("it exists and is not a regular file");
        } else {
            exists = true;
            if (char* real = follow ? ::realpath(target.constData(), nullptr) : nullptr) {
                target = real;
                std::free(real);
            }
        }
    } else if (errno != ENOENT) {
        return reason(errno);
    }
    const QByteArray folder = QFile::encodeName(QFileInfo(QFile::decodeName(target)).absolutePath());
    const mode_t mode = exists ? (info.st_mode & 07777) : defaultMode();

    // An unnamed file where the file system has them (nothing to leave
    // behind); else a named one, removed again on every failure.
    for (bool unnamed : {true, false}) {
        QByteArray named;
        int fd = unnamed ? ::open(folder.constData(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600) : -1;
        if (unnamed && fd < 0)
            continue;
        for (int tries = 0; fd < 0 && tries < 100; ++tries) {
            named = tempNameFor(target);
            fd = ::open(named.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
            if (fd < 0 && errno != EEXIST)
                return reason(errno);
        }
        if (fd < 0)
            return reason(EEXIST);
        const auto fail = [&](int error) {
            ::close(fd);
            if (!named.isEmpty())
                ::unlink(named.constData());
            return reason(error);
        };
        if (::fchmod(fd, mode) != 0 || !writeAll(fd, data) || ::fsync(fd) != 0)
            return fail(errno);
        if (unnamed) {
            // A name beside the target, then the move over it.
            const QByteArray self = "/proc/self/fd/" + QByteArray::number(fd);
            int linked = -1;
            for (int tries = 0; linked != 0 && tries < 100; ++tries) {
                named = tempNameFor(target);
                linked = ::linkat(AT_FDCWD, self.constData(), AT_FDCWD, named.constData(), AT_SYMLINK_FOLLOW);
                if (linked != 0 && errno != EEXIST)
                    break;
            }
            if (linked != 0) { // no /proc: the named way
                named.clear();
                ::close(fd);
                continue;
            }
        }
        if (::rename(named.constData(), target.constData()) != 0)
            return fail(errno);
        if (::close(fd) != 0)
            return reason(errno);
        // The new name on disk too; a folder that cannot be synced changes nothing.
        const int dir = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (dir >= 0) {
            ::fsync(dir);
            ::close(dir);
        }
        return {};
    }
    return reason(EIO);
}

} // namespace dxu
