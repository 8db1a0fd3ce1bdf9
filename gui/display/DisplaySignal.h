// The status strip across the top of the main window: the product's three-line name, a row of
// communication lamps and a row of device status lamps, redrawn from every poll.
#pragma once

#include <QColor>
#include <QWidget>
#include <array>
#include <cstdint>

#include "gui/FontManager.h"
#include "gui/display/DisplayValues.h"

class QLabel;

namespace va5 {

class CLblColor;

class CDisplaySignal : public QWidget, public CFontManager {
  Q_OBJECT

 public:
  // The lamps of each row, left to right.
  enum CommLamp : int {
    kComLamp,  // blinks between two greens once per good poll
    kParityLamp,
    kOverrunLamp,
    kFramingLamp,
    kCommSpareLamp,
    kChecksumLamp,
    kBufferLamp,
    kTimeoutLamp,  // no reply
  };
  enum DeviceLamp : int {
    kMalfunctionLamp,
    kConfigChangedLamp,
    kColdStartLamp,
    kDeviceSpareLamp,
    kOutputFixedLamp,
    kOutputSaturatedLamp,
    kNonPvOutOfLimitsLamp,
    kPvOutOfLimitsLamp,
  };
  static constexpr int kLampCount = 8;

  static QColor Red() { return {255, 0, 0}; }
  static QColor Green() { return {64, 191, 0}; }
  static QColor LightGreen() { return {163, 242, 95}; }
  // The colour of a lamp that is off: the button face of the current palette.
  static QColor ButtonFace();

  explicit CDisplaySignal(QWidget* parent = nullptr);

  // A good poll: the device lamps from its status byte, one blink of "COM", "TME" back off,
  // and the comm lamps from the errors gathered since the last refresh.
  void Update(const DisplayValues& values);
  // A refused reply: only the comm lamps, from the gathered errors.
  void ShowCommErrors(std::uint8_t commErrors);
  // No reply: "TME" turns red until the next good poll.
  void ShowNoReply();
  // What the link is: "Off line" with every lamp grey, or the connected device (port, polling
  // address, tag) with the lamps from the next poll on.
  void ShowLink(const QString& text, bool online);
  QString LinkText() const;
  // "Output fixed at 12.000 mA" in a colour that stands out, while the output is held at a
  // current (a fixed current or a DAC trim mode); cleared when it returns to normal.
  void ShowFixedOutput(double milliamps);
  void ClearFixedOutput();
  // The text shown, empty while the output is normal.
  QString FixedOutputText() const;

  // Applies the language's texts (layout 147).
  void Localise();

  CLblColor* CommLampAt(int index) const { return commLamps_[index]; }
  CLblColor* DeviceLampAt(int index) const { return deviceLamps_[index]; }

 private:
  static void Light(CLblColor* lamp, const QColor& colour);

  void ShowFixedText();

  QLabel* link_;
  CLblColor* fixed_;
  double fixedCurrent_ = 0;
  bool outputFixed_ = false;
  std::array<CLblColor*, kLampCount> commLamps_{};
  std::array<CLblColor*, kLampCount> deviceLamps_{};
};

}  // namespace va5
