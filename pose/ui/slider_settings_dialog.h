// The pose slider settings dialog: edits one slider, or all selected sliders
// at once, and saves the axis definition file on Apply.
#pragma once

#include <QDialog>
#include <filesystem>
#include <functional>
#include <optional>

#include "pose/slider_settings.h"

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QSpinBox;

namespace kv {

class SliderSettingsDialog : public QDialog {
  Q_OBJECT
 public:
  // `saveFile` is where Apply writes the table; `applied` runs after each
  // Apply (the pose area lays itself out again).
  SliderSettingsDialog(SliderTable& table, std::filesystem::path saveFile, std::function<void()> applied,
                       QWidget* parent = nullptr);

  // Entry 0 of the slider chooser stands for the selected sliders.
  static int initialEntry(const SliderTable& table);

 protected:
  void done(int result) override;

 private:
  void buildChooserEntries();
  void fill(int entry);
  SliderSettingsForm readForm() const;
  void apply();
  void updateFormatControls();
  void updatePairControls();
  QLineEdit* lineEditFor(int control) const;

  SliderTable& table_;
  std::filesystem::path saveFile_;
  std::function<void()> applied_;
  bool singleSlider_ = true;
  std::optional<LogicalFont> workingFont_;
  std::optional<Colour> workingTextColour_;
  std::optional<Colour> workingBackground_;

  QComboBox* sliderChooser_;
  QLineEdit* name_;
  QLineEdit* upperText_;
  QLineEdit* lowerText_;
  QLineEdit* lowerLimit_;
  QLineEdit* upperLimit_;
  QLineEdit* stepResolution_;
  QLineEdit* unitsPerDegree_;
  QLineEdit* x_;
  QLineEdit* y_;
  QSpinBox* decimalPlaces_;
  QLabel* decimalPlacesLabel_;
  QButtonGroup* formats_;
  QButtonGroup* pairs_;
  QComboBox* partnerChooser_;
  QLabel* partnerLabel_;
  QLabel* partnerNote_;
  QCheckBox* enabled_;
  QCheckBox* displayInverted_;
  QCheckBox* signInverted_;
  QCheckBox* relative_;
  QCheckBox* showName_;
  QCheckBox* showSideTexts_;
};

// Runs the dialog modally.
void openSliderSettings(QWidget* owner, SliderTable& table, const std::filesystem::path& saveFile,
                        std::function<void()> applied);

}  // namespace kv
