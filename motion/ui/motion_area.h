// The motion area: the edited motion as a flowchart on a scrolling
// 2048 x 2048 canvas. Drawn into a canvas-sized back buffer that is brought
// up to date only where blocks changed; the mouse selects and moves blocks,
// reconnects links and drags their side legs, selects with a rubber band and
// changes pose transition times with the time tab and the wheel.
#pragma once

#include <QAbstractScrollArea>
#include <QFont>
#include <QImage>
#include <QPixmap>
#include <QRegion>
#include <QTimer>
#include <array>
#include <functional>
#include <optional>
#include <vector>

#include "display/display_settings.h"
#include "motion/block_editing.h"
#include "motion/motion_layout.h"
#include "motion/ui/block_measurer.h"
#include "pose/pose_edit.h"
#include "shell/editor_state.h"

namespace kv {

class MotionArea : public QAbstractScrollArea {
  Q_OBJECT
 public:
  explicit MotionArea(EditorState& state, QWidget* parent = nullptr);

  // Brings the blocks' sizes up to date and repaints what changed: blocks
  // marked for repaint, everything when blocks moved, were added or removed,
  // or links changed. Call after every change of the motion.
  void refresh();
  // Draws everything again (display settings changed).
  void markLayoutDirty();
  // Scrolls so that the block's top-left corner is visible.
  void ensureVisible(const MotionBlock* block);
  // A wheel turned over the area (also forwarded by the main window).
  void applyWheel(int delta, Qt::KeyboardModifiers modifiers);
  // The picture drawn under the flowchart while the motion-wallpaper
  // display bit is set.
  void setBackgroundImage(const QImage& image);

  // The last right click, as the popup menu's commands use it: the client
  // point, the scroll origin at that moment, and their sum on the canvas.
  Point rightClickPoint() const { return rightClickPoint_; }
  Point rightClickOrigin() const { return rightClickOrigin_; }
  Point rightClickCanvasPoint() const {
    return Point{rightClickPoint_.x + rightClickOrigin_.x, rightClickPoint_.y + rightClickOrigin_.y};
  }
  // Moves the remembered right click (imports cascade from it).
  void setRightClickCanvasPoint(Point canvas) {
    rightClickPoint_ = Point{canvas.x - rightClickOrigin_.x, canvas.y - rightClickOrigin_.y};
  }
  // Canvas coordinates of the viewport's top-left pixel.
  QPoint scrollOrigin() const;
  void setScrollOrigin(const QPoint& origin);
  Point toCanvas(const QPoint& client) const;
  QPoint toClient(Point canvas) const;
  int clientHeight() const;

  // Hooks for the main window.
  std::function<void(QPoint globalPosition)> contextMenuRequested;  // show popup menu 112
  std::function<void(MotionBlock* block)> propertiesRequested;      // open the block's property dialog
  std::function<void()> backgroundDoubleClicked;                    // double-click on empty canvas

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void scrollContentsBy(int dx, int dy) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;
  bool event(QEvent* event) override;

 private:
  enum Mode : int {
    Idle = 0,
    RubberBand = 2,
    MovingBlocks = 4,
    TimeUp = 6,
    TimeDown = 7,
    NextLeg = 9,
    BranchLeg = 10,
    NextEnd = 11,
    BranchEnd = 12,
  };

  // What a block looked like when drawn, beyond what its repaint mark covers.
  struct DrawnBlock {
    const MotionBlock* block = nullptr;
    AreaRect rect;
    std::array<const MotionBlock*, 2> link{};
    std::array<int32_t, 2> routeOffset{};
    int32_t kind = 0;
    uint32_t held = 0;
    Point drag;
    std::u16string name;
    std::u16string caption;
    bool operator==(const DrawnBlock&) const = default;
  };

  void relayout();
  void updateScrollBars();
  void redraw(const QRegion& region);
  void drawBlock(QPainter& painter, const MotionBlock& block, int timeBarWidth);
  void drawLinks(QPainter& painter, const MotionBlock& block);
  void press(QMouseEvent* event);
  void pressLeft(const AreaHit& hit, Point canvas, Qt::KeyboardModifiers modifiers);
  void dragTo(Point canvas, Qt::KeyboardModifiers modifiers);
  void finishDrag();
  void timeTick();
  MotionBlock* heldBlock() const;
  void changed();

  EditorState& state_;
  QPixmap backBuffer_;
  QImage backgroundImage_;
  QFont font_;
  std::optional<LogicalFont> fontSource_;  // the settings font that font_ was made from
  std::optional<QtBlockMeasurer> measurer_;  // sizes blocks in font_
  MotionAreaColours colours_;
  bool wallpaper_ = false;
  bool fullRepaint_ = true;
  QRegion stale_;  // canvas parts of the back buffer that are out of date
  std::vector<DrawnBlock> drawn_;
  const MotionBlock* drawnCurrent_ = nullptr;
  AreaSize extent_;

  Mode mode_ = Idle;
  Point pressPoint_;  // canvas point of the press; the rubber band's anchor
  Point lastPoint_;   // canvas point of the last move
  QPoint lastClient_;
  bool moved_ = false;
  MotionBlock* held_ = nullptr;  // the block whose time tab or link is held
  HeldLink linkHold_;
  int timeStep_ = 0;
  int repeatDelay_ = 0;
  QTimer timeTimer_;
  WheelAccumulator wheel_;
  Point rightClickPoint_;
  Point rightClickOrigin_;
};

}  // namespace kv
