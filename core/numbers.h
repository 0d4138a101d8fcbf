// How numbers inside texts are read and written ("5分", "[3.5分]", counters).
#pragma once

#include <QString>
#include <QStringView>

namespace zorvanix {

// The longest leading decimal number of the text: leading blanks skipped, an
// optional sign, digits and at most one decimal point; reading stops at the
// first other character. A text that does not start with a number reads as 0.
double LeadingNumber(QStringView text);

// The shortest decimal text of a number: 3 -> "3", 2.50 -> "2.5", -2 -> "-2".
QString ShortestDecimal(double value);

// LeadingNumber then ShortestDecimal: how typed scores are normalised.
inline QString NormalizeNumberText(QStringView text) {
  return ShortestDecimal(LeadingNumber(text));
}

}  // namespace zorvanix
