// Drives the base pose dialog on the offscreen platform.
#include <QHeaderView>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>
#include <QtTest>
#include <memory>

#include "pose/ui/base_pose_dialog.h"
#include "shell/editor_state.h"
#include "support/dialog_control.h"
#include "support/scripted_answerer.h"
#include "support/temp_dir.h"

using namespace kv;

namespace {

using testing::control;

BasePose entry(const char16_t* name, int16_t value0) {
  BasePose pose;
  pose.name = name;
  pose.valid = true;
  pose.sliderEnabled[0] = true;
  pose.values[0] = value0;
  return pose;
}

// Base poses "A" and "B" (current); one pose block being edited.
struct Editor {
  EditorState state;
  Editor() {
    for (PoseSlider& s : state.sliders.sliders) {
      s.lowerLimit = -1000;
      s.upperLimit = 1000;
    }
    state.sliders.sliders[1].behaviourFlags |= kSliderDisabled;
    state.basePoses.entries[0] = entry(u"A", 1);
    state.basePoses.entries[1] = entry(u"B", 2);
    state.basePoses.current = 1;
    state.motion.blocks.push_back(std::make_unique<MotionBlock>());
    state.motion.currentBlock = state.motion.blocks.back().get();
  }
  PoseValues& pose() { return state.motion.currentBlock->pose; }
};

QStringList rows(QWidget& dialog) {
  QTreeWidget* list = control<QTreeWidget>(dialog, 1177);
  QStringList names;
  for (int row = 0; row < list->topLevelItemCount(); ++row) names << list->topLevelItem(row)->text(0);
  return names;
}

void click(QWidget& dialog, int number) { QTest::mouseClick(control<QPushButton>(dialog, number), Qt::LeftButton); }

void typeName(QWidget& dialog, const QString& name) {
  QLineEdit* edit = control<QLineEdit>(dialog, 1613);
  edit->clear();
  QTest::keyClicks(edit, name);
}

}  // namespace

class BasePoseDialogTest : public QObject {
  Q_OBJECT

 private slots:
  void registerReplaceDeleteThenApplySavesTheTable() {
    testing::TempDir dir;
    testing::ScriptedAnswerer answers;
    Editor editor;
    int appliedCount = 0;
    BasePoseDialog dialog(editor.state, dir / "medit_defpos.ini", [&] { ++appliedCount; });
    dialog.show();
    QTreeWidget* list = control<QTreeWidget>(dialog, 1177);
    QCOMPARE(list->headerItem()->text(0), QString::fromUtf8("基準ポーズリスト"));
    QCOMPARE(list->columnWidth(0), 180);
    QCOMPARE(rows(dialog), (QStringList{"A", "B"}));

    // Nothing selected: appended.
    editor.pose().values[0] = 30;
    editor.pose().values[1] = 40;
    editor.pose().servoMask = 0b11;
    typeName(dialog, "C");
    click(dialog, 1619);
    QCOMPARE(rows(dialog), (QStringList{"A", "B", "C"}));

    // "A" selected: inserted before it.
    list->setCurrentItem(list->topLevelItem(0));
    typeName(dialog, "D");
    click(dialog, 1619);
    QCOMPARE(rows(dialog), (QStringList{"D", "A", "B", "C"}));

    // Replace "C" with the pose as it is now.
    editor.pose().values[0] = -70;
    list->setCurrentItem(list->topLevelItem(3));
    answers.answerNext(MessageAnswer::Yes);
    click(dialog, 1189);

    // Delete "B", the current base pose, together with "A".
    list->setCurrentItem(list->topLevelItem(2));
    list->topLevelItem(1)->setSelected(true);
    click(dialog, 1620);
    QCOMPARE(rows(dialog), (QStringList{"D", "C"}));
    QCOMPARE(validBasePoseCount(editor.state.basePoses), 2);  // still the working copy only
    QVERIFY(!std::filesystem::exists(dir / "medit_defpos.ini"));

    answers.answerNext(MessageAnswer::Yes);
    click(dialog, 1);
    QCOMPARE(answers.shownIds(), (std::vector<int>{40273, 40106}));
    QCOMPARE(appliedCount, 1);
    const BasePoseTable& table = editor.state.basePoses;
    QCOMPARE(validBasePoseCount(table), 2);
    QCOMPARE(table.current, 0);  // the current pose was deleted: the first remaining
    QVERIFY(table.entries[0].name == u"D");
    QCOMPARE(int(table.entries[0].values[0]), 30);
    QVERIFY(table.entries[1].name == u"C");
    QCOMPARE(int(table.entries[1].values[0]), -70);
    QVERIFY(!table.entries[1].sliderEnabled[1]);  // a disabled slider defines nothing
    QCOMPARE(table.entries[1].servoMask, 0b01u);
    QVERIFY(dialog.isVisible());

    BasePoseTable saved;
    QVERIFY(loadBasePoses(dir / "medit_defpos.ini", saved));
    QVERIFY(saved.entries == table.entries);
    QCOMPARE(saved.current, 0);
  }

  void closeDiscardsTheWorkingCopy() {
    testing::TempDir dir;
    testing::ScriptedAnswerer answers;
    Editor editor;
    const BasePoseTable before = editor.state.basePoses;
    BasePoseDialog dialog(editor.state, dir / "medit_defpos.ini", nullptr);
    dialog.show();
    QTreeWidget* list = control<QTreeWidget>(dialog, 1177);

    click(dialog, 1619);  // no name
    QCOMPARE(answers.shownIds(), std::vector<int>{40139});
    typeName(dialog, "E");
    click(dialog, 1619);
    list->topLevelItem(0)->setSelected(true);
    list->topLevelItem(1)->setSelected(true);
    click(dialog, 1620);
    QCOMPARE(rows(dialog), (QStringList{"E"}));

    click(dialog, 2);
    QVERIFY(!dialog.isVisible());
    QVERIFY(editor.state.basePoses.entries == before.entries);
    QCOMPARE(editor.state.basePoses.current, 1);
    QVERIFY(!std::filesystem::exists(dir / "medit_defpos.ini"));
  }
};

QTEST_MAIN(BasePoseDialogTest)
#include "base_pose_dialog_test.moc"
