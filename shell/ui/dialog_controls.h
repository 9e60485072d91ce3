// Small helpers the editor's dialogs build their controls with: every
// control carries its number as its object name, so tests find it by number.
#pragma once

#include <QPushButton>
#include <QString>

namespace kv {

// Captions are written in the source as UTF-8.
inline QString jp(const char* utf8) { return QString::fromUtf8(utf8); }

template <class W>
W* named(W* widget, int control) {
  widget->setObjectName(QString::number(control));
  return widget;
}

// A push button that does not take Return for itself.
inline QPushButton* dialogButton(int control, const char* caption) {
  auto* button = named(new QPushButton(jp(caption)), control);
  button->setAutoDefault(false);
  return button;
}

}  // namespace kv
