#include "shell/ui/main_window.h"

#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>

#include "shell/string_table.h"
#include "shell/text_format.h"
#include "shell/ui/qt_text.h"

namespace kv {
namespace {

constexpr int kNewMotionString = 40275;
constexpr int kProjectUnreadableString = 40244;
constexpr int kDefaultClientWidth = 880;
constexpr int kDefaultClientHeight = 640;

QFrame* makeArea(const QString& objectName, const QColor& colour) {
  auto* area = new QFrame;
  area->setObjectName(objectName);
  area->setFrameShape(QFrame::StyledPanel);
  area->setAutoFillBackground(true);
  QPalette palette = area->palette();
  palette.setColor(QPalette::Window, colour);
  area->setPalette(palette);
  return area;
}

}  // namespace

std::u16string mainWindowTitle(const EditorState& state, const std::u16string& motionFileName) {
  std::u16string title = formatted(loadUiString(kTitleFormatString), {state.project.modelName});
  std::u16string motion = motionFileName.empty() ? loadUiString(kNewMotionString) : motionFileName;
  return title + formatted(u"  [%s]", {motion});
}

MainWindow::MainWindow(EditorState& state, QWidget* parent) : QMainWindow(parent), state_(state) {
  setObjectName("mainWindow");
  auto* central = new QWidget;
  auto* layout = new QHBoxLayout(central);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(4);
  QFrame* poseArea = makeArea("poseArea", QColor(0xE8, 0xEC, 0xF0));
  QFrame* motionArea = makeArea("motionArea", Qt::white);
  if (state.startupFailed) {
    auto* note = new QLabel(toQString(loadUiString(kProjectUnreadableString)), poseArea);
    note->setWordWrap(true);
    auto* noteLayout = new QHBoxLayout(poseArea);
    noteLayout->addWidget(note);
  }
  layout->addWidget(poseArea, 1);
  layout->addWidget(motionArea, 1);
  setCentralWidget(central);
  resize(kDefaultClientWidth, kDefaultClientHeight);
  move(30, 20);
  updateTitle();
}

void MainWindow::updateTitle() { setWindowTitle(toQString(mainWindowTitle(state_, motionFileName_))); }

}  // namespace kv
