// Saves a picture of a window once it has been painted, then quits: for
// documentation, tests, and checking a build on a machine without a screen.
#pragma once

#include <QString>

class QWidget;

namespace kv {

// Arranges for `window` to be saved to `fileName` after its first paint; the
// application then exits with 0, or 1 when the picture could not be written.
void saveScreenshotWhenPainted(QWidget* window, const QString& fileName);

}  // namespace kv
