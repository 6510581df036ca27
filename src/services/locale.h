#pragma once
#include <QChar>

namespace dxu {

// The user's decimal separator (QLocale::system()), unless a test overrides it.
QChar decimalSeparator();
// Overrides the separator (QChar() restores the system's).
void setDecimalSeparatorOverride(QChar sep);

} // namespace dxu
