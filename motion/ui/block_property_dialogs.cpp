#include "motion/ui/block_property_dialogs.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QVBoxLayout>
#include <memory>
#include <optional>

#include "shell/editor_state.h"
#include "shell/messages.h"
#include "shell/ui/dialog_controls.h"
#include "shell/ui/qt_text.h"

namespace kv {
namespace {

namespace control = block_property_control;

constexpr int kNotAvailableYetString = 49000;
constexpr int kLiveValueIntervalMs = 100;
constexpr int kCoordinateLength = 11;
constexpr int kConstantLength = 20;

// Where the last of the three dialogs was closed during this run.
std::optional<QPoint> lastPosition;

QLineEdit* lineEdit(int number, int maxLength) {
  auto* edit = named(new QLineEdit, number);
  edit->setMaxLength(maxLength);
  return edit;
}

QSpinBox* variableSpin(int number, int value) {
  auto* spin = named(new QSpinBox, number);
  spin->setRange(0, kBoardVariableCount - 1);
  spin->setValue(value);
  return spin;
}

QLabel* valueLabel(int number) {
  auto* label = named(new QLabel(toQString(kNoLiveValue)), number);
  label->setMinimumWidth(label->fontMetrics().horizontalAdvance(QStringLiteral("-32768--")));
  return label;
}

void fillList(QComboBox* list, const std::vector<std::u16string>& texts, int current) {
  for (const std::u16string& text : texts) list->addItem(toQString(text));
  // A code without an entry shows none, and stays unless one is picked.
  list->setCurrentIndex(current >= 0 && current < list->count() ? current : -1);
}

}  // namespace

// ---- shared -----------------------------------------------------------------

BlockPropertyDialog::BlockPropertyDialog(EditorState& state, MotionBlock& block, int dialog, QWidget* parent)
    : QDialog(parent), state_(state), block_(block), copy_(block), dialog_(dialog) {
  setObjectName(QString::number(dialog));
  setWindowTitle(toQString(propertyDialogCaption(dialog)));
  setModal(true);

  BlockPropertyEntries entries = entriesOf(copy_);
  name_ = lineEdit(control::kName, static_cast<int>(kDialogNameLength));
  name_->setText(toQString(entries.name));
  x_ = lineEdit(control::kX, kCoordinateLength);
  x_->setText(toQString(entries.x));
  y_ = lineEdit(control::kY, kCoordinateLength);
  y_->setText(toQString(entries.y));

  auto* fields = new QGridLayout;
  fields->addWidget(new QLabel(jp("名称")), 0, 0);
  fields->addWidget(name_, 0, 1, 1, 3);
  fields->addWidget(new QLabel(jp("X")), 1, 0);
  fields->addWidget(x_, 1, 1);
  fields->addWidget(new QLabel(jp("Y")), 1, 2);
  fields->addWidget(y_, 1, 3);

  auto* okButton = named(new QPushButton(jp("OK")), 1);
  auto* cancelButton = named(new QPushButton(jp("キャンセル")), 2);
  okButton->setDefault(true);
  cancelButton->setAutoDefault(false);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(okButton);
  buttons->addWidget(cancelButton);

  body_ = new QVBoxLayout;
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(fields);
  layout->addLayout(body_);
  layout->addLayout(buttons);

  connect(okButton, &QPushButton::clicked, this, &QDialog::accept);
  connect(cancelButton, &QPushButton::clicked, this, &QDialog::reject);
  if (lastPosition) move(*lastPosition);
}

void BlockPropertyDialog::accept() {
  BlockPropertyEntries entries;
  entries.name = fromQString(name_->text());
  entries.x = fromQString(x_->text());
  entries.y = fromQString(y_->text());
  readEntries(entries);
  PropertyCheck check = storeEntries(copy_, dialog_, entries);
  if (!check.ok) {
    if (auto* field = findChild<QLineEdit*>(QString::number(check.control))) {
      field->setFocus();
      field->selectAll();
    }
    return;
  }
  applyBlockProperties(state_, block_, copy_);
  QDialog::accept();
}

void BlockPropertyDialog::done(int result) {
  lastPosition = pos();
  QDialog::done(result);
}

PoseBlockDialog::PoseBlockDialog(EditorState& state, MotionBlock& block, QWidget* parent)
    : BlockPropertyDialog(state, block, kPoseBlockDialog, parent) {}

LiveValueDialog::LiveValueDialog(EditorState& state, MotionBlock& block, int dialog, VariableSource& variables,
                                 QWidget* parent)
    : BlockPropertyDialog(state, block, dialog, parent), variables_(variables) {
  liveTimer_.setInterval(kLiveValueIntervalMs);
  connect(&liveTimer_, &QTimer::timeout, this, [this] { showLiveValues(); });
}

void LiveValueDialog::startLiveValues() {
  showLiveValues();
  liveTimer_.start();
}

void LiveValueDialog::done(int result) {
  liveTimer_.stop();
  BlockPropertyDialog::done(result);
}

// ---- branch -----------------------------------------------------------------

BranchBlockDialog::BranchBlockDialog(EditorState& state, MotionBlock& block, VariableSource& variables,
                                     ConditionDetailEditor details, QWidget* parent)
    : LiveValueDialog(state, block, kBranchBlockDialog, variables, parent), details_(std::move(details)) {
  BlockPropertyEntries entries = entriesOf(copy_);
  variable_ = variableSpin(control::kVariable, entries.variable);
  condition_ = named(new QComboBox, control::kCondition);
  fillList(condition_, conditionTexts(), entries.condition);
  auto* detailsButton = named(new QPushButton(jp("設定")), control::kDetails);
  detailsButton->setAutoDefault(false);
  value_ = valueLabel(control::kVariableValue);

  auto* grid = new QGridLayout;
  grid->addWidget(new QLabel(jp("参照変数")), 0, 0);
  grid->addWidget(variable_, 0, 1);
  grid->addWidget(new QLabel(jp("（現在値）")), 0, 2);
  grid->addWidget(value_, 0, 3);
  grid->addWidget(new QLabel(jp("条件設定")), 1, 0);
  grid->addWidget(condition_, 1, 1, 1, 2);
  grid->addWidget(detailsButton, 1, 3);
  body()->addLayout(grid);

  connect(detailsButton, &QPushButton::clicked, this, [this] { openDetails(); });
  connect(variable_, &QSpinBox::valueChanged, this, [this] { showLiveValues(); });
  connect(condition_, &QComboBox::currentIndexChanged, this, [this] { showLiveValues(); });
  startLiveValues();
}

void BranchBlockDialog::readEntries(BlockPropertyEntries& entries) const {
  entries.variable = variable_->value();
  entries.condition = condition_->currentIndex();
}

void BranchBlockDialog::showLiveValues() {
  std::optional<int16_t> value = variables_.readVariable(variable_->value());
  value_->setText(toQString(liveValueText(value, condition_->currentIndex() == CondBitMatch)));
}

void BranchBlockDialog::openDetails() {
  int condition = condition_->currentIndex();
  int detail = detailDialogFor(condition);
  if (detail == 0) return;
  if (!details_) {
    showMessage(kNotAvailableYetString, MessageIcon::Information, MessageButtons::Ok);
    return;
  }
  // Kept in the copy at once; Cancel of this dialog still discards it.
  copy_.testValue = details_(this, detail, condition, variable_->value(), copy_.testValue);
}

// ---- calculation ------------------------------------------------------------

CalculationBlockDialog::CalculationBlockDialog(EditorState& state, MotionBlock& block, VariableSource& variables,
                                               QWidget* parent)
    : LiveValueDialog(state, block, kCalculationBlockDialog, variables, parent) {
  BlockPropertyEntries entries = entriesOf(copy_);
  resultVariable_ = variableSpin(control::kVariable, entries.variable);
  resultValue_ = valueLabel(control::kVariableValue);
  operation_ = named(new QComboBox, control::kOperation);
  fillList(operation_, operationTexts(), entries.operation);

  constantOperand_ = named(new QRadioButton(jp("定数")), control::kConstantOperand);
  variableOperand_ = named(new QRadioButton(jp("変数")), control::kVariableOperand);
  auto* operands = new QButtonGroup(this);
  operands->addButton(constantOperand_);
  operands->addButton(variableOperand_);
  (entries.variableOperand ? variableOperand_ : constantOperand_)->setChecked(true);

  auto* sourceLabel = named(new QLabel(jp("参照変数")), control::kSourceLabel);
  sourceVariable_ = variableSpin(control::kSourceVariable, entries.sourceVariable);
  sourceVariable_->findChild<QLineEdit*>()->setObjectName(QString::number(control::kSourceNumber));
  auto* sourceValueLabel = named(new QLabel(jp("（現在値）")), control::kSourceValueLabel);
  sourceValue_ = valueLabel(control::kSourceValue);
  auto* constantLabel = named(new QLabel(jp("定数")), control::kConstantLabel);
  constant_ = lineEdit(control::kConstant, kConstantLength);
  constant_->setText(toQString(entries.constant));
  sourceGroup_ = {sourceLabel, sourceVariable_, sourceValueLabel, sourceValue_};
  constantGroup_ = {constantLabel, constant_};

  auto* grid = new QGridLayout;
  grid->addWidget(new QLabel(jp("結果代入変数")), 0, 0);
  grid->addWidget(resultVariable_, 0, 1);
  grid->addWidget(new QLabel(jp("（現在値）")), 0, 2);
  grid->addWidget(resultValue_, 0, 3);
  grid->addWidget(new QLabel(jp("計算方法")), 1, 0);
  grid->addWidget(operation_, 1, 1, 1, 3);
  grid->addWidget(constantOperand_, 2, 0);
  grid->addWidget(constantLabel, 2, 1);
  grid->addWidget(constant_, 2, 2, 1, 2);
  grid->addWidget(variableOperand_, 3, 0);
  grid->addWidget(sourceLabel, 3, 1);
  grid->addWidget(sourceVariable_, 3, 2);
  grid->addWidget(sourceValueLabel, 4, 1);
  grid->addWidget(sourceValue_, 4, 2);
  body()->addLayout(grid);

  connect(constantOperand_, &QRadioButton::toggled, this, [this] { enableOperandGroups(); });
  connect(resultVariable_, &QSpinBox::valueChanged, this, [this] { showLiveValues(); });
  connect(sourceVariable_, &QSpinBox::valueChanged, this, [this] { showLiveValues(); });
  enableOperandGroups();
  startLiveValues();
}

void CalculationBlockDialog::enableOperandGroups() {
  bool variable = variableOperand_->isChecked();
  for (QWidget* w : sourceGroup_) w->setEnabled(variable);
  for (QWidget* w : constantGroup_) w->setEnabled(!variable);
}

void CalculationBlockDialog::readEntries(BlockPropertyEntries& entries) const {
  entries.variable = resultVariable_->value();
  entries.operation = operation_->currentIndex();
  entries.variableOperand = variableOperand_->isChecked();
  entries.sourceVariable = sourceVariable_->value();
  entries.constant = fromQString(constant_->text());
}

void CalculationBlockDialog::showLiveValues() {
  resultValue_->setText(toQString(liveValueText(variables_.readVariable(resultVariable_->value()), false)));
  sourceValue_->setText(toQString(liveValueText(variables_.readVariable(sourceVariable_->value()), false)));
}

// ---- opening ----------------------------------------------------------------

bool openBlockProperties(QWidget* owner, EditorState& state, MotionBlock& block, VariableSource& variables,
                         ConditionDetailEditor details) {
  std::unique_ptr<BlockPropertyDialog> dialog;
  switch (propertyDialogFor(block)) {
    case kPoseBlockDialog: dialog = std::make_unique<PoseBlockDialog>(state, block, owner); break;
    case kBranchBlockDialog:
      dialog = std::make_unique<BranchBlockDialog>(state, block, variables, std::move(details), owner);
      break;
    case kCalculationBlockDialog:
      dialog = std::make_unique<CalculationBlockDialog>(state, block, variables, owner);
      break;
    default: return false;
  }
  state.motion.propertyBlock = &block;
  bool accepted = dialog->exec() == QDialog::Accepted;
  state.motion.propertyBlock = nullptr;
  return accepted;
}

}  // namespace kv
