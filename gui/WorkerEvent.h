// The worker's messages on the user-interface thread.
#pragma once

#include <QCoreApplication>
#include <QEvent>
#include <QObject>
#include <QPointer>

#include "base/MessageSink.h"

namespace va5 {

// One worker message (message number, kind, detail, progress) as a Qt event.
class WorkerEvent : public QEvent {
 public:
  explicit WorkerEvent(const WorkerMessage& message) : QEvent(Type()), message_(message) {}
  static QEvent::Type Type() {
    static const auto type = static_cast<QEvent::Type>(QEvent::registerEventType());
    return type;
  }
  const WorkerMessage& Message() const { return message_; }

 private:
  WorkerMessage message_;
};

// The window's message sink: each message is posted as a WorkerEvent to the receiver, which
// handles it on its own thread. Posting is thread safe and never blocks the worker. The
// receiver must outlive the worker that posts (the window stops the worker before it goes).
class GuiMessageSink : public MessageSink {
 public:
  explicit GuiMessageSink(QObject* receiver) : receiver_(receiver) {}
  void Post(const WorkerMessage& message) override {
    QCoreApplication::postEvent(receiver_, new WorkerEvent(message));
  }

 private:
  QObject* receiver_;
};

}  // namespace va5
