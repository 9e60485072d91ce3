// The board configuration commands: the CPU settings dialog and the servo
// position correction.
#pragma once

namespace kv {

class MainWindow;
class OnlineSession;
struct EditorState;

// Registers the board commands with the window; they reach the board
// through the online session.
void addBoardCommands(MainWindow& window, EditorState& state, OnlineSession& session);

}  // namespace kv
