// The settings-file loaders start-up runs, one slot for each kind of file.
#include "shell/startup.h"

namespace kv {

ProjectLoaders defaultProjectLoaders() {
  ProjectLoaders loaders;
  return loaders;
}

}  // namespace kv
