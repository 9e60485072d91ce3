// Drives the block property dialogs on the offscreen platform.
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTimer>
#include <QtTest>
#include <map>

#include "motion/ui/block_property_dialogs.h"
#include "shell/editor_state.h"
#include "shell/undo_commands.h"
#include "support/dialog_control.h"
#include "support/scripted_answerer.h"

using namespace kv;

namespace {

using testing::control;

void setText(QWidget& dialog, int number, const QString& text) {
  QLineEdit* edit = control<QLineEdit>(dialog, number);
  edit->clear();
  edit->insert(text);
}

void click(QWidget& dialog, int number) { QTest::mouseClick(control<QAbstractButton>(dialog, number), Qt::LeftButton); }

QString labelText(QWidget& dialog, int number) { return control<QLabel>(dialog, number)->text(); }

class FakeVariables : public VariableSource {
 public:
  std::map<int, int16_t> values;
  std::optional<int16_t> readVariable(int n) override {
    auto it = values.find(n);
    if (it == values.end()) return std::nullopt;
    return it->second;
  }
};

// A motion holding one block of each kind the dialogs edit, as the only
// undo state.
struct Fixture {
  Fixture() {
    for (int kind : {KindStart, KindPose, KindBranch, KindCalcConstant, KindLoop}) {
      MotionBlock* block = createBlock(state.motion, kind, nullptr, Point{40, 60}, state.basePoses);
      block->name = u"name";
      block->right = 120;
      block->bottom = 100;
    }
    state.motion.currentBlock = block(KindPose);
    resetUndo(state);
  }
  MotionBlock* block(int kind) {
    for (auto& b : state.motion.blocks)
      if (b->kind == kind) return b.get();
    return nullptr;
  }
  size_t undoStates() const { return state.undo.stateCount(); }

  EditorState state;
};

}  // namespace

class BlockPropertyDialogsTest : public QObject {
  Q_OBJECT

 private slots:
  void poseDialogRenamesAndMovesTheBlockWithUndo() {
    Fixture f;
    testing::ScriptedAnswerer answers;
    MotionBlock* pose = f.block(KindPose);
    PoseBlockDialog dialog(f.state, *pose);
    dialog.show();
    QCOMPARE(dialog.objectName(), QString("167"));
    QCOMPARE(dialog.windowTitle(), QString::fromUtf8("ポーズブロックのプロパティ"));
    QCOMPARE(control<QLineEdit>(dialog, 1822)->text(), QString("name"));
    QCOMPARE(control<QLineEdit>(dialog, 1823)->text(), QString("40"));
    QCOMPARE(control<QLineEdit>(dialog, 1824)->text(), QString("60"));

    // A bad X keeps the dialog open and the block as it was.
    setText(dialog, 1822, "Wave");
    setText(dialog, 1823, "2049");
    click(dialog, 1);
    QCOMPARE(answers.shownIds(), std::vector<int>{40406});
    QVERIFY(dialog.isVisible());
    QVERIFY(pose->name == u"name");
    QCOMPARE(control<QLineEdit>(dialog, 1823)->selectedText(), QString("2049"));

    setText(dialog, 1823, "300");
    setText(dialog, 1824, "2048");
    click(dialog, 1);
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    QVERIFY(!dialog.isVisible());
    QVERIFY(pose->name == u"Wave");
    QCOMPARE(pose->left, 300);
    QCOMPARE(pose->bottom, 2048);  // kept on the canvas
    QCOMPARE(f.undoStates(), size_t{2});
    QVERIFY(undo(f.state));
    QVERIFY(f.block(KindPose)->name == u"name");

    PoseBlockDialog cancelled(f.state, *f.block(KindPose));
    setText(cancelled, 1822, "Changed");
    click(cancelled, 2);
    QVERIFY(f.block(KindPose)->name == u"name");
  }

  void loopBlocksOpenThePoseDialogAsThePropertyBlock() {
    Fixture f;
    MotionBlock* loop = f.block(KindLoop);
    QString opened;
    bool hasConditionList = true;
    MotionBlock* propertyBlock = nullptr;
    QTimer::singleShot(0, [&] {
      QWidget* dialog = QApplication::activeModalWidget();
      QVERIFY(dialog);
      opened = dialog->objectName();
      hasConditionList = dialog->findChild<QComboBox*>("1826") != nullptr;
      propertyBlock = f.state.motion.propertyBlock;
      setText(*dialog, 1822, "Loop");
      click(*dialog, 1);
    });
    QVERIFY(openBlockProperties(nullptr, f.state, *loop));
    QCOMPARE(opened, QString("167"));
    QVERIFY(!hasConditionList);
    QCOMPARE(propertyBlock, loop);
    QCOMPARE(f.state.motion.propertyBlock, nullptr);
    QVERIFY(loop->name == u"Loop");
    QCOMPARE(f.undoStates(), size_t{2});

    // Start and end blocks have no dialog.
    QVERIFY(!openBlockProperties(nullptr, f.state, *f.block(KindStart)));
  }

  void branchDialogEditsConditionVariableAndTestValue() {
    Fixture f;
    testing::ScriptedAnswerer answers;
    MotionBlock* branch = f.block(KindBranch);
    branch->testVar = 7;
    branch->condition = CondAtOrAbove;
    branch->testValue = 100;
    resetUndo(f.state);
    FakeVariables variables;
    variables.values[9] = 0x00A5;
    std::vector<int> detailCalls;
    BranchBlockDialog dialog(f.state, *branch, variables,
                             [&](QWidget*, int detail, int condition, int variable, int16_t value) -> int16_t {
                               detailCalls = {detail, condition, variable, value};
                               return 42;
                             });
    dialog.show();
    QCOMPARE(dialog.objectName(), QString("168"));
    QSpinBox* variable = control<QSpinBox>(dialog, 1650);
    QComboBox* condition = control<QComboBox>(dialog, 1826);
    QCOMPARE(variable->value(), 7);
    QCOMPARE(condition->currentIndex(), 1);
    QCOMPARE(labelText(dialog, 1791), QString("--------"));  // v[7] has no value

    variable->setValue(9);
    QCOMPARE(labelText(dialog, 1791), QString("165"));
    condition->setCurrentIndex(CondBitMatch);
    QCOMPARE(labelText(dialog, 1791), QString("10100101"));

    click(dialog, 1827);
    QCOMPARE(detailCalls, (std::vector<int>{161, 3, 9, 100}));
    condition->setCurrentIndex(CondAlways);
    click(dialog, 1827);
    QCOMPARE(answers.shownIds(), std::vector<int>{40371});
    QCOMPARE(branch->testValue, int16_t{100});  // only the copy has it so far

    click(dialog, 1);
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    QCOMPARE(int(branch->testVar), 9);
    QCOMPARE(int(branch->condition), int(CondAlways));
    QCOMPARE(branch->testValue, int16_t{42});
    QCOMPARE(f.undoStates(), size_t{2});
    QVERIFY(undo(f.state));
    QCOMPARE(f.block(KindBranch)->testValue, int16_t{100});
  }

  void aConditionTheListCannotShowIsKeptAndNamesAreCutWhereTheyAreStored() {
    Fixture f;
    testing::ScriptedAnswerer answers;
    MotionBlock* branch = f.block(KindBranch);
    branch->condition = 9;
    FakeVariables variables;
    BranchBlockDialog dialog(f.state, *branch, variables, nullptr);
    dialog.show();
    QCOMPARE(control<QComboBox>(dialog, 1826)->currentIndex(), -1);
    QLineEdit* name = control<QLineEdit>(dialog, 1822);
    name->clear();
    QTest::keyClicks(name, QString(31, QLatin1Char('n')));
    QCOMPARE(name->text().size(), 30);
    click(dialog, 1);
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    QCOMPARE(int(branch->condition), 9);
    QVERIFY(branch->name == std::u16string(30, u'n'));
  }

  void branchCancelDiscardsTheDetailValue() {
    Fixture f;
    testing::ScriptedAnswerer answers;
    MotionBlock* branch = f.block(KindBranch);
    branch->condition = CondEqual;
    BranchBlockDialog dialog(f.state, *branch, defaultVariableSource(),
                             [](QWidget*, int, int, int, int16_t) -> int16_t { return 5; });
    click(dialog, 1827);
    QCOMPARE(dialog.workingCopy().testValue, int16_t{5});
    click(dialog, 2);
    QCOMPARE(branch->testValue, int16_t{0});
    QCOMPARE(f.undoStates(), size_t{1});

    // Without detail dialogs the user is told the feature is not there yet.
    BranchBlockDialog bare(f.state, *branch, defaultVariableSource());
    click(bare, 1827);
    QCOMPARE(answers.shownIds(), std::vector<int>{49000});
  }

  void calculationDialogSwitchesOperandAndChecksTheConstant() {
    Fixture f;
    testing::ScriptedAnswerer answers;
    MotionBlock* calc = f.block(KindCalcConstant);
    calc->constant = -7;
    calc->resultVar = 3;
    CalculationBlockDialog dialog(f.state, *calc, defaultVariableSource());
    dialog.show();
    QCOMPARE(dialog.objectName(), QString("169"));
    QCOMPARE(labelText(dialog, 1791), QString("--------"));
    QCOMPARE(labelText(dialog, 1792), QString("--------"));
    QCOMPARE(control<QLineEdit>(dialog, 1831)->text(), QString("-7"));
    QVERIFY(control<QRadioButton>(dialog, 1829)->isChecked());
    QVERIFY(control<QLineEdit>(dialog, 1831)->isEnabled());
    QVERIFY(!control<QSpinBox>(dialog, 1651)->isEnabled());
    QVERIFY(!control<QLabel>(dialog, 1833)->isEnabled());

    click(dialog, 1830);
    QVERIFY(control<QSpinBox>(dialog, 1651)->isEnabled());
    QVERIFY(!control<QLineEdit>(dialog, 1831)->isEnabled());
    QVERIFY(!control<QLabel>(dialog, 1835)->isEnabled());

    control<QSpinBox>(dialog, 1650)->setValue(12);
    control<QSpinBox>(dialog, 1651)->setValue(200);
    control<QComboBox>(dialog, 1828)->setCurrentIndex(OpMultiply);
    setText(dialog, 1831, "1e3");  // checked although the operand is a variable
    click(dialog, 1);
    QCOMPARE(answers.shownIds(), std::vector<int>{40413});
    QVERIFY(dialog.isVisible());
    QCOMPARE(calc->kind, int(KindCalcConstant));

    setText(dialog, 1831, "+12");
    click(dialog, 1);
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    QCOMPARE(calc->kind, int(KindCalcVariable));
    QCOMPARE(calc->constant, int16_t{12});
    QCOMPARE(int(calc->resultVar), 12);
    QCOMPARE(int(calc->sourceVar), 200);
    QCOMPARE(int(calc->operation), int(OpMultiply));
    QCOMPARE(f.undoStates(), size_t{2});
  }

  void liveValuesFollowTheBoardOnTheTimer() {
    Fixture f;
    FakeVariables variables;
    MotionBlock* calc = f.block(KindCalcConstant);
    calc->kind = KindCalcVariable;
    calc->resultVar = 1;
    calc->sourceVar = 2;
    CalculationBlockDialog dialog(f.state, *calc, variables);
    dialog.show();
    QCOMPARE(labelText(dialog, 1791), QString("--------"));
    variables.values[1] = -300;
    variables.values[2] = 32767;
    QTRY_COMPARE_WITH_TIMEOUT(labelText(dialog, 1791), QString("-300"), 2000);
    QCOMPARE(labelText(dialog, 1792), QString("32767"));
    variables.values.clear();
    QTRY_COMPARE_WITH_TIMEOUT(labelText(dialog, 1792), QString("--------"), 2000);
  }
};

QTEST_MAIN(BlockPropertyDialogsTest)
#include "block_property_dialogs_test.moc"
