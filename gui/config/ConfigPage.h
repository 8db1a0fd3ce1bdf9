// What the two pages of the configuration file editor share: a grid of rows with a file
// column and a device column, each value a coloured label, "CHG" buttons that edit one side,
// "<" and ">" that copy a row, and the buttons along the top, which act on both pages through
// the editor (ConfigEditor.h).
#pragma once

#include <QColor>
#include <array>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "gui/FontManager.h"
#include "gui/Panel.h"
#include "offline/ConfigEditorModel.h"
#include "offline/FilePropertyReadWrite.h"
#include "session/ConfigOperations.h"
#include "session/Setting.h"

class QGridLayout;

namespace va5 {

class CConfigEditor;
class CLblColor;

// The entry a "CHG" button opens.
enum class ConfigEditorKind {
  None,
  Tag,
  Descriptor,
  Message,
  Date,
  Sensor,
  PvUnit,
  Range,
  Damping,
  TransferFunction,
  Burnout,
  TerminalUnit,
  CjcMode,
  SerialNumber,
  FinalAssembly,
};

// One line of a row: its name, its value label on each side and the unit label beside it
// (a copy of the PV unit, or a fixed text such as "Sec").
struct ConfigLine {
  int nameId;
  int fileId;
  int deviceId;
  ConfigMember value;
  int fileUnitId = 0;
  int deviceUnitId = 0;
  bool unitIsPvUnit = false;
  bool tall = false;  // two text lines high
};

// A "CHG" button on each side over `lines` lines from `firstLine` of its row.
struct ConfigChange {
  int fileId;
  int deviceId;
  ConfigEditorKind kind;
  int firstLine = 0;
  int lines = 1;
};

struct ConfigRowSpec {
  std::vector<ConfigLine> lines;
  std::vector<ConfigChange> changes;
  int toFileId;
  int toDeviceId;
  std::vector<session::ConfigRow> downloads;  // the writes that carry it
  bool editable = true;                       // false: only "<" (the device identification)
};

struct ConfigPageSpec {
  int layout;
  int pageNumber;
  // EXIT, Page, Read File, Write File, Upload, Download, Compare (file), All Copy <<,
  // >> All Copy, Compare (device).
  std::array<int, 10> buttons;
  std::array<int, 7> decorations;  // the three headings, their three strips, the page number
  std::vector<ConfigRowSpec> rows;
};

class CConfigPage : public CPanel, public CFontManager {
  Q_OBJECT

 public:
  static const QColor kChanged;    // light yellow: changed by "CHG" or a copy
  static const QColor kDifferent;  // pink: differs from the other side after "Compare"

  CConfigPage(CConfigEditor& editor, ConfigPageSpec spec, QWidget* parent = nullptr);

  void Show(bool visible) override;
  bool OnWorkerMessage(const WorkerMessage& message) override;

  // Shows the editor's model: each value with the colour of its mark and its note as tool tip.
  void ShowModel();
  // After a download, in the editor's model: rows written take what the device holds (when
  // `refreshed`; otherwise they turn plain), the row that failed is marked different with its
  // reason as note; rows not reached keep their marks.
  void MarkDownload(const std::array<session::ConfigRowOutcome, session::ConfigRowCount>& rows,
                    const ConfigurationValues& refreshed, bool isRefreshed);

  // Every row of this page copied towards `to` in the model ("All Copy"); ">> All Copy" leaves
  // the identification.
  void CopyAll(ConfigSide to);

  CLblColor* Value(int id) const;
  QColor ButtonFace() const;
  // The unit written into configuration files beside `value`: "Sec" for the damping, which
  // files spell in English whatever the window shows; otherwise the file column's unit label.
  QString FileUnitText(ConfigMember value) const;

 private:
  void Build();
  QPushButton* AddButton(int id, std::function<void()> handler);
  CLblColor* AddValue(int id);
  QLabel* AddText(int id);
  void UpdateAccessibleNames();
  // The names of `count` lines of `row` from `first`, for the buttons that act on them.
  QString LinesName(const ConfigRowSpec& row, int first, int count) const;

  ConfigEditorModel& Model() const;
  const std::string& Shown(ConfigSide side, ConfigMember value) const;
  // The values a row shows (the unit beside a range is its row's PV unit line).
  static std::vector<ConfigMember> Members(const ConfigRowSpec& row);
  void CopyRow(const ConfigRowSpec& row, ConfigSide to);
  void ShowValue(CLblColor* label, ConfigSide side, ConfigMember value);
  void SetColour(CLblColor* label, const QColor& colour);

  void Edit(ConfigSide side, ConfigEditorKind kind);
  bool AskText(ConfigSide side, ConfigMember value, const char* title, const char* prompt,
               std::size_t length, bool date);
  bool AskNumber(ConfigSide side, ConfigMember value, const char* title, const char* prompt,
                 double maximum, double minimum, std::optional<session::Setting> setting);
  bool Choose(ConfigSide side, ConfigMember value, const char* title, const StringTable& names,
              const StringTable& codes);
  void EditSensor(ConfigSide side);
  void EditPvUnit(ConfigSide side);
  void EditRange(ConfigSide side);
  // The panels' own check of an entry; a refusal is shown and false returned.
  // `packed`, when given, receives the text as the device will hold it (upper case, without
  // the padding).
  bool Accepted(session::Setting setting, const std::vector<std::string>& values,
                std::string* packed = nullptr);

  CConfigEditor& editor_;
  ConfigPageSpec spec_;
  std::map<int, QWidget*> controls_;
  std::vector<CLblColor*> decorations_;
};

}  // namespace va5
