// What the service counts for its operators, served at /metrics in the
// Prometheus text format: requests by endpoint and status, how long they
// took, database errors, mails handed over or not, and refusals by the
// limits. Only counts: no account, address, name or secret ever goes in.
#pragma once

#include <QByteArray>
#include <QHash>
#include <QString>
#include <array>
#include <mutex>

namespace zorvanix::server {

class Metrics {
 public:
  // The limits whose refusals are counted.
  enum class Limit { kPassword, kResetCode, kResetMail, kSignUp, kConnections, kCount };

  // endpoint: a path the service knows, never a path as a client sent it.
  void CountRequest(const QString& endpoint, int status, double seconds);
  void CountDatabaseError();
  void CountMail(bool handed_over);
  void CountRefusal(Limit limit);
  QByteArray Render() const;

 private:
  static constexpr std::array<double, 10> kBuckets = {0.001, 0.0025, 0.005, 0.01, 0.025,
                                                      0.05,  0.1,    0.25,  1.0,  5.0};
  mutable std::mutex mutex_;
  QHash<QPair<QString, int>, quint64> requests_;
  std::array<quint64, kBuckets.size()> buckets_{};  // not cumulative; summed when rendered
  quint64 duration_count_ = 0;
  double duration_sum_ = 0;
  quint64 database_errors_ = 0;
  quint64 mails_sent_ = 0;
  quint64 mails_failed_ = 0;
  std::array<quint64, static_cast<size_t>(Limit::kCount)> refusals_{};
};

// The one set of counters of this process.
Metrics& ServiceMetrics();

}  // namespace zorvanix::server
