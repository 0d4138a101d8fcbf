// What every window needs from the outside world, handed to its constructor:
// the session, the cache file, the service client and the seams a test
// replaces (prompter, clock, shell, settings, network state).
#pragma once

#include <QString>

#include "core/cache_file.h"
#include "core/session.h"
#include "platform/clock.h"
#include "platform/config.h"
#include "platform/network_state.h"
#include "platform/prompter.h"
#include "platform/service_client.h"
#include "platform/settings_store.h"
#include "platform/shell.h"

namespace zorvanix {

struct AppContext {
  AppConfig config;
  Session* session = nullptr;
  ServiceClient* service = nullptr;
  Prompter* prompter = nullptr;
  Clock* clock = nullptr;
  Shell* shell = nullptr;
  SettingsStore* settings = nullptr;
  NetworkState* network = nullptr;
  // The cache file "ServerRec.dmd" in the program folder, the one object
  // that reads and replaces it.
  CacheFile* cache = nullptr;
};

}  // namespace zorvanix
