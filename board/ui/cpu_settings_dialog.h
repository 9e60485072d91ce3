// The CPU settings dialog: the board's basic settings, its servo outputs and
// its expansion devices on three tabs, edited in a working copy that only
// Apply copies back into the editor's record and sends to the board's RAM.
#pragma once

#include <QDialog>
#include <array>
#include <functional>

#include "board/cpu_settings.h"
#include "board/cpu_settings_form.h"
#include "board/device_values.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QSpinBox;
class QTabWidget;

namespace kv {

struct EditorState;

// What the dialog asks of the editor around it.
struct CpuSettingsActions {
  // Sends the settings to the board's RAM: 1 on success.
  std::function<int(const CpuSettings&)> sendToRam;
  // The servo on/off button: the main window's servo command.
  std::function<void()> toggleServos;
  // Where the expansion device dialogs read their live values; none: offline.
  DeviceValueSource* deviceValues = nullptr;
};

class CpuSettingsDialog : public QDialog {
  Q_OBJECT
 public:
  CpuSettingsDialog(EditorState& state, CpuSettingsActions actions, QWidget* parent = nullptr);

  const CpuSettings& working() const { return work_; }
  int shownChannel() const { return shownChannel_; }

 protected:
  void done(int result) override;

 private:
  QWidget* buildBasicPage();
  QWidget* buildServoPage();
  void fillPages();
  void fillBasicPage();
  void fillConnectorTypes();
  void showInterpolation();
  void fillChannelChooser();
  void showServo(int channel);
  BasicForm readBasicPage() const;
  ServoForm readServoPage() const;
  void channelChosen(int index);
  void apply();
  void selectEntry(int control);

  EditorState& state_;
  CpuSettingsActions actions_;
  CpuSettings work_;
  int shownChannel_ = 0;
  bool filling_ = false;

  QTabWidget* tabs_;
  // Basic page.
  QLineEdit* controlPeriod_;
  QSpinBox* bootTimer_;
  QLineEdit* batteryAlarm_;
  QLineEdit* batteryShutdown_;
  QSpinBox* interpolationSlider_;
  QComboBox* interpolationType_;
  QCheckBox* voiceOutput_;
  QSpinBox* voiceVariable_;
  QCheckBox* amplifier_;
  QSpinBox* amplifierGain_;
  QComboBox* padType_;
  QCheckBox* controllerServoOn_;
  QComboBox* cn6Type_;
  QComboBox* cn7Type_;
  QLabel* robotName_;
  QLabel* firmwareVersion_;
  QLabel* firmwareRevision_;
  QLabel* firmwareWarning_;
  // Servo page.
  QComboBox* channel_;
  QLineEdit* servoName_;
  QSpinBox* powerOnTimer_;
  QSpinBox* variableA_;
  std::array<QLineEdit*, 4> termCoefficient_{};
  std::array<QSpinBox*, 4> termVa_{};
  std::array<QSpinBox*, 4> termVb_{};
  std::array<QComboBox*, 4> termValidity_{};
  QLineEdit* lowerLimit_;
  QLineEdit* upperLimit_;
  QLineEdit* pwmBase_;
  QLineEdit* pwmCoefficient_;
  QCheckBox* torqueOff_;
  QSpinBox* torqueOffVariable_;
  QSpinBox* torqueOffBit_;
};

}  // namespace kv
