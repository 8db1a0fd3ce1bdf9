// The values that survive between runs, in the per-user store ("Kerrin" / "VA5VIVI",
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
  // Writes all values, in the order language file, language name, port, address, loop
  // question.
  void Save() const;
  // Writes the loop question's switch alone, the moment the technician changes it.
  void SaveConfirmLoopChange() const;
  // The switch as the store holds it now (on when never stored): the loop question reads it
  // each time it would ask.
  static bool StoredConfirmLoopChange();

  QString LanguageFile() const { return languageFile_; }
  QString LanguageName() const { return languageName_; }
  QString ComPort() const { return comPort_; }
  QString PollingAddr() const { return pollingAddr_; }
  // Whether a write that can move the loop asks first (off for bench work).
  bool ConfirmLoopChange() const { return confirmLoopChange_; }

  // Setters change memory only; the caller saves at once.
  void SetLanguageFile(const QString& value) { languageFile_ = value; }
  void SetLanguageName(const QString& value) { languageName_ = value; }
  void SetComPort(const QString& value) { comPort_ = value; }
  void SetPollingAddr(const QString& value) { pollingAddr_ = value; }
  void SetConfirmLoopChange(bool on) { confirmLoopChange_ = on; }

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
  bool confirmLoopChange_ = true;
};

}  // namespace va5
