#include "tests/server/cutting_proxy.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QByteArray>
#include <QList>

namespace zorvanix::testing {
namespace {

// Reads one whole HTTP message (head and Content-Length body) or until the
// peer closes or falls silent for two seconds.
QByteArray ReadMessage(int fd) {
  QByteArray data;
  char buffer[4096];
  while (true) {
    const qsizetype end = data.indexOf("\r\n\r\n");
    if (end >= 0) {
      qsizetype length = 0;
      for (const QByteArray& line : data.first(end).split('\n')) {
        if (line.toLower().startsWith("content-length:"))
          length = line.sliced(15).trimmed().toLongLong();
      }
      if (data.size() >= end + 4 + length) return data;
    }
    pollfd p{fd, POLLIN, 0};
    if (poll(&p, 1, 2000) <= 0) return data;
    const ssize_t n = read(fd, buffer, sizeof buffer);
    if (n <= 0) return data;
    data.append(buffer, n);
  }
}

}  // namespace

CuttingProxy::CuttingProxy(quint16 service_port) : service_port_(service_port) {
  listener_ = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address);
  listen(listener_, 16);
  socklen_t size = sizeof address;
  getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &size);
  port_ = ntohs(address.sin_port);
  thread_ = std::thread([this] { Serve(); });
}

CuttingProxy::~CuttingProxy() {
  stopping_ = true;
  thread_.join();
  close(listener_);
}

void CuttingProxy::Serve() {
  while (!stopping_) {
    pollfd p{listener_, POLLIN, 0};
    if (poll(&p, 1, 100) <= 0) continue;
    const int client = accept(listener_, nullptr, nullptr);
    if (client < 0) continue;
    Relay(client);
    close(client);
  }
}

void CuttingProxy::Relay(int client) {
  const QByteArray request = ReadMessage(client);
  const int service = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = htons(service_port_);
  if (connect(service, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
      write(service, request.constData(), request.size()) == request.size()) {
    // The service has the whole body; its reply goes nowhere.
    if (!ReadMessage(service).isEmpty()) cut_ += 1;
  }
  close(service);
}

}  // namespace zorvanix::testing
