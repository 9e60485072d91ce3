#include "session/ui/status_window.h"

#include <QGuiApplication>
#include <QMoveEvent>
#include <QPainter>
#include <QScreen>

#include "shell/ui/qt_text.h"

namespace kv {
namespace {

constexpr int kRefreshMs = 33;
StatusWindow* openWindow = nullptr;
std::optional<QPoint> lastPosition;

}  // namespace

StatusWindow::StatusWindow(Source source, QWidget* owner) : QWidget(owner, Qt::Window), source_(std::move(source)) {
  setObjectName("statusWindow");
  setWindowTitle("status window");
  setAttribute(Qt::WA_DeleteOnClose);
  resize(472, 200);
  QPalette palette = this->palette();
  palette.setColor(QPalette::Window, Qt::white);
  setPalette(palette);
  setAutoFillBackground(true);
  if (lastPosition) {
    QRect area = QGuiApplication::primaryScreen() ? QGuiApplication::primaryScreen()->availableGeometry()
                                                  : QRect(0, 0, 1920, 1080);
    QPoint at(std::clamp(lastPosition->x(), area.left(), std::max(area.left(), area.right() - width())),
              std::clamp(lastPosition->y(), area.top(), std::max(area.top(), area.bottom() - height())));
    move(at);
  }
  connect(&timer_, &QTimer::timeout, this, [this] { tick(); });
  timer_.start(kRefreshMs);
  tick();
}

StatusWindow::~StatusWindow() {
  lastPosition = pos();
  if (openWindow == this) openWindow = nullptr;
}

StatusWindow* StatusWindow::open(Source source, QWidget* owner) {
  if (openWindow) return openWindow;
  openWindow = new StatusWindow(std::move(source), owner);
  openWindow->show();
  if (owner) owner->raise();  // the editor stays in front
  return openWindow;
}

StatusWindow* StatusWindow::current() { return openWindow; }

void StatusWindow::tick() {
  std::optional<StatusInput> input = source_ ? source_() : std::nullopt;
  if (!input) {
    // The session ended: the window goes with it.
    timer_.stop();
    QMetaObject::invokeMethod(this, &QWidget::close, Qt::QueuedConnection);
    return;
  }
  shown_ = *input;
  update();
}

void StatusWindow::moveEvent(QMoveEvent* event) {
  lastPosition = event->pos();
  QWidget::moveEvent(event);
}

void StatusWindow::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  const StatusPicture picture = statusPicture(shown_);
  painter.setPen(Qt::black);
  const QFontMetrics metrics(font());
  for (const StatusLine& line : picture.lines)
    painter.drawText(0, line.y + metrics.ascent(), toQString(line.text));
  if (!picture.showBar) return;
  QColor fill = picture.level == BatteryLevel::Shutdown ? Qt::red
                : picture.level == BatteryLevel::Alarm  ? Qt::yellow
                                                        : Qt::cyan;
  painter.setPen(Qt::black);
  painter.setBrush(fill);
  painter.drawRect(QRect(QPoint(kStatusBarLeft, kStatusBarTop),
                         QPoint(kStatusBarLeft + picture.barWidth, kStatusBarBottom)));
  painter.setPen(QPen(Qt::yellow, 3));
  painter.drawLine(picture.alarmX, kStatusBarTop, picture.alarmX, kStatusBarBottom);
  painter.setPen(QPen(Qt::red, 3));
  painter.drawLine(picture.shutdownX, kStatusBarTop, picture.shutdownX, kStatusBarBottom);
}

}  // namespace kv
