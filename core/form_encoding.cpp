#include "core/form_encoding.h"

#include "core/gbk.h"

namespace zorvanix {
namespace {

constexpr char kHexDigits[] = "0123456789ABCDEF";

void AppendByteEscape(QString& out, int byte) {
  out += QLatin1Char('%');
  out += QLatin1Char(kHexDigits[(byte >> 4) & 0xF]);
  out += QLatin1Char(kHexDigits[byte & 0xF]);
}

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

QString UrlEncodeGb2312(QStringView text) {
  QString out;
  out.reserve(text.size() * 3);
  for (qsizetype i = 0; i < text.size(); ++i) {
    const QChar c = text[i];
    const int code = GbkCode(text.mid(i, 1));
    if (code > 0xFF) {
      AppendByteEscape(out, code >> 8);
      AppendByteEscape(out, code & 0xFF);
    } else {
      out += c;
    }
  }
  return out;
}

QString EscapeFormValue(QStringView value) {
  QString escaped;
  escaped.reserve(value.size() + 8);
  for (const QChar c : value) {
    switch (c.unicode()) {
      case '%':
        escaped += u"%25";
        break;
      case '&':
        escaped += u"%26";
        break;
      case '=':
        escaped += u"%3D";
        break;
      case '+':
        escaped += u"%2B";
        break;
      case '#':
        escaped += u"%23";
        break;
      default:
        escaped += c;
    }
  }
  return UrlEncodeGb2312(escaped);
}

QString EscapeQueryValue(QStringView value) {
  QString escaped;
  escaped.reserve(value.size() * 3);
  for (const char byte : EncodeGbk(value)) {
    const auto c = static_cast<unsigned char>(byte);
    const bool unreserved = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') ||
                            (c >= '0' && c <= '9') || c == '-' || c == '.' || c == '_' || c == '~';
    if (unreserved) {
      escaped += QLatin1Char(static_cast<char>(c));
    } else {
      AppendByteEscape(escaped, c);
    }
  }
  return escaped;
}

FormBody& FormBody::Add(QStringView key, QStringView value) {
  if (!text_.isEmpty()) text_ += QLatin1Char('&');
  text_ += key;
  text_ += QLatin1Char('=');
  text_ += EscapeFormValue(value);
  return *this;
}

QString FormBody::Text() const { return text_; }

QByteArray FormBody::Bytes() const { return EncodeGbk(text_); }

QByteArray PercentDecode(QByteArrayView encoded) {
  // Written straight into the buffer: every upload decodes a couple of
  // kilobytes of "%XX" here.
  QByteArray out(encoded.size(), Qt::Uninitialized);
  char* to = out.data();
  const char* from = encoded.data();
  const qsizetype size = encoded.size();
  for (qsizetype i = 0; i < size; ++i) {
    const char c = from[i];
    int high = 0, low = 0;
    if (c == '+') {
      *to++ = ' ';
    } else if (c == '%' && i + 2 < size && (high = HexValue(from[i + 1])) >= 0 &&
               (low = HexValue(from[i + 2])) >= 0) {
      *to++ = static_cast<char>(high * 16 + low);
      i += 2;
    } else {
      *to++ = c;
    }
  }
  out.truncate(to - out.constData());
  return out;
}

QList<QPair<QString, QString>> DecodeForm(QByteArrayView encoded) {
  QList<QPair<QString, QString>> pairs;
  qsizetype start = 0;
  while (start <= encoded.size()) {
    qsizetype end = encoded.indexOf('&', start);
    if (end < 0) end = encoded.size();
    const QByteArrayView piece = encoded.sliced(start, end - start);
    if (!piece.isEmpty()) {
      const qsizetype eq = piece.indexOf('=');
      const QByteArrayView key = eq < 0 ? piece : piece.first(eq);
      const QByteArrayView value = eq < 0 ? QByteArrayView() : piece.sliced(eq + 1);
      pairs.append({DecodeGbk(PercentDecode(key)), DecodeGbk(PercentDecode(value))});
    }
    start = end + 1;
  }
  return pairs;
}

}  // namespace zorvanix
