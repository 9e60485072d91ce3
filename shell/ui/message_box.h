// The GUI's message handler: shows messages as message boxes, carrying a
// question from a worker thread to the GUI thread and waiting for the answer.
#pragma once

#include <QObject>
#include <atomic>

#include "shell/messages.h"

class QWidget;

namespace kv {

class MessageBoxHandler : public QObject, public MessageHandler {
  Q_OBJECT
 public:
  explicit MessageBoxHandler(QObject* parent = nullptr);
  MessageAnswer ask(const Message& message) override;
  // While set (the editor is closing), every message gets the cautious
  // answer without a box, a question already on its way to the GUI thread
  // included.
  void setAnswerWithoutAsking(bool quiet) { quiet_ = quiet; }

 private:
  MessageAnswer showOnGuiThread(const Message& message);

  std::atomic<bool> quiet_{false};
};

// Shows one message box for `message`, owned by `owner` (may be none).
MessageAnswer execMessageBox(const Message& message, QWidget* owner);

}  // namespace kv
