#pragma once
// The capture viewer: a finished capture file as its lines, as a plot of its
// distances (or intensities) against the time stamps, and as CSV for a
// spreadsheet.
#include "capture/capturelines.h"
#include "ui/services/formplacement.h"

#include <QDialog>

class QComboBox;
class QPlainTextEdit;
class QPushButton;

namespace dxu {

class PlotView;

class TfrmViewCapture : public QDialog {
    Q_OBJECT
public:
    explicit TfrmViewCapture(QWidget* parent = nullptr);

    // Reads the file and shows it. A file that cannot be read is said so and
    // the window keeps what it showed.
    bool showFile(const QString& path);
    const CaptureContents& contents() const { return contents_; }

public slots:
    void pbCloseClick();
    void pbExportClick();
    void FormShow();

private:
    PlotValue plotValue() const;
    void showPlot();

    FormPlacement placement_;
    QPlainTextEdit* CapContent = nullptr;
    PlotView* CapPlot = nullptr;
    QComboBox* cmbPlotValue = nullptr;
    QPushButton* pbExport = nullptr;
    QPushButton* pbClose = nullptr;
    QString viewName_;
    CaptureContents contents_;
};

} // namespace dxu
