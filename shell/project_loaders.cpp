// The settings-file loaders start-up runs, one slot for each kind of file.
#include "board/rom_settings.h"
#include "display/display_settings.h"
#include "pose/base_poses.h"
#include "pose/slider_table.h"
#include "shell/folders.h"
#include "shell/startup.h"
#include "shell/undo_commands.h"

namespace kv {

ProjectLoaders defaultProjectLoaders(SkinImageLoader* skinImages) {
  ProjectLoaders loaders;
  loaders.loadDisplaySettings = [skinImages](EditorState& state, const std::filesystem::path& file) {
    SkinFolders folders{state.project.projectFolder, state.programFolder};
    return loadDisplaySettings(file, state.display, state.status, folders, skinImages);
  };
  loaders.loadSliderFile = [](EditorState& state, const std::filesystem::path& file) {
    return loadSliderFile(file, state.sliders);
  };
  loaders.loadBasePoses = [](EditorState& state, const std::filesystem::path& file) {
    return loadBasePoses(file, state.basePoses);
  };
  loaders.clearRomSettings = [](EditorState& state) { state.cpuSettings = CpuSettings{}; };
  loaders.loadRomSettings = [](EditorState& state, const std::filesystem::path& file) {
    return loadRomSettings(file, state.cpuSettings);
  };
  // The motion area does not exist yet: its height comes from the window size.
  loaders.startNewMotion = [](EditorState& state) { newMotion(state, 0); };
  // Writers use the fixed name in the project folder.
  loaders.saveSliderFile = [](EditorState& state) {
    saveSliderFile(settingsFileToWrite(state.project, kAxisDefinitionFileName), state.sliders);
  };
  return loaders;
}

}  // namespace kv
