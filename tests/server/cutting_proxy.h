// A proxy in front of the service that passes every request on whole, waits
// for the service's reply and then drops the connection without passing the
// reply back: the flaky school network after the service stored a batch.
#pragma once

#include <atomic>
#include <thread>

#include <QtGlobal>

namespace zorvanix::testing {

class CuttingProxy {
 public:
  explicit CuttingProxy(quint16 service_port);
  ~CuttingProxy();
  quint16 Port() const { return port_; }
  // Requests passed on whose reply was swallowed.
  int Cut() const { return cut_.load(); }

 private:
  void Serve();
  void Relay(int client);

  quint16 service_port_;
  quint16 port_ = 0;
  int listener_ = -1;
  std::atomic<bool> stopping_{false};
  std::atomic<int> cut_{0};
  std::thread thread_;
};

}  // namespace zorvanix::testing
