// The toolbar's 16 × 15 button pictures, drawn in code.
#pragma once

#include <QIcon>

namespace kv {

// The picture of a toolbar command (a null icon for commands without one).
QIcon toolbarIcon(int command);

}  // namespace kv
