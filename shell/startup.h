// Start-up: which project opens, and loading it with every settings file it
// names, in a fixed order, with the messages shown when one cannot be read.
#pragma once

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "shell/editor_state.h"

namespace kv {

// The loaders of the project's settings files, in loading order. Each returns
// false when its file cannot be read. A loader not set counts as success, so
// start-up works before every kind of settings file has its reader.
struct ProjectLoaders {
  using Loader = std::function<bool(EditorState&, const std::filesystem::path& file)>;
  using Step = std::function<void(EditorState&)>;

  Loader loadDisplaySettings;  // fatal when it fails
  Loader loadSliderFile;       // fatal when it fails
  Loader loadBasePoses;        // warned about
  Step clearRomSettings;
  Loader loadRomSettings;      // warned about
  Step clearModeSwitchMap;
  Loader loadModeSwitchMap;    // warned about
  Loader loadOffsetSets;       // silent
  Step startNewMotion;         // a new empty motion as the only undo state
  // Saved at every exit of a normally started editor.
  Step saveSliderFile;
};

class SkinImageLoader;

// The loaders of this program; skin images are loaded through `skinImages`
// when given.
ProjectLoaders defaultProjectLoaders(SkinImageLoader* skinImages = nullptr);

// Loads the project and everything it names. Returns true when the editor can
// run with it. With `quiet` no message is shown.
bool loadAll(EditorState& state, const std::filesystem::path& projectFile, bool quiet, const ProjectLoaders& loaders);

// The project path a command line names: its arguments joined by blanks (an
// unquoted path with a blank arrives split), without a surrounding pair of
// double quotes. None for an empty command line.
std::optional<std::filesystem::path> projectPathFromCommandLine(const std::vector<std::string>& arguments);

// The default project beside the executable.
std::filesystem::path defaultProjectFile(const std::filesystem::path& programFolder);

struct StartupOptions {
  std::filesystem::path programFolder;
  std::vector<std::string> arguments;  // without the program name
  int localeId = 0x0411;
};

struct StartupResult {
  std::filesystem::path projectFile;
  bool loaded = false;
  bool quiet = false;
};

// Chooses the language and the project (command line, else the most recent
// project, else the default project, tried silently), loads it and records it
// in the recent-project log when it came from the command line or is the
// default project.
StartupResult startUp(EditorState& state, const StartupOptions& options, const ProjectLoaders& loaders);

// After the main window closed: saves what is saved at every exit.
void shutDown(EditorState& state, bool windowWasCreated, const ProjectLoaders& loaders);

}  // namespace kv
