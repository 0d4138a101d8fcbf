// The splitter bar and the list measuring helpers.
#include "controls/splitter.h"

#include <QScrollBar>
#include <QSignalSpy>
#include <QtTest>

#include "controls/list_text_width.h"

using namespace zorvanix;

namespace {

void Send(QWidget* widget, QEvent::Type type, QPoint local, Qt::MouseButton button,
          Qt::MouseButtons buttons) {
  QMouseEvent event(type, QPointF(local), QPointF(widget->mapToGlobal(local)), button, buttons,
                    Qt::NoModifier);
  QApplication::sendEvent(widget, &event);
}

void Press(QWidget* w, QPoint at, Qt::MouseButton button = Qt::LeftButton) {
  Send(w, QEvent::MouseButtonPress, at, button, button);
}
void MoveTo(QWidget* w, QPoint at, Qt::MouseButtons held = Qt::LeftButton) {
  Send(w, QEvent::MouseMove, at, Qt::NoButton, held);
}
void Release(QWidget* w, QPoint at, Qt::MouseButton button = Qt::LeftButton) {
  Send(w, QEvent::MouseButtonRelease, at, button, Qt::NoButton);
}

// A host 600 x 300 pixels with a vertical bar at x = 200, in twips.
struct Host {
  QWidget window;
  Splitter* bar = new Splitter(&window);
  Host() {
    window.resize(600, 300);
    bar->setGeometry(200, 0, 4, 300);
    bar->SetHostUnitsPerPixel(15);
  }
};

}  // namespace

class SplitterTest : public QObject {
  Q_OBJECT

 private slots:
  void DragMovesTheBarByTheMouseTravelInHostUnits() {
    Host host;
    QSignalSpy before(host.bar, &Splitter::BeforeSplit);
    QSignalSpy split(host.bar, &Splitter::Split);
    QSignalSpy down(host.bar, &Splitter::MouseDown);
    double proposed = 0;
    connect(host.bar, &Splitter::BeforeSplit,
            [&](bool*, double* position) { proposed = *position; });

    Press(host.bar, {2, 10});
    QVERIFY(host.bar->IsDragging());
    QCOMPARE(down.size(), 1);
    QCOMPARE(down[0][2].toDouble(), 30.0);   // x in twips
    QCOMPARE(down[0][3].toDouble(), 150.0);  // y in twips
    MoveTo(host.bar, {12, 40});
    QCOMPARE(proposed, 200 * 15 + 12 * 15 - 2 * 15.0);
    QCOMPARE(host.bar->x(), 210);
    QCOMPARE(host.bar->y(), 0);
    QCOMPARE(before.size(), 1);
    QCOMPARE(split.size(), 1);

    Release(host.bar, {12, 40});
    QVERIFY(!host.bar->IsDragging());
    MoveTo(host.bar, {30, 40}, Qt::NoButton);
    QCOMPARE(host.bar->x(), 210);
    QCOMPARE(split.size(), 1);
  }

  void RightButtonIsReportedButDoesNotDrag() {
    Host host;
    QSignalSpy down(host.bar, &Splitter::MouseDown);
    QSignalSpy moves(host.bar, &Splitter::MouseMove);
    QSignalSpy before(host.bar, &Splitter::BeforeSplit);
    Press(host.bar, {2, 10}, Qt::RightButton);
    QCOMPARE(down.size(), 1);
    QCOMPARE(down[0][0].toInt(), int(Qt::RightButton));
    MoveTo(host.bar, {20, 10}, Qt::RightButton);
    QCOMPARE(moves.size(), 1);
    QCOMPARE(before.size(), 0);
    QCOMPARE(host.bar->x(), 200);
  }

  void HostCanCancelOrClampTheMove() {
    Host host;
    QSignalSpy split(host.bar, &Splitter::Split);
    bool refuse = true;
    connect(host.bar, &Splitter::BeforeSplit, [&](bool* cancel, double* position) {
      if (refuse) {
        *cancel = true;
      } else if (*position > 3300) {
        *position = 3300;  // no further right than 220 px
      }
    });
    Press(host.bar, {0, 0});
    MoveTo(host.bar, {50, 0});
    QCOMPARE(host.bar->x(), 200);
    QCOMPARE(split.size(), 0);

    refuse = false;
    MoveTo(host.bar, {50, 0});
    QCOMPARE(host.bar->x(), 220);
    QCOMPARE(split.size(), 1);
  }

  void HorizontalBarMovesItsTopOnly() {
    Host host;
    host.bar->setGeometry(0, 100, 600, 4);
    host.bar->SetOrientation(Splitter::kHorizontalBar);
    QCOMPARE(host.bar->cursor().shape(), Qt::SizeVerCursor);
    Press(host.bar, {300, 1});
    MoveTo(host.bar, {350, 21});
    QCOMPARE(host.bar->x(), 0);
    QCOMPARE(host.bar->y(), 120);
  }

  void AnyOtherOrientationKeepsTheBarStill() {
    Host host;
    host.bar->SetOrientation(0);
    QCOMPARE(host.bar->cursor().shape(), Qt::SizeHorCursor);
    QSignalSpy split(host.bar, &Splitter::Split);
    Press(host.bar, {1, 1});
    MoveTo(host.bar, {40, 40});
    QCOMPARE(host.bar->pos(), QPoint(200, 0));
    QCOMPARE(split.size(), 0);
  }

  void ClickAndDoubleClickReachTheHost() {
    Host host;
    QSignalSpy click(host.bar, &Splitter::Click);
    QSignalSpy double_click(host.bar, &Splitter::DblClick);
    Press(host.bar, {1, 1});
    Release(host.bar, {1, 1});
    QCOMPARE(click.size(), 1);
    Send(host.bar, QEvent::MouseButtonDblClick, {1, 1}, Qt::LeftButton, Qt::LeftButton);
    QCOMPARE(double_click.size(), 1);
  }

  void SavedPropertiesKeepTheirDefaultsAndRoundTrip() {
    Splitter fresh;
    QCOMPARE(fresh.Orientation(), Splitter::kVerticalBar);
    fresh.LoadProperties({});
    QCOMPARE(fresh.Orientation(), Splitter::kVerticalBar);
    QCOMPARE(fresh.BackColor(), Splitter::DefaultBackColor());
    QVERIFY(fresh.Enabled());
    QVERIFY(fresh.Picture().isNull());

    Splitter changed;
    QSignalSpy changes(&changed, &Splitter::PropertyChanged);
    changed.SetBackColor(Qt::red);
    changed.SetEnabled(false);
    changed.SetOrientation(Splitter::kHorizontalBar);
    QCOMPARE(changes.size(), 2);
    QCOMPARE(changes[0][0].toString(), QStringLiteral("BackColor"));
    QCOMPARE(changes[1][0].toString(), QStringLiteral("Enabled"));

    Splitter restored;
    restored.LoadProperties(changed.SaveProperties());
    QCOMPARE(restored.BackColor(), QColor(Qt::red));
    QVERIFY(!restored.Enabled());
    QCOMPARE(restored.Orientation(), Splitter::kHorizontalBar);
  }

  void ExtentListScrollsAsFarAsItsOwnerSays() {
    ExtentListWidget list;
    list.resize(200, 120);
    list.addItem(QStringLiteral("short"));
    list.show();
    QVERIFY(QTest::qWaitForWindowExposed(&list));
    list.SetHorizontalExtent(1000);
    QScrollBar* bar = list.horizontalScrollBar();
    QCOMPARE(bar->maximum(), 1000 - list.viewport()->width());
    // A new entry makes the view lay itself out again; the extent stays.
    list.addItem(QStringLiteral("another"));
    QTRY_COMPARE(bar->maximum(), 1000 - list.viewport()->width());
    list.SetHorizontalExtent(50);
    QCOMPARE(bar->maximum(), 0);
  }
};

QTEST_MAIN(SplitterTest)
#include "splitter_test.moc"
