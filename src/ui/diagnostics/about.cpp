#include "ui/diagnostics/about.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace dxu {

TfrmAbout::TfrmAbout(QWidget* parent) : PlacedDialog(QSize(330, 150), parent)
{
    setObjectName(QStringLiteral("frmAbout"));
    setWindowTitle(QStringLiteral("About"));
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint
                   | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);

    auto* title = new QLabel(QStringLiteral("DXU Interface v2.0.0.4"), this);
    title->setObjectName(QStringLiteral("lblProgramVersion"));
    QFont f = title->font();
    f.setBold(true);
    f.setPointSizeF(f.pointSizeF() * 1.3);
    title->setFont(f);
    title->setAlignment(Qt::AlignCenter);

    lblDXUVersion = new QLabel(this);
    lblDXUVersion->setObjectName(QStringLiteral("lblDXUVersion"));
    lblDXUVersion->setAlignment(Qt::AlignCenter);
    lblDXUVersion->setWordWrap(true);
    lblDXUVersion->setMinimumHeight(lblDXUVersion->fontMetrics().height() * 2);

    auto* ok = new QPushButton(QStringLiteral("&Ok"), this);
    ok->setObjectName(QStringLiteral("pbOk"));
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QWidget::hide);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(ok);
    buttons->addStretch();

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(24, 20, 24, 16);
    layout->setSpacing(12);
    layout->addWidget(title);
    layout->addWidget(lblDXUVersion);
    layout->addLayout(buttons);
    lblDXUVersion->setMinimumWidth(280);
}

void TfrmAbout::setVersionText(const QString& text) { lblDXUVersion->setText(text); }

} // namespace dxu
