// The base pose dialog: registers, replaces and deletes base poses on a
// working copy of the table; Apply makes it the table and saves the file,
// Close discards it.
#pragma once

#include <QDialog>
#include <filesystem>
#include <functional>

#include "pose/base_poses.h"

class QLineEdit;
class QTreeWidget;

namespace kv {

struct EditorState;

class BasePoseDialog : public QDialog {
  Q_OBJECT
 public:
  // `saveFile` is where Apply writes the table; `applied` runs after each
  // Apply (menus and the pose area show the new table).
  BasePoseDialog(EditorState& state, std::filesystem::path saveFile, std::function<void()> applied,
                 QWidget* parent = nullptr);

 protected:
  void done(int result) override;

 private:
  void refill();
  int cursorRow() const;
  void registerPose();
  void replacePose();
  void deletePoses();
  void apply();

  EditorState& state_;
  std::filesystem::path saveFile_;
  std::function<void()> applied_;
  BasePoseTable work_;

  QTreeWidget* list_;
  QLineEdit* name_;
};

// Runs the dialog modally.
void openBasePoseDialog(QWidget* owner, EditorState& state, const std::filesystem::path& saveFile,
                        std::function<void()> applied);

}  // namespace kv
