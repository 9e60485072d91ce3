#include "shell/editor_state.h"

namespace kv {

void setStatus(EditorState& state, uint32_t bits, bool on) {
  const uint32_t before = state.status.set(bits, on);
  if (state.views.statusChanged) state.views.statusChanged(before, state.status.bits());
}

}  // namespace kv
