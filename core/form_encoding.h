// Form bodies and query strings as the scoring service expects them.
#pragma once

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>
#include <QStringView>

namespace zorvanix {

// Escapes every double-byte (GBK) character as "%" + lead byte + "%" + trail
// byte in uppercase hexadecimal and leaves every other character unchanged:
// "username=张三" becomes "username=%D5%C5%C8%FD".
QString UrlEncodeGb2312(QStringView text);
// The same for a QString, or a literal (UTF-8).
inline QString UrlEncodeGb2312(const QString& text) { return UrlEncodeGb2312(QStringView(text)); }

// Escapes the characters that would change a form's structure or be misread
// by a form decoder ("%", "&", "=", "+", "#"), then applies UrlEncodeGb2312.
// TAB, "|" and blanks stay literal: the service splits joined lists on them.
QString EscapeFormValue(QStringView value);

// A value for a GET address: every byte of its GBK form that is not an
// unreserved ASCII character (letters, digits, "-", ".", "_", "~") is written
// as %XX, so 张三 becomes %D5%C5%C8%FD and "a+b" arrives as "a+b".
QString EscapeQueryValue(QStringView value);

// Key/value pairs in the order the service expects, joined with "&" and "=".
// Keys are written as they are; each value goes through EscapeFormValue.
class FormBody {
 public:
  FormBody& Add(QStringView key, QStringView value);
  // The encoded body, ASCII apart from characters GBK has as single bytes.
  QString Text() const;
  // The bytes that travel: Text() in GBK.
  QByteArray Bytes() const;

 private:
  QString text_;
};

// Form decoding as the service does it: pairs split on "&" and the first "=",
// "+" read as a blank, %XX read as a byte, and the bytes of each key and value
// decoded as GBK. Pairs keep their order; empty pieces are skipped.
QList<QPair<QString, QString>> DecodeForm(QByteArrayView encoded);

// %XX escapes and "+" turned back into bytes; anything else kept as it is.
QByteArray PercentDecode(QByteArrayView encoded);

}  // namespace zorvanix
