// Undo and redo of the edited motion: a chain of whole-motion states, each
// sharing the blocks it has in common with its neighbours.
#pragma once

#include <cstddef>

namespace kv {

struct Motion;

class UndoChain {
 public:
  UndoChain();
  ~UndoChain();
  UndoChain(const UndoChain&) = delete;
  UndoChain& operator=(const UndoChain&) = delete;

  // The motion becomes the only state.
  void reset(const Motion& motion);
  // Drops the states after the current one and appends the motion.
  void record(const Motion& motion);
  bool canUndo() const;
  bool canRedo() const;
  // Rebuilds `motion` from the previous / next state; false when there is none.
  bool undo(Motion& motion);
  bool redo(Motion& motion);

  size_t stateCount() const;

  // What the chain holds: distinct stored blocks and block groups, and an
  // estimate of the heap bytes of all states together.
  struct Usage {
    size_t states = 0;
    size_t groups = 0;
    size_t blocks = 0;
    size_t bytes = 0;
  };
  Usage usage() const;

 private:
  struct Impl;
  Impl* impl_;
};

}  // namespace kv
