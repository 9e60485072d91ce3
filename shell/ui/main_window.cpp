#include "shell/ui/main_window.h"

#include <QAction>
#include <QFrame>
#include <QLabel>
#include <QMenuBar>
#include <QVBoxLayout>

#include "pose/ui/pose_area.h"
#include "pose/ui/slider_settings_dialog.h"
#include "shell/string_table.h"
#include "shell/text_format.h"
#include "shell/ui/qt_text.h"

namespace kv {
namespace {

constexpr int kNewMotionString = 40275;
constexpr int kProjectUnreadableString = 40244;
constexpr int kSplitterWidth = 4;

}  // namespace

std::u16string mainWindowTitle(const EditorState& state, const std::u16string& motionFileName) {
  std::u16string title = formatted(loadUiString(kTitleFormatString), {state.project.modelName});
  std::u16string motion = motionFileName.empty() ? loadUiString(kNewMotionString) : motionFileName;
  return title + formatted(u"  [%s]", {motion});
}

MainWindow::MainWindow(EditorState& state, const SkinImages& skins, QWidget* parent)
    : QMainWindow(parent), state_(state) {
  setObjectName("mainWindow");
  auto* central = new QWidget;
  central->setObjectName("clientArea");
  poseArea_ = new PoseArea(state, skins, central);
  motionArea_ = new QFrame(central);
  motionArea_->setObjectName("motionArea");
  motionArea_->setFrameShape(QFrame::StyledPanel);
  motionArea_->setAutoFillBackground(true);
  QPalette palette = motionArea_->palette();
  palette.setColor(QPalette::Window, Qt::white);
  motionArea_->setPalette(palette);
  if (state.startupFailed) {
    auto* note = new QLabel(toQString(loadUiString(kProjectUnreadableString)));
    note->setWordWrap(true);
    (new QVBoxLayout(motionArea_))->addWidget(note);
  }
  setCentralWidget(central);
  buildMenus();

  int width = state.sliders.clientWidth > 0 ? state.sliders.clientWidth : 880;
  int height = state.sliders.clientHeight > 0 ? state.sliders.clientHeight : 640;
  resize(width, height + menuBar()->sizeHint().height());
  move(30, 20);
  updateTitle();
}

void MainWindow::buildMenus() {
  QMenu* settings = menuBar()->addMenu(QString::fromUtf8("プロジェクト設定(&P)"));
  QAction* sliders = settings->addAction(QString::fromUtf8("ポーズスライダのプロパティ..."));
  sliders->setData(command::kSliderSettings);
  connect(menuBar(), &QMenuBar::triggered, this, [this](QAction* action) {
    if (action->data().isValid()) runCommand(action->data().toInt());
  });
}

void MainWindow::runCommand(int id) {
  switch (id) {
    case command::kSliderSettings:
      openSliderSettings(this, state_.sliders, state_.project.projectFolder / kSliderSettingsFileName,
                         [this] { poseArea_->markLayoutDirty(); });
      break;
    default:
      break;
  }
}

void MainWindow::resizeEvent(QResizeEvent* event) {
  QMainWindow::resizeEvent(event);
  layoutAreas();
}

// The pose area takes the centre bar's share of the width (0.95 when widened).
void MainWindow::layoutAreas() {
  QWidget* client = centralWidget();
  if (!client) return;
  double share = state_.sliders.centreBarState != 0 ? 0.95 : state_.sliders.centreBarPosition;
  if (share <= 0.0 || share >= 1.0) share = 0.6;
  int width = client->width();
  int poseWidth = static_cast<int>(width * share);
  poseArea_->setGeometry(0, 0, poseWidth, client->height());
  motionArea_->setGeometry(poseWidth + kSplitterWidth, 0, std::max(0, width - poseWidth - kSplitterWidth),
                           client->height());
}

void MainWindow::updateTitle() { setWindowTitle(toQString(mainWindowTitle(state_, motionFileName_))); }

}  // namespace kv
