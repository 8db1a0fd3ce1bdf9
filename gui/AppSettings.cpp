#include "gui/AppSettings.h"

#include <QSettings>

namespace va5 {
namespace {

constexpr const char* kOrganisation = "Kerrin";
constexpr const char* kApplication = "VA5VIVI";
constexpr const char* kGroup = "Settings";
constexpr const char* kConfirmLoopChange = "ConfirmLoopChange";

QString ReadText(QSettings& store, const char* name, const QString& fallback) {
  return store.value(QLatin1String(name), fallback).toString();
}

}  // namespace

CAppSettings::CAppSettings(const QLocale& locale) : locale_(locale) {}

void CAppSettings::Load() {
  QSettings store{QLatin1String(kOrganisation), QLatin1String(kApplication)};
  store.beginGroup(QLatin1String(kGroup));
  languageFile_ = ReadText(store, "DisplayLanguage", QString());
  if (languageFile_.isEmpty()) {
    const bool japanese = locale_.language() == QLocale::Japanese;
    languageFile_ = japanese ? QStringLiteral("Japanese.lng") : QStringLiteral("English.lng");
    languageName_ = japanese ? QStringLiteral("Japanese") : QStringLiteral("English");
  } else {
    languageName_ = ReadText(store, "DisplayLanguageName", QString());
  }
  comPort_ = ReadText(store, "COMPort", QStringLiteral("COM1"));
  pollingAddr_ = ReadText(store, "PollingAddr", QStringLiteral("0"));
  technician_ = ReadText(store, "Technician", QString());
  confirmLoopChange_ = store.value(QLatin1String(kConfirmLoopChange), true).toBool();
}

void CAppSettings::Save() const {
  QSettings store{QLatin1String(kOrganisation), QLatin1String(kApplication)};
  store.beginGroup(QLatin1String(kGroup));
  store.setValue(QStringLiteral("DisplayLanguage"), languageFile_);
  store.setValue(QStringLiteral("DisplayLanguageName"), languageName_);
  store.setValue(QStringLiteral("COMPort"), comPort_);
  store.setValue(QStringLiteral("PollingAddr"), pollingAddr_);
  store.setValue(QLatin1String(kConfirmLoopChange), confirmLoopChange_);
  // A failed write is not reported; the values stay in memory.
}

void CAppSettings::SaveTechnician() const {
  QSettings store{QLatin1String(kOrganisation), QLatin1String(kApplication)};
  store.beginGroup(QLatin1String(kGroup));
  store.setValue(QStringLiteral("Technician"), technician_);
}

void CAppSettings::SaveConfirmLoopChange() const {
  QSettings store{QLatin1String(kOrganisation), QLatin1String(kApplication)};
  store.beginGroup(QLatin1String(kGroup));
  store.setValue(QLatin1String(kConfirmLoopChange), confirmLoopChange_);
}

bool CAppSettings::StoredConfirmLoopChange() {
  QSettings store{QLatin1String(kOrganisation), QLatin1String(kApplication)};
  store.beginGroup(QLatin1String(kGroup));
  return store.value(QLatin1String(kConfirmLoopChange), true).toBool();
}

}  // namespace va5
