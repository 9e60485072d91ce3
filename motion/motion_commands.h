// The motion file commands on the editor: open, save, save as and import.
// File names are chosen through an interface the GUI implements with its
// file dialogs.
#pragma once

#include <filesystem>
#include <optional>

#include "motion/motion.h"
#include "motion/motion_file.h"

namespace kv {

struct EditorState;

inline constexpr int kSaveMotionTitle = 40064;    // "モーションをファイルに保存"
inline constexpr int kOpenMotionTitle = 40065;    // "モーションをファイルから読み込み"
inline constexpr int kImportMotionTitle = 40430;  // "モーションのインポート"
inline constexpr int kSaveFailedMessage = 49001;  // the motion could not be saved to '%s'; it is kept

// Motion files are "*.txt" (default extension "txt").
class MotionFileChooser {
 public:
  virtual ~MotionFileChooser() = default;
  // An existing file, or none when the user cancels.
  virtual std::optional<std::filesystem::path> chooseOpen(int titleStringId, const std::filesystem::path& folder) = 0;
  // The file to save to, or none when the user cancels. The dialog itself
  // asks before overwriting an existing file.
  virtual std::optional<std::filesystem::path> chooseSave(int titleStringId, const std::filesystem::path& folder,
                                                          const std::filesystem::path& proposed) = 0;
};

// What the commands need beyond the editor state.
struct MotionFileOptions {
  VoiceSettings voice;       // the CPU settings' voice variable and the voice table, once loaded
  int motionAreaHeight = 0;  // client height of the motion area, 0 or less before it exists
};

// The reading and writing context of the open project.
MotionFileContext motionFileContext(const EditorState& state, const VoiceSettings& voice);

// Reads a motion file and makes it the edited motion: nothing changes unless
// the file is read (a refused format shows 40066 or 40131). An empty file
// gives a new motion. The first pose reached from the start block becomes
// current; the undo chain restarts and the motion is unchanged.
bool loadMotionFile(EditorState& state, const std::filesystem::path& path, const MotionFileOptions& options = {});
// Command 40030, after the unsaved-changes question was not cancelled.
bool openMotionCommand(EditorState& state, MotionFileChooser& chooser, const MotionFileOptions& options = {});

// Commands 40031 (`askName`) and 40032 (asks only when the motion has no
// file yet). The chosen path becomes the motion's file; a written file
// restarts the undo chain and clears the modified mark, a failed write shows
// 49001 and leaves the motion marked changed. False when cancelled or failed.
bool saveMotionCommand(EditorState& state, MotionFileChooser& chooser, bool askName,
                       const MotionFileOptions& options = {});

// Adds the blocks of a motion file, without its start block and first end
// block, moved by `offset` and selected; everything else is deselected. One
// undo step. False when nothing was added.
bool importMotionFile(EditorState& state, const std::filesystem::path& path, Point offset,
                      const MotionFileOptions& options = {});
// Command 40229: the right-click point moves on by (12, 12) first, so
// repeated imports cascade; returns the moved point.
Point importMotionCommand(EditorState& state, MotionFileChooser& chooser, Point rightClickPoint,
                          const MotionFileOptions& options = {});

}  // namespace kv
