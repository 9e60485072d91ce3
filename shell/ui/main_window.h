// The editor's main window: menus, toolbar, the pose area on the left and the
// motion area on the right with the centre bar between them, the title, the
// status word's marks, and the one dispatcher every command goes through.
#pragma once

#include <QMainWindow>
#include <QTimer>
#include <functional>
#include <map>
#include <string>

#include "motion/motion_commands.h"
#include "shell/editor_state.h"
#include "shell/messages.h"
#include "shell/ui/commands.h"

class QAction;
class QComboBox;
class QMenu;
class QSpinBox;
class QToolBar;
class QToolButton;

namespace kv {

class MotionArea;
class PoseArea;
class SkinImages;

// The window title: string 40000 with the model name, then the motion file's
// name or, for a motion not saved yet, string 40275.
std::u16string mainWindowTitle(const EditorState& state, const std::u16string& motionFileName);

// How a dropped file is taken, by its extension (any letter case).
enum class DroppedFileKind { Motion, Project, Unsupported };
DroppedFileKind classifyDroppedFile(const QString& path);

class MainWindow : public QMainWindow {
  Q_OBJECT
 public:
  MainWindow(EditorState& state, const SkinImages& skins, QWidget* parent = nullptr);
  ~MainWindow() override;

  // Every command of the editor; subsystems register theirs here.
  command::CommandRegistry& commands() { return commands_; }
  // Runs a command from a menu, a key or the toolbar: the one dispatcher.
  void runCommand(int command);

  // Names the motion in the title and clears the modified mark.
  void updateTitle();
  // Check marks, enabled states and the keys taken, from each command's
  // registration and the status word.
  void refreshMenuMarks();
  // While a motion plays only the commands registered to run then are
  // available, and neither area takes edits.
  void setBusy(bool playing);
  bool busy() const { return busy_; }
  // Whether a command may run now, by its flags: while a motion plays only
  // the commands marked for it, and after a failed start-up only opening
  // another project and Exit.
  bool commandAvailable(int id) const;
  // Takes a file dropped on the window (only the first of several counts).
  void dropFile(const QString& path);
  // Asks whether to save a changed motion; Cancel stops the caller.
  MessageAnswer askSaveChanges();

  PoseArea* poseArea() const { return poseArea_; }
  MotionArea* motionArea() const { return motionArea_; }
  QToolBar* toolbar() const { return toolbar_; }
  QAction* action(int command) const;
  double displayedSplit() const { return displayedSplit_; }
  int centreBarX() const;

  // Toolbar values playback reads: the time override (100 when absent) and
  // the loop count (-2 when absent).
  int timeOverride() const;
  void setTimeOverride(int percent);
  int loopCount() const;

  // The options motion files are read and written with.
  MotionFileOptions motionFileOptions() const;
  // A motion was opened or replaced: the title names it and both areas show it.
  void motionReplaced();
  // Whether the mouse cursor is over the motion area (else the pose area);
  // the cursor-routed keys go there.
  bool cursorOverMotionArea() const;
  // Saves the motion (asking for a name when asked or when it has none);
  // false when the user cancelled or the save failed.
  std::function<bool(bool askName)> saveMotion;
  // Opens a motion file (after askSaveChanges).
  std::function<void(const std::filesystem::path&)> openMotionFile;
  // Starts another editor on a project file.
  std::function<void(const QString& projectFile)> startInstance;

 protected:
  void closeEvent(QCloseEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void addShellCommands();
  void addPlaceholderCommands();
  void buildMenus();
  void placeInMenu(command::MenuPlace place, QAction* action);
  void buildToolbar();
  void fillRecentProjects();
  void fillBasePoseMenu(QMenu* menu);
  void layoutAreas();
  void animateSplit();
  void showPoseAreaMenu(const QPoint& globalPosition);
  void addToPopup(QMenu& menu, std::initializer_list<int> ids) const;
  void showMotionAreaMenu(const QPoint& globalPosition);
  void toggleCentreBar();
  void notAvailableYet();
  void statusChanged(uint32_t before, uint32_t after);

  EditorState& state_;
  std::u16string motionFileName_;
  PoseArea* poseArea_ = nullptr;
  MotionArea* motionArea_ = nullptr;
  QWidget* client_ = nullptr;
  QToolBar* toolbar_ = nullptr;
  QMenu* recentMenu_ = nullptr;
  QMenu* basePoseMenu_ = nullptr;
  QMenu* basePoseDropDown_ = nullptr;
  QSpinBox* timeOverride_ = nullptr;
  QSpinBox* loopCount_ = nullptr;
  QComboBox* offsetList_ = nullptr;
  command::CommandRegistry commands_;
  std::map<command::Menu, QMenu*> menus_;
  std::map<command::Menu, std::vector<std::pair<int, QAction*>>> menuItems_;
  double displayedSplit_ = 0.6;
  bool draggingBar_ = false;
  bool busy_ = false;
  bool closeWithoutAsking_ = false;
  QTimer splitAnimation_;
};

}  // namespace kv
