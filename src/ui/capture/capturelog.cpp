#include "ui/capture/capturelog.h"

#include "ui/capture/viewcapture.h"
#include "ui/services/filedialogs.h"
#include "ui/services/messages.h"
#include "ui/services/ui.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QTimer>

#ifdef Q_OS_UNIX
#include <unistd.h>

#include <cerrno>
#include <cstring>
#endif

namespace dxu {
namespace {

constexpr int FlushIntervalMs = 1000;

bool sameFile(const QString& a, const QString& b)
{
    if (a.isEmpty() || b.isEmpty())
        return false;
    if (a == b)
        return true;
    const QString ca = QFileInfo(a).canonicalFilePath();
    return !ca.isEmpty() && ca == QFileInfo(b).canonicalFilePath();
}

} // namespace

int nextCaptureNumber(const QStringList& names)
{
    int highest = 0;
    for (const QString& name : names) {
        const qsizetype dot = name.indexOf(QLatin1Char('.'));
        if (dot < 0 || name.size() < 3)
            continue;
        // Like "%d": optional sign, then the leading digits.
        const QString rest = name.mid(3, dot - 3);
        qsizetype i = 0;
        if (i < rest.size() && (rest[i] == QLatin1Char('+') || rest[i] == QLatin1Char('-')))
            ++i;
        qsizetype digits = i;
        while (digits < rest.size() && rest[digits].isDigit() && rest[digits].unicode() < 128)
            ++digits;
        if (digits == i)
            continue;
        bool ok = false;
        const int n = rest.left(digits).toInt(&ok);
        if (ok && n > highest)
            highest = n;
    }
    return highest + 1;
}

QString proposedCaptureName(const QString& folder)
{
    QDir dir(folder);
    const QStringList names = dir.entryList({QStringLiteral("dxu*.log")}, QDir::Files | QDir::Hidden,
                                            QDir::NoSort);
    QStringList matching;
    for (const QString& n : names)
        if (n.startsWith(QLatin1String("dxu"), Qt::CaseInsensitive)
            && n.endsWith(QLatin1String(".log"), Qt::CaseInsensitive))
            matching.append(n);
    return QStringLiteral("dxu%1.log").arg(nextCaptureNumber(matching), 4, 10, QLatin1Char('0'));
}

QString chooseCaptureFile(const FileChoice& choice, QWidget* owner)
{
    DeferredFileDialog* deferred = DeferredFileDialog::of(owner, choice.dialog);
    if (!deferred)
        return {};
    QFileDialog& d = deferred->dialog();
    d.setDirectory(choice.folder);
    d.selectFile(choice.fileName);
    return deferred->choose();
}

CaptureLog::CaptureLog(Ui& ui, QWidget* owner) : ui_(ui), owner_(owner), flushTimer_(new QTimer(this))
{
    flushTimer_->setObjectName(QStringLiteral("CaptureFlushTimer"));
    flushTimer_->setInterval(FlushIntervalMs);
    connect(flushTimer_, &QTimer::timeout, this, &CaptureLog::flush);
    // The capture's own file dialogs belong to the window that owns it.
    if (owner) {
        const QString filter = QStringLiteral("Capture File (*.log)");
        const QString suffix = QStringLiteral("log");
        deferFileDialog(owner, "CaptureSave", QStringLiteral("Capture Filename"), filter, suffix, true);
        deferFileDialog(owner, "OpenCapture", QStringLiteral("View Capture File"), filter, suffix, false);
    }
}

CaptureLog::~CaptureLog()
{
    if (file_.isOpen()) {
        file_.flush();
        file_.close();
    }
}

void CaptureLog::showState()
{
    const bool on = file_.isOpen();
    ui_.setStatusPanel(5, on ? " On" : " Off");
    ui_.setEnabled("StartCapture1", !on);
    ui_.setEnabled("StopCapture1", on);
}

void CaptureLog::start()
{
    if (file_.isOpen())
        return;
    const QString folder = QDir::currentPath();
    captureName_ = proposedCaptureName(folder);
    const QString path = chooseCaptureFile({QStringLiteral("CaptureSave"), folder, captureName_}, owner_);
    if (path.isEmpty())
        return;
    file_.setFileName(path);
    if (!file_.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Text)) {
        const QString why = file_.errorString();
        showState();
        showMessage(QStringLiteral("Error"),
                    QStringLiteral("Cannot create the capture file %1.\n\n%2\n\nNo capture is running.")
                        .arg(QDir::toNativeSeparators(path), why));
        return;
    }
    captureName_ = path;
    unflushed_ = false;
    flushTimer_->start();
    showState();
}

void CaptureLog::stop()
{
    if (!file_.isOpen())
        return;
    flushTimer_->stop();
    const bool written = !unflushed_ || file_.flush();
    const QString why = file_.errorString();
    file_.close();
    captureName_.clear();
    showState();
    if (!written)
        fail(why);
}

void CaptureLog::write(std::string_view line)
{
    if (!file_.isOpen())
        return;
    const auto size = static_cast<qint64>(line.size());
    if (file_.write(line.data(), size) != size) {
        closeAfterFailure(file_.errorString());
        return;
    }
    unflushed_ = true;
}

void CaptureLog::flush()
{
    if (!file_.isOpen() || !unflushed_)
        return;
    unflushed_ = false;
    QString why;
    if (!file_.flush())
        why = file_.errorString();
#ifdef Q_OS_UNIX
    // Also past the system's own cache, so that a power cut loses no more.
    // A device or pipe that cannot be synchronised is not a failure.
    else if (::fsync(file_.handle()) != 0 && errno != EINVAL && errno != EROFS)
        why = QString::fromLocal8Bit(std::strerror(errno));
#endif
    if (!why.isEmpty())
        closeAfterFailure(why);
}

void CaptureLog::closeAfterFailure(const QString& why)
{
    flushTimer_->stop();
    file_.close();
    showState();
    fail(why);
}

void CaptureLog::fail(const QString& why)
{
    // Closed already: nothing more is written while the message is open.
    const QString path = file_.fileName();
    captureName_.clear();
    showMessage(QStringLiteral("Error"),
                QStringLiteral("Writing the capture file %1 failed, and the capture has stopped.\n\n%2")
                    .arg(QDir::toNativeSeparators(path), why));
}

void CaptureLog::view(TfrmViewCapture* viewer)
{
    if (!viewer)
        return;
    const QString path =
        chooseCaptureFile({QStringLiteral("OpenCapture"), QDir::currentPath(), QString()}, owner_);
    if (path.isEmpty())
        return;
    if (file_.isOpen() && sameFile(path, captureName_)) {
        showMessage(QStringLiteral("Error"),
                    QStringLiteral("File %1 is in use.\n\nSelect another file to view.").arg(path));
        return;
    }
    viewer->showFile(path);
}

} // namespace dxu
