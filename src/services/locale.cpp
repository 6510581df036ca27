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

bool parseWholeNumber(const QString& text, int& out)
{
    bool ok = false;
    const int v = text.trimmed().toInt(&ok, 10);
    if (ok)
        out = v;
    return ok;
}

bool parseDecimalNumber(const QString& text, float& out)
{
    QString t = text.trimmed();
    const QChar sep = decimalSeparator();
    bool ok = !t.isEmpty();
    // Only the user's own decimal separator is accepted.
    if (ok && sep != QLatin1Char('.') && t.contains(QLatin1Char('.')))
        ok = false;
    if (ok) {
        if (sep != QLatin1Char('.'))
            t.replace(sep, QLatin1Char('.'));
        const double v = t.toDouble(&ok);
        if (ok)
            out = static_cast<float>(v);
    }
    return ok;
}

namespace {

QString fieldFirst(const QString& field, const QString& message)
{
    return field.isEmpty() ? message : field + QStringLiteral(": ") + message;
}

} // namespace

QString notWholeNumberText(const QString& text, const QString& field)
{
    return fieldFirst(field, QStringLiteral("'%1' is not a valid integer value").arg(text));
}

QString notDecimalNumberText(const QString& text, const QString& field)
{
    return fieldFirst(field, QStringLiteral("'%1' is not a valid floating point value").arg(text));
}

} // namespace dxu
