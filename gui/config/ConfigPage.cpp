#include "gui/config/ConfigPage.h"

#include <QApplication>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QStringList>
#include <QVBoxLayout>
#include <utility>

#include "base/NumberText.h"
#include "comm/RequestTypes.h"
#include "gui/LblColor.h"
#include "gui/Localise.h"
#include "gui/MessageBox.h"
#include "gui/OperationPanel.h"
#include "gui/SelectListBox.h"
#include "gui/ValidateNumber.h"
#include "gui/ValidateText.h"
#include "gui/config/ConfigEditor.h"
#include "lang/EntryRules.h"
#include "lang/ResourceDatabase.h"
#include "session/Setting.h"

namespace va5 {

using session::ConfigRowOutcome;
using session::Setting;
using V = ConfigurationValues;

namespace {

// Grid columns: name | file value, unit, CHG | < | > | device value, unit, CHG.
constexpr int kNameColumn = 0;
constexpr int kFileColumn = 1;
constexpr int kToFileColumn = 4;
constexpr int kToDeviceColumn = 5;
constexpr int kDeviceColumn = 6;
constexpr int kFirstRow = 2;  // under the headings and their strips

// The editor's own bound of a range entry (the device's limits apply when it is written).
constexpr double kRangeLimit = 99999.0;

const QColor kHeadingColours[3] = {{120, 184, 210}, {220, 211, 184}, {203, 182, 128}};

QString Title(const char* key) { return ToQString(GetTitleMsg(key)); }
QString Prompt(const char* key) { return ToQString(GetDisplayMsg(key)); }

int Id(const ConfigLine& line, ConfigSide side) {
  return side == ConfigSide::File ? line.fileId : line.deviceId;
}
int UnitId(const ConfigLine& line, ConfigSide side) {
  return side == ConfigSide::File ? line.fileUnitId : line.deviceUnitId;
}

}  // namespace

const QColor CConfigPage::kChanged(255, 255, 128);
const QColor CConfigPage::kDifferent(253, 164, 181);

CConfigPage::CConfigPage(CConfigEditor& editor, ConfigPageSpec spec, QWidget* parent)
    : CPanel(spec.layout, ReplyFileEditor, parent), editor_(editor), spec_(std::move(spec)) {
  Build();
}

QColor CConfigPage::ButtonFace() const { return QApplication::palette().color(QPalette::Button); }

CLblColor* CConfigPage::Value(int id) const {
  const auto found = controls_.find(id);
  return found == controls_.end() ? nullptr : qobject_cast<CLblColor*>(found->second);
}

QPushButton* CConfigPage::AddButton(int id, std::function<void()> handler) {
  QPushButton* button = MakePanelButton("", id, this);
  button->setMinimumHeight(0);
  connect(button, &QPushButton::clicked, this, std::move(handler));
  controls_[id] = button;
  return button;
}

QLabel* CConfigPage::AddText(int id) {
  auto* label = new QLabel(this);
  SetControlId(label, id);
  controls_[id] = label;
  return label;
}

CLblColor* CConfigPage::AddValue(int id) {
  auto* label = new CLblColor(this);
  SetControlId(label, id);
  label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  label->setMinimumWidth(120);
  label->setTextInteractionFlags(Qt::TextSelectableByMouse);
  controls_[id] = label;
  return label;
}

void CConfigPage::Build() {
  auto* outer = new QVBoxLayout(this);
  outer->setContentsMargins(6, 6, 6, 6);
  const auto& b = spec_.buttons;
  const auto& d = spec_.decorations;

  auto* top = new QHBoxLayout;
  top->addWidget(AddButton(b[0], [this] { editor_.Exit(); }));
  top->addWidget(AddButton(b[1], [this] { editor_.OtherPage(this); }));
  auto* number = new CLblColor(QString::number(spec_.pageNumber), this);
  SetControlId(number, d[6]);
  number->setAlignment(Qt::AlignCenter);
  number->setMinimumWidth(24);
  decorations_.push_back(number);
  top->addWidget(number);
  top->addStretch(1);
  top->addWidget(AddButton(b[2], [this] { editor_.ReadFile(); }));
  top->addWidget(AddButton(b[3], [this] { editor_.WriteFile(); }));
  top->addWidget(AddButton(b[4], [this] { editor_.Upload(); }));
  top->addWidget(AddButton(b[5], [this] { editor_.Download(); }));
  outer->addLayout(top);

  auto* grid = new QGridLayout;
  grid->setHorizontalSpacing(4);
  grid->setVerticalSpacing(3);
  outer->addLayout(grid);
  // The headings, each with a coloured strip under it.
  const int spans[3][2] = {{kNameColumn, 1}, {kFileColumn, 3}, {kDeviceColumn, 3}};
  for (int i = 0; i < 3; ++i) {
    for (int strip = 0; strip < 2; ++strip) {
      auto* label = new CLblColor(this);
      SetControlId(label, d[static_cast<std::size_t>(i + 3 * strip)]);
      QFont font = label->font();
      MakeFont(font, strip == 0 ? 100 : 20, strip == 0 ? 700 : 400);
      label->SetLook(font, kHeadingColours[i], Qt::black);
      label->setAlignment(Qt::AlignCenter);
      if (strip == 1) label->setFixedHeight(4);
      decorations_.push_back(label);
      grid->addWidget(label, strip, spans[i][0], 1, spans[i][1]);
    }
  }

  int gridRow = kFirstRow;
  for (const ConfigRowSpec& row : spec_.rows) {
    const int lines = static_cast<int>(row.lines.size());
    for (int i = 0; i < lines; ++i) {
      const ConfigLine& line = row.lines[static_cast<std::size_t>(i)];
      grid->addWidget(AddText(line.nameId), gridRow + i, kNameColumn);
      for (ConfigSide side : {ConfigSide::File, ConfigSide::Device}) {
        const int column = side == ConfigSide::File ? kFileColumn : kDeviceColumn;
        CLblColor* value = AddValue(Id(line, side));
        if (line.tall) {
          value->setWordWrap(true);
          value->setMinimumHeight(2 * value->fontMetrics().lineSpacing() + 6);
        }
        grid->addWidget(value, gridRow + i, column);
        if (UnitId(line, side) != 0) {
          CLblColor* unit = AddValue(UnitId(line, side));
          unit->setMinimumWidth(48);
          grid->addWidget(unit, gridRow + i, column + 1);
        }
      }
    }
    for (const ConfigChange& change : row.changes) {
      QPushButton* file =
          AddButton(change.fileId, [this, kind = change.kind] { Edit(ConfigSide::File, kind); });
      QPushButton* device = AddButton(
          change.deviceId, [this, kind = change.kind] { Edit(ConfigSide::Device, kind); });
      file->setEnabled(row.editable);
      device->setEnabled(row.editable);
      grid->addWidget(file, gridRow + change.firstLine, kFileColumn + 2, change.lines, 1);
      grid->addWidget(device, gridRow + change.firstLine, kDeviceColumn + 2, change.lines, 1);
    }
    QPushButton* toFile = AddButton(row.toFileId, [this, &row] { CopyRow(row, ConfigSide::File); });
    QPushButton* toDevice =
        AddButton(row.toDeviceId, [this, &row] { CopyRow(row, ConfigSide::Device); });
    toDevice->setEnabled(row.editable);
    for (QPushButton* arrow : {toFile, toDevice}) {
      arrow->setMinimumWidth(36);
      arrow->setMaximumWidth(48);
    }
    grid->addWidget(toFile, gridRow, kToFileColumn, lines, 1);
    grid->addWidget(toDevice, gridRow, kToDeviceColumn, lines, 1);
    gridRow += lines;
  }

  grid->addWidget(AddButton(b[6], [this] { editor_.CompareAll(ConfigSide::File); }), gridRow,
                  kFileColumn, 1, 3);
  auto* copies = new QHBoxLayout;
  copies->setSpacing(12);
  copies->addWidget(AddButton(b[7], [this] { editor_.CopyAll(ConfigSide::File); }));
  copies->addWidget(AddButton(b[8], [this] { editor_.CopyAll(ConfigSide::Device); }));
  grid->addLayout(copies, gridRow + 1, kFileColumn, 1, 8, Qt::AlignHCenter);
  grid->addWidget(AddButton(b[9], [this] { editor_.CompareAll(ConfigSide::Device); }), gridRow,
                  kDeviceColumn, 1, 3);
  grid->setColumnStretch(kFileColumn, 1);
  grid->setColumnStretch(kDeviceColumn, 1);
  outer->addStretch(1);
}

QString CConfigPage::LinesName(const ConfigRowSpec& row, int first, int count) const {
  QStringList names;
  for (int i = first; i < first + count && i < static_cast<int>(row.lines.size()); ++i) {
    names << static_cast<QLabel*>(controls_.at(row.lines[static_cast<std::size_t>(i)].nameId))
                 ->text();
  }
  return names.join(QStringLiteral(" / "));
}

void CConfigPage::UpdateAccessibleNames() {
  for (auto& [id, widget] : controls_) {
    if (auto* button = qobject_cast<QPushButton*>(widget))
      button->setAccessibleName(button->text());
  }
  // decorations_: the page number, then each heading followed by its strip.
  const std::string file = decorations_[3]->text().toStdString();
  const std::string device = decorations_[5]->text().toStdString();
  const auto column = [&](ConfigSide side) { return side == ConfigSide::File ? file : device; };
  for (const ConfigRowSpec& row : spec_.rows) {
    for (const ConfigLine& line : row.lines) {
      const std::string name =
          static_cast<QLabel*>(controls_.at(line.nameId))->text().toStdString();
      for (ConfigSide side : {ConfigSide::File, ConfigSide::Device}) {
        controls_.at(Id(line, side))
            ->setAccessibleName(DisplayText("Acc_Column_Value", "%1 (%2)", {name, column(side)}));
        if (UnitId(line, side) != 0) {
          CLblColor* unit = Value(UnitId(line, side));
          unit->setAccessibleName(
              DisplayText("Acc_Column_Unit", "%1 (%2) unit", {name, column(side)}));
          // The damping's unit is a caption of the language, not a value the program sets.
          unit->setAccessibleDescription(unit->text());
        }
      }
    }
    // Twelve rows with a "CHG" on each side and a "<" and ">" each: every one says which row
    // and which side it acts on.
    for (const ConfigChange& change : row.changes) {
      const std::string rowName = LinesName(row, change.firstLine, change.lines).toStdString();
      for (ConfigSide side : {ConfigSide::File, ConfigSide::Device}) {
        auto* button = static_cast<QPushButton*>(
            controls_.at(side == ConfigSide::File ? change.fileId : change.deviceId));
        button->setAccessibleName(DisplayText(
            "Acc_Change", "%1 %2 (%3)",
            {button->text().remove(QLatin1Char('&')).toStdString(), rowName, column(side)}));
      }
    }
    const std::string rowName = LinesName(row, 0, static_cast<int>(row.lines.size())).toStdString();
    controls_.at(row.toFileId)
        ->setAccessibleName(DisplayText("Acc_Copy_To_File", "< Copy %1 to the file", {rowName}));
    controls_.at(row.toDeviceId)
        ->setAccessibleName(
            DisplayText("Acc_Copy_To_Device", "Copy %1 to the device >", {rowName}));
  }
}

void CConfigPage::Show(bool visible) {
  if (visible) {
    LocaliseWindow(Layout(), this);
    // Values and unit labels in the 9 pt normal font.
    QFont font;
    MakeFont(font, 90, 400);
    for (auto& [id, widget] : controls_) {
      if (auto* value = qobject_cast<CLblColor*>(widget)) {
        value->SetLook(font, value->Background(), value->TextColor());
      }
    }
    decorations_.front()->setText(QString::number(spec_.pageNumber));
    UpdateAccessibleNames();
  }
  setVisible(visible);
  if (visible) controls_.at(spec_.buttons[0])->setFocus(Qt::OtherFocusReason);
}

bool CConfigPage::OnWorkerMessage(const WorkerMessage& message) {
  return editor_.OnWorkerMessage(message);
}

// ---- values ------------------------------------------------------------------------------

ConfigEditorModel& CConfigPage::Model() const { return editor_.Model(); }

const std::string& CConfigPage::Shown(ConfigSide side, ConfigMember value) const {
  return Model().Value(side, value);
}

std::vector<ConfigMember> CConfigPage::Members(const ConfigRowSpec& row) {
  std::vector<ConfigMember> members;
  for (const ConfigLine& line : row.lines) members.push_back(line.value);
  return members;
}

QString CConfigPage::FileUnitText(ConfigMember value) const {
  // Files spell the damping's unit in English whatever the window shows beside it, so that a
  // file reads the same in every language.
  if (value == &V::damping) return ToQString(ConfigurationValues{}.dampingUnit);
  for (const ConfigRowSpec& row : spec_.rows)
    for (const ConfigLine& line : row.lines)
      if (line.value == value && line.fileUnitId != 0) return Value(line.fileUnitId)->text();
  return {};
}

void CConfigPage::ShowValue(CLblColor* label, ConfigSide side, ConfigMember value) {
  SetShownValue(label, ToQString(Shown(side, value)));
  label->setToolTip(ToQString(Model().Note(side, value)));
  switch (Model().MarkOf(side, value)) {
    case ConfigEditorModel::Mark::Plain:
      SetColour(label, ButtonFace());
      break;
    case ConfigEditorModel::Mark::Changed:
      SetColour(label, kChanged);
      break;
    case ConfigEditorModel::Mark::Different:
      SetColour(label, kDifferent);
      break;
  }
}

void CConfigPage::ShowModel() {
  for (const ConfigRowSpec& row : spec_.rows) {
    for (const ConfigLine& line : row.lines) {
      for (ConfigSide side : {ConfigSide::File, ConfigSide::Device}) {
        ShowValue(Value(Id(line, side)), side, line.value);
        // A unit beside a range is the PV unit, shown and marked as it is.
        if (line.unitIsPvUnit) ShowValue(Value(UnitId(line, side)), side, &V::pvUnit);
      }
    }
  }
}

void CConfigPage::MarkDownload(const std::array<ConfigRowOutcome, session::ConfigRowCount>& rows,
                               const ConfigurationValues& refreshed, bool isRefreshed) {
  for (const ConfigRowSpec& row : spec_.rows) {
    if (row.downloads.empty()) continue;
    const ConfigRowOutcome* failed = nullptr;
    bool written = true;
    for (session::ConfigRow write : row.downloads) {
      const ConfigRowOutcome& outcome = rows[static_cast<std::size_t>(write)];
      if (outcome.state == ConfigRowOutcome::State::Failed && failed == nullptr) failed = &outcome;
      written = written && outcome.state == ConfigRowOutcome::State::Written;
    }
    const std::vector<ConfigMember> members = Members(row);
    if (failed != nullptr) {
      Model().SetMark(ConfigSide::Device, members, ConfigEditorModel::Mark::Different,
                      failed->reason ? failed->reason->text : std::string());
    } else if (written) {
      if (isRefreshed) {
        Model().Load(ConfigSide::Device, refreshed, members);
      } else {
        Model().SetMark(ConfigSide::Device, members, ConfigEditorModel::Mark::Plain);
      }
    }
  }
}

void CConfigPage::SetColour(CLblColor* label, const QColor& colour) {
  label->SetLook(label->font(), colour, label->TextColor());
}

// ---- copy --------------------------------------------------------------------------------

void CConfigPage::CopyRow(const ConfigRowSpec& row, ConfigSide to) {
  Model().Copy(to, Members(row));
  editor_.ShowModel();
}

void CConfigPage::CopyAll(ConfigSide to) {
  for (const ConfigRowSpec& row : spec_.rows) {
    if (to == ConfigSide::Device && !row.editable) continue;
    Model().Copy(to, Members(row));
  }
}

// ---- the entries -------------------------------------------------------------------------

bool CConfigPage::Accepted(Setting setting, const std::vector<std::string>& values,
                           std::string* packed) {
  const session::SettingCheck check = session::CheckSetting(editor_.Tables(), setting, values);
  if (!check.reason) {
    if (packed != nullptr) {
      *packed = check.entry.packed;
      packed->erase(packed->find_last_not_of(' ') + 1);
    }
    return true;
  }
  const UIMessageText message = MessageOfReason(*check.reason);
  ShowUIMessage(
      this, message.key, message.args,
      check.reason->kind == session::ReasonKind::NotPackedText ? kStyleOk : kStyleOkExclamation);
  return false;
}

bool CConfigPage::AskText(ConfigSide side, ConfigMember value, const char* title,
                          const char* prompt, std::size_t length, bool date) {
  if (!date) SetMaximumTextLength(std::to_string(length));
  CValidateText entry(this);
  entry.Setup(Title(title), Prompt(prompt), ToQString(Shown(side, value)), !date, date);
  if (entry.exec() != QDialog::Accepted) return false;
  QString text = entry.Text().trimmed();
  // The texts go to the device as the detailed information panel sends them, and the column
  // holds them as the device will (upper case), so that a compare after a download agrees.
  const std::optional<Setting> setting = value == &V::tag          ? Setting::Tag
                                         : value == &V::descriptor ? Setting::Descriptor
                                         : value == &V::message    ? Setting::Message
                                                                   : std::optional<Setting>();
  if (setting) {
    std::string packed;
    if (!Accepted(*setting, {text.toStdString()}, &packed)) return false;
    text = ToQString(packed);
  }
  Model().Edit(side, value, text.toStdString());
  return true;
}

bool CConfigPage::AskNumber(ConfigSide side, ConfigMember value, const char* title,
                            const char* prompt, double maximum, double minimum,
                            std::optional<Setting> setting) {
  CValidateNumber entry(this);
  entry.Setup(Title(title), Prompt(prompt), maximum, minimum, ToQString(Shown(side, value)), true,
              false);
  if (entry.exec() != QDialog::Accepted) return false;
  // Serial and final assembly numbers are sent as their whole part, as the panels send them.
  const bool whole = setting == Setting::SerialNumber || setting == Setting::FinalAssembly;
  const std::string text = whole ? std::to_string(ReadCInteger(entry.ValueText().toStdString()))
                                 : entry.ValueText().toStdString();
  if (setting && !Accepted(*setting, {text})) return false;
  Model().Edit(side, value, text);
  return true;
}

bool CConfigPage::Choose(ConfigSide side, ConfigMember value, const char* title,
                         const StringTable& names, const StringTable& codes) {
  CSelectListBox list(this);
  list.SetupByName(Title(title), names, codes, ToQString(Shown(side, value)));
  if (list.exec() != QDialog::Accepted || list.SelectedIndex() < 0) return false;
  Model().Edit(side, value, names[static_cast<std::size_t>(list.SelectedIndex())]);
  return true;
}

void CConfigPage::EditSensor(ConfigSide side) {
  const CglobalFile& t = editor_.Tables();
  CSelectListBox list(this);
  list.SetupByName(Title("Select_Sensor_Type"), t.SensorTypeNames(), t.SensorTypeCodes(),
                   ToQString(Shown(side, &V::sensorType)));
  if (list.exec() != QDialog::Accepted || list.SelectedIndex() < 0) return;
  const int index = list.SelectedIndex();
  const auto at = static_cast<std::size_t>(index);
  // Resistance sensors ask for their wiring; the others have theirs fixed.
  QString wires;
  if (const int fixed = CglobalFile::FixedWiringOfSensorIndex(index); fixed != 0) {
    wires = ToQString(CglobalFile::NameOfCode(t.WiringNames(), t.WiringCodes(), fixed));
  } else {
    CSelectListBox wiring(this);
    wiring.SetupByName(Title("Select_Wire_Type"), t.WiringNames(), t.WiringCodes(),
                       ToQString(Shown(side, &V::sensorWires)));
    if (wiring.exec() != QDialog::Accepted || wiring.SelectedIndex() < 0) return;
    wires = ToQString(t.WiringNames()[static_cast<std::size_t>(wiring.SelectedIndex())]);
  }
  // The sensor's offline defaults follow it.
  ConfigurationValues defaults;
  defaults.sensorType = t.SensorTypeNames()[at];
  defaults.sensorWires = wires.toStdString();
  defaults.pvUnit = t.SensorDefaultUnits()[at];
  defaults.upperRange = t.SensorDefaultUpper()[at];
  defaults.lowerRange = t.SensorDefaultLower()[at];
  for (ConfigMember value :
       {&V::sensorType, &V::sensorWires, &V::pvUnit, &V::upperRange, &V::lowerRange}) {
    Model().Edit(side, value, defaults.*value);
  }
}

void CConfigPage::EditPvUnit(ConfigSide side) {
  const CglobalFile& t = editor_.Tables();
  const std::string before = Shown(side, &V::pvUnit);
  // The units offered are those of the sensor shown in the same column.
  const int sensor = CglobalFile::IndexOfName(t.SensorTypeNames(), Shown(side, &V::sensorType));
  const UnitFamily family = CglobalFile::FamilyOfSensorIndex(sensor);
  if (!Choose(side, &V::pvUnit, "Select_PV_Unit", t.FamilyNames(family), t.FamilyCodes(family))) {
    return;
  }
  if (family != UnitFamily::Temperature) return;
  if (const auto converted =
          ConvertRangeTexts(t, before, Shown(side, &V::pvUnit), Shown(side, &V::upperRange),
                            Shown(side, &V::lowerRange))) {
    Model().Edit(side, &V::upperRange, converted->first);
    Model().Edit(side, &V::lowerRange, converted->second);
  }
}

void CConfigPage::EditRange(ConfigSide side) {
  if (!AskNumber(side, &V::upperRange, "Set_PV_Upper_Range_File", "Set_PV_Upper_Range", kRangeLimit,
                 -kRangeLimit, std::nullopt)) {
    return;
  }
  AskNumber(side, &V::lowerRange, "Set_PV_Lower_Range_File", "Set_PV_Lower_Range", kRangeLimit,
            -kRangeLimit, std::nullopt);
}

void CConfigPage::Edit(ConfigSide side, ConfigEditorKind kind) {
  const CglobalFile& t = editor_.Tables();
  using K = ConfigEditorKind;
  switch (kind) {
    case K::None:
      break;
    case K::Tag:
      AskText(side, &V::tag, "Set_Tag_Text_Title", "Set_TAG_Text", TagLength, false);
      break;
    case K::Descriptor:
      AskText(side, &V::descriptor, "Set_Description_Text_Title", "Set_Description_Text",
              DescriptorLength, false);
      break;
    case K::Message:
      AskText(side, &V::message, "Set_Message_Text_Title", "Set_Message_Text", MessageLength,
              false);
      break;
    case K::Date:
      AskText(side, &V::date, "Set_Date_Text_Title", "Set_Date_Text", 0, true);
      break;
    case K::Sensor:
      EditSensor(side);
      break;
    case K::PvUnit:
      EditPvUnit(side);
      break;
    case K::Range:
      EditRange(side);
      break;
    case K::Damping:
      AskNumber(side, &V::damping, "Set_Damping_Value_Title", "Set_Damping_val",
                session::MaximumDamping, session::MinimumDamping, Setting::Damping);
      break;
    case K::TransferFunction:
      Choose(side, &V::transferFunction, "Set_Xfer", t.TransferFunctionNames(),
             t.TransferFunctionCodes());
      break;
    case K::Burnout:
      Choose(side, &V::burnout, "Set_BurnOut", t.BurnoutNames(), t.BurnoutCodes());
      break;
    case K::TerminalUnit:
      Choose(side, &V::terminalUnit, "Select_TermTempUnit", t.TerminalUnitNames(),
             t.TerminalUnitCodes());
      break;
    case K::CjcMode:
      Choose(side, &V::cjcMode, "Select_CJCModeSW", t.CjcModeNames(), t.CjcModeCodes());
      break;
    case K::SerialNumber:
      AskNumber(side, &V::sensorSerialNumber, "Set_SerialNo_Value_Title", "Set_SerialNo_val",
                session::MaxSerialNumber, 0.0, Setting::SerialNumber);
      break;
    case K::FinalAssembly:
      AskNumber(side, &V::finalAssemblyNumber, "Set_FinalAssemblyNo_Value_Title",
                "Set_FinalAssemblyNo_val", session::MaxSerialNumber, 0.0, Setting::FinalAssembly);
      break;
  }
  editor_.ShowModel();
}

}  // namespace va5
