#include "services/csv.h"

namespace dxu {

QString csvField(const QString& text)
{
    QString f = text;
    if (f.contains(QLatin1Char(',')) || f.contains(QLatin1Char('"')) || f.contains(QLatin1Char('\n')))
        f = QLatin1Char('"') + f.replace(QLatin1Char('"'), QStringLiteral("\"\"")) + QLatin1Char('"');
    return f;
}

QStringList csvLineFields(const QString& line)
{
    QStringList out(QString{});
    bool quoted = false;
    for (int i = 0; i < line.size(); ++i) {
        const QChar c = line[i];
        if (quoted && c == QLatin1Char('"') && i + 1 < line.size() && line[i + 1] == QLatin1Char('"')) {
            out.back() += c;
            ++i;
        } else if (c == QLatin1Char('"')) {
            quoted = !quoted;
        } else if (c == QLatin1Char(',') && !quoted) {
            out.append(QString{});
        } else {
            out.back() += c;
        }
    }
    return out;
}

} // namespace dxu
