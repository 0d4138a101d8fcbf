#include "tests/support/test_context.h"

#include <QDir>

namespace zorvanix::testing {

TestContext::TestContext(const QString& service_root, const QString& vendor_site)
    : clock_(QDateTime(QDate(2026, 12, 7), QTime(9, 30, 0))) {
  AppConfig config;
  config.service_root = service_root;
  config.vendor_site = vendor_site.isEmpty() ? service_root : vendor_site;
  config.data_dir = data_dir_.path();
  config.transfer_timeout = std::chrono::milliseconds(10000);
  // The fixed clock would fail the clock check whenever a test runs past its
  // first second; the tests of the checks turn them on.
  config.startup_checks = false;
  // Tests name their service; the first-run address field stays away.
  config.service_root_configured = true;
  settings_ = std::make_unique<SettingsStore>(
      QDir(data_dir_.path()).filePath(QStringLiteral("settings.ini")));
  program_ = std::make_unique<Program>(
      config, Seams{&prompter_, &clock_, &shell_, settings_.get(), &network_});
}

TestContext::~TestContext() { program_.reset(); }

bool RegisterTeacher(ServiceClient& service, const TeacherSeed& seed, QString* error) {
  ServiceClient::Registration registration;
  registration.user = seed.user;
  registration.teacher_name = seed.teacher_name;
  registration.password = seed.password;
  registration.super_password = seed.super_password;
  registration.email = seed.email;
  const PostResult result = service.RegisterTeacher(registration);
  if (!result.IsSuccess() && error) {
    *error = QStringLiteral("status %1: %2").arg(result.status).arg(result.text);
  }
  return result.IsSuccess();
}

}  // namespace zorvanix::testing
