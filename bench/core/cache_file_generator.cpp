#include "bench/core/cache_file_generator.h"

#include <QFile>
#include <QRandomGenerator>

#include "core/cache_file.h"
#include "core/gbk.h"

namespace zorvanix::bench {
namespace {

constexpr char16_t kSurnames[] =
    u"王李张刘陈杨赵黄周吴徐孙胡朱高林何郭马罗梁宋郑谢韩唐冯于董萧程曹袁邓许傅沈曾彭吕";
constexpr char16_t kGiven[] =
    u"伟芳娜秀英敏静丽强磊军洋勇艳杰娟涛明超秀兰霞平刚桂英华玉萍红娥玲芬芳燕彩春菊兰凤洁梅琳素云莲"
    u"真环雪荣爱妹霞香月莺媛艳瑞凡佳嘉琼勤珍贞莉桂娣叶璧璐娅琦晶妍茜秋珊莎锦黛青倩婷姣婉娴瑾颖露瑶"
    u"怡婵雁蓓纨仪荷丹蓉眉君琴蕊薇菁梦岚苑婕馨瑗琰韵融园艺咏卿聪澜纯毓悦昭冰爽琬茗羽希宁欣飘育滢馥"
    u"筠柔竹霭凝晓欢霄枫芸菲寒伊亚宜可姬舒影荔枝思丽";

QString StudentName(QRandomGenerator& random) {
  const int surname_count = static_cast<int>(std::size(kSurnames)) - 1;
  const int given_count = static_cast<int>(std::size(kGiven)) - 1;
  QString name(QChar(kSurnames[random.bounded(surname_count)]));
  const int length = 1 + random.bounded(2);
  for (int i = 0; i < length; ++i) name += QChar(kGiven[random.bounded(given_count)]);
  return name;
}

}  // namespace

bool WriteCacheFile(const QString& path, int classes, int students_per_class,
                    GeneratedCache* generated) {
  QRandomGenerator random(20130315);  // the same file on every run
  generated->classes.clear();
  generated->students.clear();
  for (int c = 0; c < classes; ++c) {
    generated->classes << QStringLiteral("%1年级%2班").arg(1 + c / 20).arg(1 + c % 20);
  }
  QStringList lines;
  lines << ClassListLine(generated->classes);
  for (int t = 0; t < 20; ++t) {
    TopicLine topic{QStringLiteral("课题%1").arg(t + 1), {}};
    for (int k = 0; k < 5; ++k) {
      topic.criteria.append({QStringLiteral("标准%1").arg(k + 1), QString::number(5 - k)});
    }
    lines << TopicLineText(topic);
  }
  int number = 1000;
  for (const QString& class_name : generated->classes) {
    for (int s = 0; s < students_per_class; ++s) {
      // A running number keeps names unique within a class, as the service does.
      StudentRow row{class_name,
                     StudentName(random) + QString::number(s),
                     QString::number(random.bounded(16)),
                     QString::number(++number),
                     QString::number(random.bounded(50) / 10.0),
                     QString::number(random.bounded(30))};
      lines << StudentRowText(row);
      generated->students.append({row.class_name, row.name});
    }
  }
  QFile file(path);
  if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) return false;
  const QByteArray bytes = EncodeGbk(lines.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n"));
  return file.write(bytes) == bytes.size();
}

}  // namespace zorvanix::bench
