// The motion editing commands: motion files, adding and editing blocks,
// stepping through the poses, the time override and block properties.
#pragma once

namespace kv {

class MainWindow;
struct EditorState;

// Registers the motion commands with the window.
void addMotionCommands(MainWindow& window, EditorState& state);

}  // namespace kv
