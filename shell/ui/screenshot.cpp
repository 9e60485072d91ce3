#include "shell/ui/screenshot.h"

#include <QCoreApplication>
#include <QEvent>
#include <QPainter>
#include <QPixmap>
#include <QTimer>
#include <QWidget>
#include <cstdio>

namespace kv {
namespace {

// The window's content under a drawn caption bar, so the picture shows the
// title even where no window manager draws one (a virtual X server).
QImage pictureWithTitle(QWidget* window) {
  const QPixmap content = window->grab();
  const int barHeight = window->fontMetrics().height() + 10;
  QImage picture(content.width(), content.height() + barHeight, QImage::Format_RGB32);
  picture.fill(window->palette().color(QPalette::Highlight));
  QPainter painter(&picture);
  painter.setPen(window->palette().color(QPalette::HighlightedText));
  painter.setFont(window->font());
  painter.drawText(QRect(8, 0, content.width() - 16, barHeight), Qt::AlignVCenter | Qt::AlignLeft,
                   window->windowTitle());
  painter.drawPixmap(0, barHeight, content);
  return picture;
}

class PaintWatcher : public QObject {
 public:
  PaintWatcher(QWidget* window, QString fileName) : QObject(window), window_(window), fileName_(std::move(fileName)) {}

  bool eventFilter(QObject* watched, QEvent* event) override {
    if (watched == window_ && event->type() == QEvent::Paint && !scheduled_) {
      scheduled_ = true;
      // Let the children finish painting before the picture is taken.
      QTimer::singleShot(200, this, [this] {
        bool ok = pictureWithTitle(window_).save(fileName_);
        if (!ok) std::fprintf(stderr, "Could not save the screenshot to %s\n", qPrintable(fileName_));
        QCoreApplication::exit(ok ? 0 : 1);
      });
    }
    return false;
  }

 private:
  QWidget* window_;
  QString fileName_;
  bool scheduled_ = false;
};

}  // namespace

void saveScreenshotWhenPainted(QWidget* window, const QString& fileName) {
  window->installEventFilter(new PaintWatcher(window, fileName));
}

}  // namespace kv
