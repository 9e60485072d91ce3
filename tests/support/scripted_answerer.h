// A message handler for tests: records every message shown and answers from
// a script (the cautious answer when the script has run out).
#pragma once

#include <deque>
#include <mutex>
#include <vector>

#include "shell/messages.h"

namespace kv::testing {

class ScriptedAnswerer : public MessageHandler {
 public:
  ScriptedAnswerer() { setMessageHandler(this); }
  ~ScriptedAnswerer() override { setMessageHandler(nullptr); }

  void answerNext(MessageAnswer answer) {
    std::lock_guard lock(mutex_);
    script_.push_back(answer);
  }

  MessageAnswer ask(const Message& message) override {
    std::lock_guard lock(mutex_);
    shown_.push_back(message);
    if (script_.empty()) return cautiousAnswer(message.buttons);
    MessageAnswer answer = script_.front();
    script_.pop_front();
    return answer;
  }

  std::vector<Message> shown() const {
    std::lock_guard lock(mutex_);
    return shown_;
  }

  std::vector<int> shownIds() const {
    std::lock_guard lock(mutex_);
    std::vector<int> ids;
    for (const Message& m : shown_) ids.push_back(m.stringId);
    return ids;
  }

 private:
  mutable std::mutex mutex_;
  std::deque<MessageAnswer> script_;
  std::vector<Message> shown_;
};

}  // namespace kv::testing
