#include "manage/shortcuts_page.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QHBoxLayout>
#include <QPushButton>
#include <QSignalBlocker>
#include <QVBoxLayout>

#include "manage/page_widgets.h"

namespace zorvanix {

ShortcutsPage::ShortcutsPage(PageServices& services, QWidget* parent)
    : ManagePage("Frame_manage_4", QStringLiteral("快捷方式管理"), parent),
      services_(services),
      maker_(ShortcutFolders::Standard(), QCoreApplication::applicationFilePath(),
             services.Context().config.launch_arguments) {
  const QString captions[kShortcutKinds] = {QStringLiteral("桌面快捷方式"),
                                            QStringLiteral("程序组快捷方式"),
                                            QStringLiteral("开始菜单快捷方式")};
  auto* column = new QVBoxLayout(this);
  for (int kind = 0; kind < kShortcutKinds; ++kind) {
    boxes_[kind] = new QCheckBox(captions[kind], this);
    boxes_[kind]->setObjectName(QStringLiteral("ChkShortCut_%1").arg(kind));
    column->addWidget(boxes_[kind]);
    connect(boxes_[kind], &QCheckBox::toggled, this,
            [this, kind](bool ticked) { BoxChanged(kind, ticked); });
  }
  QPushButton* create_all = MakeButton(this, "Command11", QStringLiteral("创建所有"));
  QPushButton* remove_all = MakeButton(this, "Command12", QStringLiteral("删除所有"));
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(create_all);
  buttons->addWidget(remove_all);
  buttons->addStretch(1);
  column->addLayout(buttons);
  column->addStretch(1);
  connect(create_all, &QPushButton::clicked, this, [this] { SetAll(true); });
  connect(remove_all, &QPushButton::clicked, this, [this] { SetAll(false); });
}

void ShortcutsPage::Open() {
  for (int kind = 0; kind < kShortcutKinds; ++kind) {
    if (maker_.ShortcutExists(kind)) boxes_[kind]->setChecked(true);
  }
}

void ShortcutsPage::Clear() {
  for (QCheckBox* box : boxes_) {
    const QSignalBlocker quiet(box);
    box->setChecked(false);
  }
}

void ShortcutsPage::SetAll(bool ticked) {
  for (QCheckBox* box : boxes_) box->setChecked(ticked);
}

void ShortcutsPage::BoxChanged(int kind, bool ticked) {
  QString error;
  const bool done =
      ticked ? maker_.CreateShortcuts(kind, &error) : maker_.RemoveShortcuts(kind, &error);
  if (done) return;
  // The box goes back to what is really there, without another attempt.
  {
    const QSignalBlocker quiet(boxes_[kind]);
    boxes_[kind]->setChecked(maker_.ShortcutExists(kind));
  }
  const QString what =
      ticked ? QStringLiteral("创建快捷方式失败！") : QStringLiteral("删除快捷方式失败！");
  services_.Prompts().ShowMessage(QStringLiteral("错误"), what + QStringLiteral("\r\n") + error,
                                  MessageIcon::kWarning);
}

}  // namespace zorvanix
