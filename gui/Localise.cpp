#include "gui/Localise.h"

#include <QAbstractButton>
#include <QGroupBox>
#include <QLabel>
#include <QStringList>
#include <QVariant>
#include <QWidget>

#include "lang/MessageFormat.h"
#include "lang/ResourceDatabase.h"

namespace va5 {
namespace {
constexpr const char* kControlIdProperty = "controlId";
}

void SetControlId(QWidget* widget, int controlId) {
  if (widget != nullptr) widget->setProperty(kControlIdProperty, controlId);
}

int ControlId(const QWidget* widget) {
  if (widget == nullptr) return -1;
  bool ok = false;
  const int id = widget->property(kControlIdProperty).toInt(&ok);
  return ok ? id : -1;
}

void LocaliseWindow(const CResourceDatabase& database, int dialogId, QWidget* window) {
  if (window == nullptr) return;
  const QString title = ToQString(database.GetGuiText(dialogId, 0));
  if (!title.isEmpty()) window->setWindowTitle(title);
  for (QObject* object : window->children()) {
    auto* child = qobject_cast<QWidget*>(object);
    if (child == nullptr || child->isWindow()) continue;
    const int id = ControlId(child);
    if (id <= 0) continue;
    const QString text = ToQString(database.GetGuiText(dialogId, id));
    if (text.isEmpty()) continue;
    if (auto* group = qobject_cast<QGroupBox*>(child)) {
      group->setTitle(text);
    } else if (child->metaObject()->indexOfProperty("text") >= 0) {
      child->setProperty("text", text);
    }
  }
}

void LocaliseWindow(int dialogId, QWidget* window) {
  LocaliseWindow(TheResourceDatabase(), dialogId, window);
}

void NameButtonsByCaption(QWidget* window) {
  for (QAbstractButton* button : window->findChildren<QAbstractButton*>()) {
    button->setAccessibleName(button->text().remove(QLatin1Char('&')));
  }
}

bool IsNoNumberText(const QString& text) {
  // The number formats' words for a value that is none, alone or before a unit ("nan degC").
  static const QStringList kWords = {
      QStringLiteral("nan"), QStringLiteral("-nan"), QStringLiteral("+nan"),
      QStringLiteral("inf"), QStringLiteral("-inf"), QStringLiteral("+inf"),
      QStringLiteral("NaN"), QStringLiteral("+Inf"), QStringLiteral("-Inf")};
  const QString first = text.trimmed().section(QLatin1Char(' '), 0, 0);
  return kWords.contains(first);
}

void SetShownValue(QLabel* label, const QString& text) {
  if (label == nullptr) return;
  // A device's not-a-number reads as the language's "no value", never as a number format's
  // "nan" that the technician might take for a reading.
  const QString shown = IsNoNumberText(text) ? DisplayText("Gauge_No_Value", "No value") : text;
  label->setText(shown);
  label->setAccessibleDescription(shown);
}

namespace {

QString TextOr(const std::string& format, const char* english,
               const std::vector<std::string>& args) {
  return ToQString(FormatMessageText(format.empty() ? std::string(english) : format, args));
}

}  // namespace

QString DisplayText(const char* key, const char* english, const std::vector<std::string>& args) {
  return TextOr(GetDisplayMsg(key), english, args);
}

QString FileDialogFilter() {
  const QStringList parts =
      ToQString(GetUIMsg("File_Filter")).split(QLatin1Char('|'), Qt::SkipEmptyParts);
  QStringList filters;
  for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
    QString description = parts[i];
    const QString patterns = QString(parts[i + 1]).replace(QLatin1Char(';'), QLatin1Char(' '));
    // "Text Files (*.txt)" or "テキストファイル（*.txt）": the description without its patterns.
    for (const QChar open : {QChar(u'('), QChar(u'（')}) {
      const qsizetype at = description.lastIndexOf(open);
      if (at > 0) description = description.left(at).trimmed();
    }
    filters << description + QStringLiteral(" (") +
                   (patterns == QStringLiteral("*.*") ? QStringLiteral("*") : patterns) +
                   QLatin1Char(')');
  }
  return filters.isEmpty() ? QStringLiteral("Text Files (*.txt);;All Files (*)")
                           : filters.join(QStringLiteral(";;"));
}

QString StandardButtonText(StandardButton button) {
  switch (button) {
    case StandardButton::Ok:
      return DisplayText("Button_OK", "OK");
    case StandardButton::Cancel:
      return DisplayText("Button_Cancel", "Cancel");
    case StandardButton::Yes:
      return DisplayText("Button_Yes", "Yes");
    case StandardButton::No:
      return DisplayText("Button_No", "No");
    case StandardButton::Retry:
      return DisplayText("Button_Retry", "Retry");
  }
  return {};
}

QString UIText(const char* key, const char* english, const std::vector<std::string>& args) {
  return TextOr(GetUIMsg(key), english, args);
}

}  // namespace va5
