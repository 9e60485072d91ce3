#include "shell/ui/message_box.h"

#include <QApplication>
#include <QMessageBox>
#include <QThread>

#include "shell/ui/qt_text.h"

namespace kv {

MessageBoxHandler::MessageBoxHandler(QObject* parent) : QObject(parent) {}

MessageAnswer MessageBoxHandler::ask(const Message& message) {
  if (QThread::currentThread() == thread()) return showOnGuiThread(message);
  MessageAnswer answer = cautiousAnswer(message.buttons);
  QMetaObject::invokeMethod(
      this, [this, &message, &answer] { answer = showOnGuiThread(message); }, Qt::BlockingQueuedConnection);
  return answer;
}

MessageAnswer MessageBoxHandler::showOnGuiThread(const Message& message) {
  if (quiet_.load()) return cautiousAnswer(message.buttons);
  QWidget* owner = nullptr;
  if (message.hasOwner) {
    owner = QApplication::activeModalWidget();
    if (!owner) owner = QApplication::activeWindow();
  }
  return execMessageBox(message, owner);
}

MessageAnswer execMessageBox(const Message& message, QWidget* owner) {
  QMessageBox::Icon icon = QMessageBox::NoIcon;
  switch (message.icon) {
    case MessageIcon::None: icon = QMessageBox::NoIcon; break;
    case MessageIcon::Information: icon = QMessageBox::Information; break;
    case MessageIcon::Warning: icon = QMessageBox::Warning; break;
    case MessageIcon::Error: icon = QMessageBox::Critical; break;
    case MessageIcon::Question: icon = QMessageBox::Question; break;
  }
  QMessageBox::StandardButtons buttons = QMessageBox::Ok;
  switch (message.buttons) {
    case MessageButtons::Ok: buttons = QMessageBox::Ok; break;
    case MessageButtons::OkCancel: buttons = QMessageBox::Ok | QMessageBox::Cancel; break;
    case MessageButtons::YesNo: buttons = QMessageBox::Yes | QMessageBox::No; break;
    case MessageButtons::YesNoCancel: buttons = QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel; break;
  }
  QMessageBox box(icon, toQString(message.caption), toQString(message.text), buttons, owner);
  box.setObjectName(QString::number(message.stringId));
  switch (box.exec()) {
    case QMessageBox::Yes: return MessageAnswer::Yes;
    case QMessageBox::No: return MessageAnswer::No;
    case QMessageBox::Ok: return MessageAnswer::Ok;
    default: return cautiousAnswer(message.buttons);
  }
}

}  // namespace kv
