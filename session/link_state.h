// The link state every thread that talks to the board shares: online,
// communication error, playback owner and the link-busy flag that serialises
// the threads, plus the read tag. One instance lives as long as the program.
#pragma once

#include <atomic>
#include <cstdint>

namespace kv {

// The playback owner value while the playback thread holds the link.
inline constexpr int kPlaybackOwnerPlaying = 2;
// The read tag starts here and moves by kReadTagStep before every read, so
// it stays 1 modulo 8 and is never 0 or the 0x55 marker of write reports.
inline constexpr uint8_t kFirstReadTag = 1;
inline constexpr uint8_t kReadTagStep = 8;

struct LinkState {
  // The session should run (set by the connect thread, cleared when it ends).
  std::atomic<bool> online{false};
  // A write failed; every link user is refused until a connection is remade.
  std::atomic<bool> communicationError{false};
  // 0 idle, kPlaybackOwnerPlaying while playback holds the link. While it is
  // set every other user is refused.
  std::atomic<int> playbackOwner{0};
  // Held by the thread running a transaction. Taken only by tryTakeLink.
  std::atomic<bool> linkBusy{false};
  // A live pose waits to be sent; a stop request drops it.
  std::atomic<bool> posePending{false};

  // One atomic test-and-set: true when this caller now holds the link.
  bool tryTakeLink() { return !linkBusy.exchange(true, std::memory_order_acquire); }
  void releaseLink() { linkBusy.store(false, std::memory_order_release); }
  bool playbackOwnsLink() const { return playbackOwner.load() != 0; }

  // Advances the read tag and returns the new value.
  uint8_t advanceReadTag();
  uint8_t readTag() const { return readTag_.load(); }

 private:
  std::atomic<uint8_t> readTag_{kFirstReadTag};
};

// Holds the link for one scope and releases it on every way out. A hold
// that did not get the link holds nothing.
class LinkHold {
 public:
  LinkHold() = default;
  // Tries once to take the link.
  explicit LinkHold(LinkState& state) : state_(state.tryTakeLink() ? &state : nullptr) {}
  ~LinkHold() { release(); }

  LinkHold(const LinkHold&) = delete;
  LinkHold& operator=(const LinkHold&) = delete;
  LinkHold(LinkHold&& other) noexcept : state_(other.state_) { other.state_ = nullptr; }
  LinkHold& operator=(LinkHold&& other) noexcept;

  bool held() const { return state_ != nullptr; }
  explicit operator bool() const { return held(); }
  void release();

 private:
  LinkState* state_ = nullptr;
};

}  // namespace kv
