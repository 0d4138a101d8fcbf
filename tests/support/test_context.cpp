#include "tests/support/test_context.h"

#include <QDir>

namespace zorvanix::testing {

TestContext::TestContext(const QString& service_root, const QString& vendor_site)
    : http_(std::chrono::milliseconds(10000)),
      clock_(QDateTime(QDate(2026, 12, 7), QTime(9, 30, 0))) {
  context_.config.service_root = service_root;
  context_.config.vendor_site = vendor_site.isEmpty() ? service_root : vendor_site;
  context_.config.data_dir = data_dir_.path();
  context_.config.transfer_timeout = std::chrono::milliseconds(10000);
  // The fixed clock would fail the clock check whenever a test runs past its
  // first second; the tests of the checks turn them on.
  context_.config.startup_checks = false;
  // Tests name their service; the first-run address field stays away.
  context_.config.service_root_configured = true;
  service_ = std::make_unique<ServiceClient>(context_.config.service_root,
                                             context_.config.vendor_site, session_, http_);
  settings_ = std::make_unique<SettingsStore>(
      QDir(data_dir_.path()).filePath(QStringLiteral("settings.ini")));
  context_.session = &session_;
  context_.service = service_.get();
  context_.prompter = &prompter_;
  context_.clock = &clock_;
  context_.shell = &shell_;
  context_.settings = settings_.get();
  context_.network = &network_;
  hub_ = std::make_unique<WindowHub>(context_);
}

TestContext::~TestContext() { hub_.reset(); }

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
