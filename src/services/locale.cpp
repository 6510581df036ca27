#include "services/locale.h"

#include <cstring>

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

void toDecimalComma(char* text, bool decimalComma)
{
    if (!text || !decimalComma)
        return;
    if (char* dot = std::strchr(text, '.'))
        *dot = ',';
}

} // namespace dxu
