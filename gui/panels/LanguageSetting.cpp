#include "gui/panels/LanguageSetting.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QtGlobal>
#include <exception>

#include "comm/RequestTypes.h"
#include "gui/AppSettings.h"
#include "gui/LblColor.h"
#include "gui/Localise.h"
#include "gui/SelectListBox.h"
#include "lang/ControlIds.h"
#include "lang/LanguageList.h"
#include "lang/PrivateException.h"
#include "lang/ResourceDatabase.h"

namespace va5 {

namespace lp = ids::language_panel;

namespace {

// Holds the poll from construction to destruction, whichever way the handler ends.
class ScopedHold {
 public:
  explicit ScopedHold(const HoldCallback& hold) : hold_(hold) {
    if (hold_) hold_(true);
  }
  ~ScopedHold() {
    if (hold_) hold_(false);
  }
  ScopedHold(const ScopedHold&) = delete;
  ScopedHold& operator=(const ScopedHold&) = delete;

 private:
  const HoldCallback& hold_;
};

}  // namespace

CSetting::CSetting(CAppSettings& settings, std::vector<std::string> folders, QWidget* parent)
    : CPanel(lp::kLayout, ReplySensorInfo, parent),
      settings_(settings),
      folders_(std::move(folders)),
      title_(new CLblColor(QStringLiteral("Language"), this)),
      change_(MakePanelButton("Change", lp::kChangeButton, this)),
      name_(MakeValueLabel(lp::kLanguageName, this)),
      confirmLoop_(new QCheckBox(this)),
      confirmLoopCaption_(new QLabel(this)),
      close_(MakePanelButton("Close Language", lp::kCloseButton, this)) {
  SetControlId(title_, lp::kTitle);
  title_->setAlignment(Qt::AlignCenter);
  title_->SetCaptionLook();
  name_->setMinimumWidth(120);
  auto* grid = new QGridLayout(this);
  grid->setContentsMargins(6, 6, 6, 6);
  grid->setHorizontalSpacing(6);
  grid->setVerticalSpacing(4);
  grid->addWidget(title_, 0, 0, 1, 2);
  grid->addWidget(change_, 1, 0);
  grid->addWidget(name_, 1, 1);
  confirmLoop_->setObjectName(QStringLiteral("confirmLoopChange"));
  confirmLoop_->setChecked(settings_.ConfirmLoopChange());
  // The caption wraps beside its box, so that a long caption never widens the panel.
  confirmLoopCaption_->setWordWrap(true);
  confirmLoopCaption_->setBuddy(confirmLoop_);
  grid->addWidget(confirmLoop_, 2, 0, Qt::AlignRight | Qt::AlignTop);
  grid->addWidget(confirmLoopCaption_, 2, 1);
  grid->addWidget(close_, 3, 0, 1, 2);
  grid->setRowStretch(4, 1);
  grid->setColumnStretch(1, 1);
  setTabOrder(change_, confirmLoop_);
  setTabOrder(confirmLoop_, close_);
  connect(change_, &QPushButton::clicked, this, &CSetting::OnChange);
  connect(confirmLoop_, &QCheckBox::toggled, this, [this](bool on) {
    settings_.SetConfirmLoopChange(on);
    settings_.SaveConfirmLoopChange();
  });
  connect(close_, &QPushButton::clicked, this, [this] { emit closeRequested(); });
  hide();
}

void CSetting::Show(bool visible) {
  if (!visible) {
    hide();
    return;
  }
  LocaliseWindow(Layout(), this);
  NameButtonsByCaption(this);
  title_->setAccessibleName(title_->text());
  name_->setAccessibleName(title_->text());
  SetShownValue(name_, ShownName());
  const QString loopCaption =
      DisplayText("Confirm_Loop_Change", "Ask before a change that may move the loop");
  confirmLoopCaption_->setText(loopCaption);
  confirmLoop_->setAccessibleName(loopCaption);
  confirmLoop_->setToolTip(loopCaption);
  confirmLoop_->setChecked(settings_.ConfirmLoopChange());
  show();
  close_->setFocus();
}

QString CSetting::ShownName() const {
  // The file in force names itself in its own script; another language (its file failed to
  // load) by the name the settings keep.
  const CResourceDatabase& database = TheResourceDatabase();
  if (ToQString(database.GetLanguageName()) == settings_.LanguageName()) {
    return ToQString(database.GetDisplayName());
  }
  return settings_.LanguageName();
}

bool CSetting::OnWorkerMessage(const WorkerMessage&) { return false; }

void CSetting::OnChange() {
  // Nothing may leave the event loop by an exception: the panel stays as it was.
  try {
    // The link is held only while the technician chooses: the window may have to send
    // something before it reloads (the output returned to normal).
    if (!ChooseLanguage()) return;
    emit languageChanged();
    Show(true);
  } catch (const std::exception& error) {
    qWarning("language panel: %s", error.what());
  }
}

bool CSetting::ChooseLanguage() {
  const ScopedHold hold(hold_);
  // Read afresh each time: a file added while the program runs is offered at once.
  const LanguageList found = FindLanguageFiles(folders_);
  std::string unreadable;
  for (const UnreadableLanguageFile& file : found.unreadable) {
    qWarning("language panel: %s is left out of the list: %s", file.path.c_str(),
             file.reason.c_str());
    if (!unreadable.empty()) unreadable += "\n\n";
    unreadable += file.reason;
  }
  if (found.entries.empty() && !unreadable.empty()) {
    // Nothing to choose from but damaged files: say which, rather than show an empty list.
    ReportException(this, CPrivateException(unreadable), kStyleOkError);
    return false;
  }
  // Each language in its own script; the entry marked is the last one of the language in
  // force (the settings keep the language's name, which does not change with the script).
  std::vector<std::string> names, codes;
  int current = -1;
  for (std::size_t i = 0; i < found.entries.size(); ++i) {
    names.push_back(found.entries[i].displayName);
    codes.push_back(std::to_string(i));
    if (ToQString(found.entries[i].languageName) == settings_.LanguageName()) {
      current = static_cast<int>(i);
    }
  }
  CSelectListBox list(this);
  list.SetupByCode(ToQString(GetTitleMsg("Select_Display_Language")), names, codes, current);
  if (list.exec() != QDialog::Accepted) return false;
  const int chosen = list.SelectedIndex();
  // OK on an empty list or without a choice changes nothing, as Cancel.
  if (chosen < 0 || chosen >= static_cast<int>(found.entries.size())) return false;
  const LanguageEntry& entry = found.entries[static_cast<std::size_t>(chosen)];
  settings_.SetLanguageFile(ToQString(entry.fileName));
  settings_.SetLanguageName(ToQString(entry.languageName));
  settings_.Save();
  return true;
}

}  // namespace va5
