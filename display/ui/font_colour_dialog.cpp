#include "display/ui/font_colour_dialog.h"

#include <QColorDialog>
#include <QDialogButtonBox>
#include <QFontDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace kv {

FontColourDialog::FontColourDialog(const QFont& font, const QColor& colour, QWidget* parent)
    : QDialog(parent), colour_(colour) {
  setWindowTitle(QString::fromUtf8("フォント"));
  fonts_ = new QFontDialog(font, this);
  fonts_->setOptions(QFontDialog::NoButtons | QFontDialog::DontUseNativeDialog);
  fonts_->setWindowFlags(Qt::Widget);
  fonts_->setObjectName("fontChooser");

  auto* colourRow = new QHBoxLayout;
  colourRow->addWidget(new QLabel(QString::fromUtf8("色:")));
  colourButton_ = new QPushButton;
  colourButton_->setObjectName("fontColour");
  colourButton_->setMinimumWidth(80);
  colourRow->addWidget(colourButton_);
  colourRow->addStretch();
  connect(colourButton_, &QPushButton::clicked, this, [this] {
    QColor chosen = QColorDialog::getColor(colour_, this);
    if (chosen.isValid()) {
      colour_ = chosen;
      showColour();
    }
  });
  showColour();

  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(fonts_);
  layout->addLayout(colourRow);
  layout->addWidget(buttons);
}

QFont FontColourDialog::selectedFont() const { return fonts_->currentFont(); }

void FontColourDialog::showColour() {
  colourButton_->setText(colour_.name());
  colourButton_->setStyleSheet(QString("background-color: %1; color: %2")
                                   .arg(colour_.name(), colour_.lightness() < 128 ? "white" : "black"));
}

bool FontColourDialog::choose(QWidget* parent, QFont& font, QColor& colour) {
  FontColourDialog dialog(font, colour, parent);
  if (dialog.exec() != QDialog::Accepted) return false;
  font = dialog.selectedFont();
  colour = dialog.selectedColour();
  return true;
}

}  // namespace kv
