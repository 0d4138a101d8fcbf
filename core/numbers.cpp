#include "core/numbers.h"

#include <algorithm>
#include <cmath>

namespace zorvanix {

double LeadingNumber(QStringView text) {
  qsizetype i = 0;
  while (i < text.size() && (text[i] == u' ' || text[i] == u'\t')) ++i;
  const qsizetype start = i;
  if (i < text.size() && (text[i] == u'+' || text[i] == u'-')) ++i;
  bool seen_digit = false;
  bool seen_point = false;
  for (; i < text.size(); ++i) {
    const QChar c = text[i];
    if (c >= u'0' && c <= u'9') {
      seen_digit = true;
    } else if (c == u'.' && !seen_point) {
      seen_point = true;
    } else {
      break;
    }
  }
  if (!seen_digit) return 0.0;
  bool ok = false;
  const double value = text.sliced(start, i - start).toString().toDouble(&ok);
  return ok && std::isfinite(value) ? value : 0.0;
}

QString ShortestDecimal(double value) {
  if (!std::isfinite(value) || value == 0.0) return QStringLiteral("0");
  // Fifteen significant digits at most, no trailing zeros: 2.50 -> 2.5, 4.0 -> 4.
  QString text = QString::number(value, 'g', 15);
  if (!text.contains(u'e')) return text;
  // Very large or very small values: still plain decimal digits, never "1e+15",
  // because the text is shown to the teacher and sent to the service as is.
  const int exponent = static_cast<int>(std::floor(std::log10(std::fabs(value))));
  const int decimals = std::clamp(14 - exponent, 0, 330);
  text = QString::number(value, 'f', decimals);
  if (text.contains(u'.')) {
    while (text.endsWith(u'0')) text.chop(1);
    if (text.endsWith(u'.')) text.chop(1);
  }
  return text;
}

}  // namespace zorvanix
