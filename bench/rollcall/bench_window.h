// The roll-call window over a temporary program folder, with seams that show
// nothing and open nothing: what the benchmarks and the pictures start from.
// By default it works offline from a cache file the caller writes; given a
// service address it can sign in to a real service through the login window.
#pragma once

#include <QTemporaryDir>
#include <cstdio>
#include <memory>

#include "app/window_hub.h"
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
    context_.config.data_dir = dir_.path();
    context_.config.service_root = service_root;
    context_.config.vendor_site = service_root;
    session_.SignInOffline();
    service_ = std::make_unique<ServiceClient>(context_.config.service_root,
                                               context_.config.vendor_site, session_, http_);
    settings_ = std::make_unique<SettingsStore>(dir_.filePath(QStringLiteral("settings.ini")));
    context_.session = &session_;
    context_.service = service_.get();
    context_.prompter = &prompter;
    context_.clock = &clock;
    context_.shell = &shell_;
    context_.settings = settings_.get();
    context_.network = &network_;
  }

  QString Folder() const { return dir_.path(); }
  QString CacheFile() const { return context_.CacheFilePath(); }

  WindowHub& Hub() {
    if (!hub_) hub_ = std::make_unique<WindowHub>(context_);
    return *hub_;
  }

  // Shows the window as the program starts it.
  RollCallWindow& Show() {
    RollCallWindow& window = Hub().RollCall();
    window.show();
    return window;
  }

  // Shows the window with the choices filled from the cache.
  RollCallWindow& Open() {
    RollCallWindow& window = Show();
    window.RefreshMainWindowFromCache(QStringLiteral("offline"));
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
  AppContext context_;
  Session session_;
  HttpExchange http_;
  std::unique_ptr<ServiceClient> service_;
  NoShell shell_;
  Connected network_;
  std::unique_ptr<SettingsStore> settings_;
  std::unique_ptr<WindowHub> hub_;
};

}  // namespace zorvanix::bench
