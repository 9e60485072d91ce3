// The pose editing commands: joint values, mirroring, base poses, slider
// display and settings.
#pragma once

namespace kv {

class MainWindow;
struct EditorState;

// Registers the pose commands with the window.
void addPoseCommands(MainWindow& window, EditorState& state);

}  // namespace kv
