// The editor's main window: the pose area on the left and the motion area on
// the right, with the project's name and the motion's name in the title.
#pragma once

#include <QMainWindow>
#include <string>

#include "shell/editor_state.h"

class QFrame;

namespace kv {

class PoseArea;
class SkinImages;

// Command numbers of the menu items.
namespace command {
inline constexpr int kSliderSettings = 40090;
}

// The window title: string 40000 with the model name, then the motion file's
// name or, for a motion not saved yet, string 40275.
std::u16string mainWindowTitle(const EditorState& state, const std::u16string& motionFileName);

class MainWindow : public QMainWindow {
  Q_OBJECT
 public:
  MainWindow(EditorState& state, const SkinImages& skins, QWidget* parent = nullptr);

  void updateTitle();
  // Runs a menu command.
  void runCommand(int command);

  PoseArea* poseArea() const { return poseArea_; }

 protected:
  void resizeEvent(QResizeEvent* event) override;

 private:
  void buildMenus();
  void layoutAreas();

  EditorState& state_;
  std::u16string motionFileName_;
  PoseArea* poseArea_ = nullptr;
  QFrame* motionArea_ = nullptr;
};

}  // namespace kv
