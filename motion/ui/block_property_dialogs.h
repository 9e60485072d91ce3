// The block property dialogs: pose block (template 167, also loop blocks),
// branch block (168) and calculation block (169). Each edits a copy of its
// block and writes it back, with one undo step, when OK passes the checks.
// The branch and calculation dialogs show the live values of their
// variables, read every 100 ms through a variable source.
#pragma once

#include <QDialog>
#include <QTimer>
#include <functional>

#include "motion/block_properties.h"
#include "motion/variable_source.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QRadioButton;
class QSpinBox;
class QVBoxLayout;

namespace kv {

struct EditorState;

// Opens the condition detail dialog `detailDialog` (160 threshold, 161 bit
// match) for a branch condition, the tested variable and its test value;
// returns the new test value, or `value` when cancelled.
using ConditionDetailEditor =
    std::function<int16_t(QWidget* owner, int detailDialog, int condition, int variable, int16_t value)>;

// What the three dialogs share: name, X and Y, OK and Cancel, and one
// remembered screen position.
class BlockPropertyDialog : public QDialog {
  Q_OBJECT
 public:
  const MotionBlock& workingCopy() const { return copy_; }

 protected:
  BlockPropertyDialog(EditorState& state, MotionBlock& block, int dialog, QWidget* parent);
  // Adds the dialog's own controls between the position and the buttons.
  QVBoxLayout* body() const { return body_; }
  // The dialog's own entries.
  virtual void readEntries(BlockPropertyEntries& entries) const { (void)entries; }

  void accept() override;
  void done(int result) override;

  EditorState& state_;
  MotionBlock& block_;
  MotionBlock copy_;
  const int dialog_;

 private:
  QLineEdit* name_;
  QLineEdit* x_;
  QLineEdit* y_;
  QVBoxLayout* body_;
};

// Pose and loop blocks: name and position only.
class PoseBlockDialog : public BlockPropertyDialog {
  Q_OBJECT
 public:
  PoseBlockDialog(EditorState& state, MotionBlock& block, QWidget* parent = nullptr);
};

// A dialog with live variable values; the timer stops when it closes.
class LiveValueDialog : public BlockPropertyDialog {
  Q_OBJECT
 protected:
  LiveValueDialog(EditorState& state, MotionBlock& block, int dialog, VariableSource& variables, QWidget* parent);
  void startLiveValues();
  virtual void showLiveValues() = 0;
  void done(int result) override;

  VariableSource& variables_;
  QTimer liveTimer_;
};

class BranchBlockDialog : public LiveValueDialog {
  Q_OBJECT
 public:
  BranchBlockDialog(EditorState& state, MotionBlock& block, VariableSource& variables,
                    ConditionDetailEditor details = {}, QWidget* parent = nullptr);

 protected:
  void readEntries(BlockPropertyEntries& entries) const override;
  void showLiveValues() override;

 private:
  void openDetails();

  ConditionDetailEditor details_;
  QSpinBox* variable_;
  QComboBox* condition_;
  QLabel* value_;
};

class CalculationBlockDialog : public LiveValueDialog {
  Q_OBJECT
 public:
  CalculationBlockDialog(EditorState& state, MotionBlock& block, VariableSource& variables,
                         QWidget* parent = nullptr);

 protected:
  void readEntries(BlockPropertyEntries& entries) const override;
  void showLiveValues() override;

 private:
  void enableOperandGroups();

  QSpinBox* resultVariable_;
  QLabel* resultValue_;
  QComboBox* operation_;
  QRadioButton* constantOperand_;
  QRadioButton* variableOperand_;
  QSpinBox* sourceVariable_;
  QLabel* sourceValue_;
  QLineEdit* constant_;
  std::vector<QWidget*> sourceGroup_;
  std::vector<QWidget*> constantGroup_;
};

// Double-click on a block and command 40227: opens the block's dialog
// modally (none for start and end blocks) with the block as the motion's
// property block. True when OK wrote the block back (undo recorded).
bool openBlockProperties(QWidget* owner, EditorState& state, MotionBlock& block,
                         VariableSource& variables = defaultVariableSource(), ConditionDetailEditor details = {});

}  // namespace kv
