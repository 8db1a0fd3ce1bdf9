// The four values that survive between runs, in the per-user store ("Kerrin" / "VA5VIVI",
// group "Settings"): the registry on Windows, an INI file in the XDG config folder elsewhere.
// Beside them the technician's name for the job record, written on its own.
#pragma once

#include <QLocale>
#include <QString>

namespace va5 {

class CAppSettings {
 public:
  // `locale` decides the default language when none is stored.
  explicit CAppSettings(const QLocale& locale = QLocale::system());

  void Load();
  // Writes all four values, in the order language file, language name, port, address.
  void Save() const;

  QString LanguageFile() const { return languageFile_; }
  QString LanguageName() const { return languageName_; }
  QString ComPort() const { return comPort_; }
  QString PollingAddr() const { return pollingAddr_; }

  // Setters change memory only; the caller saves at once.
  void SetLanguageFile(const QString& value) { languageFile_ = value; }
  void SetLanguageName(const QString& value) { languageName_ = value; }
  void SetComPort(const QString& value) { comPort_ = value; }
  void SetPollingAddr(const QString& value) { pollingAddr_ = value; }

  // The name the last job record was saved with. It is written alone (SaveTechnician), so that
  // another copy of the settings saving its four values cannot put back an older name.
  QString Technician() const { return technician_; }
  void SetTechnician(const QString& value) { technician_ = value; }
  void SaveTechnician() const;

 private:
  QLocale locale_;
  QString languageFile_;
  QString languageName_;
  QString comPort_;
  QString pollingAddr_;
  QString technician_;
};

}  // namespace va5
