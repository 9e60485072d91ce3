// Placeholder until the undo chain is built: it keeps no states.
#include "shell/undo.h"

namespace kv {

struct UndoChain::Impl {};

UndoChain::UndoChain() : impl_(new Impl) {}
UndoChain::~UndoChain() { delete impl_; }
void UndoChain::reset(const Motion&) {}
void UndoChain::record(const Motion&) {}
bool UndoChain::canUndo() const { return false; }
bool UndoChain::canRedo() const { return false; }
bool UndoChain::undo(Motion&) { return false; }
bool UndoChain::redo(Motion&) { return false; }
size_t UndoChain::stateCount() const { return 0; }

}  // namespace kv
