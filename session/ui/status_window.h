// The status window: a small top-level window that shows what the connected
// board reports, refreshed every 33 ms from the session's snapshot. It closes
// itself when the session ends.
#pragma once

#include <QTimer>
#include <QWidget>
#include <functional>
#include <optional>

#include "session/status_view.h"

namespace kv {

class StatusWindow : public QWidget {
  Q_OBJECT
 public:
  // Gives the values to show, or none once the session is no longer connected.
  using Source = std::function<std::optional<StatusInput>()>;

  StatusWindow(Source source, QWidget* owner);
  ~StatusWindow() override;

  // Opens the window unless one is open already; returns the open one.
  static StatusWindow* open(Source source, QWidget* owner);
  static StatusWindow* current();

  const StatusInput& shown() const { return shown_; }

 protected:
  void paintEvent(QPaintEvent* event) override;
  void moveEvent(QMoveEvent* event) override;

 private:
  void tick();

  Source source_;
  StatusInput shown_;
  QTimer timer_;
};

}  // namespace kv
