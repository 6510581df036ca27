#include "ui/diagnostics/errors.h"

#include "ui/diagnostics/linelog.h"

#include <QHBoxLayout>
#include <QPushButton>
#include <QScrollBar>
#include <QShowEvent>
#include <QVBoxLayout>

#include <algorithm>

namespace dxu {
namespace {

constexpr QSize ErrorsSize(247, 414);
// The longest line the connect sequence adds.
const char* const WidestLine = "Cannot connect to DXU 62: Address: W";

} // namespace

TfrmErrors::TfrmErrors(QWidget* parent) : QDialog(parent), placement_(ErrorsSize)
{
    setObjectName(QStringLiteral("frmErrors"));
    setWindowTitle(QStringLiteral("Errors"));
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                   | Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
    setModal(false);

    auto* column = new QVBoxLayout(this);
    memErrorList = new LineLog(this, MaxLines);
    memErrorList->setObjectName(QStringLiteral("memErrorList"));
    column->addWidget(memErrorList, 1);

    auto* row = new QHBoxLayout;
    pbClear = new QPushButton(QStringLiteral("&Clear"), this);
    pbClear->setObjectName(QStringLiteral("pbClear"));
    pbClose = new QPushButton(QStringLiteral("Clo&se"), this);
    pbClose->setObjectName(QStringLiteral("pbClose"));
    // Enter must not empty or close the list by accident.
    pbClear->setAutoDefault(false);
    pbClose->setAutoDefault(false);
    row->addStretch(1);
    row->addWidget(pbClear);
    row->addWidget(pbClose);
    row->addStretch(1);
    column->addLayout(row);

    // Wide enough that a failure line reads on one line with the fonts of
    // this desktop; never narrower than the design.
    const QMargins m = column->contentsMargins();
    const int needed = memErrorList->fontMetrics().horizontalAdvance(QString::fromLatin1(WidestLine))
                       + 2 * static_cast<int>(memErrorList->document()->documentMargin())
                       + 2 * memErrorList->frameWidth() + memErrorList->verticalScrollBar()->sizeHint().width()
                       + m.left() + m.right() + 4;
    placement_.setDesignSize(QSize(std::max(ErrorsSize.width(), needed), ErrorsSize.height()));

    connect(pbClear, &QPushButton::clicked, this, &TfrmErrors::pbClearClick);
    connect(pbClose, &QPushButton::clicked, this, &TfrmErrors::pbCloseClick);
}

void TfrmErrors::addErrorLine(std::string_view text)
{
    ++errorCount_;
    memErrorList->appendLine(QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size())));
}

void TfrmErrors::clearErrors()
{
    errorCount_ = 0;
    memErrorList->clearLines();
}

int TfrmErrors::lineCount() const { return memErrorList->lineCount(); }

QStringList TfrmErrors::lines() const { return memErrorList->lines(); }

void TfrmErrors::pbClearClick() { memErrorList->clearLines(); }

void TfrmErrors::pbCloseClick() { FormClose(); }

void TfrmErrors::reject() { FormClose(); }

void TfrmErrors::FormClose()
{
    clearErrors();
    QDialog::reject();
}

void TfrmErrors::showEvent(QShowEvent* event)
{
    if (!event->spontaneous())
        placement_.beforeShow(this);
    QDialog::showEvent(event);
}

} // namespace dxu
