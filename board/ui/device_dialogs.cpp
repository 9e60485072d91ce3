#include "board/ui/device_dialogs.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QVBoxLayout>
#include <map>

#include "board/devices.h"
#include "motion/block_properties.h"
#include "shell/messages.h"
#include "shell/string_table.h"
#include "shell/ui/dialog_controls.h"
#include "shell/ui/qt_text.h"

namespace kv {

namespace {

namespace dc = device_control;

constexpr int kDataVariableHighest = 191;
constexpr int kVariableHighest = 255;

// Where each dialog was last closed during this run.
std::map<int, QPoint> lastPositions;

QString hexAddress(uint8_t address) { return QString::asprintf("0x%02x", address); }

QSpinBox* spin(int control, int lowest, int highest) {
  auto* box = named(new QSpinBox, control);
  box->setRange(lowest, highest);
  return box;
}

QLineEdit* numberEdit(int control) {
  auto* edit = named(new QLineEdit, control);
  edit->setMaximumWidth(70);
  return edit;
}

QLabel* valueLabel(int control) {
  auto* label = named(new QLabel(toQString(kNoLiveValue)), control);
  label->setMinimumWidth(70);
  label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  return label;
}

QLabel* noteLabel() { return new QLabel(jp("データ格納変数を0にすると、その出力は未使用となります")); }

}  // namespace

// ---- what every device dialog has -------------------------------------------

DeviceDialog::DeviceDialog(uint16_t type, int dialog, DeviceEntry& entry, int slot, DeviceEditing& editing,
                           QWidget* parent)
    : QDialog(parent), type_(type), dialog_(dialog), entry_(entry), slot_(slot), editing_(editing) {
  setObjectName(QString::number(dialog));
  setWindowTitle(toQString(deviceTypeName(type)));

  status_ = spin(dc::kStatusVariable, kStatusVariableLowest, kStatusVariableHighest);
  busAddress_ = named(new QComboBox, dc::kBusAddress);
  for (uint8_t address : deviceTypes()[deviceTypeChoice(type)].busAddresses)
    busAddress_->addItem(hexAddress(address), address);
  state_ = named(new QLabel(QStringLiteral("--")), dc::kState);
  state_->setMinimumWidth(40);
  state_->setFrameStyle(QFrame::Panel | QFrame::Sunken);

  auto* basic = new QGroupBox(jp("基本設定"));
  auto* basicLayout = new QGridLayout(basic);
  basicLayout->addWidget(new QLabel(jp("ステータス取得変数")), 0, 0);
  basicLayout->addWidget(status_, 0, 1);
  basicLayout->addWidget(new QLabel(jp("バスアドレス")), 0, 2);
  basicLayout->addWidget(busAddress_, 0, 3);
  basicLayout->addWidget(new QLabel(jp("接続状態")), 0, 4);
  basicLayout->addWidget(state_, 0, 5);

  body_ = new QVBoxLayout;
  auto* okButton = dialogButton(1, "OK");
  okButton->setDefault(true);
  auto* cancelButton = dialogButton(2, "ｷｬﾝｾﾙ");
  auto* applyButton = dialogButton(dc::kApply, "適用");
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(okButton);
  buttons->addWidget(cancelButton);
  buttons->addWidget(applyButton);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(basic);
  layout->addLayout(body_);
  layout->addLayout(buttons);

  connect(okButton, &QPushButton::clicked, this, &QDialog::accept);
  connect(cancelButton, &QPushButton::clicked, this, &QDialog::reject);
  connect(applyButton, &QPushButton::clicked, this, [this] { apply(); });
  liveTimer_.setInterval(kDeviceLiveIntervalMs);
  connect(&liveTimer_, &QTimer::timeout, this, [this] {
    live_.refresh(editing_.values);
    state_->setText(toQString(live_.stateText()));
    showLiveValues();
  });
  if (auto position = lastPositions.find(dialog); position != lastPositions.end()) move(position->second);
}

void DeviceDialog::start() {
  // An entry of another type (an added one too) starts from the type's
  // defaults and its default bus address.
  const bool ofThisType = entry_.type == type_;
  const DeviceEntry from = ofThisType ? entry_ : defaultDeviceEntry(type_);
  status_->setValue(from.statusVariable);
  // An address the type does not offer shows no choice: OK asks for one.
  busAddress_->setCurrentIndex(busAddress_->findData(from.busAddress));
  loadParameters(from);
  // The device as the list holds it is what the board may be running.
  if (ofThisType && entry_.used) watch(entry_);
  else watch(DeviceEntry{});
  liveTimer_.start();
}

void DeviceDialog::watch(const DeviceEntry& entry) {
  live_.watch(entry.statusVariable, liveVariablesOf(entry));
  live_.refresh(editing_.values);
  state_->setText(toQString(live_.stateText()));
  showLiveValues();
}

bool DeviceDialog::checkedEdit(QLineEdit* edit, int16_t& value) {
  std::optional<int16_t> checked = checkedDeviceParameter(fromQString(edit->text()));
  if (!checked) {
    edit->setFocus();
    edit->selectAll();
    return false;
  }
  value = *checked;
  return true;
}

bool DeviceDialog::storeInto(DeviceEntry& into) {
  if (busAddress_->currentIndex() < 0) {
    showMessage(kMsgChooseBusAddress, MessageIcon::Warning, MessageButtons::Ok);
    busAddress_->setFocus();
    return false;
  }
  into = entry_;
  setDeviceHeader(into, type_, static_cast<uint8_t>(busAddress_->currentData().toInt()),
                  static_cast<uint8_t>(status_->value()));
  return storeParameters(into);
}

void DeviceDialog::accept() {
  DeviceEntry stored;
  if (!storeInto(stored)) return;
  entry_ = stored;
  accepted_ = true;
  QDialog::accept();
}

void DeviceDialog::apply() {
  DeviceEntry stored;
  if (!storeInto(stored)) return;
  // The list must fit the board's area before anything is stored.
  const DeviceApply result = applyDeviceEntry(stored, slot_, editing_.working, editing_.record, editing_.applyToRam);
  if (result == DeviceApply::Refused) return;
  accepted_ = true;
  if (editing_.listChanged) editing_.listChanged();
  if (result != DeviceApply::Applied) return;
  watch(editing_.working.devices[slot_]);
  afterApply();
}

void DeviceDialog::done(int result) {
  liveTimer_.stop();
  lastPositions[dialog_] = pos();
  // An Apply has stored the entries already: closing keeps them.
  QDialog::done(accepted_ ? QDialog::Accepted : result);
}

// ---- KP-G1, KP-AIN, KP-GC: outputs with variable, offset and gain ---------------

namespace {

struct OutputRow {
  int output;
  const char* label;
  int variable, offset, gain, value;
};

struct OutputGroup {
  const char* title;
  std::vector<OutputRow> rows;
};

std::vector<OutputGroup> outputGroupsOf(uint16_t type) {
  if (type == kDeviceKpG1)
    return {{"加速度", {{0, "X", 1653, 1659, 1664, 1725}, {1, "Y", 1654, 1662, 1665, 1726}, {2, "Z", 1655, 1663, 1666, 1727}}},
            {"ジャイロ", {{4, "X", 1667, 1670, 1673, 1722}, {5, "Y", 1668, 1671, 1674, 1723}}}};
  auto row = [type](int n, const char* label) {
    if (type == kDeviceKpAin)
      return OutputRow{n, label, dc::kAinVariable + n, dc::kAinOffset + n, dc::kAinGain + n, dc::kAinValue + n};
    return OutputRow{n, label, dc::kGcVariable + n, dc::kGcOffset + n, dc::kGcGain + n, dc::kGcValue + n};
  };
  if (type == kDeviceKpAin)
    return {{"ch0～ch3", {row(0, "ch0"), row(1, "ch1"), row(2, "ch2"), row(3, "ch3")}},
            {"ch4～ch7", {row(4, "ch4"), row(5, "ch5"), row(6, "ch6"), row(7, "ch7")}}};
  return {{"加速度", {row(0, "X"), row(1, "Y"), row(2, "Z")}},
          {"ジャイロ", {row(4, "X"), row(5, "Y"), row(6, "Z")}},
          {"コンパス", {row(7, "X"), row(8, "Y"), row(9, "Z")}},
          {"温度", {row(3, "T")}}};
}

class OutputDeviceDialog : public DeviceDialog {
 public:
  OutputDeviceDialog(uint16_t type, DeviceEntry& entry, int slot, DeviceEditing& editing, QWidget* parent)
      : DeviceDialog(type, deviceDialogFor(type), entry, slot, editing, parent), count_(deviceOutputCount(type)) {
    for (const OutputGroup& group : outputGroupsOf(type)) {
      auto* box = new QGroupBox(jp(group.title));
      auto* grid = new QGridLayout(box);
      grid->addWidget(new QLabel(jp("データ格納変数")), 0, 1);
      grid->addWidget(new QLabel(jp("オフセット")), 0, 2);
      grid->addWidget(new QLabel(jp("ゲイン")), 0, 3);
      grid->addWidget(new QLabel(jp("現在値")), 0, 4);
      int line = 1;
      for (const OutputRow& r : group.rows) {
        Row row{r.output, spin(r.variable, 0, kDataVariableHighest), numberEdit(r.offset), numberEdit(r.gain),
                valueLabel(r.value)};
        grid->addWidget(new QLabel(jp(r.label)), line, 0);
        grid->addWidget(row.variable, line, 1);
        grid->addWidget(row.offset, line, 2);
        grid->addWidget(row.gain, line, 3);
        grid->addWidget(row.value, line, 4);
        rows_.push_back(row);
        ++line;
      }
      if (type == kDeviceKpGc && group.rows.front().output == 3) {
        temperature_ = named(new QLabel(toQString(kNoLiveValue)), dc::kGcTemperature);
        grid->addWidget(temperature_, line, 0, 1, 5);
      }
      body()->addWidget(box);
    }
    body()->addWidget(noteLabel());
    if (type == kDeviceKpGc) {
      // Older firmware does not know the device.
      auto* note = named(new QLabel, dc::kNote);
      note->setWordWrap(true);
      if (editing.record.firmwareRevision < 17) note->setText(toQString(loadUiString(kGcFirmwareNote)));
      body()->addWidget(note);
    }
    start();
  }

 protected:
  void loadParameters(const DeviceEntry& from) override {
    const std::vector<DeviceOutput> outputs = readDeviceOutputs(from, count_);
    for (Row& row : rows_) {
      row.variable->setValue(outputs[row.output].variable);
      row.offset->setText(QString::number(outputs[row.output].offset));
      row.gain->setText(QString::number(outputs[row.output].gain));
    }
  }

  bool storeParameters(DeviceEntry& into) override {
    // Outputs the dialog has no row for stay 0.
    std::vector<DeviceOutput> outputs(count_);
    for (Row& row : rows_) {
      DeviceOutput& output = outputs[row.output];
      output.variable = static_cast<uint8_t>(row.variable->value());
      if (!checkedEdit(row.offset, output.offset) || !checkedEdit(row.gain, output.gain)) return false;
    }
    writeDeviceOutputs(into, outputs);
    return true;
  }

  void showLiveValues() override {
    for (Row& row : rows_) row.value->setText(toQString(live_.valueText(row.output)));
    if (temperature_) temperature_->setText(toQString(temperatureText(live_.value(3))));
  }

  void afterApply() override {
    if (type_ == kDeviceKpGc && editing_.record.firmwareRevision < 17)
      showMessage(kMsgGcNeedsRevision17, MessageIcon::Warning, MessageButtons::Ok);
  }

 private:
  struct Row {
    int output;
    QSpinBox* variable;
    QLineEdit* offset;
    QLineEdit* gain;
    QLabel* value;
  };
  const int count_;
  std::vector<Row> rows_;
  QLabel* temperature_ = nullptr;
};

// ---- KP-LD ------------------------------------------------------------------

class LedDriverDialog : public DeviceDialog {
 public:
  LedDriverDialog(DeviceEntry& entry, int slot, DeviceEditing& editing, QWidget* parent)
      : DeviceDialog(kDeviceKpLd, 146, entry, slot, editing, parent) {
    static const char* const names[kLedVariableCount] = {"DUTY0", "DUTY1", "PSC0", "PSC1", "SEL0", "SEL1"};
    auto* box = new QGroupBox(jp("LED変数"));
    auto* grid = new QGridLayout(box);
    for (int n = 0; n < kLedVariableCount; ++n) {
      variables_[n] = spin(dc::kLedFirstVariable + n, 0, kVariableHighest);
      grid->addWidget(new QLabel(QString::fromLatin1(names[n])), n / 2, (n % 2) * 2);
      grid->addWidget(variables_[n], n / 2, (n % 2) * 2 + 1);
    }
    body()->addWidget(box);
    // The entry's six bytes hold the variables only: the prescaler formula
    // has no place in it, so its entries are shown but not taken.
    auto* formula = new QGroupBox(jp("PSC = limit(v[vi_psc]+base)*k/4096)"));
    auto* formulaGrid = new QGridLayout(formula);
    static const char* const parts[4] = {"base", "k", "min", "max"};
    for (int n = 0; n < 8; ++n) {
      auto* edit = numberEdit(dc::kLedFirstFormula + n);
      edit->setEnabled(false);
      formulaGrid->addWidget(new QLabel(QString::fromLatin1(n < 4 ? "PSC0 " : "PSC1 ") + parts[n % 4]), n / 4, (n % 4) * 2);
      formulaGrid->addWidget(edit, n / 4, (n % 4) * 2 + 1);
    }
    formula->setEnabled(false);
    body()->addWidget(formula);
    start();
  }

 protected:
  void loadParameters(const DeviceEntry& from) override {
    for (int n = 0; n < kLedVariableCount; ++n) variables_[n]->setValue(from.parameters[n]);
  }
  bool storeParameters(DeviceEntry& into) override {
    for (int n = 0; n < kLedVariableCount; ++n) into.parameters[n] = static_cast<uint8_t>(variables_[n]->value());
    return true;
  }

 private:
  std::array<QSpinBox*, kLedVariableCount> variables_{};
};

// ---- KP-DIO -----------------------------------------------------------------

class DigitalIoDialog : public DeviceDialog {
 public:
  DigitalIoDialog(DeviceEntry& entry, int slot, DeviceEditing& editing, QWidget* parent)
      : DeviceDialog(kDeviceKpDio, 159, entry, slot, editing, parent) {
    const int inputSpins[2] = {dc::kDioInputVariable0, dc::kDioInputVariable1};
    const int outputSpins[2] = {dc::kDioOutputVariable0, dc::kDioOutputVariable1};
    auto* groups = new QHBoxLayout;
    for (int group = 0; group < 2; ++group) {
      auto* box = new QGroupBox(QString::asprintf("ch%d～ch%d", group * 8, group * 8 + 7));
      auto* grid = new QGridLayout(box);
      for (int bit = 0; bit < 8; ++bit) {
        const int channel = group * 8 + bit;
        Channel& c = channels_[channel];
        c.input = named(new QRadioButton(jp("Inputで使用")), dc::kDioInput + channel);
        c.output = named(new QRadioButton(jp("Outputで使用")), dc::kDioOutput + channel);
        c.invert = named(new QCheckBox(jp("数値反転有効")), dc::kDioInvert + channel);
        auto* pair = new QButtonGroup(box);
        pair->addButton(c.input);
        pair->addButton(c.output);
        grid->addWidget(new QLabel(QString::asprintf("ch%d", channel)), bit, 0);
        grid->addWidget(c.input, bit, 1);
        grid->addWidget(c.output, bit, 2);
        grid->addWidget(c.invert, bit, 3);
      }
      inputVariable_[group] = spin(inputSpins[group], 0, kVariableHighest);
      outputVariable_[group] = spin(outputSpins[group], 0, kVariableHighest);
      value_[group] = valueLabel(dc::kDioValue + group);
      grid->addWidget(new QLabel(jp("入力変数")), 8, 0);
      grid->addWidget(inputVariable_[group], 8, 1);
      grid->addWidget(new QLabel(jp("現在値")), 8, 2);
      grid->addWidget(value_[group], 8, 3);
      grid->addWidget(new QLabel(jp("出力変数")), 9, 0);
      grid->addWidget(outputVariable_[group], 9, 1);
      groups->addWidget(box);
    }
    body()->addLayout(groups);
    start();
  }

 protected:
  void loadParameters(const DeviceEntry& from) override {
    const DioSettings dio = readDio(from);
    for (int channel = 0; channel < 16; ++channel) {
      const int group = channel / 8;
      const int bit = 1 << (channel % 8);
      channels_[channel].input->setChecked(dio.inputBits[group] & bit);
      channels_[channel].output->setChecked(!(dio.inputBits[group] & bit));
      channels_[channel].invert->setChecked(dio.invertBits[group] & bit);
    }
    for (int group = 0; group < 2; ++group) {
      inputVariable_[group]->setValue(dio.inputVariable[group]);
      outputVariable_[group]->setValue(dio.outputVariable[group]);
    }
  }

  bool storeParameters(DeviceEntry& into) override {
    DioSettings dio;
    for (int channel = 0; channel < 16; ++channel) {
      const int group = channel / 8;
      const int bit = 1 << (channel % 8);
      if (channels_[channel].input->isChecked()) dio.inputBits[group] |= bit;
      if (channels_[channel].invert->isChecked()) dio.invertBits[group] |= bit;
    }
    for (int group = 0; group < 2; ++group) {
      dio.inputVariable[group] = static_cast<uint8_t>(inputVariable_[group]->value());
      dio.outputVariable[group] = static_cast<uint8_t>(outputVariable_[group]->value());
    }
    writeDio(into, dio);
    return true;
  }

  void showLiveValues() override {
    for (int group = 0; group < 2; ++group) value_[group]->setText(toQString(live_.valueText(group)));
  }

 private:
  struct Channel {
    QRadioButton* input;
    QRadioButton* output;
    QCheckBox* invert;
  };
  std::array<Channel, 16> channels_{};
  std::array<QSpinBox*, 2> inputVariable_{};
  std::array<QSpinBox*, 2> outputVariable_{};
  std::array<QLabel*, 2> value_{};
};

// ---- KP-MP3 -----------------------------------------------------------------

class Mp3PlayerDialog : public DeviceDialog {
 public:
  Mp3PlayerDialog(DeviceEntry& entry, int slot, DeviceEditing& editing, QWidget* parent)
      : DeviceDialog(kDeviceKpMp3, 173, entry, slot, editing, parent) {
    const QString unused = toQString(loadUiString(40029));
    highFrequency_ = named(new QComboBox, dc::kMp3HighFrequency);
    for (int khz = 1; khz <= 15; ++khz) highFrequency_->addItem(QString::asprintf("%d kHz", khz));
    highFactor_ = named(new QComboBox, dc::kMp3HighFactor);
    for (int choice = 0; choice < 16; ++choice) {
      const double db = -12.0 + 1.5 * choice;
      highFactor_->addItem(QString::asprintf("%+.1f dB", db) + (choice == 8 ? unused : QString()));
    }
    lowFrequency_ = named(new QComboBox, dc::kMp3LowFrequency);
    for (int hz = 20; hz <= 150; hz += 10) lowFrequency_->addItem(QString::asprintf("%d Hz", hz));
    lowFactor_ = named(new QComboBox, dc::kMp3LowFactor);
    lowFactor_->addItem(unused);
    for (int db = 1; db <= 15; ++db) lowFactor_->addItem(QString::asprintf("%d dB", db));
    amplifier_ = named(new QComboBox, dc::kMp3Amplifier);
    for (int id : {40029, 40024, 40025, 40026, 40027}) amplifier_->addItem(toQString(loadUiString(id)));
    track_ = spin(dc::kMp3TrackVariable, 0, kVariableHighest);
    volume_ = spin(dc::kMp3VolumeVariable, 0, kVariableHighest);

    auto* box = new QGroupBox(jp("MP3プレイヤーの設定"));
    auto* grid = new QGridLayout(box);
    grid->addWidget(new QLabel(jp("曲番号変数")), 0, 0);
    grid->addWidget(track_, 0, 1);
    grid->addWidget(new QLabel(jp("音量変数")), 0, 2);
    grid->addWidget(volume_, 0, 3);
    grid->addWidget(new QLabel(jp("アンプ増幅率")), 1, 0);
    grid->addWidget(amplifier_, 1, 1);
    grid->addWidget(new QLabel(jp("高音域 周波数")), 2, 0);
    grid->addWidget(highFrequency_, 2, 1);
    grid->addWidget(new QLabel(jp("増幅率")), 2, 2);
    grid->addWidget(highFactor_, 2, 3);
    grid->addWidget(new QLabel(jp("低音域 周波数")), 3, 0);
    grid->addWidget(lowFrequency_, 3, 1);
    grid->addWidget(new QLabel(jp("増幅率")), 3, 2);
    grid->addWidget(lowFactor_, 3, 3);
    body()->addWidget(box);
    start();
  }

 protected:
  void loadParameters(const DeviceEntry& from) override {
    const Mp3Settings mp3 = readMp3(from);
    highFrequency_->setCurrentIndex(mp3.highFrequency);
    highFactor_->setCurrentIndex(mp3.highFactor);
    lowFrequency_->setCurrentIndex(mp3.lowFrequency);
    lowFactor_->setCurrentIndex(mp3.lowFactor);
    amplifier_->setCurrentIndex(mp3.amplifier);
    track_->setValue(mp3.trackVariable);
    volume_->setValue(mp3.volumeVariable);
  }

  bool storeParameters(DeviceEntry& into) override {
    Mp3Settings mp3;
    mp3.highFrequency = highFrequency_->currentIndex();
    mp3.highFactor = highFactor_->currentIndex();
    mp3.lowFrequency = lowFrequency_->currentIndex();
    mp3.lowFactor = lowFactor_->currentIndex();
    mp3.amplifier = amplifier_->currentIndex();
    mp3.trackVariable = static_cast<uint8_t>(track_->value());
    mp3.volumeVariable = static_cast<uint8_t>(volume_->value());
    writeMp3(into, mp3);
    return true;
  }

  void afterApply() override {
    if (editing_.record.firmwareRevision < 12)
      showMessage(kMsgMp3NeedsRevision12, MessageIcon::Warning, MessageButtons::Ok);
  }

 private:
  QComboBox* highFrequency_;
  QComboBox* highFactor_;
  QComboBox* lowFrequency_;
  QComboBox* lowFactor_;
  QComboBox* amplifier_;
  QSpinBox* track_;
  QSpinBox* volume_;
};

}  // namespace

int deviceDialogFor(uint16_t type) { return deviceTypes()[deviceTypeChoice(type)].dialog; }

int openDeviceDialog(QWidget* owner, uint16_t type, int slot, DeviceEditing& editing) {
  DeviceEntry& entry = editing.working.devices.at(slot);
  switch (type) {
    case kDeviceKpG1:
    case kDeviceKpAin:
    case kDeviceKpGc: return OutputDeviceDialog(type, entry, slot, editing, owner).exec();
    case kDeviceKpLd: return LedDriverDialog(entry, slot, editing, owner).exec();
    case kDeviceKpDio: return DigitalIoDialog(entry, slot, editing, owner).exec();
    case kDeviceKpMp3: return Mp3PlayerDialog(entry, slot, editing, owner).exec();
    default:
      showMessage(kMsgDeviceNotSupported, MessageIcon::Warning, MessageButtons::Ok);
      return QDialog::Rejected;
  }
}

}  // namespace kv
