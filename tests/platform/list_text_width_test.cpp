// The widest entry of a list, in the list's own font, plus 8 pixels: what the
// windows use as the horizontal scroll range of their lists.
#include "controls/list_text_width.h"

#include <QListWidget>
#include <QtTest>

using namespace zorvanix;

class ListTextWidthTest : public QObject {
  Q_OBJECT

 private slots:
  void EmptyListOrNoListIsZero() {
    QListWidget list;
    QCOMPARE(ListTextWidth(list), 0);
    QCOMPARE(ListTextWidth(&list), 0);
    QCOMPARE(ListTextWidth(static_cast<const QListWidget*>(nullptr)), 0);
  }

  void WidestEntryInTheListsFontPlusEight() {
    QListWidget list;
    QFont font = list.font();
    font.setPointSize(font.pointSize() * 3);
    font.setBold(true);
    list.setFont(font);
    const QString wide = QStringLiteral("[5分]\t回答问题完整准确");
    list.addItems({QStringLiteral("短"), wide, QStringLiteral("中等长度")});
    const int wide_pixels = QFontMetrics(font).horizontalAdvance(wide);
    QVERIFY(wide_pixels > QFontMetrics(QListWidget().font()).horizontalAdvance(wide));
    QCOMPARE(ListTextWidth(&list), wide_pixels + 8);
    // Order does not matter, only the widest entry.
    list.insertItem(0, list.takeItem(1));
    QCOMPARE(ListTextWidth(list), wide_pixels + 8);
  }
};

QTEST_MAIN(ListTextWidthTest)
#include "list_text_width_test.moc"
