#include "motion/ui/motion_area.h"

#include <QContextMenuEvent>
#include <QFontMetrics>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QPolygon>
#include <QScrollBar>
#include <QWheelEvent>
#include <cstdlib>

#include "display/ui/fonts.h"
#include "motion/block_editing.h"
#include "motion/ui/block_measurer.h"
#include "shell/messages.h"
#include "shell/string_table.h"
#include "shell/ui/qt_text.h"
#include "shell/undo_commands.h"

namespace kv {
namespace {

constexpr int kBufferSide = kMotionAreaExtent + kCanvasMargin + 1;
constexpr int kNoBackBufferMessage = 40288;
constexpr int kNoLabelString = 40440;   // "NO"
constexpr int kYesLabelString = 40441;  // "YES"
constexpr int kFirstRepeatDelayMs = 500;
constexpr int kRepeatDelayMs = 50;
constexpr int kScrollLine = 16;
constexpr int kWheelNotch = 120;
constexpr int kVisibleMargin = 20;  // space left of and above a block scrolled into view
constexpr int kArrowDepth = 3;
constexpr uint32_t kHeldFlags = block_flag::kDraggingNext | block_flag::kDraggingBranch;

uint32_t heldFlag(int link) { return link == kBranchLink ? block_flag::kDraggingBranch : block_flag::kDraggingNext; }

QPoint toQPoint(Point p) { return QPoint(p.x, p.y); }

// The part of the canvas a block's own drawing covers.
QRect paintedRect(const AreaRect& r) { return QRect(r.left, r.top, r.right - r.left, r.bottom - r.top).adjusted(-4, -4, 4, 4); }

QPolygon hexagon(const MotionBlock& b) {
  const int middle = b.top + (b.bottom - b.top) / 2;
  const int right = b.right - 1, bottom = b.bottom - 1;
  QPolygon shape;
  shape << QPoint(b.left, middle) << QPoint(b.left + 5, b.top) << QPoint(right - 5, b.top) << QPoint(right, middle)
        << QPoint(right - 5, bottom) << QPoint(b.left + 5, bottom);
  return shape;
}

QPolygon arrowHead(Point tip, ArrowDirection direction) {
  const QPoint t = toQPoint(tip);
  QPolygon head;
  switch (direction) {
    case ArrowDirection::Left:
      head << t << t + QPoint(kArrowDepth, -kArrowDepth) << t + QPoint(kArrowDepth, kArrowDepth);
      break;
    case ArrowDirection::Right:
      head << t << t + QPoint(-kArrowDepth, -kArrowDepth) << t + QPoint(-kArrowDepth, kArrowDepth);
      break;
    case ArrowDirection::Down:
      head << t << t + QPoint(-kArrowDepth, -kArrowDepth) << t + QPoint(kArrowDepth, -kArrowDepth);
      break;
    case ArrowDirection::None:
      break;
  }
  return head;
}

bool hasPropertyDialog(const MotionBlock& b) {
  return b.kind == KindPose || b.kind == KindLoop || b.kind == KindBranch || b.kind == KindCalcConstant ||
         b.kind == KindCalcVariable;
}

}  // namespace

MotionArea::MotionArea(EditorState& state, QWidget* parent) : QAbstractScrollArea(parent), state_(state) {
  setObjectName("motionArea");
  viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  backBuffer_ = QPixmap(kBufferSide, kBufferSide);
  if (backBuffer_.isNull()) {
    showMessage(kNoBackBufferMessage, MessageIcon::Error, MessageButtons::Ok);
    std::exit(EXIT_FAILURE);
  }
  timeTimer_.setSingleShot(true);
  connect(&timeTimer_, &QTimer::timeout, this, [this] { timeTick(); });
  relayout();
}

QPoint MotionArea::scrollOrigin() const {
  return QPoint(horizontalScrollBar()->value(), verticalScrollBar()->value());
}

void MotionArea::setScrollOrigin(const QPoint& origin) {
  updateScrollBars();
  horizontalScrollBar()->setValue(origin.x());
  verticalScrollBar()->setValue(origin.y());
}

Point MotionArea::toCanvas(const QPoint& client) const {
  const QPoint origin = scrollOrigin();
  return Point{client.x() + origin.x(), client.y() + origin.y()};
}

QPoint MotionArea::toClient(Point canvas) const { return toQPoint(canvas) - scrollOrigin(); }

int MotionArea::clientHeight() const { return viewport()->height(); }

void MotionArea::setBackgroundImage(const QImage& image) {
  backgroundImage_ = image;
  markLayoutDirty();
}

void MotionArea::markLayoutDirty() {
  fullRepaint_ = true;
  refresh();
}

void MotionArea::refresh() {
  // A key or menu command took the held block away (delete, undo): the hold
  // ends at once, before another block can take its place in memory.
  // The edit that did so has recorded the motion as it now is.
  if (held_ && !holdsBlock(state_.motion, held_)) {
    timeTimer_.stop();
    mode_ = Idle;
    held_ = nullptr;
    linkHold_ = HeldLink{};
  }
  relayout();
  viewport()->update();
}

// Captions, sizes and scroll ranges; works out which parts of the back
// buffer the changes since the last call made stale.
void MotionArea::relayout() {
  const DisplaySettings& display = state_.display;
  const bool wallpaper = state_.status.has(status::kMotionWallpaper);
  if (fontSource_ != display.motionAreaFont) {
    fontSource_ = display.motionAreaFont;
    font_ = toQFont(*fontSource_);
    measurer_.emplace(font_);
    fullRepaint_ = true;
  }
  if (!(display.colours == colours_) || wallpaper != wallpaper_) {
    colours_ = display.colours;
    wallpaper_ = wallpaper;
    fullRepaint_ = true;
  }

  Motion& motion = state_.motion;
  if (layoutBlocks(motion, *measurer_)) fullRepaint_ = true;

  std::vector<DrawnBlock> now;
  now.reserve(motion.blocks.size());
  for (const auto& block : motion.blocks) {
    const MotionBlock& b = *block;
    now.push_back(DrawnBlock{&b, blockRect(b), {b.link[0], b.link[1]}, b.routeOffset, b.kind, b.flags & kHeldFlags,
                             (b.flags & kHeldFlags) ? Point{b.dragX, b.dragY} : Point{}, b.name, b.caption});
  }
  if (now != drawn_) fullRepaint_ = true;

  if (motion.currentBlock != drawnCurrent_) {
    // The old current block may be gone: only its drawn rectangle is used.
    for (const DrawnBlock& d : drawn_)
      if (d.block == drawnCurrent_) stale_ += paintedRect(d.rect);
    if (motion.currentBlock) stale_ += paintedRect(blockRect(*motion.currentBlock));
    drawnCurrent_ = motion.currentBlock;
  }
  drawn_ = std::move(now);

  if (fullRepaint_) {
    stale_ = QRegion(0, 0, kBufferSide, kBufferSide);
    fullRepaint_ = false;
  }
  for (auto& block : motion.blocks) {
    if (!(block->flags & block_flag::kNeedsRepaint)) continue;
    stale_ += paintedRect(blockRect(*block));
    block->flags &= ~block_flag::kNeedsRepaint;
  }
  updateScrollBars();
}

void MotionArea::updateScrollBars() {
  const QSize client = viewport()->size();
  extent_ = canvasExtent(state_.motion, AreaSize{client.width(), client.height()});
  auto setUp = [](QScrollBar* bar, int extent, int page) {
    const int maximum = std::max(0, extent - page);
    if (bar->maximum() != maximum) bar->setRange(0, maximum);
    bar->setPageStep(std::max(1, page));
    bar->setSingleStep(kScrollLine);
  };
  setUp(horizontalScrollBar(), extent_.width, client.width());
  setUp(verticalScrollBar(), extent_.height, client.height());
}

void MotionArea::resizeEvent(QResizeEvent* event) {
  QAbstractScrollArea::resizeEvent(event);
  updateScrollBars();
}

// The back buffer holds the whole canvas: scrolling only shows another part.
void MotionArea::scrollContentsBy(int, int) { viewport()->update(); }

void MotionArea::ensureVisible(const MotionBlock* block) {
  if (!block) return;
  relayout();
  QPoint origin = scrollOrigin();
  const QSize client = viewport()->size();
  if (block->left < origin.x() || block->left >= origin.x() + client.width())
    origin.setX(std::max(0, block->left - kVisibleMargin));
  if (block->top < origin.y() || block->top >= origin.y() + client.height())
    origin.setY(std::max(0, block->top - kVisibleMargin));
  setScrollOrigin(origin);
}

void MotionArea::paintEvent(QPaintEvent*) {
  relayout();
  const QRect visible(scrollOrigin(), viewport()->size());
  const QRegion due = stale_ & visible;
  if (!due.isEmpty()) {
    redraw(due);
    stale_ -= due;
  }
  QPainter painter(viewport());
  if (!QRect(0, 0, kBufferSide, kBufferSide).contains(visible))
    painter.fillRect(viewport()->rect(), toQColor(colours_.background));
  painter.drawPixmap(QPoint(0, 0), backBuffer_, visible);
  if (mode_ == RubberBand) {
    painter.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
    painter.setPen(QPen(Qt::white, 1));
    painter.drawRect(QRect(toClient(pressPoint_), toClient(lastPoint_)).normalized());
  }
}

// Draws the canvas inside `region` (canvas coordinates): background, every
// block, then every connector, so arrows are never hidden under a block.
void MotionArea::redraw(const QRegion& region) {
  QPainter painter(&backBuffer_);
  painter.setClipRegion(region);
  painter.fillRect(region.boundingRect(), toQColor(colours_.background));
  if (wallpaper_ && !backgroundImage_.isNull()) painter.drawImage(0, 0, backgroundImage_);
  painter.setFont(font_);

  const Motion& motion = state_.motion;
  // Every pose caption has the same three-digit form: the first one sets
  // the length of a full time bar.
  int timeBarWidth = 0;
  for (const auto& block : motion.blocks) {
    if (!block->isPose()) continue;
    timeBarWidth = measurer_->textWidth(block->caption);
    break;
  }
  const QRect bounds = region.boundingRect();
  for (const auto& block : motion.blocks)
    if (paintedRect(blockRect(*block)).intersects(bounds)) drawBlock(painter, *block, timeBarWidth);
  for (const auto& block : motion.blocks) drawLinks(painter, *block);
}

void MotionArea::drawBlock(QPainter& painter, const MotionBlock& b, int timeBarWidth) {
  const QFontMetrics metrics(font_);
  const int width = b.right - b.left;
  const int height = b.bottom - b.top;
  const int middle = b.top + height / 2;
  const QRect outline(b.left, b.top, width - 1, height - 1);
  auto text = [&](int x, int y, const std::u16string& line) {
    painter.setPen(toQColor(colours_.text));
    painter.drawText(QPoint(x, y + metrics.ascent()), toQString(line));
  };
  painter.setPen(toQColor(colours_.blockLines));
  int nameX = b.left + 4;

  switch (b.kind) {
    case KindPose: {
      painter.setBrush(toQColor(colours_.poseBlock));
      painter.drawRect(outline);
      const QRect tab(b.right - kTimeTabWidth, middle, kTimeTabWidth - 1, b.bottom - 1 - middle);
      painter.drawRect(tab);
      const int cx = tab.center().x();
      const int quarter = (b.bottom - middle) / 4;
      painter.setBrush(toQColor(colours_.blockLines));
      // Up in the upper half of the tab, down in the lower half.
      painter.drawPolygon(QPolygon({QPoint(cx, middle + quarter - 2), QPoint(cx - 3, middle + quarter + 2),
                                    QPoint(cx + 3, middle + quarter + 2)}));
      painter.drawPolygon(QPolygon({QPoint(cx, middle + 3 * quarter + 2), QPoint(cx - 3, middle + 3 * quarter - 2),
                                    QPoint(cx + 3, middle + 3 * quarter - 2)}));
      painter.setBrush(state_.motion.currentBlock == &b ? QColor(Qt::red) : QColor(Qt::white));
      painter.drawEllipse(QRect(b.left + 4, b.top + 4, 12, 12));
      text(b.left + 4, middle, b.caption);
      const int bar = timeBarLength(b.pose.steps, timeBarWidth);
      if (bar > 0) {
        const int y = b.bottom - height / 10;
        painter.setPen(QPen(Qt::red, 2));
        painter.drawLine(b.left + 1, y, b.left + 1 + bar, y);
      }
      nameX = b.left + 19;
      break;
    }
    case KindBranch:
    case KindLoop:
      painter.setBrush(toQColor(colours_.branchBlock));
      painter.drawPolygon(hexagon(b));
      text(b.left + 4, middle, b.caption);
      break;
    case KindCalcConstant:
    case KindCalcVariable:
      painter.setBrush(toQColor(colours_.calculationBlock));
      painter.drawRoundedRect(outline, 5, 5);
      text(b.left + 4, middle, b.caption);
      break;
    default:
      painter.setBrush(toQColor(colours_.startBlock));
      painter.drawRect(outline);
      text(b.left + 4, b.top + 4, b.caption);
      break;
  }
  text(nameX, b.top + 4, b.name);

  if (b.flags & (block_flag::kSelected | block_flag::kInRubberBand)) {
    painter.save();
    painter.setCompositionMode(QPainter::RasterOp_NotDestination);
    painter.setPen(Qt::NoPen);
    painter.setBrush(Qt::black);
    if (b.kind == KindBranch || b.kind == KindLoop)
      painter.drawPolygon(hexagon(b));
    else if (b.kind == KindCalcConstant || b.kind == KindCalcVariable)
      painter.drawRoundedRect(outline, 5, 5);
    else
      painter.drawRect(outline.adjusted(1, 1, 0, 0));
    painter.restore();
  }
  painter.setBrush(Qt::NoBrush);
}

void MotionArea::drawLinks(QPainter& painter, const MotionBlock& b) {
  const QFontMetrics metrics(font_);
  const bool labelled = b.kind == KindBranch || b.kind == KindLoop;
  for (int link = 0; link < linkCount(b); ++link) {
    const LinkRoute route = routeLink(b, link);
    if (route.type == 0) continue;
    const Colour colour = (b.flags & heldFlag(link)) ? colours_.selectedArrow
                          : link == kNextLink        ? colours_.normalFlow
                                                     : colours_.branchFlow;
    const QColor c = toQColor(colour);
    painter.setPen(c);
    painter.setBrush(Qt::NoBrush);
    QPolygon line;
    for (Point p : route.points) line << toQPoint(p);
    painter.drawPolyline(line);
    painter.fillRect(QRect(route.exit().x - 3, route.exit().y - 3, 6, 6), c);
    if (labelled) {
      const QString label = toQString(loadUiString(link == kNextLink ? kNoLabelString : kYesLabelString));
      QRect box(0, 0, metrics.horizontalAdvance(label) + 6, metrics.height() + 2);
      if (route.open) {
        // An open link's handle is its stub on the block: the label hangs
        // below the block beside it, "YES" to the left of link 1's stub and
        // "NO" to the right of link 0's, clear of the caption and of each other.
        const int top = b.bottom + 2;
        if (link == kBranchLink)
          box.moveTopRight(QPoint(route.handle.x + 3, top));
        else
          box.moveTopLeft(QPoint(route.handle.x - 3, top));
      } else {
        box.moveCenter(toQPoint(route.handle));
      }
      painter.setBrush(toQColor(colours_.branchBlock));
      painter.drawRect(box);
      painter.drawText(box, Qt::AlignCenter, label);
    } else {
      painter.setBrush(c);
      painter.drawEllipse(QRect(route.handle.x - 3, route.handle.y - 3, 6, 6));
    }
    painter.setBrush(c);
    painter.drawPolygon(arrowHead(route.tip(), route.arrow));
  }
  painter.setBrush(Qt::NoBrush);
}

MotionBlock* MotionArea::heldBlock() const { return holdsBlock(state_.motion, held_) ? held_ : nullptr; }

void MotionArea::changed() {
  refresh();
  notify(state_.views.motionChanged);
}

void MotionArea::mousePressEvent(QMouseEvent* event) { press(event); }

void MotionArea::press(QMouseEvent* event) {
  if (mode_ != Idle) return;
  relayout();  // hit-test what the motion is now, not what was last drawn
  const QPoint client = event->position().toPoint();
  const Point canvas = toCanvas(client);
  const AreaHit hit = hitTest(state_.motion, canvas);
  if (event->button() == Qt::RightButton) {
    if (hit.code == HitBlock || hit.code == HitTimeUp || hit.code == HitTimeDown) {
      deselectAll(state_.motion);
      hit.block->flags |= block_flag::kSelected | block_flag::kNeedsRepaint;
      changed();
    }
    rightClickPoint_ = Point{client.x(), client.y()};
    rightClickOrigin_ = Point{canvas.x - client.x(), canvas.y - client.y()};
    if (contextMenuRequested) contextMenuRequested(event->globalPosition().toPoint());
    return;
  }
  if (event->button() != Qt::LeftButton) return;
  lastClient_ = client;
  pressLeft(hit, canvas, event->modifiers());
}

void MotionArea::pressLeft(const AreaHit& hit, Point canvas, Qt::KeyboardModifiers modifiers) {
  Motion& motion = state_.motion;
  const bool ctrl = modifiers & Qt::ControlModifier;
  const bool shift = modifiers & Qt::ShiftModifier;
  pressPoint_ = lastPoint_ = canvas;
  moved_ = false;
  held_ = hit.block;
  switch (hit.code) {
    case HitBlock:
      if (!ctrl && !hit.block->selected()) deselectAll(motion);
      hit.block->flags |= block_flag::kSelected | block_flag::kNeedsRepaint;
      if (hit.block->isPose()) makeCurrent(state_, hit.block);
      mode_ = MovingBlocks;
      break;
    case HitTimeUp:
    case HitTimeDown:
      mode_ = hit.code == HitTimeUp ? TimeUp : TimeDown;
      timeStep_ = timeStepAmount(ctrl, shift) * (hit.code == HitTimeUp ? 1 : -1);
      repeatDelay_ = kFirstRepeatDelayMs;
      timeTick();
      return;
    case HitNextLeg:
    case HitBranchLeg:
    case HitNextEnd:
    case HitBranchEnd: {
      linkHold_ = holdLink(motion, *hit.block, hit.link(), canvas);
      mode_ = static_cast<Mode>(hit.code);
      break;
    }
    default:
      mode_ = RubberBand;
      if (!ctrl) deselectAll(motion);
      markRubberBand(motion, canvas, canvas);
      break;
  }
  changed();
}

void MotionArea::timeTick() {
  if (mode_ != TimeUp && mode_ != TimeDown) return;
  MotionBlock* block = heldBlock();
  if (!block) return;  // the hold ended with its block
  if (stepHeldTime(state_, *block, timeStep_)) refresh();
  timeTimer_.start(repeatDelay_);
  repeatDelay_ = kRepeatDelayMs;
}

void MotionArea::mouseMoveEvent(QMouseEvent* event) {
  if (mode_ == Idle) return;
  lastClient_ = event->position().toPoint();
  dragTo(toCanvas(lastClient_), event->modifiers());
}

void MotionArea::dragTo(Point canvas, Qt::KeyboardModifiers modifiers) {
  Motion& motion = state_.motion;
  switch (mode_) {
    case RubberBand:
      lastPoint_ = canvas;
      markRubberBand(motion, pressPoint_, canvas);
      refresh();
      return;
    case MovingBlocks: {
      const bool snap = modifiers & Qt::ShiftModifier;
      if (dragSelectedBlocks(motion, lastPoint_, canvas, snap, state_.display.gridX, state_.display.gridY))
        moved_ = true;
      break;
    }
    case NextLeg:
    case BranchLeg: {
      MotionBlock* s = heldBlock();
      if (!s) return;
      const int link = mode_ == BranchLeg ? kBranchLink : kNextLink;
      s->routeOffset[link] = legOffsetAt(*s, link, linkHold_.routeType, canvas);
      break;
    }
    case NextEnd:
    case BranchEnd: {
      MotionBlock* s = heldBlock();
      if (!s) return;
      const int link = mode_ == BranchEnd ? kBranchLink : kNextLink;
      s->dragX = canvas.x;
      s->dragY = canvas.y;
      s->link[link] = linkDropTarget(motion, s, canvas);
      break;
    }
    default:
      return;
  }
  lastPoint_ = canvas;
  refresh();
}

void MotionArea::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton || mode_ == Idle) return;
  lastClient_ = event->position().toPoint();
  if (mode_ != TimeUp && mode_ != TimeDown) dragTo(toCanvas(lastClient_), event->modifiers());
  finishDrag();
}

void MotionArea::finishDrag() {
  timeTimer_.stop();
  Motion& motion = state_.motion;
  const Mode mode = mode_;
  const HeldLink link = linkHold_;
  mode_ = Idle;
  held_ = nullptr;
  linkHold_ = HeldLink{};
  switch (mode) {
    case RubberBand:
      takeRubberBand(motion);
      break;
    case MovingBlocks:
      finishBlockMove(state_, moved_);
      break;
    case NextLeg:
    case BranchLeg:
    case NextEnd:
    case BranchEnd:
      releaseLink(state_, link);
      break;
    default:
      break;
  }
  changed();
}

void MotionArea::mouseDoubleClickEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton && mode_ == Idle) {
    relayout();
    const AreaHit hit = hitTest(state_.motion, toCanvas(event->position().toPoint()));
    if (hit.code == HitBlock) {
      if (hasPropertyDialog(*hit.block)) {
        state_.motion.propertyBlock = hit.block;
        if (propertiesRequested) propertiesRequested(hit.block);
      }
      return;
    }
    press(event);
    if (hit.code == HitNothing && backgroundDoubleClicked) backgroundDoubleClicked();
    return;
  }
  press(event);
}

void MotionArea::wheelEvent(QWheelEvent* event) {
  applyWheel(event->angleDelta().y(), event->modifiers());
  event->accept();
}

void MotionArea::applyWheel(int delta, Qt::KeyboardModifiers modifiers) {
  Motion& motion = state_.motion;
  const bool posesSelected = std::any_of(motion.blocks.begin(), motion.blocks.end(),
                                         [](const auto& b) { return b->isPose() && b->selected(); });
  if (mode_ == RubberBand && !posesSelected) {
    // Three lines a notch; the band follows the canvas under the cursor.
    QScrollBar* bar = verticalScrollBar();
    bar->setValue(bar->value() - delta * 3 * kScrollLine / kWheelNotch);
    dragTo(toCanvas(lastClient_), modifiers);
    return;
  }
  if (wheelSelectedTimes(state_, wheel_.add(delta), modifiers & Qt::ControlModifier, modifiers & Qt::ShiftModifier))
    refresh();
}

void MotionArea::contextMenuEvent(QContextMenuEvent* event) {
  // The menu opens from the right-button press.
  event->accept();
}

bool MotionArea::event(QEvent* event) {
  // A drag whose window loses the mouse still ends, and is recorded.
  if (event->type() == QEvent::WindowDeactivate && mode_ != Idle) finishDrag();
  return QAbstractScrollArea::event(event);
}

}  // namespace kv
