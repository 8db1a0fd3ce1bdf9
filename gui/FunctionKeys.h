// The column of function keys on the right of the main window.
#pragma once

#include <QWidget>
#include <map>
#include <set>

#include "gui/FontManager.h"

class QPushButton;

namespace va5 {

class CBusyFilter;
class CLblColor;

class CFunctionKeys : public QWidget, public CFontManager {
  Q_OBJECT

 public:
  explicit CFunctionKeys(QWidget* parent = nullptr);

  // The keys' control identifiers from top to bottom.
  static const std::vector<int>& KeyIds();

  // A key whose window exists; the others stay disabled whatever the device. "Connect" and
  // "Exit" are always available.
  void SetAvailable(int keyId, bool available);
  bool Available(int keyId) const { return available_.count(keyId) != 0; }

  // The connected device decides the device keys: any device for the common functions, model
  // "TQ5R" for the sensor calibration, the tables and the polling address.
  void SetDevice(bool connected, bool configurable);

  // Localises the keys and sets every key by the rules; then shows or hides the column.
  void Show(bool visible);
  // Every key off but "Exit" (a function panel is open).
  void DisableAll();

  // Input to the keys is dropped while `busy` says so.
  void SetBusyTest(std::function<bool()> busy);

  QPushButton* Key(int keyId) const;

 signals:
  void keyPressed(int keyId);

 private:
  bool Rule(int keyId) const;
  void ApplyRules();

  CLblColor* heading_;
  std::map<int, QPushButton*> keys_;
  std::set<int> available_;
  bool connected_ = false;
  bool configurable_ = false;
  CBusyFilter* filter_ = nullptr;
};

}  // namespace va5
