// The state of one running editor: the open project and the program-wide
// lists. One instance is owned by the application; tests make their own.
#pragma once

#include <filesystem>
#include <vector>

#include "shell/project.h"

namespace kv {

struct EditorState {
  std::filesystem::path programFolder;
  ProjectRecord project;
  std::vector<RecentProject> recentProjects;
  // Start-up could not load the project: the project dialogs run instead.
  bool startupFailed = false;
};

}  // namespace kv
