#include "gui/QtTranslations.h"

#include <QCoreApplication>
#include <QDir>
#include <QLibraryInfo>
#include <QStringList>
#include <QTranslator>
#include <memory>

#include "lang/ResourceDatabase.h"

namespace va5 {
namespace {

// The one translator of Qt's texts that the application has installed, if any.
std::unique_ptr<QTranslator>& Installed() {
  static std::unique_ptr<QTranslator> translator;
  return translator;
}

// Where Qt's translations are: Qt's own folder (Debian's qt6-translations-l10n), then a
// "translations" folder beside the program, as a Windows installation carries it.
QStringList TranslationFolders() {
  return {QLibraryInfo::path(QLibraryInfo::TranslationsPath),
          QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("translations"))};
}

std::unique_ptr<QTranslator> LoadQtBase(const QString& locale) {
  auto translator = std::make_unique<QTranslator>();
  for (const QString& folder : TranslationFolders()) {
    if (translator->load(QStringLiteral("qtbase_") + locale, folder)) return translator;
  }
  return nullptr;
}

}  // namespace

QString ApplyQtTranslations(const CResourceDatabase& database) {
  std::unique_ptr<QTranslator>& installed = Installed();
  if (installed) {
    QCoreApplication::removeTranslator(installed.get());
    installed.reset();
  }
  const QString locale = QString::fromStdString(database.GetLocaleName());
  // English is the language Qt's texts are written in: nothing to load.
  if (!locale.isEmpty() && !locale.startsWith(QLatin1String("en"))) {
    installed = LoadQtBase(locale);
    if (installed) QCoreApplication::installTranslator(installed.get());
  }
  QCoreApplication::setAttribute(Qt::AA_DontUseNativeDialogs, installed != nullptr);
  return installed ? locale : QString();
}

}  // namespace va5
