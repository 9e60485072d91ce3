// The file dialogs for opening, saving and importing motion files.
#pragma once

#include "motion/motion_commands.h"

class QWidget;

namespace kv {

class MotionFileDialogs : public MotionFileChooser {
 public:
  explicit MotionFileDialogs(QWidget* owner) : owner_(owner) {}
  std::optional<std::filesystem::path> chooseOpen(int titleStringId, const std::filesystem::path& folder) override;
  std::optional<std::filesystem::path> chooseSave(int titleStringId, const std::filesystem::path& folder,
                                                  const std::filesystem::path& proposed) override;

 private:
  QWidget* owner_;
};

}  // namespace kv
