#include "controls/typed_text.h"

#include "core/gbk.h"

namespace zorvanix {

QString GbkProblem(QStringView text) {
  const QStringView character = FirstCharacterNotInGbk(text);
  if (character.isEmpty()) return QString();
  return QStringLiteral("“%1”中的字符“%2”无法保存到服务器，请改用其他字！").arg(text, character);
}

QString TypedTextProblem(QStringView text) {
  const QStringView not_gbk = FirstCharacterNotInGbk(text);
  const qsizetype not_gbk_at = not_gbk.isEmpty() ? text.size() : not_gbk.data() - text.data();
  qsizetype separator_at = 0;
  while (separator_at < not_gbk_at && text[separator_at] != u'|' && text[separator_at] != u'\t') {
    ++separator_at;
  }
  if (separator_at < not_gbk_at) {
    return QStringLiteral("“%1”中含有“|”或制表符，不能作为名称，请修改后再试！")
        .arg(text.toString().replace(u'\t', u' '));
  }
  return GbkProblem(text);
}

}  // namespace zorvanix
