// Drives the pose slider settings dialog on the offscreen platform.
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QtTest>

#include "pose/ui/slider_settings_dialog.h"
#include "support/dialog_control.h"
#include "support/scripted_answerer.h"
#include "support/temp_dir.h"

using namespace kv;

namespace {

using testing::control;

SliderTable demoTable() {
  SliderTable table;
  for (int i = 0; i < 10; ++i) {
    PoseSlider& s = table.sliders[i];
    s.name = u"joint" + std::u16string(1, static_cast<char16_t>(u'0' + i));
    s.lowerLimit = -100;
    s.upperLimit = 100;
    s.stepResolution = 10;
    s.behaviourFlags = kShowSliderName;
  }
  setSliderPair(table, 9, 3, false);
  return table;
}

void setText(QWidget& dialog, int number, const QString& text) {
  QLineEdit* edit = control<QLineEdit>(dialog, number);
  edit->clear();
  edit->insert(text);  // as typed, including characters a key event cannot carry
}

}  // namespace

class SliderSettingsDialogTest : public QObject {
  Q_OBJECT

 private slots:
  void changesLimitsAndPairThenSavesTheFile() {
    testing::TempDir dir;
    testing::ScriptedAnswerer answers;
    answers.answerNext(MessageAnswer::Yes);
    SliderTable table = demoTable();
    int appliedCount = 0;
    SliderSettingsDialog dialog(table, dir / "medit_sld.ini", [&] { ++appliedCount; });
    dialog.show();

    QComboBox* chooser = control<QComboBox>(dialog, 1571);
    QCOMPARE(chooser->count(), 63);
    QCOMPARE(chooser->currentIndex(), 1);  // nothing selected: slider 00
    QCOMPARE(chooser->itemText(4), QString("03:joint3"));
    chooser->setCurrentIndex(4);
    emit chooser->activated(4);
    QCOMPARE(control<QLineEdit>(dialog, 1573)->text(), QString("joint3"));
    QVERIFY(control<QRadioButton>(dialog, 1297)->isChecked());  // 3 is right of 9

    setText(dialog, 1573, "Knee");
    setText(dialog, 1575, "-40");
    setText(dialog, 1576, "120");
    QTest::mouseClick(control<QRadioButton>(dialog, 1298), Qt::LeftButton);
    QVERIFY(control<QComboBox>(dialog, 1572)->isEnabled());
    control<QComboBox>(dialog, 1572)->setCurrentIndex(7);
    QTest::mouseClick(control<QRadioButton>(dialog, 1609), Qt::LeftButton);
    QVERIFY(control<QLineEdit>(dialog, 1707)->isEnabled());
    setText(dialog, 1707, "12.5");
    control<QSpinBox>(dialog, 1612)->setValue(2);
    QTest::mouseClick(control<QPushButton>(dialog, 1), Qt::LeftButton);

    QCOMPARE(answers.shownIds(), std::vector<int>{40106});
    QCOMPARE(appliedCount, 1);
    const PoseSlider& s = table.sliders[3];
    QVERIFY(s.name == u"Knee");
    QCOMPARE(int(s.lowerLimit), -40);
    QCOMPARE(int(s.upperLimit), 120);
    QCOMPARE(s.pairAttribute, int(PairLeft));
    QCOMPARE(s.pairPartner, 7);
    QCOMPARE(table.sliders[7].pairAttribute, int(PairRight));
    QCOMPARE(table.sliders[9].pairAttribute, int(PairNone));  // the old partner let go
    QCOMPARE(s.valueFormat, int(FormatDegrees));
    QCOMPARE(s.decimalPlaces, 2);
    QCOMPARE(s.unitsPerDegree, 12.5);
    QCOMPARE(chooser->itemText(4), QString("03:Knee"));  // entries rebuilt, selection kept
    QCOMPARE(chooser->currentIndex(), 4);

    SliderTable saved;
    QVERIFY(loadSliderFile(dir / "medit_sld.ini", saved));
    QVERIFY(saved.sliders[3] == table.sliders[3]);
    QVERIFY(saved.sliders[7] == table.sliders[7]);
  }

  void equalLimitsAreRefusedWhileTheRestApplies() {
    testing::TempDir dir;
    testing::ScriptedAnswerer answers;
    answers.answerNext(MessageAnswer::Yes);
    SliderTable table = demoTable();
    SliderSettingsDialog dialog(table, dir / "medit_sld.ini", nullptr);
    setText(dialog, 1575, "100");
    setText(dialog, 1576, "100");
    setText(dialog, 1573, "Hip");
    QTest::mouseClick(control<QPushButton>(dialog, 1), Qt::LeftButton);
    QCOMPARE(answers.shownIds(), (std::vector<int>{40106, 40123}));
    QCOMPARE(int(table.sliders[0].lowerLimit), -100);
    QVERIFY(table.sliders[0].name == u"Hip");
    QCOMPARE(control<QLineEdit>(dialog, 1575)->text(), QString("-100"));  // shows what was kept
  }

  void badEntrySelectsTheFieldAndChangesNothing() {
    testing::TempDir dir;
    testing::ScriptedAnswerer answers;
    answers.answerNext(MessageAnswer::Yes);
    SliderTable table = demoTable();
    SliderSettingsDialog dialog(table, dir / "medit_sld.ini", nullptr);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowActive(&dialog));
    setText(dialog, 1576, "12x");
    setText(dialog, 1573, "Ignored");
    QTest::mouseClick(control<QPushButton>(dialog, 1), Qt::LeftButton);
    QCOMPARE(answers.shownIds(), (std::vector<int>{40106, 40124}));
    QCOMPARE(control<QLineEdit>(dialog, 1576)->selectedText(), QString("12x"));
    QVERIFY(table.sliders[0].name == u"joint0");
    QVERIFY(!std::filesystem::exists(dir / "medit_sld.ini"));
  }

  void severalSelectedSlidersAreEditedTogether() {
    testing::TempDir dir;
    testing::ScriptedAnswerer answers;
    answers.answerNext(MessageAnswer::Yes);
    SliderTable table = demoTable();
    table.sliders[1].displayFlags |= kSliderSelected;
    table.sliders[2].displayFlags |= kSliderSelected;
    SliderSettingsDialog dialog(table, dir / "medit_sld.ini", nullptr);
    QCOMPARE(control<QComboBox>(dialog, 1571)->currentIndex(), 0);
    QCheckBox* showName = control<QCheckBox>(dialog, 1635);
    QCOMPARE(showName->checkState(), Qt::PartiallyChecked);
    QVERIFY(!control<QRadioButton>(dialog, 1295)->isEnabled());
    QVERIFY(control<QLineEdit>(dialog, 1573)->text().isEmpty());

    // Three states: partially -> unchecked -> checked.
    showName->click();
    showName->click();
    QCOMPARE(showName->checkState(), Qt::Unchecked);
    setText(dialog, 1614, QString::fromUtf8("下"));
    QTest::mouseClick(control<QPushButton>(dialog, 1), Qt::LeftButton);
    for (int i : {1, 2}) {
      QVERIFY(!(table.sliders[i].behaviourFlags & kShowSliderName));
      QVERIFY(table.sliders[i].lowerText == u"下");
      QVERIFY(table.sliders[i].name != u"");
    }
    QVERIFY(table.sliders[0].behaviourFlags & kShowSliderName);
  }

  void oneSelectedSliderOpensOnIt() {
    SliderTable table = demoTable();
    table.sliders[6].displayFlags |= kSliderSelected;
    QCOMPARE(SliderSettingsDialog::initialEntry(table), 7);
  }
};

QTEST_MAIN(SliderSettingsDialogTest)
#include "slider_settings_dialog_test.moc"
