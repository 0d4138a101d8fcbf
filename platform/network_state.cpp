#include "platform/network_state.h"

#include <QNetworkInformation>

namespace zorvanix {

SystemNetworkState::SystemNetworkState()
    : loaded_(QNetworkInformation::loadBackendByFeatures(QNetworkInformation::Feature::Reachability)) {}

bool SystemNetworkState::IsConnected() const {
  if (!loaded_) return true;
  const QNetworkInformation* info = QNetworkInformation::instance();
  if (!info) return true;
  const auto reachability = info->reachability();
  return reachability != QNetworkInformation::Reachability::Disconnected;
}

}  // namespace zorvanix
