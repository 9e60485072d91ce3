// The pose area: the pose sliders over the robot's background picture. Drawn
// with the project's skin images into a back buffer, repainting only the
// sliders whose data changed; the mouse drags knobs, steps values, selects
// and moves sliders and toggles servo-enable boxes.
#pragma once

#include <QFont>
#include <QPixmap>
#include <QRegion>
#include <QTimer>
#include <QWidget>
#include <array>
#include <functional>

#include "pose/pose_edit.h"
#include "shell/editor_state.h"

namespace kv {

class SkinImages;

class PoseArea : public QWidget {
  Q_OBJECT
 public:
  PoseArea(EditorState& state, const SkinImages& skins, QWidget* parent = nullptr);

  // Repaints the sliders whose value, selection, flags or servo bit changed.
  void refresh();
  // The slider table or the skins changed: lay out and draw everything again.
  void markLayoutDirty();
  // A wheel turned over the area (forwarded by the main window).
  void applyWheel(int delta, Qt::KeyboardModifiers modifiers);

  SkinMetrics skinMetrics() const;
  // The rectangle a slider occupies on screen, texts included (after a paint).
  QRect sliderBounds(int slider) const { return bounds_.at(static_cast<size_t>(slider)); }

  // Board values shown as a second marker while online; none hides them.
  void setBoardValues(const std::optional<std::array<int16_t, kSliderCount>>& values);

  // Hooks for the main window.
  std::function<void(QPoint globalPosition)> contextMenuRequested;
  std::function<void()> backgroundDoubleClicked;
  std::function<void()> slidersMoved;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;
  bool event(QEvent* event) override;
  void changeEvent(QEvent* event) override;

 private:
  enum class Mode { None, DragKnob, RubberReplace, RubberAdd, MoveSliders, Stepping };

  // What a slider looked like when last drawn.
  struct Drawn {
    int value = 0;
    int32_t displayFlags = 0;
    int32_t behaviourFlags = 0;
    bool servoOn = false;
    std::optional<int> boardValue;
    std::optional<int> baseValue;
    bool operator==(const Drawn&) const = default;
  };

  Drawn drawnState(int slider) const;
  std::optional<int> activeBaseValue(int slider) const;
  void drawSlider(QPainter& painter, int number, const SkinMetrics& metrics);
  void redraw(const QRegion& region);
  void press(QMouseEvent* event, bool secondClickOfDoubleClick);
  void doStep();
  void endDrag();
  // Ends whatever the left button started: stepping, a drag, a rubber band.
  void endOperation();
  void updateRubberBand(const QPoint& to);
  StepModifiers modifiersOf(Qt::KeyboardModifiers modifiers) const;

  EditorState& state_;
  const SkinImages& skins_;
  QPixmap backBuffer_;
  bool layoutDirty_ = true;
  std::array<QRect, kSliderCount> bounds_{};
  std::array<QFont, kSliderCount> fonts_{};
  std::array<Drawn, kSliderCount> drawn_{};
  std::optional<std::array<int16_t, kSliderCount>> boardValues_;

  Mode mode_ = Mode::None;
  int operated_ = -1;
  int grabOffset_ = 0;
  QPoint pressPoint_;
  QPoint lastPoint_;
  QRect rubberBand_;
  bool stepUp_ = true;
  StepModifiers stepModifiers_;
  QTimer stepTimer_;
  WheelAccumulator wheel_;
  bool pressedOnBackground_ = false;
};

}  // namespace kv
