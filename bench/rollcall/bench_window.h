// The roll-call window over a temporary program folder, with seams that show
// nothing and open nothing: what the benchmarks and the pictures start from.
// By default it works offline from a cache file the caller writes; given a
// service address it can sign in to a real service through the login window.
#pragma once

#include <QTemporaryDir>
#include <cstdio>
#include <memory>

#include "app/program.h"
#include "rollcall/roll_call_window.h"

namespace zorvanix::bench {

// File dialogs answer with the path set last; questions are answered No;
// messages are not shown, or only written to stderr.
class ScriptedPrompter : public Prompter {
 public:
  void ShowMessage(const QString& title, const QString& text, MessageIcon) override {
    if (echo_messages) std::fprintf(stderr, "%s: %s\n", qPrintable(title), qPrintable(text));
  }
  bool AskYesNo(const QString&, const QString&, MessageIcon) override { return false; }
  QString OpenFileName(const QString&, const QString&) override { return path; }
  QString SaveFileName(const QString&, const QString&) override { return path; }
  QString path;
  bool echo_messages = false;
};

class BenchWindow {
 public:
  // The cache file is Folder()/ServerRec.dmd, written by the caller before
  // Open(). The default address is a closed port: the window works offline.
  explicit BenchWindow(const QString& service_root = QStringLiteral("http://127.0.0.1:9")) {
    AppConfig config;
    config.data_dir = dir_.path();
    config.service_root = service_root;
    config.vendor_site = service_root;
    settings_ = std::make_unique<SettingsStore>(dir_.filePath(QStringLiteral("settings.ini")));
    program_ = std::make_unique<Program>(
        config, Seams{&prompter, &clock, &shell_, settings_.get(), &network_});
    program_->Sess().SignInOffline();
  }

  QString Folder() const { return dir_.path(); }
  QString CacheFile() const { return program_->Cache().Path(); }

  // The program's windows, wired as main() wires them.
  Program& Hub() { return *program_; }

  // Shows the window as the program starts it.
  RollCallWindow& Show() {
    RollCallWindow& window = Hub().RollCall();
    window.show();
    return window;
  }

  // Shows the window with the choices filled from the cache.
  RollCallWindow& Open() {
    RollCallWindow& window = Show();
    window.RefreshMainWindowFromCache(CacheRefresh::kOffline);
    return window;
  }

  ScriptedPrompter prompter;
  SettableClock clock{QDateTime(QDate(2026, 12, 7), QTime(9, 30))};

 private:
  class NoShell : public Shell {
   public:
    bool OpenUrl(const QUrl&) override { return true; }
  };
  class Connected : public NetworkState {
   public:
    bool IsConnected() const override { return true; }
  };

  QTemporaryDir dir_;
  NoShell shell_;
  Connected network_;
  std::unique_ptr<SettingsStore> settings_;
  std::unique_ptr<Program> program_;
};

}  // namespace zorvanix::bench
