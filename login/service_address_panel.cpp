#include "login/service_address_panel.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QUrl>

#include "core/service_time.h"

namespace zorvanix {

ServiceAddressPanel::ServiceAddressPanel(AppContext& context, QWidget* parent)
    : QWidget(parent), context_(context) {
  setObjectName(QStringLiteral("ServiceAddressPanel"));
  auto* label = new QLabel(QStringLiteral("服务地址:"), this);
  address_ = new QLineEdit(context_.service->ServiceRoot(), this);
  address_->setObjectName(QStringLiteral("txtServiceRoot"));
  label->setBuddy(address_);
  save_ = new QPushButton(QStringLiteral("检查并保存"), this);
  save_->setObjectName(QStringLiteral("cmdSaveServiceRoot"));
  save_->setAutoDefault(false);
  state_ = new QLabel(this);
  state_->setObjectName(QStringLiteral("lblServiceRoot"));
  auto* row = new QHBoxLayout(this);
  row->setContentsMargins(0, 0, 0, 0);
  row->addWidget(label);
  row->addWidget(address_, 1);
  row->addWidget(save_);
  row->addWidget(state_);
  connect(save_, &QPushButton::clicked, this, &ServiceAddressPanel::CheckAndSave);
  connect(address_, &QLineEdit::returnPressed, this, &ServiceAddressPanel::CheckAndSave);
}

void ServiceAddressPanel::CheckAndSave() {
  QString root = address_->text().trimmed();
  while (root.endsWith(u'/')) root.chop(1);
  const QUrl url(root);
  if (!url.isValid() || (url.scheme() != u"http" && url.scheme() != u"https") ||
      url.host().isEmpty()) {
    state_->setText(QStringLiteral("地址无效"));
    return;
  }
  const QString previous = context_.service->ServiceRoot();
  context_.service->SetServiceRoot(root);
  save_->setEnabled(false);
  state_->setText(QStringLiteral("正在检查…"));
  const QPointer<ServiceAddressPanel> alive(this);
  const QString reply = context_.service->ServerTime();
  if (!alive) return;
  save_->setEnabled(true);
  // The service's clock answers with its seconds (or a date-time text).
  bool is_number = false;
  reply.trimmed().toLongLong(&is_number);
  if (!is_number && !ParseDateTimeText(reply.trimmed())) {
    context_.service->SetServiceRoot(previous);
    state_->setText(QStringLiteral("无法连接该地址"));
    return;
  }
  context_.config.service_root = root;
  context_.config.service_root_configured = true;
  context_.settings->Write(QLatin1String(kSavedServiceRootKey), root);
  state_->setText(QStringLiteral("已保存"));
}

}  // namespace zorvanix
