// Finds a dialog's control by its number (its objectName) in GUI tests; a
// missing control ends the test program at once.
#pragma once

#include <QString>
#include <QWidget>

namespace kv::testing {

template <class W>
W* control(QWidget& parent, int number) {
  W* widget = parent.findChild<W*>(QString::number(number));
  if (!widget) qFatal("control %d not found", number);
  return widget;
}

}  // namespace kv::testing
