// Drops the user's input to the widgets it watches while an operation runs.
#pragma once

#include <QObject>
#include <functional>

namespace va5 {

// An event filter that discards mouse, keyboard, wheel, touch and context-menu events while
// `busy` returns true. Everything else (paint, timers, layout, the worker's events) passes,
// so the watched widgets keep painting during long work.
class CBusyFilter : public QObject {
  Q_OBJECT

 public:
  CBusyFilter(std::function<bool()> busy, QObject* parent = nullptr);

  // Watches `widget` and every widget below it.
  void Watch(QObject* widget);

  // True for the events that come from the user.
  static bool IsUserInput(int eventType);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  std::function<bool()> busy_;
};

}  // namespace va5
