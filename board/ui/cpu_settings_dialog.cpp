#include "board/ui/cpu_settings_dialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QVBoxLayout>
#include <optional>

#include "board/ui/device_list_page.h"
#include "shell/editor_state.h"
#include "shell/messages.h"
#include "shell/string_table.h"
#include "shell/text_format.h"
#include "shell/ui/dialog_controls.h"
#include "shell/ui/qt_text.h"

namespace kv {
namespace {

constexpr int kBasicTabString = 40160;
constexpr int kServoTabString = 40161;
constexpr int kDeviceTabString = 40162;
constexpr int kFirstInterpolationString = 40146;  // 40146 to 40150: types 0 to 4
constexpr int kInterpolationTypeCount = 5;
constexpr int kFirstPadTypeString = 40431;  // 40431 to 40434: pad types 0 to 3
constexpr int kPadTypeCount = 4;
constexpr int kFirstConnectorString = 40030;  // 40030 to 40032: connector types 0 to 2
constexpr int kConnectorTypeCount = 3;
constexpr int kFirstValidityString = 40436;  // 40436 to 40438: term validity 0 to 2
constexpr int kFirmwareWarningString = 49020;
constexpr int kSupportPageString = 49021;
constexpr int kServoNameLength = kServoNameFieldSize - 1;

// Where the dialog was last closed, and its tab, during this run.
std::optional<QPoint> lastPosition;
int lastTab = 0;

QLineEdit* lineEdit(int control, int maxLength = 12) {
  auto* edit = named(new QLineEdit, control);
  edit->setMaxLength(maxLength);
  return edit;
}

QSpinBox* spinBox(int control, int low, int high) {
  auto* spin = named(new QSpinBox, control);
  spin->setRange(low, high);
  return spin;
}

QComboBox* stringCombo(int control, int firstString, int count) {
  auto* combo = named(new QComboBox, control);
  for (int i = 0; i < count; ++i) combo->addItem(toQString(loadUiString(firstString + i)));
  return combo;
}

QLabel* label(const char* caption) { return new QLabel(jp(caption)); }

QString text(const std::u16string& s) { return toQString(s); }

}  // namespace

CpuSettingsDialog::CpuSettingsDialog(EditorState& state, CpuSettingsActions actions, QWidget* parent)
    : QDialog(parent), state_(state), actions_(std::move(actions)), work_(state.cpuSettings) {
  setObjectName("139");
  setWindowTitle(jp("CPUの設定"));

  tabs_ = named(new QTabWidget, 1158);
  tabs_->addTab(buildBasicPage(), toQString(loadUiString(kBasicTabString)));
  tabs_->addTab(buildServoPage(), toQString(loadUiString(kServoTabString)));
  // The expansion device page edits the same working copy.
  QWidget* devices = new DeviceListPage(work_, state_.cpuSettings,
                                        actions_.deviceValues ? *actions_.deviceValues : offlineDeviceValues(),
                                        actions_.sendToRam);
  devices->setObjectName("137");
  tabs_->addTab(devices, toQString(loadUiString(kDeviceTabString)));

  auto* applyButton = dialogButton(1, "適用");
  auto* closeButton = dialogButton(2, "閉じる");
  auto* servoButton = dialogButton(1298, "サーボモータON/OFF");
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(servoButton);
  buttons->addStretch(1);
  buttons->addWidget(applyButton);
  buttons->addWidget(closeButton);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(tabs_);
  layout->addLayout(buttons);

  connect(applyButton, &QPushButton::clicked, this, [this] { apply(); });
  connect(closeButton, &QPushButton::clicked, this, [this] { reject(); });
  connect(servoButton, &QPushButton::clicked, this, [this] {
    if (actions_.toggleServos) actions_.toggleServos();
  });

  fillPages();
  tabs_->setCurrentIndex(lastTab);
  if (lastPosition) move(*lastPosition);
}

QWidget* CpuSettingsDialog::buildBasicPage() {
  auto* page = new QWidget;
  page->setObjectName("140");

  controlPeriod_ = lineEdit(1646, 10);
  bootTimer_ = spinBox(1645, -1, 32767);
  batteryAlarm_ = lineEdit(1644);
  batteryShutdown_ = lineEdit(1641);
  auto* basics = new QGroupBox(jp("基本設定"));
  auto* basicsLayout = new QGridLayout(basics);
  // Caption, entry and unit on one row.
  const auto addRow = [basicsLayout](int row, const char* caption, QWidget* entry, const char* unit) {
    basicsLayout->addWidget(label(caption), row, 0);
    basicsLayout->addWidget(entry, row, 1);
    basicsLayout->addWidget(label(unit), row, 2);
  };
  addRow(0, "基本制御周期", controlPeriod_, "usec");
  addRow(1, "起動タイマ", bootTimer_, "サイクル");
  addRow(2, "バッテリ警告電圧", batteryAlarm_, "V");
  addRow(3, "バッテリ停止電圧", batteryShutdown_, "V");

  interpolationSlider_ = spinBox(1642, 0, kInterpolationCount - 1);
  interpolationType_ = stringCombo(1649, kFirstInterpolationString, kInterpolationTypeCount);
  auto* interpolation = new QGroupBox(jp("補間方法"));
  auto* interpolationLayout = new QGridLayout(interpolation);
  interpolationLayout->addWidget(label("ポーズスライダ"), 0, 0);
  interpolationLayout->addWidget(interpolationSlider_, 0, 1);
  interpolationLayout->addWidget(interpolationType_, 1, 0, 1, 2);
  interpolationLayout->setRowStretch(2, 1);

  voiceOutput_ = named(new QCheckBox(jp("音声を出力する")), 1162);
  voiceVariable_ = spinBox(1650, 0, 65535);
  amplifier_ = named(new QCheckBox(jp("内蔵アンプを使う")), 1163);
  amplifierGain_ = spinBox(1648, 0, 3);
  auto* voice = new QGroupBox(jp("音声出力"));
  auto* voiceLayout = new QGridLayout(voice);
  voiceLayout->addWidget(voiceOutput_, 0, 0, 1, 2);
  voiceLayout->addWidget(label("音声出力変数"), 1, 0);
  voiceLayout->addWidget(voiceVariable_, 1, 1);
  voiceLayout->addWidget(amplifier_, 2, 0, 1, 2);
  voiceLayout->addWidget(label("内蔵アンプゲイン"), 3, 0);
  voiceLayout->addWidget(amplifierGain_, 3, 1);

  padType_ = stringCombo(1841, kFirstPadTypeString, kPadTypeCount);
  controllerServoOn_ = named(new QCheckBox(jp("コントローラ操作中は常にサーボON")), 1861);
  cn6Type_ = stringCombo(1869, kFirstConnectorString, kConnectorTypeCount);
  cn7Type_ = stringCombo(1870, kFirstConnectorString, kConnectorTypeCount);
  auto* controller = new QGroupBox(jp("コントローラ・シリアルポート"));
  auto* controllerLayout = new QGridLayout(controller);
  controllerLayout->addWidget(label("コントローラ"), 0, 0);
  controllerLayout->addWidget(padType_, 0, 1);
  controllerLayout->addWidget(controllerServoOn_, 1, 0, 1, 2);
  controllerLayout->addWidget(label("CN6"), 2, 0);
  controllerLayout->addWidget(cn6Type_, 2, 1);
  controllerLayout->addWidget(label("CN7"), 3, 0);
  controllerLayout->addWidget(cn7Type_, 3, 1);

  robotName_ = named(new QLabel, 1703);
  firmwareVersion_ = named(new QLabel, 1710);
  firmwareRevision_ = named(new QLabel, 1720);
  firmwareWarning_ = named(new QLabel, 1799);
  firmwareWarning_->setWordWrap(true);
  firmwareWarning_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  auto* board = new QGroupBox(jp("CPUボード"));
  auto* boardLayout = new QGridLayout(board);
  boardLayout->addWidget(label("ロボット"), 0, 0);
  boardLayout->addWidget(robotName_, 0, 1, 1, 2);
  boardLayout->addWidget(label("ファームウェア"), 1, 0);
  boardLayout->addWidget(firmwareVersion_, 1, 1);
  boardLayout->addWidget(firmwareRevision_, 1, 2);
  boardLayout->addWidget(firmwareWarning_, 2, 0, 1, 3);
  boardLayout->setColumnStretch(2, 1);

  auto* grid = new QGridLayout(page);
  grid->addWidget(basics, 0, 0);
  grid->addWidget(interpolation, 1, 0);
  grid->addWidget(voice, 0, 1);
  grid->addWidget(controller, 1, 1);
  grid->addWidget(board, 2, 0, 1, 2);
  grid->setRowStretch(3, 1);

  // Interpolation and the connector types go into the working copy at once.
  connect(interpolationSlider_, &QSpinBox::valueChanged, this, [this] { showInterpolation(); });
  connect(interpolationType_, &QComboBox::currentIndexChanged, this, [this](int type) {
    if (filling_ || type < 0) return;
    work_.interpolation[static_cast<size_t>(interpolationSlider_->value())] = static_cast<uint8_t>(type);
  });
  for (bool cn6 : {true, false}) {
    connect(cn6 ? cn6Type_ : cn7Type_, &QComboBox::currentIndexChanged, this, [this, cn6](int type) {
      if (filling_ || type < 0) return;
      chooseConnectorType(work_, cn6, static_cast<uint8_t>(type));
      fillConnectorTypes();
    });
  }
  return page;
}

QWidget* CpuSettingsDialog::buildServoPage() {
  auto* page = new QWidget;
  page->setObjectName("166");

  channel_ = named(new QComboBox, 1571);
  channel_->setMaxVisibleItems(15);
  servoName_ = lineEdit(1640, kServoNameLength);
  powerOnTimer_ = spinBox(1638, 0, 255);
  auto* top = new QGridLayout;
  top->addWidget(label("出力チャンネル"), 0, 0);
  top->addWidget(channel_, 0, 1);
  top->addWidget(label("名前"), 1, 0);
  top->addWidget(servoName_, 1, 1);
  top->addWidget(label("電源投入タイマ"), 2, 0);
  top->addWidget(powerOnTimer_, 2, 1);
  top->addWidget(label("サイクル"), 2, 2);
  top->setColumnStretch(3, 1);

  // x = v[a] + C × v[Va] / 256 × v[Vb] / 256 for each of the four terms.
  variableA_ = spinBox(1650, 0, 255);
  constexpr std::array<int, 4> coefficientIds = {1845, 1603, 1857, 1860};
  constexpr std::array<int, 4> vaIds = {1842, 1855, 1858, 1861};
  constexpr std::array<int, 4> vbIds = {1843, 1856, 1859, 1862};
  auto* formula = new QGroupBox(jp("サーボ位置 x の計算"));
  auto* formulaLayout = new QGridLayout(formula);
  formulaLayout->addWidget(label("x = v["), 0, 0, Qt::AlignRight);
  formulaLayout->addWidget(variableA_, 0, 1);
  formulaLayout->addWidget(label("]"), 0, 2);
  for (int t = 0; t < 4; ++t) {
    termCoefficient_[t] = lineEdit(coefficientIds[t], 7);
    termVa_[t] = spinBox(vaIds[t], 0, 255);
    termVb_[t] = spinBox(vbIds[t], 0, 255);
    termValidity_[t] = stringCombo(1621 + t, kFirstValidityString, 3);
    const int row = t + 1;
    formulaLayout->addWidget(label("+"), row, 0, Qt::AlignRight);
    formulaLayout->addWidget(termCoefficient_[t], row, 1);
    formulaLayout->addWidget(label("× v["), row, 2);
    formulaLayout->addWidget(termVa_[t], row, 3);
    formulaLayout->addWidget(label("] / 256 × v["), row, 4);
    formulaLayout->addWidget(termVb_[t], row, 5);
    formulaLayout->addWidget(label("] / 256"), row, 6);
    formulaLayout->addWidget(termValidity_[t], row, 7);
  }
  lowerLimit_ = lineEdit(1607, 7);
  upperLimit_ = lineEdit(1608, 7);
  formulaLayout->addWidget(lowerLimit_, 5, 1);
  formulaLayout->addWidget(label("≦ x ≦"), 5, 2, Qt::AlignCenter);
  formulaLayout->addWidget(upperLimit_, 5, 3);

  pwmBase_ = lineEdit(1600, 6);
  pwmCoefficient_ = lineEdit(1611, 7);
  auto* pwm = new QGroupBox(jp("PWM出力（単位 1/15MHz）"));
  auto* pwmLayout = new QGridLayout(pwm);
  pwmLayout->addWidget(label("PWM ="), 0, 0);
  pwmLayout->addWidget(pwmBase_, 0, 1);
  pwmLayout->addWidget(label("+"), 0, 2);
  pwmLayout->addWidget(pwmCoefficient_, 0, 3);
  pwmLayout->addWidget(label("× x / 32768"), 0, 4);
  pwmLayout->setColumnStretch(5, 1);

  torqueOff_ = named(new QCheckBox(jp("脱力機能有効")), 1821);
  torqueOffVariable_ = spinBox(1819, 0, 255);
  torqueOffBit_ = spinBox(1820, 0, 15);
  auto* torque = new QGroupBox(jp("脱力機能"));
  auto* torqueLayout = new QHBoxLayout(torque);
  torqueLayout->addWidget(torqueOff_);
  torqueLayout->addWidget(label("参照変数 v["));
  torqueLayout->addWidget(torqueOffVariable_);
  torqueLayout->addWidget(label("] のビット"));
  torqueLayout->addWidget(torqueOffBit_);
  torqueLayout->addStretch(1);

  auto* layout = new QVBoxLayout(page);
  layout->addLayout(top);
  layout->addWidget(formula);
  layout->addWidget(pwm);
  layout->addWidget(torque);
  layout->addStretch(1);

  connect(channel_, &QComboBox::currentIndexChanged, this, [this](int index) { channelChosen(index); });
  return page;
}

void CpuSettingsDialog::fillPages() {
  fillBasicPage();
  fillChannelChooser();
  showServo(shownChannel_);
}

void CpuSettingsDialog::fillBasicPage() {
  filling_ = true;
  const BasicForm form = basicForm(work_);
  controlPeriod_->setText(text(form.controlPeriod));
  bootTimer_->setValue(form.bootTimer);
  batteryAlarm_->setText(text(form.batteryAlarm));
  batteryShutdown_->setText(text(form.batteryShutdown));
  voiceOutput_->setChecked(form.voiceOutput);
  voiceVariable_->setValue(form.voiceVariable);
  amplifier_->setChecked(form.builtInAmplifier);
  amplifierGain_->setValue(form.amplifierGain);
  padType_->setCurrentIndex(form.padType < kPadTypeCount ? form.padType : 0);
  controllerServoOn_->setChecked(form.controllerServoOn);
  controllerServoOn_->setEnabled(controllerServoOnAvailable(work_));
  filling_ = false;
  showInterpolation();
  fillConnectorTypes();

  robotName_->setText(text(state_.project.modelName));
  firmwareVersion_->setText(text(formatted(u"ver %.3f", {firmwareVersionNumber(work_.firmwareVersion)})));
  firmwareRevision_->setText(text(formatted(u"(%d)", {work_.firmwareRevision})));
  firmwareWarning_->setText(firmwareNeedsUpdate(work_) ? text(formatted(loadUiString(kFirmwareWarningString),
                                                                        {1.0, 2, loadUiString(kSupportPageString)}))
                                                       : QString());
}

void CpuSettingsDialog::fillConnectorTypes() {
  filling_ = true;
  cn6Type_->setCurrentIndex(work_.cn6Type < kConnectorTypeCount ? work_.cn6Type : 0);
  cn7Type_->setCurrentIndex(work_.cn7Type < kConnectorTypeCount ? work_.cn7Type : 0);
  const bool available = connectorTypesAvailable(work_);
  cn6Type_->setEnabled(available);
  cn7Type_->setEnabled(available);
  filling_ = false;
}

void CpuSettingsDialog::showInterpolation() {
  filling_ = true;
  const int type = work_.interpolation[static_cast<size_t>(interpolationSlider_->value())];
  interpolationType_->setCurrentIndex(type < kInterpolationTypeCount ? type : -1);
  filling_ = false;
}

void CpuSettingsDialog::fillChannelChooser() {
  filling_ = true;
  channel_->clear();
  for (int i = 0; i < kServoOutputCount; ++i)
    channel_->addItem(text(servoChannelLabel(work_.servos[static_cast<size_t>(i)], i)));
  channel_->setCurrentIndex(shownChannel_);
  filling_ = false;
}

void CpuSettingsDialog::showServo(int channel) {
  shownChannel_ = channel;
  const ServoForm form = servoForm(work_.servos[static_cast<size_t>(channel)]);
  servoName_->setText(text(form.name));
  powerOnTimer_->setValue(form.powerOnTimer);
  variableA_->setValue(form.variableA);
  for (int t = 0; t < 4; ++t) {
    termCoefficient_[t]->setText(text(form.termCoefficient[t]));
    termVa_[t]->setValue(form.termVa[t]);
    termVb_[t]->setValue(form.termVb[t]);
    termValidity_[t]->setCurrentIndex(form.termValidity[t]);
  }
  lowerLimit_->setText(text(form.lowerLimit));
  upperLimit_->setText(text(form.upperLimit));
  pwmBase_->setText(text(form.base));
  pwmCoefficient_->setText(text(form.coefficient));
  torqueOff_->setChecked(form.torqueOffEnabled);
  torqueOffVariable_->setValue(form.torqueOffVariable);
  torqueOffBit_->setValue(form.torqueOffBit);
}

BasicForm CpuSettingsDialog::readBasicPage() const {
  BasicForm form;
  form.controlPeriod = fromQString(controlPeriod_->text());
  form.bootTimer = bootTimer_->value();
  form.batteryAlarm = fromQString(batteryAlarm_->text());
  form.batteryShutdown = fromQString(batteryShutdown_->text());
  form.voiceOutput = voiceOutput_->isChecked();
  form.voiceVariable = voiceVariable_->value();
  form.builtInAmplifier = amplifier_->isChecked();
  form.amplifierGain = amplifierGain_->value();
  form.padType = padType_->currentIndex();
  form.controllerServoOn = controllerServoOn_->isChecked();
  return form;
}

ServoForm CpuSettingsDialog::readServoPage() const {
  ServoForm form;
  form.name = fromQString(servoName_->text());
  form.powerOnTimer = powerOnTimer_->value();
  form.variableA = variableA_->value();
  for (int t = 0; t < 4; ++t) {
    form.termCoefficient[t] = fromQString(termCoefficient_[t]->text());
    form.termVa[t] = termVa_[t]->value();
    form.termVb[t] = termVb_[t]->value();
    form.termValidity[t] = termValidity_[t]->currentIndex();
  }
  form.lowerLimit = fromQString(lowerLimit_->text());
  form.upperLimit = fromQString(upperLimit_->text());
  form.base = fromQString(pwmBase_->text());
  form.coefficient = fromQString(pwmCoefficient_->text());
  form.torqueOffEnabled = torqueOff_->isChecked();
  form.torqueOffVariable = torqueOffVariable_->value();
  form.torqueOffBit = torqueOffBit_->value();
  return form;
}

// Another channel is shown only when the shown one passes its checks.
void CpuSettingsDialog::channelChosen(int index) {
  if (filling_ || index < 0) return;
  const FormCheck check = storeServoForm(readServoPage(), work_.servos[static_cast<size_t>(shownChannel_)]);
  if (!check.passed()) {
    filling_ = true;
    channel_->setCurrentIndex(shownChannel_);
    filling_ = false;
    showMessage(check.stringId, MessageIcon::Warning, MessageButtons::Ok);
    selectEntry(check.control);
    return;
  }
  // The stored name may have changed the shown channel's entry.
  filling_ = true;
  channel_->setItemText(shownChannel_,
                        text(servoChannelLabel(work_.servos[static_cast<size_t>(shownChannel_)], shownChannel_)));
  filling_ = false;
  showServo(index);
}

void CpuSettingsDialog::apply() {
  const CpuApplyResult result =
      applyCpuSettings(state_.cpuSettings, work_, readBasicPage(), shownChannel_, readServoPage(), actions_.sendToRam);
  switch (result.outcome) {
    case CpuApplyOutcome::Declined: return;
    case CpuApplyOutcome::Invalid: selectEntry(result.invalidControl); return;
    case CpuApplyOutcome::Failed:
    case CpuApplyOutcome::Applied: fillPages(); return;
  }
}

// Shows the entry's page and selects its text.
void CpuSettingsDialog::selectEntry(int control) {
  for (int i = 0; i < tabs_->count(); ++i) {
    if (auto* edit = tabs_->widget(i)->findChild<QLineEdit*>(QString::number(control))) {
      tabs_->setCurrentIndex(i);
      edit->setFocus();
      edit->selectAll();
      return;
    }
  }
}

void CpuSettingsDialog::done(int result) {
  lastPosition = pos();
  lastTab = tabs_->currentIndex();
  QDialog::done(result);
}

}  // namespace kv
