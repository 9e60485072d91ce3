// The pose area: the pose sliders over the robot's background picture,
// drawn with the project's skin images into a back buffer.
#pragma once

#include <QPixmap>
#include <QWidget>

#include "pose/pose_layout.h"
#include "pose/pose_values.h"
#include "shell/editor_state.h"

namespace kv {

class SkinImages;

class PoseArea : public QWidget {
  Q_OBJECT
 public:
  PoseArea(EditorState& state, const SkinImages& skins, QWidget* parent = nullptr);

  const PoseValues& currentPose() const { return pose_; }
  // Clamps every value to its slider's limits, keeps the pose and repaints.
  void showPose(const PoseValues& pose);
  // The slider table changed: lay out and draw everything again.
  void markLayoutDirty();

  SkinMetrics skinMetrics() const;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  void drawSlider(QPainter& painter, int number, const SkinMetrics& metrics);

  EditorState& state_;
  const SkinImages& skins_;
  PoseValues pose_;
  QPixmap backBuffer_;
};

}  // namespace kv
