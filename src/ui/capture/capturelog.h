#pragma once
// The capture file: the proposed name, starting and stopping from the main
// window's menu, the lines the parser writes, and viewing a finished file.
//
// Lines go through the file's buffer and reach the disk at least once a second
// (and when the capture stops or the program ends), so a crash loses at most
// the last second. A write that fails (a full disk, a pulled USB stick) stops
// the capture at once and says so once; a capture never looks as if it ran
// when nothing is written.
#include <QFile>
#include <QObject>
#include <QString>
#include <QStringList>

#include <string_view>

class QTimer;
class QWidget;

namespace dxu {

class TfrmViewCapture;
class Ui;

// The next capture number from the names of the log files in a folder: the
// digits after "dxu" up to the first "." read as a number ("0005_a" reads as
// 5); the highest plus 1, or 1 when no name gives one.
int nextCaptureNumber(const QStringList& names);
// "dxu%04d.log" with the next number for the folder.
QString proposedCaptureName(const QString& folder);

// A file dialog asked for a path: the dialog's objectName ("CaptureSave",
// "OpenCapture" or "CsvSave"), its start folder and proposed file name.
struct FileChoice {
    QString dialog;
    QString folder;
    QString fileName;
};
// Runs owner's file dialog of that name, through the file-dialog service,
// starting in the folder with the name proposed. Returns the chosen path,
// empty when cancelled or when owner has no such dialog.
QString chooseCaptureFile(const FileChoice& choice, QWidget* owner);

class CaptureLog : public QObject {
    Q_OBJECT
public:
    // ui: the main window's menu items and status bar; owner: the window whose
    // file dialogs are used.
    CaptureLog(Ui& ui, QWidget* owner);
    ~CaptureLog() override;

    // The menu items.
    void start();
    void stop();
    void view(TfrmViewCapture* viewer);

    bool isOpen() const { return file_.isOpen(); }
    void write(std::string_view line);
    // Hands what is buffered to the disk.
    void flush();

private:
    void showState();
    void closeAfterFailure(const QString& why);
    void fail(const QString& why);

    Ui& ui_;
    QWidget* owner_;
    QFile file_;
    QTimer* flushTimer_;
    QString captureName_;
    bool unflushed_ = false;
};

} // namespace dxu
