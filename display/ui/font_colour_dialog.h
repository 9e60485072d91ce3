// Chooses a font together with its text colour (the settings files keep both
// as one choice).
#pragma once

#include <QColor>
#include <QDialog>
#include <QFont>

class QFontDialog;
class QPushButton;

namespace kv {

class FontColourDialog : public QDialog {
  Q_OBJECT
 public:
  FontColourDialog(const QFont& font, const QColor& colour, QWidget* parent = nullptr);

  QFont selectedFont() const;
  QColor selectedColour() const { return colour_; }

  // Runs the dialog; on OK updates both and returns true.
  static bool choose(QWidget* parent, QFont& font, QColor& colour);

 private:
  void showColour();

  QFontDialog* fonts_;
  QPushButton* colourButton_;
  QColor colour_;
};

}  // namespace kv
