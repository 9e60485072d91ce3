#include "pose/ui/slider_settings_dialog.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QColorDialog>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpressionValidator>
#include <QSpinBox>
#include <QVBoxLayout>

#include "display/ui/font_colour_dialog.h"
#include "display/ui/fonts.h"
#include "shell/string_table.h"
#include "shell/text_format.h"
#include "shell/ui/dialog_controls.h"
#include "shell/ui/qt_text.h"

namespace kv {
namespace {

constexpr int kSelectedSlidersString = 40105;

// Where the dialog was last closed during this run.
std::optional<QPoint> lastPosition;

QLineEdit* lineEdit(int control, int maxLength = 0, bool digitsOnly = false) {
  auto* edit = named(new QLineEdit, control);
  if (maxLength > 0) edit->setMaxLength(maxLength);
  if (digitsOnly) edit->setValidator(new QRegularExpressionValidator(QRegularExpression("[0-9]*"), edit));
  return edit;
}

QCheckBox* checkBox(int control, const char* caption) { return named(new QCheckBox(jp(caption)), control); }

void setBox(QCheckBox* box, TriState state) {
  box->setCheckState(state == TriState::Checked     ? Qt::Checked
                     : state == TriState::Unchecked ? Qt::Unchecked
                                                    : Qt::PartiallyChecked);
}

TriState boxState(const QCheckBox* box) {
  switch (box->checkState()) {
    case Qt::Checked: return TriState::Checked;
    case Qt::Unchecked: return TriState::Unchecked;
    default: return TriState::Indeterminate;
  }
}

QString sliderEntry(const SliderTable& table, int slider) {
  return toQString(formatted(u"%02d:%s", {slider, table.sliders[slider].name}));
}

}  // namespace

SliderSettingsDialog::SliderSettingsDialog(SliderTable& table, std::filesystem::path saveFile,
                                           std::function<void()> applied, QWidget* parent)
    : QDialog(parent), table_(table), saveFile_(std::move(saveFile)), applied_(std::move(applied)) {
  setObjectName("131");
  setWindowTitle(jp("ポーズスライダの設定"));

  sliderChooser_ = named(new QComboBox, 1571);
  sliderChooser_->setMaxVisibleItems(20);
  auto* top = new QHBoxLayout;
  top->addWidget(new QLabel(jp("スライダ")));
  top->addWidget(sliderChooser_, 1);

  // Texts, look and place.
  name_ = lineEdit(1573, kSliderNameFieldSize - 1);
  upperText_ = lineEdit(1622, kSideTextFieldSize - 1);
  lowerText_ = lineEdit(1614, kSideTextFieldSize - 1);
  x_ = lineEdit(1615, 6, true);
  y_ = lineEdit(1616, 6, true);
  auto* fontButton = named(new QPushButton(jp("フォント")), 1623);
  auto* backgroundButton = named(new QPushButton(jp("文字背景色")), 1624);
  auto* texts = new QGroupBox(jp("表示"));
  auto* textsLayout = new QGridLayout(texts);
  textsLayout->addWidget(new QLabel(jp("名前")), 0, 0);
  textsLayout->addWidget(name_, 0, 1, 1, 3);
  textsLayout->addWidget(new QLabel(jp("上限側")), 1, 0);
  textsLayout->addWidget(upperText_, 1, 1);
  textsLayout->addWidget(new QLabel(jp("下限側")), 1, 2);
  textsLayout->addWidget(lowerText_, 1, 3);
  textsLayout->addWidget(new QLabel(jp("位置 X")), 2, 0);
  textsLayout->addWidget(x_, 2, 1);
  textsLayout->addWidget(new QLabel(jp("Y")), 2, 2);
  textsLayout->addWidget(y_, 2, 3);
  textsLayout->addWidget(fontButton, 3, 0, 1, 2);
  textsLayout->addWidget(backgroundButton, 3, 2, 1, 2);

  // Value format.
  formats_ = new QButtonGroup(this);
  formats_->setExclusive(true);
  struct FormatButton {
    int control;
    const char* caption;
    int format;
  };
  auto* formatBox = new QGroupBox(jp("表示形式"));
  auto* formatLayout = new QGridLayout(formatBox);
  int row = 0;
  for (FormatButton b : {FormatButton{1608, "10進数", FormatDecimal}, FormatButton{1611, "16進数", FormatHexadecimal},
                         FormatButton{1609, "角度（deg）", FormatDegrees}, FormatButton{1610, "パーセント", FormatPercent},
                         FormatButton{1613, "音声", FormatVoice}}) {
    auto* radio = named(new QRadioButton(jp(b.caption)), b.control);
    formats_->addButton(radio, b.format);
    formatLayout->addWidget(radio, row++, 0);
  }
  unitsPerDegree_ = lineEdit(1707, 20);
  decimalPlaces_ = named(new QSpinBox, 1612);
  decimalPlaces_->setRange(0, kMaxDecimalPlaces);
  decimalPlaces_->findChild<QLineEdit*>()->setObjectName("1630");
  decimalPlacesLabel_ = named(new QLabel(jp("小数点以下の桁数")), 1629);
  formatLayout->addWidget(new QLabel(jp("対応表示角度　1度=")), 0, 1);
  formatLayout->addWidget(unitsPerDegree_, 1, 1);
  formatLayout->addWidget(decimalPlacesLabel_, 2, 1);
  formatLayout->addWidget(decimalPlaces_, 3, 1);

  // Range.
  lowerLimit_ = lineEdit(1575, 12);
  upperLimit_ = lineEdit(1576, 12);
  stepResolution_ = lineEdit(1698, 6, true);
  auto* range = new QGroupBox(jp("可動範囲"));
  auto* rangeLayout = new QGridLayout(range);
  rangeLayout->addWidget(new QLabel(jp("下限")), 0, 0);
  rangeLayout->addWidget(lowerLimit_, 0, 1);
  rangeLayout->addWidget(new QLabel(jp("上限")), 1, 0);
  rangeLayout->addWidget(upperLimit_, 1, 1);
  rangeLayout->addWidget(new QLabel(jp("ステップ分解能")), 2, 0);
  rangeLayout->addWidget(stepResolution_, 2, 1);

  // Pair.
  pairs_ = new QButtonGroup(this);
  auto* pairBox = new QGroupBox(jp("ペア"));
  auto* pairLayout = new QGridLayout(pairBox);
  struct PairButton {
    int control;
    const char* caption;
    int attribute;
  };
  int column = 0;
  for (PairButton b : {PairButton{1295, "設定無し", PairNone}, PairButton{1296, "中心", PairCentre},
                       PairButton{1297, "右", PairRight}, PairButton{1298, "左", PairLeft}}) {
    auto* radio = named(new QRadioButton(jp(b.caption)), b.control);
    pairs_->addButton(radio, b.attribute);
    pairLayout->addWidget(radio, 0, column++);
  }
  partnerLabel_ = named(new QLabel(jp("対となるスライダ")), 1625);
  partnerChooser_ = named(new QComboBox, 1572);
  partnerChooser_->setMaxVisibleItems(20);
  partnerNote_ = named(new QLabel(jp("（右・左のとき）")), 1664);
  pairLayout->addWidget(partnerLabel_, 1, 0, 1, 2);
  pairLayout->addWidget(partnerChooser_, 1, 2, 1, 2);
  pairLayout->addWidget(partnerNote_, 2, 2, 1, 2);

  // Behaviour.
  enabled_ = checkBox(1162, "スライダ有効");
  displayInverted_ = checkBox(1583, "表示反転");
  signInverted_ = checkBox(1665, "符号反転");
  relative_ = checkBox(1168, "基準ポーズ相対値");
  showName_ = checkBox(1635, "ポーズスライダ名表示");
  showSideTexts_ = checkBox(1870, "スライダ横の文字列表示");
  auto* behaviour = new QGroupBox(jp("動作"));
  auto* behaviourLayout = new QGridLayout(behaviour);
  QCheckBox* boxes[] = {enabled_, displayInverted_, signInverted_, relative_, showName_, showSideTexts_};
  for (int i = 0; i < 6; ++i) behaviourLayout->addWidget(boxes[i], i / 2, i % 2);

  auto* applyButton = named(new QPushButton(jp("適用")), 1);
  auto* closeButton = named(new QPushButton(jp("閉じる")), 2);
  applyButton->setAutoDefault(false);
  closeButton->setAutoDefault(false);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(applyButton);
  buttons->addWidget(closeButton);

  auto* columns = new QHBoxLayout;
  auto* left = new QVBoxLayout;
  left->addWidget(texts);
  left->addWidget(range);
  left->addStretch();
  auto* right = new QVBoxLayout;
  right->addWidget(formatBox);
  right->addWidget(pairBox);
  right->addStretch();
  columns->addLayout(left);
  columns->addLayout(right);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(top);
  layout->addLayout(columns);
  layout->addWidget(behaviour);
  layout->addLayout(buttons);

  connect(sliderChooser_, &QComboBox::activated, this, [this](int entry) { fill(entry); });
  connect(formats_, &QButtonGroup::idClicked, this, [this] { updateFormatControls(); });
  connect(pairs_, &QButtonGroup::idClicked, this, [this] { updatePairControls(); });
  connect(fontButton, &QPushButton::clicked, this, [this] {
    QFont font = toQFont(workingFont_.value_or(LogicalFont{}));
    QColor colour = toQColor(workingTextColour_.value_or(0));
    if (!FontColourDialog::choose(this, font, colour)) return;
    workingFont_ = fromQFont(font, workingFont_.value_or(LogicalFont{}));
    workingTextColour_ = fromQColor(colour);
  });
  connect(backgroundButton, &QPushButton::clicked, this, [this] {
    QColor chosen = QColorDialog::getColor(toQColor(workingBackground_.value_or(0)), this, QString(),
                                           QColorDialog::DontUseNativeDialog);
    if (chosen.isValid()) workingBackground_ = fromQColor(chosen);
  });
  connect(applyButton, &QPushButton::clicked, this, [this] { apply(); });
  connect(closeButton, &QPushButton::clicked, this, &QDialog::reject);

  buildChooserEntries();
  int entry = initialEntry(table_);
  sliderChooser_->setCurrentIndex(entry);
  fill(entry);
  if (lastPosition) move(*lastPosition);
}

int SliderSettingsDialog::initialEntry(const SliderTable& table) {
  int selectedCount = 0;
  int selected = 0;
  for (int i = 0; i < kSliderCount; ++i) {
    if (table.sliders[i].selected()) {
      ++selectedCount;
      selected = i;
    }
  }
  if (selectedCount == 0) return 1;
  return selectedCount == 1 ? selected + 1 : 0;
}

void SliderSettingsDialog::done(int result) {
  lastPosition = pos();
  QDialog::done(result);
}

void SliderSettingsDialog::buildChooserEntries() {
  int sliderEntry_ = sliderChooser_->currentIndex();
  int partnerEntry = partnerChooser_->currentIndex();
  sliderChooser_->clear();
  partnerChooser_->clear();
  sliderChooser_->addItem(toQString(loadUiString(kSelectedSlidersString)));
  for (int i = 0; i < kSliderCount; ++i) {
    sliderChooser_->addItem(sliderEntry(table_, i));
    partnerChooser_->addItem(sliderEntry(table_, i));
  }
  sliderChooser_->setCurrentIndex(sliderEntry_);
  partnerChooser_->setCurrentIndex(partnerEntry);
}

void SliderSettingsDialog::fill(int entry) {
  singleSlider_ = entry > 0;
  SliderSettingsForm form = singleSlider_ ? formForSlider(table_, entry - 1) : formForSelection();
  name_->setText(toQString(form.name));
  upperText_->setText(toQString(form.upperText));
  lowerText_->setText(toQString(form.lowerText));
  lowerLimit_->setText(toQString(form.lowerLimit));
  upperLimit_->setText(toQString(form.upperLimit));
  stepResolution_->setText(toQString(form.stepResolution));
  unitsPerDegree_->setText(toQString(form.unitsPerDegree));
  x_->setText(toQString(form.x));
  y_->setText(toQString(form.y));
  decimalPlaces_->setValue(form.decimalPlaces);

  // An exclusive group cannot show "none checked" without lifting exclusivity.
  formats_->setExclusive(false);
  for (QAbstractButton* b : formats_->buttons()) b->setChecked(form.valueFormat && formats_->id(b) == *form.valueFormat);
  formats_->setExclusive(true);
  pairs_->setExclusive(false);
  for (QAbstractButton* b : pairs_->buttons()) b->setChecked(singleSlider_ && pairs_->id(b) == form.pairAttribute);
  pairs_->setExclusive(true);
  partnerChooser_->setCurrentIndex(singleSlider_ ? std::clamp(form.pairPartner, 0, kSliderCount - 1) : -1);

  for (QCheckBox* box : {enabled_, displayInverted_, signInverted_, relative_, showName_, showSideTexts_})
    box->setTristate(!singleSlider_);
  setBox(enabled_, form.enabled);
  setBox(displayInverted_, form.displayInverted);
  setBox(signInverted_, form.signInverted);
  setBox(relative_, form.relativeToBasePose);
  setBox(showName_, form.showName);
  setBox(showSideTexts_, form.showSideTexts);

  workingFont_ = form.font;
  workingTextColour_ = form.textColour;
  workingBackground_ = form.textBackground;
  unitsPerDegree_->setEnabled(false);
  updatePairControls();
  updateFormatControls();
}

void SliderSettingsDialog::updateFormatControls() {
  int format = formats_->checkedId();
  bool places = format == FormatDegrees || format == FormatPercent;
  decimalPlaces_->setEnabled(places);
  decimalPlacesLabel_->setEnabled(places);
  unitsPerDegree_->setEnabled(format == FormatDegrees);
}

void SliderSettingsDialog::updatePairControls() {
  for (QAbstractButton* b : pairs_->buttons()) b->setEnabled(singleSlider_);
  int attribute = pairs_->checkedId();
  bool side = singleSlider_ && (attribute == PairRight || attribute == PairLeft);
  partnerChooser_->setEnabled(side);
  partnerLabel_->setEnabled(singleSlider_);
  partnerNote_->setEnabled(singleSlider_);
}

SliderSettingsForm SliderSettingsDialog::readForm() const {
  SliderSettingsForm form;
  form.forSelection = !singleSlider_;
  form.slider = std::max(0, sliderChooser_->currentIndex() - 1);
  form.name = fromQString(name_->text());
  form.upperText = fromQString(upperText_->text());
  form.lowerText = fromQString(lowerText_->text());
  form.lowerLimit = fromQString(lowerLimit_->text());
  form.upperLimit = fromQString(upperLimit_->text());
  form.stepResolution = fromQString(stepResolution_->text());
  form.unitsPerDegree = fromQString(unitsPerDegree_->text());
  form.x = fromQString(x_->text());
  form.y = fromQString(y_->text());
  if (formats_->checkedId() >= 0) form.valueFormat = formats_->checkedId();
  form.decimalPlaces = decimalPlaces_->value();
  form.pairAttribute = std::max(0, pairs_->checkedId());
  form.pairPartner = partnerChooser_->currentIndex();
  form.enabled = boxState(enabled_);
  form.displayInverted = boxState(displayInverted_);
  form.signInverted = boxState(signInverted_);
  form.relativeToBasePose = boxState(relative_);
  form.showName = boxState(showName_);
  form.showSideTexts = boxState(showSideTexts_);
  form.font = workingFont_;
  form.textColour = workingTextColour_;
  form.textBackground = workingBackground_;
  return form;
}

QLineEdit* SliderSettingsDialog::lineEditFor(int control) const {
  return findChild<QLineEdit*>(QString::number(control));
}

void SliderSettingsDialog::apply() {
  ApplyResult result = applySliderSettings(table_, readForm());
  if (result.outcome == ApplyOutcome::Invalid) {
    if (QLineEdit* field = lineEditFor(result.invalidControl)) {
      field->setFocus();
      field->selectAll();
    }
    return;
  }
  if (result.outcome != ApplyOutcome::Applied) return;
  saveSliderFile(saveFile_, table_);
  buildChooserEntries();
  if (singleSlider_) fill(sliderChooser_->currentIndex());  // show what was stored
  if (applied_) applied_();
}

void openSliderSettings(QWidget* owner, SliderTable& table, const std::filesystem::path& saveFile,
                        std::function<void()> applied) {
  SliderSettingsDialog dialog(table, saveFile, std::move(applied), owner);
  dialog.exec();
}

}  // namespace kv
