// Shows every entry dialog, a message box and the small controls in one language and saves
// a picture of each, for looking at the dialogs as a user sees them.
// Usage: dialog_gallery LANGUAGE_FILE OUTPUT_FOLDER
#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QTimer>
#include <QVBoxLayout>
#include <cstdio>

#include "lang/EntryRules.h"
#include "lang/LanguageList.h"
#include "gui/FontManager.h"
#include "gui/LblColor.h"
#include "gui/Localise.h"
#include "gui/MessageBox.h"
#include "lang/MessageFormat.h"
#include "lang/PrivateException.h"
#include "lang/ResourceDatabase.h"
#include "gui/SelectListBox.h"
#include "gui/UnderLine.h"
#include "gui/ValidateNumber.h"
#include "gui/ValidateText.h"

namespace {

using namespace va5;

// Pictures that could not be written end the run with status 1: a gallery that lists files it
// never saved would send the reader looking for nothing.
int failures = 0;

QString Saved(QWidget& widget, const QString& folder, const QString& name) {
  widget.show();
  QApplication::processEvents();
  const QString path = QDir(folder).filePath(name + QStringLiteral(".png"));
  if (!widget.grab().save(path)) {
    std::fprintf(stderr, "dialog_gallery: cannot write %s\n", qPrintable(path));
    ++failures;
  }
  widget.hide();
  return path;
}

QString PromptText(const std::string& key, const std::vector<std::string>& args = {}) {
  return ToQString(FormatMessageText(GetDisplayMsg(key), args));
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("VA5VIVI"));
  if (argc < 3) {
    std::fprintf(stderr, "usage: dialog_gallery LANGUAGE_FILE OUTPUT_FOLDER\n");
    return 3;
  }
  const QFileInfo file(QString::fromLocal8Bit(argv[1]));
  const QString folder = QString::fromLocal8Bit(argv[2]);
  if (!QDir().mkpath(folder)) {
    std::fprintf(stderr, "dialog_gallery: cannot create the folder %s\n", argv[2]);
    return 1;
  }
  const QString prefix = file.completeBaseName() + QLatin1Char('-');
  TheResourceDatabase().InitEmpty();
  try {
    TheResourceDatabase().Load(file.fileName().toStdString(), {file.absolutePath().toStdString()});
  } catch (const CPrivateException& error) {
    std::fprintf(stderr, "%s\n", error.Text().c_str());
    return 1;
  }

  CValidateNumber number;
  number.Setup(ToQString(GetTitleMsg("Set_Damping_Value_Title")),
               PromptText("Set_Damping_val", {"0.5", "30.0"}), 30.0, 0.5, "2.000", true, true);
  std::printf("%s\n", qPrintable(Saved(number, folder, prefix + "number")));

  SetMaximumTextLength("8");
  CValidateText text;
  text.Setup(ToQString(GetTitleMsg("Set_Tag_Text_Title")), PromptText("Set_TAG_Text"), "TT-101");
  std::printf("%s\n", qPrintable(Saved(text, folder, prefix + "text")));

  CValidateText date;
  date.Setup(ToQString(GetTitleMsg("Set_Date_Text_Title")), PromptText("Set_Date_Text"),
             "2009/03/07", false, true);
  std::printf("%s\n", qPrintable(Saved(date, folder, prefix + "date")));

  CSelectListBox list;
  list.SetupByCode(ToQString(GetTitleMsg("Select_PV_Unit")),
                   {"degC", "degF", "degR", "Kelvin", "mV", "Ohm"},
                   {"32", "33", "34", "35", "36", "37"}, 35);
  std::printf("%s\n", qPrintable(Saved(list, folder, prefix + "list")));

  // A message box as the entry dialogs show it.
  QMessageBox box(QMessageBox::Warning, ToQString(GetUIMsg("Message_Box")),
                  ToQString(FormatMessageText(GetUIMsg("Err_Tag_Number_overflow"), {"8"})),
                  QMessageBox::Ok);
  std::printf("%s\n", qPrintable(Saved(box, folder, prefix + "message")));

  // The device search's question through the program's own box: its buttons come from the
  // language file too.
  QTimer::singleShot(50, [&] {
    for (QWidget* widget : QApplication::topLevelWidgets()) {
      auto* shown = qobject_cast<QMessageBox*>(widget);
      if (shown == nullptr || !shown->isVisible()) continue;
      const QString path = QDir(folder).filePath(prefix + QStringLiteral("retry.png"));
      if (!shown->grab().save(path)) ++failures;
      std::printf("%s\n", qPrintable(path));
      shown->escapeButton()->click();
    }
  });
  ShowUIMessage(nullptr, "Err_Not_Device", {"SIM1"}, kStyleRetryCancelExclamation);

  // The language list, each language in its own script, as the language panel offers it.
  const LanguageList languages = FindLanguageFiles({file.absolutePath().toStdString()});
  std::vector<std::string> languageNames, languageCodes;
  for (const LanguageEntry& entry : languages.entries) {
    languageNames.push_back(entry.displayName);
    languageCodes.push_back(std::to_string(languageCodes.size()));
  }
  CSelectListBox languageList;
  languageList.SetupByCode(ToQString(GetTitleMsg("Select_Display_Language")), languageNames,
                           languageCodes, 0);
  std::printf("%s\n", qPrintable(Saved(languageList, folder, prefix + "languages")));

  // Coloured labels and the underline bar.
  QWidget controls;
  controls.setWindowTitle(QStringLiteral("Controls"));
  auto* layout = new QVBoxLayout(&controls);
  auto* heading = new CLblColor(ToQString(GetTitleMsg("Set_Damping_Value_Title")), &controls);
  QFont bold;
  CFontManager::MakeFont(bold, 110, 700);
  heading->SetLook(bold, QColor(252, 209, 193), Qt::black);
  auto* plain = new CLblColor(QStringLiteral("123.456 degC"), &controls);
  auto* bar = new CUnderLine(&controls);
  bar->setFixedHeight(4);
  layout->addWidget(heading);
  layout->addWidget(plain);
  layout->addWidget(bar);
  controls.resize(260, 90);
  controls.show();
  QApplication::processEvents();
  bar->Prepare();
  std::printf("%s\n", qPrintable(Saved(controls, folder, prefix + "controls")));
  return failures == 0 ? 0 : 1;
}
