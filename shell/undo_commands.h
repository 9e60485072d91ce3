// The editor-level side of undo: recording after an edit marks the motion as
// changed, undo and redo replace the motion and tell the views, and a new
// motion starts a fresh chain.
#pragma once

namespace kv {

struct EditorState;

// Appends the edited motion to the chain after a completed edit, sets the
// modified bit and updates the undo state of the menus.
void recordUndo(EditorState& state);
// Makes the edited motion the only state and clears the modified bit (after
// loading, importing, saving, New and project load).
void resetUndo(EditorState& state);
// Replace the motion by the previous / next state, restoring the current
// block; the modified bit stays as it is. False when there is none.
bool undo(EditorState& state);
bool redo(EditorState& state);
// File New: a new motion without a file, as the only undo state.
// `motionAreaHeight` is the motion area's client height, 0 or less when the
// area does not exist yet.
void newMotion(EditorState& state, int motionAreaHeight);

}  // namespace kv
