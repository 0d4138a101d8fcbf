// The program as a widget test starts it: the same wiring as main() (Program)
// over a temporary program folder and settings file, the recording seams, a
// settable clock, and the service client pointed at a real zorvanix-server
// (or at a closed port).
#pragma once

#include <QTemporaryDir>
#include <memory>

#include "app/program.h"
#include "tests/support/recording_prompter.h"
#include "tests/support/server_process.h"

namespace zorvanix::testing {

class TestContext {
 public:
  // service_root: the server's Root(), or ClosedPortRoot() for "network down".
  explicit TestContext(const QString& service_root, const QString& vendor_site = QString());
  ~TestContext();

  AppContext& Context() { return program_->Context(); }
  // The program's windows, created when first asked for and wired as main()
  // wires them.
  Program& Hub() { return *program_; }
  Session& Sess() { return program_->Sess(); }
  RecordingPrompter& Prompts() { return prompter_; }
  RecordingShell& Browser() { return shell_; }
  SettableClock& Time() { return clock_; }
  FixedNetworkState& Network() { return network_; }
  SettingsStore& Settings() { return *settings_; }
  HttpExchange& Http() { return program_->Http(); }
  QString DataDir() const { return data_dir_.path(); }
  QString CacheFile() const { return program_->Cache().Path(); }

 private:
  QTemporaryDir data_dir_;
  RecordingPrompter prompter_;
  RecordingShell shell_;
  SettableClock clock_;
  FixedNetworkState network_;
  std::unique_ptr<SettingsStore> settings_;
  std::unique_ptr<Program> program_;
};

// Registers a teacher on the service and fills it with classes, students,
// topics and criteria through the service's own endpoints. Returns false and
// says why when the service refused.
struct TeacherSeed {
  QString user = QStringLiteral("teacher1");
  QString password = QStringLiteral("login123");
  QString super_password = QStringLiteral("op123");
  QString teacher_name = QStringLiteral("王老师");
  QString email = QStringLiteral("teacher1@example.com");
};
bool RegisterTeacher(ServiceClient& service, const TeacherSeed& seed, QString* error = nullptr);

}  // namespace zorvanix::testing
