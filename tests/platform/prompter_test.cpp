// The save dialog's file type counts when the teacher types a bare name.
#include <QTest>

#include "platform/prompter.h"

using namespace zorvanix;

class PrompterTest : public QObject {
  Q_OBJECT
 private slots:
  void ABareNameTakesTheChosenType() {
    QCOMPARE(WithChosenSuffix(QStringLiteral("/tmp/三班"), QStringLiteral("Excel 工作簿(*.xlsx)")),
             QStringLiteral("/tmp/三班.xlsx"));
    QCOMPARE(WithChosenSuffix(QStringLiteral("/tmp/三班"), QStringLiteral("CSV 文件(*.csv)")),
             QStringLiteral("/tmp/三班.csv"));
    // A folder with a dot in its name does not count as an extension.
    QCOMPARE(WithChosenSuffix(QStringLiteral("/tmp/v1.2/记录"), QStringLiteral("计分记录(*.dms)")),
             QStringLiteral("/tmp/v1.2/记录.dms"));
  }

  void WhatTheTeacherTypedStays() {
    // An extension of the teacher's own, "all files", a cancelled dialog.
    QCOMPARE(WithChosenSuffix(QStringLiteral("/tmp/a.csv"), QStringLiteral("Excel 工作簿(*.xlsx)")),
             QStringLiteral("/tmp/a.csv"));
    QCOMPARE(WithChosenSuffix(QStringLiteral("/tmp/a"), QStringLiteral("All Files(*.*)")),
             QStringLiteral("/tmp/a"));
    QCOMPARE(WithChosenSuffix(QStringLiteral("/tmp/a"), QString()), QStringLiteral("/tmp/a"));
    QCOMPARE(WithChosenSuffix(QString(), QStringLiteral("CSV 文件(*.csv)")), QString());
  }
};

QTEST_GUILESS_MAIN(PrompterTest)
#include "prompter_test.moc"
