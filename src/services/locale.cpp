#include "services/locale.h"

#include <QLocale>

namespace dxu {
namespace {
QChar g_override;
}

QChar decimalSeparator()
{
    if (!g_override.isNull())
        return g_override;
    const QString p = QLocale::system().decimalPoint();
    return p.isEmpty() ? QLatin1Char('.') : p.at(0);
}

void setDecimalSeparatorOverride(QChar sep) { g_override = sep; }

} // namespace dxu
