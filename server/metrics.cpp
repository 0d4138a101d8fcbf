#include "server/metrics.h"

#include <algorithm>

namespace zorvanix::server {
namespace {

QByteArray Number(double value) { return QByteArray::number(value, 'g', 12); }

}  // namespace

Metrics& ServiceMetrics() {
  static Metrics metrics;
  return metrics;
}

void Metrics::CountRequest(const QString& endpoint, int status, double seconds) {
  std::lock_guard lock(mutex_);
  ++requests_[{endpoint, status}];
  const auto bucket = std::lower_bound(kBuckets.begin(), kBuckets.end(), seconds);
  if (bucket != kBuckets.end()) ++buckets_[static_cast<size_t>(bucket - kBuckets.begin())];
  ++duration_count_;
  duration_sum_ += seconds;
}

void Metrics::CountDatabaseError() {
  std::lock_guard lock(mutex_);
  ++database_errors_;
}

void Metrics::CountMail(bool handed_over) {
  std::lock_guard lock(mutex_);
  ++(handed_over ? mails_sent_ : mails_failed_);
}

void Metrics::CountRefusal(Limit limit) {
  std::lock_guard lock(mutex_);
  ++refusals_[static_cast<size_t>(limit)];
}

QByteArray Metrics::Render() const {
  std::lock_guard lock(mutex_);
  QByteArray out;
  out += "# HELP zorvanix_requests_total Requests answered, by endpoint and status.\n"
         "# TYPE zorvanix_requests_total counter\n";
  QList<QPair<QString, int>> keys = requests_.keys();
  std::sort(keys.begin(), keys.end());
  for (const auto& key : keys) {
    out += "zorvanix_requests_total{endpoint=\"" + key.first.toUtf8() + "\",status=\"" +
           QByteArray::number(key.second) + "\"} " + QByteArray::number(requests_.value(key)) +
           '\n';
  }
  out += "# HELP zorvanix_request_duration_seconds Time from a request's arrival to its reply.\n"
         "# TYPE zorvanix_request_duration_seconds histogram\n";
  quint64 cumulative = 0;
  for (size_t i = 0; i < kBuckets.size(); ++i) {
    cumulative += buckets_[i];
    out += "zorvanix_request_duration_seconds_bucket{le=\"" + Number(kBuckets[i]) + "\"} " +
           QByteArray::number(cumulative) + '\n';
  }
  out += "zorvanix_request_duration_seconds_bucket{le=\"+Inf\"} " +
         QByteArray::number(duration_count_) + '\n';
  out += "zorvanix_request_duration_seconds_sum " + Number(duration_sum_) + '\n';
  out += "zorvanix_request_duration_seconds_count " + QByteArray::number(duration_count_) + '\n';
  out += "# HELP zorvanix_database_errors_total Database operations that failed.\n"
         "# TYPE zorvanix_database_errors_total counter\n"
         "zorvanix_database_errors_total " +
         QByteArray::number(database_errors_) + '\n';
  out += "# HELP zorvanix_mails_sent_total Mails handed over to the relay, spool or sendmail.\n"
         "# TYPE zorvanix_mails_sent_total counter\n"
         "zorvanix_mails_sent_total " +
         QByteArray::number(mails_sent_) + '\n';
  out += "# HELP zorvanix_mails_failed_total Mails that could not be handed over.\n"
         "# TYPE zorvanix_mails_failed_total counter\n"
         "zorvanix_mails_failed_total " +
         QByteArray::number(mails_failed_) + '\n';
  out += "# HELP zorvanix_rate_limit_refusals_total Requests and connections refused by a limit.\n"
         "# TYPE zorvanix_rate_limit_refusals_total counter\n";
  static const char* const kNames[] = {"password", "reset_code", "reset_mail", "sign_up",
                                       "connections"};
  for (size_t i = 0; i < refusals_.size(); ++i) {
    out += QByteArray("zorvanix_rate_limit_refusals_total{limit=\"") + kNames[i] + "\"} " +
           QByteArray::number(refusals_[i]) + '\n';
  }
  return out;
}

}  // namespace zorvanix::server
