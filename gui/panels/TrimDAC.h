// The DAC trim panel: trims the output current at 4 mA and 20 mA against an external meter and
// clears the trim.
#pragma once

#include <vector>

#include "gui/FontManager.h"
#include "gui/OperationPanel.h"
#include "session/Operations.h"

class QPushButton;

namespace va5 {

class CLblColor;
class CLoopOutput;

// The trim mode starts as none whenever the panel is shown; entering a trim mode fixes the
// output at 4 or 20 mA, and a trim needs one. Closing the panel leaves the fixed mode and
// waits for the output to settle before the panel goes; with the output held at a current it
// asks first, and No closes the panel with the output left as it is.
class CTrimDAC : public COperationPanel, public CFontManager {
  Q_OBJECT

 public:
  explicit CTrimDAC(QWidget* parent = nullptr);

  void Show(bool visible) override;
  // Where the panel tells what its writes did to the output.
  void SetLoopOutput(CLoopOutput* output) { output_ = output; }

 private:
  void Build();
  void UpdateAccessibleNames();
  void EnableButtons();
  void OnConnectionChanged() override;
  void OnDone(const session::Operation& operation) override;

  // Click handlers.
  void OnEnterMode(session::TrimMode mode);
  void OnTrimMeasured();
  void OnClearTrim();
  void OnClose();
  bool OnOtherMessage(const WorkerMessage& message) override;
  void ShowLiveCurrent();

  session::TrimMode mode_ = session::TrimMode::None;
  session::TrimMode requestedMode_ = session::TrimMode::None;  // of the running 429
  CLblColor* title_ = nullptr;
  std::vector<QPushButton*> actions_;
  QPushButton* close_ = nullptr;
  CLoopOutput* output_ = nullptr;
};

}  // namespace va5
