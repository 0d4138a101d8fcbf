// The program speaks Chinese throughout: Qt's own texts (the buttons of
// message boxes, the file dialogs) come from Qt's Chinese translations.
#pragma once

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

namespace zorvanix {

// Loads Qt's Simplified Chinese translations into the application; false when
// they are not installed (the texts then stay Qt's English).
inline bool InstallChineseTranslations() {
  auto* translator = new QTranslator(QCoreApplication::instance());
  if (!translator->load(QLocale(QLocale::Chinese, QLocale::China), QStringLiteral("qtbase"),
                        QStringLiteral("_"),
                        QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
    delete translator;
    return false;
  }
  return QCoreApplication::installTranslator(translator);
}

}  // namespace zorvanix
