// The state of one running editor: the open project and the program-wide
// lists. One instance is owned by the application; tests make their own.
#pragma once

#include <filesystem>
#include <vector>

#include "display/display_settings.h"
#include "pose/slider_table.h"
#include "shell/app_status.h"
#include "shell/project.h"

namespace kv {

struct EditorState {
  std::filesystem::path programFolder;
  ProjectRecord project;
  std::vector<RecentProject> recentProjects;
  AppStatus status;
  DisplaySettings display;
  SliderTable sliders;
  // Start-up could not load the project: the project dialogs run instead.
  bool startupFailed = false;
};

}  // namespace kv
