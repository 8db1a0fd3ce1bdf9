#include "gui/BusyFilter.h"

#include <QEvent>
#include <QWidget>

namespace va5 {

CBusyFilter::CBusyFilter(std::function<bool()> busy, QObject* parent)
    : QObject(parent), busy_(std::move(busy)) {}

void CBusyFilter::Watch(QObject* widget) {
  if (widget == nullptr) return;
  widget->installEventFilter(this);
  for (QWidget* child : widget->findChildren<QWidget*>()) child->installEventFilter(this);
}

bool CBusyFilter::IsUserInput(int eventType) {
  switch (eventType) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseMove:
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::ShortcutOverride:
    case QEvent::Shortcut:
    case QEvent::Wheel:
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::TouchEnd:
    case QEvent::TabletPress:
    case QEvent::TabletRelease:
    case QEvent::ContextMenu:
      return true;
    default:
      return false;
  }
}

bool CBusyFilter::eventFilter(QObject* watched, QEvent* event) {
  if (IsUserInput(event->type()) && busy_ && busy_()) return true;
  return QObject::eventFilter(watched, event);
}

}  // namespace va5
