// The device dialogs of the expansion devices: KP-G1 (145), KP-LD (146),
// KP-AIN (158), KP-DIO (159), KP-MP3 (173) and KP-GC (175). Each edits one
// slot of the CPU settings dialog's working device list: OK stores the
// entries into the slot, Apply also puts the working list into the editor's
// record and on the board. While open, each shows the device's live values
// every 200 ms.
#pragma once

#include <QDialog>
#include <QTimer>
#include <functional>
#include <vector>

#include "board/cpu_settings.h"
#include "board/device_values.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QSpinBox;
class QVBoxLayout;

namespace kv {

// What the device list and its dialogs work with.
struct DeviceEditing {
  CpuSettings& working;  // the CPU settings dialog's working copy
  CpuSettings& record;   // the editor's record, which a device's Apply updates
  DeviceValueSource& values;
  // Sends the settings to the board's RAM (applySettingsToRam): 1 applied.
  std::function<int(const CpuSettings&)> applyToRam;
  // A device's Apply changed the working list (the list page refreshes).
  std::function<void()> listChanged;
};

namespace device_control {
inline constexpr int kStatusVariable = 1677;
inline constexpr int kBusAddress = 1706;
inline constexpr int kState = 1800;
inline constexpr int kApply = 1189;
inline constexpr int kNote = 1801;
// KP-AIN channel n, KP-GC output n: data variable, offset, gain, value.
inline constexpr int kAinVariable = 1900, kAinOffset = 1910, kAinGain = 1920, kAinValue = 1930;
inline constexpr int kGcVariable = 1940, kGcOffset = 1950, kGcGain = 1960, kGcValue = 1970;
inline constexpr int kGcTemperature = 1980;
// KP-LD: the LED variables DUTY0..SEL1, the PSC formula edits.
inline constexpr int kLedFirstVariable = 1662;
inline constexpr int kLedFirstFormula = 1772;
// KP-DIO channel n (0..15): input and output radios, invert check; the live
// inputs of the two groups.
inline constexpr int kDioInput = 2100, kDioOutput = 2120, kDioInvert = 2140, kDioValue = 2160;
inline constexpr int kDioInputVariable0 = 1750, kDioInputVariable1 = 1769;
inline constexpr int kDioOutputVariable0 = 1768, kDioOutputVariable1 = 1795;
// KP-MP3.
inline constexpr int kMp3HighFrequency = 1571, kMp3HighFactor = 1572;
inline constexpr int kMp3LowFrequency = 1573, kMp3LowFactor = 1574;
inline constexpr int kMp3Amplifier = 1862, kMp3TrackVariable = 1863, kMp3VolumeVariable = 1864;
}  // namespace device_control

// What every device dialog has: the basic group (status variable, bus
// address, connection state), OK, Cancel and Apply, the live display, and
// one remembered screen position per dialog.
class DeviceDialog : public QDialog {
  Q_OBJECT
 public:
  uint16_t deviceType() const { return type_; }

 protected:
  DeviceDialog(uint16_t type, int dialog, DeviceEntry& entry, int slot, DeviceEditing& editing, QWidget* parent);
  // The dialog's own groups go here.
  QVBoxLayout* body() const { return body_; }
  // Fills the controls and starts the live display; the last call of a
  // dialog's constructor.
  void start();

  // The dialog's parameters from `from` (the slot's entry, or the type's
  // defaults).
  virtual void loadParameters(const DeviceEntry& from) = 0;
  // Checks the dialog's entries and stores its parameters into `into`;
  // false after the warning, with the offending entry selected.
  virtual bool storeParameters(DeviceEntry& into) = 0;
  // Shows the live values after a refresh.
  virtual void showLiveValues() {}

  void done(int result) override;
  void accept() override;

  // A line edit whose text is checked as a 16-bit number; false after the
  // warning, with its text selected.
  static bool checkedEdit(QLineEdit* edit, int16_t& value);

  const uint16_t type_;
  const int dialog_;
  DeviceEntry& entry_;
  const int slot_;
  DeviceEditing& editing_;
  DeviceLiveView live_;

 private:
  bool storeInto(DeviceEntry& into);
  void apply();
  void watch(const DeviceEntry& entry);
  virtual void afterApply() {}

  QSpinBox* status_;
  QComboBox* busAddress_;
  QLabel* state_;
  QVBoxLayout* body_;
  QTimer liveTimer_;
  bool accepted_ = false;
};

// The dialog's template number for `type` (0: none).
int deviceDialogFor(uint16_t type);

// Opens the dialog of `type` for slot `slot` of the working list; the
// dialog's result, or QDialog::Rejected after 40221 for a type without one.
int openDeviceDialog(QWidget* owner, uint16_t type, int slot, DeviceEditing& editing);

}  // namespace kv
