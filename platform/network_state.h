// Whether the PC is connected. When the platform cannot tell, the answer is
// "connected": the sign-in then simply tries and reports a failure itself.
#pragma once

namespace zorvanix {

class NetworkState {
 public:
  virtual ~NetworkState() = default;
  virtual bool IsConnected() const = 0;
};

class SystemNetworkState : public NetworkState {
 public:
  SystemNetworkState();
  bool IsConnected() const override;

 private:
  bool loaded_ = false;
};

}  // namespace zorvanix
