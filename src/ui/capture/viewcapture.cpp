#include "ui/capture/viewcapture.h"

#include "ui/capture/capturelog.h"
#include "ui/display/plotview.h"
#include "ui/services/filedialogs.h"
#include "ui/services/messages.h"

#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSaveFile>
#include <QTime>
#include <QVBoxLayout>

namespace dxu {
namespace {

// The lines at the designed width, a plot beside them.
constexpr QSize ViewCaptureSize(720, 547);

} // namespace

TfrmViewCapture::TfrmViewCapture(QWidget* parent) : QDialog(parent), placement_(ViewCaptureSize)
{
    setObjectName(QStringLiteral("frmViewCapture"));
    setWindowTitle(QStringLiteral("View Capture File"));
    deferFileDialog(this, "CsvSave", QStringLiteral("Export Capture"), QStringLiteral("CSV File (*.csv)"),
                   QStringLiteral("csv"), true);
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                   | Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);

    CapContent = new QPlainTextEdit(this);
    CapContent->setObjectName(QStringLiteral("CapContent"));
    CapContent->setReadOnly(true);
    CapContent->setLineWrapMode(QPlainTextEdit::NoWrap);
    CapContent->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    CapContent->setFixedWidth(221);

    cmbPlotValue = new QComboBox(this);
    cmbPlotValue->setObjectName(QStringLiteral("cmbPlotValue"));
    cmbPlotValue->addItems({QStringLiteral("Distance"), QStringLiteral("Intensity")});
    connect(cmbPlotValue, &QComboBox::currentIndexChanged, this, &TfrmViewCapture::showPlot);
    auto* plotLabel = new QLabel(QStringLiteral("&Plot:"), this);
    plotLabel->setBuddy(cmbPlotValue);

    pbExport = new QPushButton(QStringLiteral("&Export CSV..."), this);
    pbExport->setObjectName(QStringLiteral("pbExport"));
    pbExport->setAutoDefault(false);
    pbExport->setFixedHeight(25);
    pbExport->setMinimumWidth(pbExport->sizeHint().width() + 12);
    connect(pbExport, &QPushButton::clicked, this, &TfrmViewCapture::pbExportClick);

    pbClose = new QPushButton(QStringLiteral("&Close"), this);
    pbClose->setObjectName(QStringLiteral("pbClose"));
    pbClose->setDefault(true);
    pbClose->setFixedSize(75, 25);
    connect(pbClose, &QPushButton::clicked, this, &TfrmViewCapture::pbCloseClick);

    CapPlot = new PlotView(this);
    CapPlot->setObjectName(QStringLiteral("CapPlot"));
    CapPlot->addSeries(QStringLiteral("Capture"), QColor(0, 0, 160));
    CapPlot->setXLabelFormat([](double seconds) {
        const auto ms = static_cast<long long>(seconds * 1000 + 0.5);
        return QTime::fromMSecsSinceStartOfDay(static_cast<int>(((ms % 86400000) + 86400000) % 86400000))
            .toString(QStringLiteral("HH:mm:ss"));
    });

    auto* top = new QHBoxLayout;
    top->addWidget(CapContent);
    top->addWidget(CapPlot, 1);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(plotLabel);
    buttons->addWidget(cmbPlotValue);
    buttons->addStretch();
    buttons->addWidget(pbExport);
    buttons->addSpacing(6);
    buttons->addWidget(pbClose);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 10, 10);
    layout->addLayout(top, 1);
    layout->addLayout(buttons);
    showPlot();
}

void TfrmViewCapture::pbCloseClick() { hide(); }

void TfrmViewCapture::FormShow() { placement_.beforeShow(this); }

PlotValue TfrmViewCapture::plotValue() const
{
    return cmbPlotValue->currentIndex() == 1 ? PlotValue::Intensity : PlotValue::Distance;
}

bool TfrmViewCapture::showFile(const QString& path)
{
    CaptureContents c = readCaptureFile(path);
    if (!c.read) {
        showMessage(QStringLiteral("Error"),
                    QStringLiteral("File %1 cannot be read.\n\n%2").arg(QDir::toNativeSeparators(path), c.error));
        return false;
    }
    viewName_ = path;
    contents_ = std::move(c);
    CapContent->setPlainText(contents_.lines.join(QLatin1Char('\n')));
    setWindowTitle(QStringLiteral("Viewing  ") + viewName_);

    // Plot what the capture holds: intensities only when it has no distances.
    bool distances = false, intensities = false;
    for (const CaptureSample& s : contents_.samples) {
        distances = distances || s.distance.has_value();
        intensities = intensities || s.intensity.has_value();
    }
    cmbPlotValue->setCurrentIndex(!distances && intensities ? 1 : 0);
    pbExport->setEnabled(distances || intensities);
    showPlot();

    FormShow();
    show();
    raise();
    activateWindow();
    return true;
}

void TfrmViewCapture::showPlot()
{
    const bool distance = plotValue() == PlotValue::Distance;
    const std::vector<double> seconds = sampleSeconds(contents_.samples);
    std::vector<QPointF> points;
    char unit = 0;
    for (std::size_t i = 0; i < contents_.samples.size(); ++i) {
        const CaptureSample& s = contents_.samples[i];
        const std::optional<double>& v = distance ? s.distance : s.intensity;
        if (!v)
            continue;
        points.emplace_back(seconds[i], *v);
        unit = unit ? unit : s.unit;
    }
    CapPlot->setPoints(0, points);
    CapPlot->resetView();
    QString title = QStringLiteral("Intensity");
    if (distance)
        title = unit == 'F' ? QStringLiteral("Distance (ft)") : QStringLiteral("Distance (m)");
    CapPlot->setAxisTitles(QStringLiteral("Time"), title);
}

void TfrmViewCapture::pbExportClick()
{
    const QFileInfo source(viewName_);
    const QString path = chooseCaptureFile(
        {QStringLiteral("CsvSave"), source.absolutePath(), source.completeBaseName() + QStringLiteral(".csv")}, this);
    if (path.isEmpty())
        return;
    QSaveFile out(path);
    const QByteArray csv = captureCsv(contents_, plotValue()).toUtf8();
    if (!out.open(QIODevice::WriteOnly | QIODevice::Text) || out.write(csv) != csv.size() || !out.commit()) {
        showMessage(QStringLiteral("Error"), QStringLiteral("Cannot write the file %1.\n\n%2")
                                                 .arg(QDir::toNativeSeparators(path), out.errorString()));
    }
}

} // namespace dxu
