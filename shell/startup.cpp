#include "shell/startup.h"

#include "shell/folders.h"
#include "shell/messages.h"
#include "shell/string_table.h"
#include "shell/text_encoding.h"

namespace kv {
namespace fs = std::filesystem;

namespace {

constexpr int kProjectUnreadableString = 40244;
constexpr int kFatalSettingsString = 40132;
constexpr int kSettingsWarningString = 40142;

// A settings file as named by the project; a project file that names none
// falls back to the name the program writes.
fs::path settingsPath(const ProjectRecord& project, const std::u16string& named, const char16_t* fixedName) {
  return resolveFileName(project.projectFolder, named.empty() ? std::u16string_view(fixedName) : named);
}

// Runs a loader; an absent one counts as success. A file that was read is
// noted, so that its writer writes back to it.
bool run(const ProjectLoaders::Loader& loader, EditorState& state, const fs::path& file) {
  if (!loader) return true;
  if (!loader(state, file)) return false;
  state.project.settingsFilesRead.push_back(file);
  return true;
}

void runStep(const ProjectLoaders::Step& step, EditorState& state) {
  if (step) step(state);
}

void tell(bool quiet, int stringId, MessageIcon icon, const char16_t* fileName) {
  if (!quiet) showMessage(stringId, icon, MessageButtons::Ok, {fileName}, false);
}

}  // namespace

bool loadAll(EditorState& state, const fs::path& projectFile, bool quiet, const ProjectLoaders& loaders) {
  if (!loadProject(projectFile, state.project)) {
    if (!quiet) showMessage(kProjectUnreadableString, MessageIcon::Error, MessageButtons::Ok, {}, false);
    return false;
  }
  const ProjectRecord& project = state.project;

  if (!run(loaders.loadDisplaySettings, state,
           settingsPath(project, project.displaySettingsFile, kDisplaySettingsFileName))) {
    tell(quiet, kFatalSettingsString, MessageIcon::Error, kDisplaySettingsFileName);
    return false;
  }
  if (!run(loaders.loadSliderFile, state, settingsPath(project, project.axisDefinitionFile, kAxisDefinitionFileName))) {
    tell(quiet, kFatalSettingsString, MessageIcon::Error, kAxisDefinitionFileName);
    return false;
  }
  if (!run(loaders.loadBasePoses, state, settingsPath(project, project.basePoseFile, kBasePoseFileName)))
    tell(quiet, kSettingsWarningString, MessageIcon::Warning, kBasePoseFileName);

  runStep(loaders.clearRomSettings, state);
  if (!run(loaders.loadRomSettings, state, settingsPath(project, project.romSettingsFile, kRomSettingsFileName)))
    tell(quiet, kSettingsWarningString, MessageIcon::Warning, kRomSettingsFileName);

  runStep(loaders.clearModeSwitchMap, state);
  if (!run(loaders.loadModeSwitchMap, state,
           settingsPath(project, project.modeSwitchMapFile, kModeSwitchMapFileName)))
    tell(quiet, kSettingsWarningString, MessageIcon::Warning, kModeSwitchMapFileName);

  run(loaders.loadOffsetSets, state, settingsPath(project, project.offsetFile, kOffsetFileName));

  runStep(loaders.startNewMotion, state);
  return true;
}

std::optional<fs::path> projectPathFromCommandLine(const std::vector<std::string>& arguments) {
  std::string line;
  for (const std::string& argument : arguments) {
    if (!line.empty()) line.push_back(' ');
    line += argument;
  }
  if (!line.empty() && line.front() == '"') {
    line.erase(0, 1);
    if (!line.empty() && line.back() == '"') line.pop_back();
  }
  if (line.empty()) return std::nullopt;
  return fs::path(line);
}

fs::path defaultProjectFile(const fs::path& programFolder) { return programFolder / "temp" / "temp.rpj"; }

StartupResult startUp(EditorState& state, const StartupOptions& options, const ProjectLoaders& loaders) {
  state.programFolder = options.programFolder;
  if (!selectResourceModule(options.programFolder, options.localeId)) resetLanguage();

  fs::path candidate;
  readRecentLog(options.programFolder, state.recentProjects, &candidate);

  StartupResult result;
  bool record = false;
  if (auto fromCommandLine = projectPathFromCommandLine(options.arguments)) {
    candidate = *fromCommandLine;
    record = true;
  }
  if (candidate.empty()) {
    candidate = defaultProjectFile(options.programFolder);
    result.quiet = true;
    record = true;
  }
  result.projectFile = candidate;
  result.loaded = loadAll(state, candidate, result.quiet, loaders);
  state.startupFailed = !result.loaded;
  if (record) {
    std::error_code ec;
    fs::path absolute = fs::absolute(candidate, ec);
    writeRecentLog(options.programFolder, state.recentProjects, state.project.modelName,
                   ec ? candidate : absolute.lexically_normal());
  }
  return result;
}

void shutDown(EditorState& state, bool windowWasCreated, const ProjectLoaders& loaders) {
  if (windowWasCreated && !state.startupFailed) runStep(loaders.saveSliderFile, state);
}

}  // namespace kv
