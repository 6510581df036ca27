#pragma once
// CSV as the program writes and reads it: fields separated by commas, a field
// holding a comma, a quote or a line end in quotes with its quotes doubled.
#include <QString>
#include <QStringList>

namespace dxu {

// A field for a CSV line, quoted when it must be.
QString csvField(const QString& text);
// One CSV line into its fields, quotes honoured.
QStringList csvLineFields(const QString& line);

} // namespace dxu
