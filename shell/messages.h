// Messages and questions to the user. Core code names a message by its
// string number; whoever shows it (the GUI, or a test's scripted answerer)
// is installed once as the process's message handler. Callable from any
// thread: the GUI handler carries the question to the GUI thread and waits.
#pragma once

#include <initializer_list>
#include <string>

#include "shell/text_format.h"

namespace kv {

enum class MessageIcon { None, Information, Warning, Error, Question };
enum class MessageButtons { Ok, OkCancel, YesNo, YesNoCancel };
enum class MessageAnswer { Ok, Cancel, Yes, No };

struct Message {
  int stringId = 0;
  std::u16string text;      // the string's text with its arguments filled in
  std::u16string caption;   // string 40001
  MessageIcon icon = MessageIcon::None;
  MessageButtons buttons = MessageButtons::Ok;
  bool hasOwner = true;     // false for the owner-less boxes of start-up
};

class MessageHandler {
 public:
  virtual ~MessageHandler() = default;
  virtual MessageAnswer ask(const Message& message) = 0;
};

// Installs the handler (not owned); none restores the default, which writes
// the message to standard error and answers with the cautious choice (OK,
// No, or Cancel when offered).
void setMessageHandler(MessageHandler* handler);

// The answer a handler gives when nobody can be asked.
MessageAnswer cautiousAnswer(MessageButtons buttons);

// Shows string `stringId`, formatted with `args` when given.
MessageAnswer showMessage(int stringId, MessageIcon icon, MessageButtons buttons,
                          std::initializer_list<FormatArg> args = {}, bool hasOwner = true);

}  // namespace kv
