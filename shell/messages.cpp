#include "shell/messages.h"

#include <atomic>
#include <cstdio>

#include "shell/string_table.h"
#include "shell/text_encoding.h"

namespace kv {
namespace {

class StderrHandler : public MessageHandler {
 public:
  MessageAnswer ask(const Message& message) override {
    std::fprintf(stderr, "[%d] %s\n", message.stringId, utf16ToUtf8(message.text).c_str());
    return cautiousAnswer(message.buttons);
  }
};

StderrHandler stderrHandler;
std::atomic<MessageHandler*> currentHandler{&stderrHandler};

}  // namespace

void setMessageHandler(MessageHandler* handler) { currentHandler = handler ? handler : &stderrHandler; }

MessageAnswer cautiousAnswer(MessageButtons buttons) {
  switch (buttons) {
    case MessageButtons::Ok: return MessageAnswer::Ok;
    case MessageButtons::YesNo: return MessageAnswer::No;
    case MessageButtons::OkCancel:
    case MessageButtons::YesNoCancel: return MessageAnswer::Cancel;
  }
  return MessageAnswer::Cancel;
}

MessageAnswer showMessage(int stringId, MessageIcon icon, MessageButtons buttons,
                          std::initializer_list<FormatArg> args, bool hasOwner) {
  Message message;
  message.stringId = stringId;
  message.text = loadUiString(stringId);
  if (args.size() > 0) {
    std::u16string filled;
    if (formatText(filled, message.text, args) >= 0) message.text = std::move(filled);
  }
  message.caption = loadUiString(kMessageCaptionString);
  message.icon = icon;
  message.buttons = buttons;
  message.hasOwner = hasOwner;
  return currentHandler.load()->ask(message);
}

}  // namespace kv
