#pragma once
#include <QChar>

namespace dxu {

// The user's decimal separator (QLocale::system()), unless a test overrides it.
QChar decimalSeparator();
// Overrides the separator (QChar() restores the system's).
void setDecimalSeparatorOverride(QChar sep);

// A number as the user reads it: the first '.' of text becomes ',' when
// decimalComma is set (the state's decimalComma, taken from the separator at
// start-up). The one place that decides how a shown number looks.
void toDecimalComma(char* text, bool decimalComma);

} // namespace dxu
