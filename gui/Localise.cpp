#include "gui/Localise.h"

#include <QAbstractButton>
#include <QEvent>
#include <QGroupBox>
#include <QLabel>
#include <QStringList>
#include <QVariant>
#include <QWidget>
#include <algorithm>

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

namespace {

constexpr const char* kShownValueProperty = "shownValue";

// Shows the label's whole value, or as much of it as its width holds with an ellipsis and the
// whole value as its tooltip. A hidden label keeps the whole text until it is laid out.
void Elide(QLabel* label) {
  const QString full = label->property(kShownValueProperty).toString();
  QString shown = full;
  if (!label->wordWrap() && label->isVisible()) {
    const int room = label->contentsRect().width() - 2 * label->margin() -
                     std::max(label->indent(), 0);
    if (label->fontMetrics().horizontalAdvance(full) > room) {
      shown = label->fontMetrics().elidedText(full, Qt::ElideRight, std::max(room, 0));
    }
  }
  label->setText(shown);
  // The tooltip is the value's only while no one else has given the label one.
  const QString tip = label->toolTip();
  if (!tip.isEmpty() && tip != label->property("elidedTip").toString()) return;
  const QString ownTip = shown != full ? full : QString();
  label->setToolTip(ownTip);
  label->setProperty("elidedTip", ownTip);
}

// Elides its label again whenever the label's width changes or it is shown.
class CValueElider : public QObject {
 public:
  explicit CValueElider(QLabel* label) : QObject(label) { label->installEventFilter(this); }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::Resize || event->type() == QEvent::Show ||
        event->type() == QEvent::FontChange) {
      Elide(static_cast<QLabel*>(watched));
    }
    return false;
  }
};

}  // namespace

void SetShownValue(QLabel* label, const QString& text) {
  if (label == nullptr) return;
  if (label->findChild<CValueElider*>(QString(), Qt::FindDirectChildrenOnly) == nullptr) {
    new CValueElider(label);
    // The value never widens its row: what does not fit is elided instead.
    if (label->minimumWidth() == 0) label->setMinimumWidth(label->fontMetrics().averageCharWidth() * 4);
  }
  // A device's not-a-number reads as the language's "no value", never as a number format's
  // "nan" that the technician might take for a reading.
  const QString shown = IsNoNumberText(text) ? DisplayText("Gauge_No_Value", "No value") : text;
  label->setProperty(kShownValueProperty, shown);
  label->setAccessibleDescription(shown);
  Elide(label);
}

QString ShownValue(const QLabel* label) {
  if (label == nullptr) return {};
  const QVariant value = label->property(kShownValueProperty);
  return value.isValid() ? value.toString() : label->text();
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
