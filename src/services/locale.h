#pragma once
#include <QChar>
#include <QString>

namespace dxu {

// The user's decimal separator (QLocale::system()), unless a test overrides it.
QChar decimalSeparator();
// Overrides the separator (QChar() restores the system's).
void setDecimalSeparatorOverride(QChar sep);

// A number as the user reads it: the first '.' of text becomes ',' when
// decimalComma is set (the state's decimalComma, taken from the separator at
// start-up). The one place that decides how a shown number looks.
void toDecimalComma(char* text, bool decimalComma);

// Numbers as the user types them. A whole number may have blanks around it;
// a decimal number takes only the user's own separator. False when the text
// is no such number.
bool parseWholeNumber(const QString& text, int& out);
bool parseDecimalNumber(const QString& text, float& out);
// What is said of text that is no such number ("'%s' is not a valid integer
// value" / "... floating point value"), after the field's caption when one
// is given: "Bin Hits: 'x' is not a valid ...".
QString notWholeNumberText(const QString& text, const QString& field = {});
QString notDecimalNumberText(const QString& text, const QString& field = {});

} // namespace dxu
