// Draws the picture of the roll-call window that the README shows: the demo
// service is started, the demo teacher signs in through the login window,
// chooses class "1" and draws a name from "很多", and the window is saved as a PNG.
//
//   xvfb-run -a build/bench/rollcall/rollcall_screenshot docs/rollcall.png [login.png]
#include <QApplication>
#include <QComboBox>
#include <QDeadlineTimer>
#include <QDir>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdio>

#include "bench/rollcall/bench_window.h"
#include "login/login_window.h"
#include "rollcall/roll_call_window.h"

using namespace zorvanix;

namespace {

void Wait(int milliseconds) {
  QEventLoop loop;
  QTimer::singleShot(milliseconds, &loop, &QEventLoop::quit);
  loop.exec();
}

QString StartDemoService(QProcess& service, const QString& folder) {
  service.start(
      QStringLiteral(ZORVANIX_SERVER_PATH),
      {QStringLiteral("--listen"), QStringLiteral("127.0.0.1:0"), QStringLiteral("--database"),
       QStringLiteral("sqlite:") + folder + "/demo.db", QStringLiteral("--mail-spool"), folder,
       QStringLiteral("--seed-demo"), QStringLiteral("--vendor")});
  static const QRegularExpression ready(QStringLiteral("listening on (http://\\S+)"));
  QByteArray out;
  const QDeadlineTimer deadline(15000);
  while (!deadline.hasExpired() && service.state() != QProcess::NotRunning) {
    service.waitForReadyRead(100);
    out += service.readAllStandardOutput();
    const auto match = ready.match(QString::fromUtf8(out));
    if (match.hasMatch()) return match.captured(1);
  }
  return {};
}

}  // namespace

int main(int argc, char* argv[]) {
  QApplication app(argc, argv);
  const QString output =
      argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("rollcall.png");
  QTemporaryDir folder;
  QProcess service;
  const QString root = StartDemoService(service, folder.path());
  if (root.isEmpty()) {
    std::fprintf(stderr, "the demo service did not start\n");
    return 1;
  }

  bench::BenchWindow bench_window(root);
  bench_window.prompter.echo_messages = true;
  bench_window.clock.Set(QDateTime::currentDateTime());
  RollCallWindow& window = bench_window.Show();
  Program& hub = bench_window.Hub();

  window.findChild<QPushButton*>(QStringLiteral("Command1"))->click();
  LoginWindow& login = hub.Login();
  login.findChild<QComboBox*>(QStringLiteral("ComboUser"))->setEditText(QStringLiteral("demo"));
  login.findChild<QLineEdit*>(QStringLiteral("txtPassword"))->setText(QStringLiteral("demo123"));
  if (argc > 2) login.grab().save(QString::fromLocal8Bit(argv[2]));
  login.findChild<QPushButton*>(QStringLiteral("cmdOK"))->click();
  auto* classes = window.findChild<QComboBox*>(QStringLiteral("Combo2"));
  const int index = classes->findText(QStringLiteral("1"));
  if (!window.isVisible() || index < 0) {
    std::fprintf(stderr, "the demo teacher could not sign in\n");
    return 1;
  }
  classes->setCurrentIndex(index);
  emit classes->activated(index);
  auto* draw = window.findChild<QPushButton*>(QStringLiteral("btnChou_7"));  // 很多
  draw->click();
  Wait(400);
  draw->click();
  Wait(300);
  const bool saved = window.grab().save(output);
  std::printf("%s %s (%s drawn)\n", saved ? "saved" : "could not save", qPrintable(output),
              qPrintable(window.CurrentStudent()));
  service.terminate();
  service.waitForFinished(5000);
  return saved ? 0 : 1;
}
