// Where the block property dialogs read the board's variables v[0]..v[255]
// for their live display. The dialogs ask on every timer tick from the GUI
// thread, so an answer must come at once: a source that has no value at hand
// (offline, or not read yet) answers "no value" and never waits for the board.
#pragma once

#include <cstdint>
#include <optional>

namespace kv {

inline constexpr int kBoardVariableCount = 256;

class VariableSource {
 public:
  virtual ~VariableSource() = default;
  // v[n], or none when no value is at hand.
  virtual std::optional<int16_t> readVariable(int n) = 0;
};

// Knows no value: the board is not connected.
class NoVariableSource : public VariableSource {
 public:
  std::optional<int16_t> readVariable(int) override { return std::nullopt; }
};

// The source used until the online session provides one.
inline VariableSource& defaultVariableSource() {
  static NoVariableSource none;
  return none;
}

}  // namespace kv
