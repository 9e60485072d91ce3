#include "session/link_state.h"

namespace kv {

uint8_t LinkState::advanceReadTag() {
  // Unsigned 8-bit arithmetic wraps modulo 256.
  return static_cast<uint8_t>(readTag_.fetch_add(kReadTagStep) + kReadTagStep);
}

LinkHold& LinkHold::operator=(LinkHold&& other) noexcept {
  if (this != &other) {
    release();
    state_ = other.state_;
    other.state_ = nullptr;
  }
  return *this;
}

void LinkHold::release() {
  if (state_) state_->releaseLink();
  state_ = nullptr;
}

}  // namespace kv
