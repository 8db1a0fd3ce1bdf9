#include "gui/ScreenFit.h"

#include <QEvent>
#include <QGuiApplication>
#include <QObject>
#include <QScreen>
#include <QWidget>
#include <QWindow>
#include <algorithm>

namespace va5 {

namespace {

// A title bar and thin borders: what most desktops draw before the window manager says.
constexpr QMargins kFrameAllowance(4, 30, 4, 4);

// Fits its window each time it is shown.
class CScreenKeeper : public QObject {
 public:
  using QObject::QObject;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::Show) {
      if (auto* window = qobject_cast<QWidget*>(watched); window != nullptr && window->isWindow()) {
        FitToScreen(window);
      }
    }
    return false;
  }
};

}  // namespace

QRect AvailableScreenArea(const QWidget* widget) {
  const QScreen* screen = nullptr;
  if (widget != nullptr) {
    screen = widget->screen();
    if (widget->windowHandle() == nullptr && widget->parentWidget() != nullptr) {
      screen = widget->parentWidget()->window()->screen();
    }
  }
  if (screen == nullptr) screen = QGuiApplication::primaryScreen();
  return screen != nullptr ? screen->availableGeometry() : QRect();
}

QMargins FrameOf(const QWidget* window) {
  if (window != nullptr && window->windowHandle() != nullptr && window->isVisible()) {
    const QMargins frame = window->windowHandle()->frameMargins();
    if (!frame.isNull()) return frame;
  }
  if (window != nullptr && window->windowHandle() != nullptr) {
    // Created but not shown: what the window system says, else the allowance.
    const QMargins frame = window->windowHandle()->frameMargins();
    if (!frame.isNull()) return frame;
  }
  return kFrameAllowance;
}

QSize FittedSize(QSize wanted, const QRect& area, const QMargins& frame) {
  if (!area.isValid()) return wanted;
  const QSize room(area.width() - frame.left() - frame.right(),
                   area.height() - frame.top() - frame.bottom());
  return wanted.boundedTo(room.expandedTo(QSize(1, 1)));
}

QPoint FittedPosition(const QRect& geometry, const QRect& area, const QMargins& frame) {
  if (!area.isValid()) return geometry.topLeft();
  const QRect outer = geometry.marginsAdded(frame);
  // The left and top edges win when the frame is larger than the area.
  const int left = std::max(area.left(), std::min(outer.left(), area.right() + 1 - outer.width()));
  const int top = std::max(area.top(), std::min(outer.top(), area.bottom() + 1 - outer.height()));
  return QPoint(left, top);
}

void FitToScreen(QWidget* window) {
  if (window == nullptr || !window->isWindow()) return;
  const QRect area = AvailableScreenArea(window);
  if (!area.isValid()) return;
  const QMargins frame = FrameOf(window);
  const QSize size = FittedSize(window->size(), area, frame).expandedTo(window->minimumSize());
  if (size != window->size()) window->resize(size);
  // move() places the frame's corner, as pos() reports it.
  const QPoint at = FittedPosition(window->geometry(), area, frame);
  if (at != window->pos()) window->move(at);
}

void KeepOnScreen(QWidget* window) {
  if (window == nullptr) return;
  window->installEventFilter(new CScreenKeeper(window));
  FitToScreen(window);
}

}  // namespace va5
