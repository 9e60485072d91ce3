// The editor's main window: the pose area on the left and the motion area on
// the right, with the project's name and the motion's name in the title.
#pragma once

#include <QMainWindow>
#include <string>

#include "shell/editor_state.h"

namespace kv {

// The window title: string 40000 with the model name, then the motion file's
// name or, for a motion not saved yet, string 40275.
std::u16string mainWindowTitle(const EditorState& state, const std::u16string& motionFileName);

class MainWindow : public QMainWindow {
  Q_OBJECT
 public:
  explicit MainWindow(EditorState& state, QWidget* parent = nullptr);

  void updateTitle();

 private:
  EditorState& state_;
  std::u16string motionFileName_;
};

}  // namespace kv
