// Opening web pages in the teacher's browser, behind an interface so a test
// can see which address would have been opened.
#pragma once

#include <QUrl>

namespace zorvanix {

class Shell {
 public:
  virtual ~Shell() = default;
  virtual bool OpenUrl(const QUrl& url) = 0;
};

class DesktopShell : public Shell {
 public:
  bool OpenUrl(const QUrl& url) override;
};

}  // namespace zorvanix
