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
#include "motion/ui/motion_command_set.h"
#include "motion/ui/motion_file_dialogs.h"
#include "pose/base_poses.h"
#include "pose/pose_edit.h"
#include "pose/pose_operations.h"
#include "pose/ui/pose_area.h"
#include "pose/ui/pose_command_set.h"
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
constexpr int kNotOnlineString = 40006;

// Toolbar setting indices of the extra controls behind the 22 buttons.
constexpr int kTimeOverrideControl = 22;
constexpr int kLoopCountControl = 23;
constexpr int kOffsetListControl = 24;

constexpr double kMinSplit = 0.05;
constexpr double kMaxSplit = 0.95;

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
    : QMainWindow(parent), state_(state), commands_(this, [this](int id) { runCommand(id); }) {
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

  buildMenus();
  commands_.added = [this](const command::CommandRegistry::Command& command) {
    placeInMenu(command.spec.place, command.action);
    refreshMenuMarks();
  };
  addShellCommands();
  addPoseCommands(*this, state_);
  addMotionCommands(*this, state_);
  addPlaceholderCommands();
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
  state_.views.statusChanged = [this](uint32_t before, uint32_t after) { statusChanged(before, after); };
  state_.views.poseChanged = [this] { poseArea_->refresh(); };
  state_.views.motionChanged = [this] { motionArea_->refresh(); };
  state_.views.undoChanged = [this] { refreshMenuMarks(); };

  displayedSplit_ = state.sliders.centreBarState ? kMaxSplit : state.sliders.centreBarPosition;
  if (displayedSplit_ < kMinSplit || displayedSplit_ > kMaxSplit) displayedSplit_ = 0.6;
  int width = state.sliders.clientWidth > 0 ? state.sliders.clientWidth : 880;
  int height = state.sliders.clientHeight > 0 ? state.sliders.clientHeight : 640;
  // The remembered size is the client area's: everything below the menu
  // bar, the toolbar included, so it does not depend on whether the
  // toolbar shows (which it never does before the window is shown).
  int menuHeight = menuBar()->heightForWidth(width);
  if (menuHeight <= 0) menuHeight = menuBar()->sizeHint().height();
  resize(width, height + menuHeight);
  move(30, 20);
  updateTitle();
  setBusy(false);
  // Without a project the editor only offers to open another one: nothing
  // here may edit, go online or write the project's files.
  if (state.startupFailed) showMessage(kNoProjectString, MessageIcon::Information, MessageButtons::Ok);
}

MainWindow::~MainWindow() { state_.views = EditorViews{}; }

QAction* MainWindow::action(int command) const {
  auto it = commands_.commands().find(command);
  return it == commands_.commands().end() ? nullptr : it->second.action;
}

void MainWindow::buildMenus() {
  using command::Menu;
  QMenuBar* bar = menuBar();
  const std::pair<Menu, const char*> menus[] = {
      {Menu::File, "ファイル(&F)"},   {Menu::Edit, "編集(&E)"},   {Menu::Pose, "ポーズ(&P)"},
      {Menu::Motion, "モーション(&M)"}, {Menu::Play, "再生(&R)"},   {Menu::Link, "通信(&C)"},
      {Menu::Settings, "プロジェクト設定(&S)"}, {Menu::Help, "ヘルプ(&H)"},
  };
  for (const auto& [menu, title] : menus) menus_[menu] = bar->addMenu(QString::fromUtf8(title));

  recentMenu_ = new QMenu(QString::fromUtf8("最近開いたロボットプロジェクト"), this);
  recentMenu_->setObjectName("recentProjects");
  placeInMenu({Menu::File, 320}, recentMenu_->menuAction());
  basePoseMenu_ = new QMenu(QString::fromUtf8("基準ポーズの選択"), this);
  basePoseMenu_->setObjectName("basePoseMenu");
  placeInMenu({Menu::Pose, 200}, basePoseMenu_->menuAction());

  connect(recentMenu_, &QMenu::aboutToShow, this, [this] { fillRecentProjects(); });
  connect(basePoseMenu_, &QMenu::aboutToShow, this, [this] { fillBasePoseMenu(basePoseMenu_); });
  fillRecentProjects();
  fillBasePoseMenu(basePoseMenu_);
}

// Puts an action into its main menu by rank (replacing its earlier place)
// and lays that menu out again, with a line between ranks of different
// hundreds.
void MainWindow::placeInMenu(command::MenuPlace place, QAction* action) {
  for (auto& [menu, items] : menuItems_) {
    if (std::erase_if(items, [action](const auto& item) { return item.second == action; }) && menu != place.menu) {
      // Left its old menu: that one is laid out again without it.
      placeInMenu({menu, 0}, nullptr);
    }
  }
  if (place.menu == command::Menu::None) return;
  auto& items = menuItems_[place.menu];
  if (action) items.emplace_back(place.rank, action);
  std::stable_sort(items.begin(), items.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
  QMenu* menu = menus_.at(place.menu);
  menu->clear();
  for (size_t i = 0; i < items.size(); ++i) {
    if (i > 0 && items[i].first / 100 != items[i - 1].first / 100) menu->addSeparator();
    menu->addAction(items[i].second);
  }
}

// The shell's own commands: the project, Exit, undo and redo, and the keys
// that go to the area under the cursor.
void MainWindow::addShellCommands() {
  using command::Menu;
  namespace c = command;
  commands_.add({.id = c::kExit,
                 .caption = "終了(&X)",
                 .keys = {QKeySequence("Ctrl+Q")},
                 .flags = c::kRunsAfterFailedStartup,
                 .place = {Menu::File, 400}},
                [this] {
                  closeWithoutAsking_ = true;
                  close();
                });
  commands_.add({.id = c::kOpenProject,
                 .caption = "ロボットプロジェクトを開く...",
                 .flags = c::kRunsAfterFailedStartup,
                 .place = {Menu::File, 310}},
                [this] {
                  QString file = QFileDialog::getOpenFileName(this, action(c::kOpenProject)->text(),
                                                              pathToQString(state_.project.projectFolder), "*.rpj");
                  if (!file.isEmpty() && startInstance) startInstance(file);
                });
  // A recent project opens in an editor of its own.
  commands_.addRange(c::kFirstRecentProject, c::kRecentProjectCount, c::kRunsAfterFailedStartup, [this](int n) {
    if (n < static_cast<int>(state_.recentProjects.size()) && startInstance)
      startInstance(pathToQString(state_.recentProjects[n].projectFile));
  });
  commands_.add({.id = c::kUndo,
                 .caption = "元に戻す(&U)",
                 .keys = {QKeySequence("Ctrl+Z")},
                 .place = {Menu::Edit, 100},
                 .enabledWhen = [this] { return state_.undo.canUndo(); }},
                [this] { kv::undo(state_); });
  commands_.add({.id = c::kRedo,
                 .caption = "やり直し(&R)",
                 .keys = {QKeySequence("Ctrl+Y")},
                 .place = {Menu::Edit, 110},
                 .enabledWhen = [this] { return state_.undo.canRedo(); }},
                [this] { kv::redo(state_); });
  // Select all, copy and paste act on the area under the mouse cursor.
  commands_.add({.id = c::kSelectAll, .keys = {QKeySequence("Ctrl+A")}}, [this] {
    if (cursorOverMotionArea()) {
      selectAllBlocksCommand(state_);
    } else {
      selectAllSliders(state_.sliders);
      poseArea_->refresh();
    }
  });
  commands_.add({.id = c::kCopyHere, .keys = {QKeySequence("Ctrl+C")}}, [this] {
    if (cursorOverMotionArea())
      copyBlocksCommand(state_);
    else
      copyJointValues(state_);
  });
  commands_.add({.id = c::kPasteHere, .keys = {QKeySequence("Ctrl+V")}}, [this] {
    if (cursorOverMotionArea())
      pasteBlocksCommand(state_, true);
    else
      pasteJointValues(state_);
  });
}

// Commands whose dialogs have not been built yet: they hold their place in
// the menus and tell the user they are not available. The subsystem that
// brings one registers it under the same number, which replaces the entry
// here; its line below then goes.
void MainWindow::addPlaceholderCommands() {
  using command::Menu;
  namespace c = command;
  const auto later = [this] { notAvailableYet(); };
  commands_.add({.id = c::kImportLegacyMotion, .caption = "Velbo-L2のモーションを読み込む", .place = {Menu::File, 210}},
                later);
  commands_.add({.id = c::kNewProject, .caption = "ロボットプロジェクトの新規作成...", .place = {Menu::File, 300}}, later);
  commands_.add({.id = c::kOffsetDialog, .caption = "オフセットの登録...", .place = {Menu::Pose, 400}}, later);
  commands_.add({.id = c::kBatchOffset, .caption = "選択したポーズの一括オフセット", .place = {Menu::Pose, 410}}, later);
  commands_.add({.id = c::kFirmwareUpdate, .caption = "ファームウェアアップデート...", .place = {Menu::Link, 200}}, later);
  commands_.add({.id = c::kModeSwitchSettings,
                 .caption = "モードスイッチ/音声の設定・書き込み...",
                 .place = {Menu::Settings, 110}},
                later);
  commands_.add({.id = c::kDisplaySettings, .caption = "画面表示の設定...", .place = {Menu::Settings, 120}}, later);
  commands_.add({.id = c::kVersion, .caption = "バージョン情報...", .place = {Menu::Help, 100}}, later);
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
    QAction* a = commands_.action(buttons[i].command);
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
void MainWindow::setTimeOverride(int percent) {
  if (timeOverride_) timeOverride_->setValue(percent);
}
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

// Fills a pop-up menu with the registered commands of `ids` (0: a line).
void MainWindow::addToPopup(QMenu& menu, std::initializer_list<int> ids) const {
  for (int id : ids) {
    if (id == 0)
      menu.addSeparator();
    else if (QAction* a = action(id))
      menu.addAction(a);
  }
}

void MainWindow::showMotionAreaMenu(const QPoint& globalPosition) {
  QMenu menu(this);
  menu.setObjectName("112");
  addToPopup(menu, {command::kAddPose, command::kAddCalculation, command::kAddBranch, command::kAddLoop,
                    command::kAddEnd, 0, command::kCutBlocks, command::kCopyBlocks, command::kPasteBlocks,
                    command::kDeleteBlocks, 0, command::kMirrorSelectedPoses, command::kBatchOffset, 0,
                    command::kBlockProperties});
  menu.exec(globalPosition);
}

void MainWindow::showPoseAreaMenu(const QPoint& globalPosition) {
  QMenu menu(this);
  menu.setObjectName("107");
  addToPopup(menu, {command::kCopyJointValues, command::kPasteJointValues, command::kCopyLeftToRight,
                    command::kCopyRightToLeft, command::kMirrorPose, 0});
  QMenu* bases = menu.addMenu(QString::fromUtf8("基準ポーズの選択"));
  fillBasePoseMenu(bases);
  addToPopup(menu, {command::kBasePoseDialog, 0, command::kToggleDisplayInversion, command::kSliderSettings});
  menu.exec(globalPosition);
}

// After loading, saving and New: the title names the motion, which is unchanged.
void MainWindow::updateTitle() {
  std::u16string name;
  if (!state_.motion.file.empty()) name = fromPath(state_.motion.file.filename());
  motionFileName_ = name;
  kv::setStatus(state_, status::kModified, false);
}

// Whatever wrote the status word: the title carries " *" while the motion
// is modified, the toolbar follows its bit, and the menu marks are refreshed.
void MainWindow::statusChanged(uint32_t before, uint32_t after) {
  QString title = toQString(mainWindowTitle(state_, motionFileName_));
  if (after & status::kModified) title += " *";
  setWindowTitle(title);
  if ((before ^ after) & status::kToolbar) toolbar_->setVisible((after & status::kToolbar) != 0);
  refreshMenuMarks();
}

void MainWindow::refreshMenuMarks() {
  for (const auto& [id, command] : commands_.commands()) {
    const command::CommandSpec& spec = command.spec;
    QAction* a = command.action;
    if (!a) continue;
    a->setEnabled(command.job && commandAvailable(id) && (!spec.enabledWhen || spec.enabledWhen()));
    if (spec.checkedBy) a->setChecked(state_.status.has(spec.checkedBy));
    if (spec.keysWhen) {
      QList<QKeySequence> keys = state_.status.has(spec.keysWhen) ? spec.keys : QList<QKeySequence>{};
      if (a->shortcuts() != keys) a->setShortcuts(keys);
    }
  }
}

bool MainWindow::commandAvailable(int id) const {
  const unsigned flags = commands_.flags(id);
  if (state_.startupFailed && !(flags & command::kRunsAfterFailedStartup)) return false;
  // Playback marks itself playing before the window hears of it.
  const bool playing = busy_ || state_.playing.load();
  if (playing && !(flags & command::kRunsWhilePlaying)) return false;
  if (!playing && (flags & command::kOnlyWhilePlaying)) return false;
  return true;
}

void MainWindow::setBusy(bool playing) {
  busy_ = playing;
  for (QAction* menu : menuBar()->actions()) menu->setEnabled(true);
  // Playback owns the motion and the robot: neither area takes edits.
  const bool editing = !playing && !state_.startupFailed;
  poseArea_->setEnabled(editing);
  motionArea_->setEnabled(editing);
  for (QWidget* control : {static_cast<QWidget*>(timeOverride_), static_cast<QWidget*>(loopCount_),
                           static_cast<QWidget*>(offsetList_)})
    if (control) control->setEnabled(editing);
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
  if (!commandAvailable(id)) return;
  if (!commands_.registered(id)) {
    notAvailableYet();
    return;
  }
  if ((commands_.flags(id) & command::kNeedsBoard) && !state_.status.has(status::kOnline)) {
    showMessage(kNotOnlineString, MessageIcon::Error, MessageButtons::Ok);
    return;
  }
  commands_.runJob(id);
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
    // The axis file keeps the last normal size of the client area (below
    // the menu bar, the toolbar included).
    state_.sliders.clientWidth = width();
    state_.sliders.clientHeight = height() - menuBar()->height();
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
    if (busy_) runCommand(command::kStop);
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
