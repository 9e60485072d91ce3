#include "shell/ui/main_window.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QCursor>
#include <QDragEnterEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenuBar>
#include <QMimeData>
#include <QMouseEvent>
#include <QProcess>
#include <QPushButton>
#include <QSpinBox>
#include <QThread>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>
#include <cmath>

#include "motion/motion_commands.h"
#include "motion/block_editing.h"
#include "motion/ui/block_property_dialogs.h"
#include "motion/ui/motion_area.h"
#include "motion/ui/motion_file_dialogs.h"
#include "pose/base_poses.h"
#include "pose/pose_edit.h"
#include "pose/pose_operations.h"
#include "pose/ui/base_pose_dialog.h"
#include "pose/ui/pose_area.h"
#include "pose/ui/slider_settings_dialog.h"
#include "shell/folders.h"
#include "shell/string_table.h"
#include "shell/text_encoding.h"
#include "shell/text_format.h"
#include "shell/ui/commands.h"
#include "shell/ui/qt_text.h"
#include "shell/ui/toolbar_icons.h"
#include "shell/undo_commands.h"

namespace kv {
namespace {

constexpr int kNewMotionString = 40275;
constexpr int kNoProjectString = 40256;
constexpr int kSaveChangesString = 40002;
constexpr int kUnsupportedDropString = 40253;
constexpr int kNoRecentProjectsString = 40282;
constexpr int kApplyButtonString = 40017;
constexpr int kToolbarFontString = 40104;
constexpr int kTimeOverrideTip = 40062;
constexpr int kLoopCountTip = 40063;
constexpr int kOffsetListTip = 40445;
constexpr int kNotAvailableString = 49000;

// Toolbar setting indices of the extra controls behind the 22 buttons.
constexpr int kTimeOverrideControl = 22;
constexpr int kLoopCountControl = 23;
constexpr int kOffsetListControl = 24;

constexpr double kMinSplit = 0.05;
constexpr double kMaxSplit = 0.95;

QString caption(int id) {
  const command::CommandInfo* info = command::findCommand(id);
  return info ? QString::fromUtf8(info->caption) : QString();
}

}  // namespace

std::u16string mainWindowTitle(const EditorState& state, const std::u16string& motionFileName) {
  std::u16string title = formatted(loadUiString(kTitleFormatString), {state.project.modelName});
  std::u16string motion = motionFileName.empty() ? loadUiString(kNewMotionString) : motionFileName;
  return title + formatted(u"  [%s]", {motion});
}

DroppedFileKind classifyDroppedFile(const QString& path) {
  const QString suffix = QFileInfo(path).suffix().toLower();
  if (suffix == "txt") return DroppedFileKind::Motion;
  if (suffix == "rpj") return DroppedFileKind::Project;
  return DroppedFileKind::Unsupported;
}

MainWindow::MainWindow(EditorState& state, const SkinImages& skins, QWidget* parent)
    : QMainWindow(parent), state_(state) {
  setObjectName("mainWindow");
  setAcceptDrops(true);
  client_ = new QWidget;
  client_->setObjectName("clientArea");
  client_->setMouseTracking(true);
  client_->installEventFilter(this);
  poseArea_ = new PoseArea(state, skins, client_);
  fillJointClipboard(state);
  motionArea_ = new MotionArea(state, client_);
  if (state.startupFailed) {
    auto* note = new QLabel(toQString(loadUiString(kNoProjectString)), motionArea_->viewport());
    note->setWordWrap(true);
    note->setGeometry(10, 10, 400, 80);
  }
  setCentralWidget(client_);

  buildActions();
  buildMenus();
  buildToolbar();

  poseArea_->contextMenuRequested = [this](QPoint at) { showPoseAreaMenu(at); };
  poseArea_->backgroundDoubleClicked = [this] { toggleCentreBar(); };
  motionArea_->contextMenuRequested = [this](QPoint at) { showMotionAreaMenu(at); };
  motionArea_->backgroundDoubleClicked = [this] { toggleCentreBar(); };
  motionArea_->propertiesRequested = [this](MotionBlock* block) {
    if (block) openBlockProperties(this, state_, *block);
  };
  splitAnimation_.setSingleShot(true);
  connect(&splitAnimation_, &QTimer::timeout, this, [this] { animateSplit(); });

  saveMotion = [this](bool askName) {
    MotionFileDialogs dialogs(this);
    bool saved = saveMotionCommand(state_, dialogs, askName, motionFileOptions());
    if (saved) updateTitle();
    return saved;
  };
  openMotionFile = [this](const std::filesystem::path& file) {
    if (loadMotionFile(state_, file, motionFileOptions())) motionReplaced();
  };
  state_.views.modifiedChanged = [this](bool modified) {
    if (modified) markModified();
  };
  state_.views.poseChanged = [this] { poseArea_->refresh(); };
  state_.views.motionChanged = [this] { motionArea_->refresh(); };
  state_.views.undoChanged = [this] { refreshMenuMarks(); };

  displayedSplit_ = state.sliders.centreBarState ? kMaxSplit : state.sliders.centreBarPosition;
  if (displayedSplit_ < kMinSplit || displayedSplit_ > kMaxSplit) displayedSplit_ = 0.6;
  int width = state.sliders.clientWidth > 0 ? state.sliders.clientWidth : 880;
  int height = state.sliders.clientHeight > 0 ? state.sliders.clientHeight : 640;
  int chrome = menuBar()->sizeHint().height() + (toolbar_->isVisible() ? toolbar_->sizeHint().height() : 0);
  resize(width, height + chrome);
  move(30, 20);
  updateTitle();
  setBusy(false);
  // Without a project the editor only offers to open another one: nothing
  // here may edit, go online or write the project's files.
  if (state.startupFailed) showMessage(kNoProjectString, MessageIcon::Information, MessageButtons::Ok);
}

MainWindow::~MainWindow() { state_.views = EditorViews{}; }

QAction* MainWindow::action(int command) const {
  auto it = actions_.find(command);
  return it == actions_.end() ? nullptr : it->second;
}

void MainWindow::buildActions() {
  for (const command::CommandInfo& info : command::commandTable()) {
    auto* action = new QAction(QString::fromUtf8(info.caption), this);
    action->setData(info.id);
    QList<QKeySequence> keys;
    if (!info.keys.isEmpty()) keys << info.keys;
    if (!info.secondKeys.isEmpty()) keys << info.secondKeys;
    action->setShortcuts(keys);
    action->setShortcutContext(Qt::WindowShortcut);
    QIcon icon = toolbarIcon(info.id);
    if (!icon.isNull()) action->setIcon(icon);
    addAction(action);  // keys work even for commands that are in no menu
    connect(action, &QAction::triggered, this, [this, id = info.id] { runCommand(id); });
    actions_[info.id] = action;
  }
  action(command::kOnline)->setCheckable(true);
  action(command::kServosOn)->setCheckable(true);
}

void MainWindow::buildMenus() {
  auto add = [this](QMenu* menu, std::initializer_list<int> ids) {
    for (int id : ids) {
      if (id == 0)
        menu->addSeparator();
      else
        menu->addAction(action(id));
    }
  };
  QMenuBar* bar = menuBar();
  QMenu* file = bar->addMenu(QString::fromUtf8("ファイル(&F)"));
  add(file, {command::kNewMotion, command::kOpenMotion, command::kSaveMotion, command::kSaveMotionAs, 0,
             command::kImportMotion, command::kImportLegacyMotion, 0, command::kNewProject, command::kOpenProject});
  recentMenu_ = file->addMenu(QString::fromUtf8("最近開いたロボットプロジェクト"));
  recentMenu_->setObjectName("recentProjects");
  file->addSeparator();
  add(file, {command::kExit});

  QMenu* edit = bar->addMenu(QString::fromUtf8("編集(&E)"));
  add(edit, {command::kUndo, command::kRedo, 0, command::kCutBlocks, command::kCopyBlocks, command::kPasteBlocks,
             command::kDeleteBlocks, 0, command::kBlockProperties});

  QMenu* pose = bar->addMenu(QString::fromUtf8("ポーズ(&P)"));
  add(pose, {command::kCopyJointValues, command::kPasteJointValues, command::kCopyLeftToRight,
             command::kCopyRightToLeft, command::kMirrorPose, 0});
  basePoseMenu_ = pose->addMenu(QString::fromUtf8("基準ポーズの選択"));
  basePoseMenu_->setObjectName("basePoseMenu");
  add(pose, {command::kBasePoseDialog, 0, command::kToggleDisplayInversion, command::kSliderSettings, 0,
             command::kOffsetDialog, command::kBatchOffset});

  QMenu* motion = bar->addMenu(QString::fromUtf8("モーション(&M)"));
  add(motion, {command::kAddPose, command::kAddCalculation, command::kAddBranch, command::kAddLoop, command::kAddEnd,
               0, command::kSplitPose, command::kDuplicatePose, command::kDeletePose, 0,
               command::kMirrorSelectedPoses, command::kApplyTimeOverride});

  QMenu* play = bar->addMenu(QString::fromUtf8("再生(&R)"));
  add(play, {command::kPlay, command::kStop, 0, command::kNextPose, command::kNextPoseByBranch});

  QMenu* link = bar->addMenu(QString::fromUtf8("通信(&C)"));
  add(link, {command::kOnline, command::kServosOn, command::kServoCorrection, 0, command::kFirmwareUpdate});

  QMenu* settings = bar->addMenu(QString::fromUtf8("プロジェクト設定(&S)"));
  add(settings, {command::kCpuSettings, command::kModeSwitchSettings, command::kDisplaySettings});

  QMenu* help = bar->addMenu(QString::fromUtf8("ヘルプ(&H)"));
  add(help, {command::kVersion});

  connect(recentMenu_, &QMenu::aboutToShow, this, [this] { fillRecentProjects(); });
  connect(basePoseMenu_, &QMenu::aboutToShow, this, [this] { fillBasePoseMenu(basePoseMenu_); });
  fillRecentProjects();
  fillBasePoseMenu(basePoseMenu_);
}

void MainWindow::buildToolbar() {
  toolbar_ = addToolBar(QString::fromUtf8("ツールバー"));
  toolbar_->setObjectName("toolbar");
  toolbar_->setMovable(false);
  toolbar_->setIconSize(QSize(16, 15));
  const auto& shown = state_.display.toolbarButtons;
  const auto& buttons = command::toolbarButtons();
  for (size_t i = 0; i < buttons.size(); ++i) {
    if (!shown[i]) continue;
    QAction* a = action(buttons[i].command);
    a->setToolTip(toQString(loadUiString(buttons[i].tooltipString)));
    if (buttons[i].command == command::kMatchBasePose) {
      auto* button = new QToolButton;
      button->setObjectName("basePoseButton");
      button->setDefaultAction(a);
      basePoseDropDown_ = new QMenu(button);
      connect(basePoseDropDown_, &QMenu::aboutToShow, this, [this] { fillBasePoseMenu(basePoseDropDown_); });
      button->setMenu(basePoseDropDown_);
      button->setPopupMode(QToolButton::MenuButtonPopup);
      toolbar_->addWidget(button);
    } else {
      toolbar_->addAction(a);
      if (QWidget* w = toolbar_->widgetForAction(a)) w->setObjectName(QString::number(buttons[i].command));
    }
  }

  QFont controlFont;
  controlFont.setFamilies({toQString(loadUiString(kToolbarFontString)), "Noto Sans CJK JP"});
  controlFont.setPixelSize(12);
  if (shown[kTimeOverrideControl]) {
    toolbar_->addSeparator();
    timeOverride_ = new QSpinBox;
    timeOverride_->setObjectName("timeOverride");
    timeOverride_->setRange(1, 999);
    timeOverride_->setValue(100);
    timeOverride_->setSuffix("%");
    timeOverride_->setFont(controlFont);
    timeOverride_->setToolTip(toQString(loadUiString(kTimeOverrideTip)));
    toolbar_->addWidget(timeOverride_);
    auto* apply = new QPushButton(toQString(loadUiString(kApplyButtonString)));
    apply->setObjectName("applyTimeOverride");
    apply->setFont(controlFont);
    apply->setToolTip(toQString(loadUiString(kTimeOverrideTip)));
    connect(apply, &QPushButton::clicked, this, [this] { runCommand(command::kApplyTimeOverride); });
    toolbar_->addWidget(apply);
  }
  if (shown[kLoopCountControl]) {
    toolbar_->addSeparator();
    loopCount_ = new QSpinBox;
    loopCount_->setObjectName("loopCount");
    loopCount_->setRange(-1, 100);
    loopCount_->setValue(3);
    loopCount_->setFont(controlFont);
    loopCount_->setToolTip(toQString(loadUiString(kLoopCountTip)));
    toolbar_->addWidget(loopCount_);
  }
  if (shown[kOffsetListControl]) {
    toolbar_->addSeparator();
    offsetList_ = new QComboBox;
    offsetList_->setObjectName("offsetList");
    offsetList_->setFont(controlFont);
    offsetList_->setMinimumWidth(120);
    offsetList_->setToolTip(toQString(loadUiString(kOffsetListTip)));
    // Choosing gives the keys back to the editor.
    connect(offsetList_, &QComboBox::activated, this, [this] { setFocus(); });
    toolbar_->addWidget(offsetList_);
  }
  toolbar_->setVisible(state_.status.has(status::kToolbar));
}

int MainWindow::timeOverride() const { return timeOverride_ ? timeOverride_->value() : 100; }
int MainWindow::loopCount() const { return loopCount_ ? loopCount_->value() : -2; }

void MainWindow::fillRecentProjects() {
  recentMenu_->clear();
  if (state_.recentProjects.empty()) {
    QAction* none = recentMenu_->addAction(toQString(loadUiString(kNoRecentProjectsString)));
    none->setEnabled(false);
    return;
  }
  for (size_t i = 0; i < state_.recentProjects.size(); ++i) {
    QAction* entry = recentMenu_->addAction(toQString(state_.recentProjects[i].robotName));
    int id = command::kFirstRecentProject + static_cast<int>(i);
    entry->setData(id);
    entry->setEnabled(commandAvailable(id));
    connect(entry, &QAction::triggered, this, [this, id] { runCommand(id); });
  }
}

void MainWindow::fillBasePoseMenu(QMenu* menu) {
  menu->clear();
  for (const BasePoseMenuItem& item : basePoseMenu(state_.basePoses)) {
    QAction* entry = menu->addAction(toQString(item.name));
    entry->setEnabled(item.enabled && (item.command == 0 || commandAvailable(item.command)));
    if (item.command == 0) continue;
    entry->setCheckable(true);
    entry->setChecked(item.checked);
    entry->setData(item.command);
    connect(entry, &QAction::triggered, this, [this, id = item.command] { runCommand(id); });
  }
}

void MainWindow::toggleCentreBar() {
  if (state_.status.has(status::kNoCentreBarToggle)) return;
  state_.sliders.centreBarState = state_.sliders.centreBarState ? 0 : -1;
  splitAnimation_.start(3);
}

void MainWindow::showMotionAreaMenu(const QPoint& globalPosition) {
  QMenu menu(this);
  menu.setObjectName("112");
  for (int id : {command::kAddPose, command::kAddCalculation, command::kAddBranch, command::kAddLoop,
                 command::kAddEnd, 0, command::kCutBlocks, command::kCopyBlocks, command::kPasteBlocks,
                 command::kDeleteBlocks, 0, command::kMirrorSelectedPoses, command::kBatchOffset, 0,
                 command::kBlockProperties}) {
    if (id == 0)
      menu.addSeparator();
    else
      menu.addAction(action(id));
  }
  menu.exec(globalPosition);
}

void MainWindow::showPoseAreaMenu(const QPoint& globalPosition) {
  QMenu menu(this);
  menu.setObjectName("107");
  for (int id : {command::kCopyJointValues, command::kPasteJointValues, command::kCopyLeftToRight,
                 command::kCopyRightToLeft, command::kMirrorPose})
    menu.addAction(action(id));
  menu.addSeparator();
  QMenu* bases = menu.addMenu(QString::fromUtf8("基準ポーズの選択"));
  fillBasePoseMenu(bases);
  menu.addAction(action(command::kBasePoseDialog));
  menu.addSeparator();
  menu.addAction(action(command::kToggleDisplayInversion));
  menu.addAction(action(command::kSliderSettings));
  menu.exec(globalPosition);
}

// After loading, saving and New: the title names the motion, which is unchanged.
void MainWindow::updateTitle() {
  std::u16string name;
  if (!state_.motion.file.empty()) name = fromPath(state_.motion.file.filename());
  motionFileName_ = name;
  state_.status.set(status::kModified, false);
  setWindowTitle(toQString(mainWindowTitle(state_, motionFileName_)));
}

void MainWindow::markModified() {
  if (!windowTitle().endsWith(" *")) setWindowTitle(windowTitle() + " *");
}

void MainWindow::setStatus(uint32_t bits, bool on) {
  uint32_t before = state_.status.set(bits, on);
  if ((bits & status::kModified) && on && !(before & status::kModified)) markModified();
  if (bits & status::kToolbar) toolbar_->setVisible(on);
  refreshMenuMarks();
}

void MainWindow::refreshMenuMarks() {
  action(command::kOnline)->setChecked(state_.status.has(status::kOnline));
  action(command::kServosOn)->setChecked(state_.status.has(status::kServosOn));
  action(command::kUndo)->setEnabled(commandAvailable(command::kUndo) && state_.undo.canUndo());
  action(command::kRedo)->setEnabled(commandAvailable(command::kRedo) && state_.undo.canRedo());
}

bool MainWindow::commandAvailable(int id) const {
  const unsigned flags = command::commandFlags(id);
  if (state_.startupFailed && !(flags & command::kRunsAfterFailedStartup)) return false;
  // Playback marks itself playing before the window hears of it.
  const bool playing = busy_ || state_.playing.load();
  if (playing && !(flags & command::kRunsWhilePlaying)) return false;
  return true;
}

void MainWindow::setBusy(bool playing) {
  busy_ = playing;
  for (auto& [id, a] : actions_) a->setEnabled(commandAvailable(id));
  for (QAction* menu : menuBar()->actions()) menu->setEnabled(true);
  // Playback owns the motion and the robot: neither area takes edits.
  const bool editing = !playing && !state_.startupFailed;
  poseArea_->setEnabled(editing);
  motionArea_->setEnabled(editing);
  for (QWidget* control : {static_cast<QWidget*>(timeOverride_), static_cast<QWidget*>(loopCount_),
                           static_cast<QWidget*>(offsetList_)})
    if (control) control->setEnabled(editing);
  if (!playing) action(command::kStop)->setEnabled(false);
  refreshMenuMarks();
}

MessageAnswer MainWindow::askSaveChanges() {
  if (!state_.status.has(status::kModified)) return MessageAnswer::Yes;
  MessageAnswer answer = showMessage(kSaveChangesString, MessageIcon::Question, MessageButtons::YesNoCancel);
  if (answer != MessageAnswer::Yes) return answer;
  // A save the user cancelled (or that failed) must not let the edits go.
  if (!saveMotion || !saveMotion(true)) return MessageAnswer::Cancel;
  return MessageAnswer::Yes;
}

MotionFileOptions MainWindow::motionFileOptions() const {
  MotionFileOptions options;
  options.motionAreaHeight = motionArea_->clientHeight();
  return options;
}

// A motion was opened: the title names it and both areas show it.
void MainWindow::motionReplaced() {
  updateTitle();
  poseArea_->refresh();
  notify(state_.views.motionChanged);
  refreshMenuMarks();
}

void MainWindow::notAvailableYet() { showMessage(kNotAvailableString, MessageIcon::Information, MessageButtons::Ok); }

bool MainWindow::cursorOverMotionArea() const {
  QPoint at = client_->mapFromGlobal(QCursor::pos());
  return at.x() >= client_->width() * displayedSplit_;
}

void MainWindow::runCommand(int id) {
  // Copying, pasting and selecting by key wait while a motion plays, like
  // every command not marked to run then.
  if (!commandAvailable(id)) return;
  // Jobs that other parts of the editor have registered come first.
  if (auto it = commandHandlers.find(id); it != commandHandlers.end() && it->second) {
    it->second();
    return;
  }
  if (id >= kFirstBasePoseCommand && id <= kLastBasePoseCommand) {
    chooseBasePoseCommand(state_, id, settingsFileToWrite(state_.project, kBasePoseFileName));
    return;
  }
  if (id >= command::kFirstRecentProject && id < command::kFirstRecentProject + 32) {
    size_t n = static_cast<size_t>(id - command::kFirstRecentProject);
    if (n < state_.recentProjects.size() && startInstance)
      startInstance(pathToQString(state_.recentProjects[n].projectFile));
    return;
  }
  switch (id) {
    case command::kExit:
      closeWithoutAsking_ = true;
      close();
      return;
    case command::kSliderSettings:
      openSliderSettings(this, state_.sliders, settingsFileToWrite(state_.project, kAxisDefinitionFileName),
                         [this] { poseArea_->markLayoutDirty(); });
      return;
    case command::kNewMotion:
      if (askSaveChanges() == MessageAnswer::Cancel) return;
      newMotion(state_, motionArea_->clientHeight());
      updateTitle();
      poseArea_->refresh();
      notify(state_.views.motionChanged);
      refreshMenuMarks();
      return;
    case command::kOpenMotion: {
      if (askSaveChanges() == MessageAnswer::Cancel) return;
      MotionFileDialogs dialogs(this);
      if (openMotionCommand(state_, dialogs, motionFileOptions())) motionReplaced();
      return;
    }
    case command::kSaveMotion:
    case command::kSaveMotionAs:
      saveMotion(id == command::kSaveMotionAs);
      return;
    case command::kImportMotion: {
      MotionFileDialogs dialogs(this);
      motionArea_->setRightClickCanvasPoint(
          importMotionCommand(state_, dialogs, motionArea_->rightClickCanvasPoint(), motionFileOptions()));
      notify(state_.views.motionChanged);
      poseArea_->refresh();
      return;
    }
    case command::kAddPose:
      addPoseBlock(state_, motionArea_->rightClickPoint(), motionArea_->rightClickOrigin());
      return;
    case command::kAddCalculation:
      addFlowBlock(state_, KindCalcConstant);
      return;
    case command::kAddBranch:
      addFlowBlock(state_, KindBranch);
      return;
    case command::kAddLoop:
      addFlowBlock(state_, KindLoop);
      return;
    case command::kAddEnd:
      addFlowBlock(state_, KindEnd);
      return;
    case command::kCutBlocks:
      cutBlocksCommand(state_);
      return;
    case command::kCopyBlocks:
      copyBlocksCommand(state_);
      return;
    case command::kPasteBlocks:
      pasteBlocksCommand(state_, false);
      return;
    case command::kDeleteBlocks:
    case command::kDeletePose:
      deleteBlocksCommand(state_);
      return;
    case command::kSplitPose:
      motionArea_->ensureVisible(splitPose(state_));
      return;
    case command::kDuplicatePose:
      motionArea_->ensureVisible(duplicatePose(state_));
      return;
    case command::kNextPose:
    case command::kNextPoseByBranch:
      motionArea_->ensureVisible(stepToNextPose(state_, id == command::kNextPoseByBranch));
      return;
    case command::kFirstPose:
      motionArea_->ensureVisible(selectFirstPose(state_));
      return;
    case command::kApplyTimeOverride:
      if (applyTimeOverride(state_, timeOverride()) && timeOverride_) timeOverride_->setValue(100);
      return;
    case command::kBlockProperties:
      if (MotionBlock* block =
              blockForProperties(state_.motion, motionArea_->rightClickPoint(), motionArea_->rightClickOrigin()))
        openBlockProperties(this, state_, *block);
      return;
    case command::kUndo:
      kv::undo(state_);
      return;
    case command::kRedo:
      kv::redo(state_);
      return;
    case command::kCopyJointValues:
      copyJointValues(state_);
      return;
    case command::kPasteJointValues:
      pasteJointValues(state_);
      return;
    case command::kCopyLeftToRight:
      copySide(state_, true);
      return;
    case command::kCopyRightToLeft:
      copySide(state_, false);
      return;
    case command::kMirrorPose:
      mirrorPose(state_);
      return;
    case command::kMirrorSelectedPoses:
      mirrorSelectedPoses(state_);
      return;
    case command::kMatchBasePose:
      applyBasePose(state_, -1);
      return;
    case command::kBasePoseDialog:
      openBasePoseDialog(this, state_, settingsFileToWrite(state_.project, kBasePoseFileName),
                         [this] { poseArea_->markLayoutDirty(); });
      return;
    case command::kToggleDisplayInversion:
      toggleDisplayInversion(state_.sliders);
      poseArea_->markLayoutDirty();
      return;
    case command::kSelectAll:
      if (cursorOverMotionArea()) {
        selectAllBlocksCommand(state_);
      } else {
        selectAllSliders(state_.sliders);
        poseArea_->refresh();
      }
      return;
    case command::kCopyHere:
      if (cursorOverMotionArea())
        copyBlocksCommand(state_);
      else
        copyJointValues(state_);
      return;
    case command::kPasteHere:
      if (cursorOverMotionArea())
        pasteBlocksCommand(state_, true);
      else
        pasteJointValues(state_);
      return;
    case command::kServosOffBySpace:
      // Only meaningful while the servos can be switched off by Space.
      if (!state_.status.has(status::kSpaceServoOff)) return;
      break;
    case command::kOpenProject: {
      QString file = QFileDialog::getOpenFileName(this, caption(command::kOpenProject),
                                                  pathToQString(state_.project.projectFolder), "*.rpj");
      if (!file.isEmpty() && startInstance) startInstance(file);
      return;
    }
    default:
      break;
  }
  notAvailableYet();
}

int MainWindow::centreBarX() const { return static_cast<int>(std::floor(client_->width() * displayedSplit_)); }

void MainWindow::layoutAreas() {
  int width = client_->width();
  int height = client_->height();
  int split = centreBarX();
  poseArea_->setGeometry(0, 0, std::max(0, split - 1), height);
  motionArea_->setGeometry(split + 1, 0, std::max(0, width - split - 1), height);
}

void MainWindow::animateSplit() {
  double target = state_.sliders.centreBarState ? kMaxSplit : state_.sliders.centreBarPosition;
  double d = (displayedSplit_ - target) * 0.5;
  if (std::abs(d) < 0.0001) {
    displayedSplit_ = target;
    layoutAreas();
    return;
  }
  displayedSplit_ -= d;
  layoutAreas();
  splitAnimation_.start(3);
}

void MainWindow::resizeEvent(QResizeEvent* event) {
  QMainWindow::resizeEvent(event);
  layoutAreas();
  if (!isMaximized() && !isMinimized() && !isFullScreen()) {
    // The axis file keeps the last normal size of the client area.
    state_.sliders.clientWidth = width();
    state_.sliders.clientHeight = client_->height();
  }
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
  if (watched == client_) {
    switch (event->type()) {
      case QEvent::Resize:
        layoutAreas();
        break;
      case QEvent::MouseMove: {
        auto* mouse = static_cast<QMouseEvent*>(event);
        int x = mouse->position().toPoint().x();
        if (draggingBar_) {
          int width = std::max(1, client_->width());
          double split = std::clamp(static_cast<double>(std::clamp(x, 0, width)) / width, kMinSplit, kMaxSplit);
          state_.sliders.centreBarPosition = split;
          state_.sliders.centreBarState = 0;
          displayedSplit_ = split;
          layoutAreas();
        }
        client_->setCursor(draggingBar_ || std::abs(x - centreBarX()) <= 2 ? Qt::SizeHorCursor : Qt::ArrowCursor);
        return draggingBar_;
      }
      case QEvent::MouseButtonPress: {
        auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->button() == Qt::LeftButton && std::abs(mouse->position().toPoint().x() - centreBarX()) <= 2) {
          draggingBar_ = true;
          return true;
        }
        break;
      }
      case QEvent::MouseButtonRelease:
        if (draggingBar_) {
          draggingBar_ = false;
          return true;
        }
        break;
      case QEvent::MouseButtonDblClick:
        if (!state_.status.has(status::kNoCentreBarToggle)) {
          state_.sliders.centreBarState = state_.sliders.centreBarState ? 0 : -1;
          splitAnimation_.start(3);
        }
        return true;
      default:
        break;
    }
  }
  return QMainWindow::eventFilter(watched, event);
}

void MainWindow::closeEvent(QCloseEvent* event) {
  if (!closeWithoutAsking_) {
    if (commandHandlers.count(command::kStop) && busy_) commandHandlers[command::kStop]();
    if (askSaveChanges() == MessageAnswer::Cancel) {
      event->ignore();
      return;
    }
  }
  event->accept();
}

void MainWindow::dragEnterEvent(QDragEnterEvent* event) {
  if (event->mimeData()->hasUrls()) event->acceptProposedAction();
}

void MainWindow::dropEvent(QDropEvent* event) {
  const QList<QUrl> urls = event->mimeData()->urls();
  if (urls.isEmpty()) return;
  event->acceptProposedAction();
  dropFile(urls.first().toLocalFile());  // only the first file counts
}

void MainWindow::dropFile(const QString& path) {
  switch (classifyDroppedFile(path)) {
    case DroppedFileKind::Motion:
      // Refused like the open command: while a motion plays, or without a project.
      if (!commandAvailable(command::kOpenMotion)) return;
      if (askSaveChanges() == MessageAnswer::Cancel) return;
      if (openMotionFile)
        openMotionFile(std::filesystem::path(path.toStdString()));
      else
        notAvailableYet();
      return;
    case DroppedFileKind::Project:
      if (startInstance) startInstance(path);
      return;
    case DroppedFileKind::Unsupported:
      showMessage(kUnsupportedDropString, MessageIcon::Error, MessageButtons::Ok);
      return;
  }
}

}  // namespace kv
