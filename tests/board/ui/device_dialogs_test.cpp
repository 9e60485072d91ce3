// Drives the expansion device page, the add/change dialog and the device
// dialogs on the offscreen platform.
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTimer>
#include <QTableWidget>
#include <QtTest>
#include <map>

#include "board/devices.h"
#include "board/ui/device_dialogs.h"
#include "board/ui/device_edit_dialog.h"
#include "board/ui/device_list_page.h"
#include "support/dialog_control.h"
#include "support/scripted_answerer.h"

using namespace kv;

namespace {

using testing::control;

void click(QWidget& dialog, int number) { QTest::mouseClick(control<QAbstractButton>(dialog, number), Qt::LeftButton); }

void setText(QWidget& dialog, int number, const QString& text) {
  QLineEdit* edit = control<QLineEdit>(dialog, number);
  edit->clear();
  edit->insert(text);
}

QString labelText(QWidget& dialog, int number) { return control<QLabel>(dialog, number)->text(); }

void saveShot(QWidget& widget, const QString& name) {
  QVERIFY(widget.grab().toImage().save(QDir(QT_TESTCASE_BUILDDIR).filePath(name + ".png")));
}

// Answers v[n] with 1000 + n and the default status variables with 0 (the
// device answers); or has no board.
class FakeValues : public DeviceValueSource {
 public:
  LiveRead outcome = LiveRead::Read;
  LiveRead readVariables(std::span<const uint8_t> variables, std::span<int16_t> values) override {
    if (outcome != LiveRead::Read) return outcome;
    for (size_t n = 0; n < variables.size(); ++n) {
      const int v = variables[n];
      const bool status = v == 128 || v == 135 || v == 147 || v == 150;
      values[n] = static_cast<int16_t>(status ? 0 : 1000 + v);
    }
    return LiveRead::Read;
  }
};

DeviceEntry usedEntry(uint16_t type) {
  DeviceEntry entry = defaultDeviceEntry(type);
  entry.used = 1;
  return entry;
}

// The working copy and record of a CPU settings dialog, and a board that
// takes every Apply unless told otherwise.
struct Fixture {
  CpuSettings working;
  CpuSettings record;
  FakeValues values;
  int applyResult = 1;
  std::vector<CpuSettings> applied;
  int listChanges = 0;
  DeviceEditing editing{working, record, values,
                        [this](const CpuSettings& settings) {
                          applied.push_back(settings);
                          return applyResult;
                        },
                        [this] { ++listChanges; }};
};

// Runs `script` on the modal dialog that `open` shows; the dialog's result.
int withModal(const std::function<int()>& open, const std::function<void(QWidget&)>& script) {
  bool ran = false;
  QTimer::singleShot(0, [&] {
    QWidget* dialog = QApplication::activeModalWidget();
    if (!dialog) qFatal("no modal dialog");
    ran = true;
    QPointer<QWidget> watched(dialog);
    script(*dialog);
    // A failed check inside the script must not leave the dialog waiting.
    if (auto* open = qobject_cast<QDialog*>(watched.data()); open && open->isVisible()) open->reject();
  });
  const int result = open();
  if (!ran) qFatal("the dialog did not open");
  return result;
}

}  // namespace

class DeviceDialogsTest : public QObject {
  Q_OBJECT

 private slots:
  // ---- page 137 --------------------------------------------------------------

  void thePageAddsChangesDeletesAndMovesDevices() {
    Fixture f;
    f.working.devices[0] = usedEntry(kDeviceKpG1);
    f.working.devices[1] = usedEntry(kDeviceKpDio);
    f.working.devices[2] = usedEntry(kDeviceKpMp3);
    DeviceListPage page(f.working, f.record, f.values, {});
    std::vector<int> opened;
    int answer = QDialog::Accepted;
    page.setEditOpener([&](QWidget*, DeviceEditing& editing, int slot) {
      opened.push_back(slot);
      if (answer == QDialog::Accepted) {
        editing.working.devices[slot] = usedEntry(kDeviceKpGc);
      }
      return answer;
    });
    page.show();
    auto* list = control<QTableWidget>(page, 1177);
    QCOMPARE(list->rowCount(), 3);
    QCOMPARE(list->item(1, 0)->text(), QString::fromUtf8("KP-DIO(デジタル入出力)"));
    QCOMPARE(list->item(1, 1)->text(), QString("0x40"));
    QCOMPARE(list->item(1, 2)->text(), QString("135"));
    QCOMPARE(list->horizontalHeaderItem(2)->text(), QString::fromUtf8("ステータス取得変数"));

    // Change and delete need a selection.
    click(page, 1300);
    QVERIFY(opened.empty());

    click(page, 1298);  // add into the first free slot
    QCOMPARE(opened, std::vector<int>{3});
    QCOMPARE(list->rowCount(), 4);
    QCOMPARE(page.selectedRow(), 3);
    answer = QDialog::Rejected;
    click(page, 1300);  // change the selected one
    QCOMPARE(opened, (std::vector<int>{3, 3}));

    // Up moves the entry and the selection; down on the last does nothing.
    click(page, 1663);
    QCOMPARE(page.selectedRow(), 2);
    QCOMPARE(f.working.devices[2].type, kDeviceKpGc);
    QCOMPARE(f.working.devices[3].type, kDeviceKpMp3);
    click(page, 1190);
    click(page, 1190);
    QCOMPARE(page.selectedRow(), 3);
    QCOMPARE(f.working.devices[3].type, kDeviceKpGc);

    // Delete the first: the others move up, the vacated slot is free.
    list->selectRow(0);
    click(page, 1299);
    QCOMPARE(list->rowCount(), 3);
    QCOMPARE(f.working.devices[0].type, kDeviceKpDio);
    QCOMPARE(f.working.devices[3].used, 0);
    QCOMPARE(f.working.devices[3].type, uint16_t{0});
    QCOMPARE(page.selectedRow(), 0);
    saveShot(page, "device_page_137");

    // With every slot used, add does nothing.
    for (DeviceEntry& entry : f.working.devices) entry = usedEntry(kDeviceKpLd);
    page.refresh();
    opened.clear();
    click(page, 1298);
    QVERIFY(opened.empty());
  }

  void cancellingAnAddedDeviceLeavesTheListAsItWas() {
    Fixture f;
    f.working.devices[0] = usedEntry(kDeviceKpG1);
    DeviceListPage page(f.working, f.record, f.values, {});
    page.show();
    withModal([&] { click(page, 1298); return 0; },
              [&](QWidget& dialog) {
                QCOMPARE(dialog.objectName(), QString("147"));
                QCOMPARE(control<QComboBox>(dialog, 1621)->currentIndex(), kUndefinedDeviceChoice);
                click(dialog, 2);
              });
    QCOMPARE(control<QTableWidget>(page, 1177)->rowCount(), 1);
    QCOMPARE(f.working.devices[1].used, 0);
  }

  // ---- dialog 147 ------------------------------------------------------------

  void changingTheTypeAfterTheDetailsDisablesOk() {
    Fixture f;
    testing::ScriptedAnswerer answers;
    const int slot = addDeviceSlot(f.working.devices);
    std::vector<uint16_t> detailsOpened;
    DeviceEditDialog dialog(f.editing, slot, [&](QWidget*, uint16_t type, int at, DeviceEditing& editing) {
      detailsOpened.push_back(type);
      DeviceEntry& entry = editing.working.devices[at];
      const DeviceEntry defaults = defaultDeviceEntry(type);
      entry.type = type;
      entry.size = defaults.size;
      entry.parameters = defaults.parameters;
      return int(QDialog::Accepted);
    });
    dialog.show();
    auto* type = control<QComboBox>(dialog, 1621);
    auto* ok = control<QPushButton>(dialog, 1);
    QCOMPARE(type->count(), 7);
    QVERIFY(!ok->isEnabled());

    // An undefined device has no details.
    click(dialog, 1189);
    QCOMPARE(answers.shownIds(), std::vector<int>{40221});
    QVERIFY(detailsOpened.empty());

    type->setCurrentIndex(deviceTypeChoice(kDeviceKpG1));
    click(dialog, 1189);
    QVERIFY(ok->isEnabled());
    // The stored details are a KP-G1's: another type may not take them.
    type->setCurrentIndex(deviceTypeChoice(kDeviceKpLd));
    QVERIFY(!ok->isEnabled());
    click(dialog, 1);
    QVERIFY(dialog.isVisible());
    type->setCurrentIndex(deviceTypeChoice(kDeviceKpG1));
    QVERIFY(ok->isEnabled());
    saveShot(dialog, "device_edit_147");
    click(dialog, 1);
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    QCOMPARE(f.working.devices[slot].used, 1);
    QCOMPARE(f.working.devices[slot].type, kDeviceKpG1);
    QCOMPARE(f.working.devices[slot].size, uint16_t{46});
  }

  void aFifthKpG1IsRefusedAndCancelRestoresTheSlot() {
    Fixture f;
    testing::ScriptedAnswerer answers;
    for (int n = 0; n < 4; ++n) f.working.devices[n] = usedEntry(kDeviceKpG1);
    const int slot = addDeviceSlot(f.working.devices);
    DeviceEditDialog dialog(f.editing, slot, [](QWidget*, uint16_t type, int at, DeviceEditing& editing) {
      editing.working.devices[at] = defaultDeviceEntry(type);
      return int(QDialog::Accepted);
    });
    dialog.show();
    control<QComboBox>(dialog, 1621)->setCurrentIndex(deviceTypeChoice(kDeviceKpG1));
    click(dialog, 1189);
    click(dialog, 1);
    QCOMPARE(answers.shownIds(), std::vector<int>{40215});
    QVERIFY(dialog.isVisible());
    QCOMPARE(f.working.devices[slot].used, 0);
    click(dialog, 2);
    QCOMPARE(f.working.devices[slot].type, uint16_t{0});
    QCOMPARE(deviceCount(f.working.devices), 4);
  }

  // ---- the device dialogs ----------------------------------------------------

  void kpG1StartsFromItsDefaultsAndChecksItsEntries() {
    Fixture f;
    testing::ScriptedAnswerer answers;
    const int slot = addDeviceSlot(f.working.devices);
    const int result = withModal([&] { return openDeviceDialog(nullptr, kDeviceKpG1, slot, f.editing); },
                                 [&](QWidget& dialog) {
                                   QCOMPARE(dialog.objectName(), QString("145"));
                                   QCOMPARE(control<QSpinBox>(dialog, 1677)->value(), 128);
                                   QCOMPARE(control<QComboBox>(dialog, 1706)->currentText(), QString("0x90"));
                                   QCOMPARE(control<QSpinBox>(dialog, 1653)->value(), 129);
                                   QCOMPARE(control<QLineEdit>(dialog, 1659)->text(), QString("2048"));
                                   QCOMPARE(control<QLineEdit>(dialog, 1671)->text(), QString("1655"));
                                   QCOMPARE(control<QLineEdit>(dialog, 1674)->text(), QString("256"));
                                   // Not on the list yet: no live value.
                                   QCOMPARE(labelText(dialog, 1725), QString("--------"));
                                   QCOMPARE(labelText(dialog, 1800), QString("--"));

                                   setText(dialog, 1662, "12a");
                                   click(dialog, 1);
                                   QCOMPARE(control<QLineEdit>(dialog, 1662)->selectedText(), QString("12a"));
                                   setText(dialog, 1662, "-12");
                                   setText(dialog, 1673, "32768");
                                   click(dialog, 1);
                                   QCOMPARE(control<QLineEdit>(dialog, 1673)->selectedText(), QString("32768"));
                                   QVERIFY(dialog.isVisible());
                                   QCOMPARE(f.working.devices[slot].size, uint16_t{0});

                                   setText(dialog, 1673, "-300");
                                   control<QSpinBox>(dialog, 1654)->setValue(0);
                                   control<QComboBox>(dialog, 1706)->setCurrentIndex(2);
                                   saveShot(dialog, "device_145_kp_g1");
                                   click(dialog, 1);
                                 });
    QCOMPARE(result, int(QDialog::Accepted));
    QCOMPARE(answers.shownIds(), (std::vector<int>{40172, 40173}));
    const DeviceEntry& entry = f.working.devices[slot];
    QCOMPARE(entry.type, kDeviceKpG1);
    QCOMPARE(entry.size, uint16_t{46});
    QCOMPARE(entry.busAddress, uint8_t{0x94});
    QCOMPARE(entry.used, 0);  // the add/change dialog's OK marks it used
    const std::vector<DeviceOutput> outputs = readDeviceOutputs(entry, 8);
    QCOMPARE(int(outputs[1].variable), 0);
    QCOMPARE(int(outputs[1].offset), -12);
    QCOMPARE(int(outputs[4].gain), -300);
    QCOMPARE(int(outputs[3].variable), 0);
    QVERIFY(f.applied.empty());
  }

  void anAddressTheTypeDoesNotOfferMustBeChosen() {
    Fixture f;
    testing::ScriptedAnswerer answers;
    f.working.devices[0] = usedEntry(kDeviceKpG1);
    f.working.devices[0].busAddress = 0x98;
    withModal([&] { return openDeviceDialog(nullptr, kDeviceKpG1, 0, f.editing); },
              [&](QWidget& dialog) {
                QCOMPARE(control<QComboBox>(dialog, 1706)->currentIndex(), -1);
                click(dialog, 1);
                QVERIFY(dialog.isVisible());
                click(dialog, 2);
              });
    QCOMPARE(answers.shownIds(), std::vector<int>{40307});
    QCOMPARE(f.working.devices[0].busAddress, uint8_t{0x98});
  }

  void liveValuesFollowTheBoardAndShowNothingWithoutIt() {
    Fixture f;
    f.working.devices[0] = usedEntry(kDeviceKpG1);
    withModal([&] { return openDeviceDialog(nullptr, kDeviceKpG1, 0, f.editing); },
              [&](QWidget& dialog) {
                QCOMPARE(labelText(dialog, 1725), QString("1129"));
                QCOMPARE(labelText(dialog, 1723), QString("1133"));
                QCOMPARE(labelText(dialog, 1800), QString("OK"));
                click(dialog, 2);
              });
    f.values.outcome = LiveRead::Unavailable;
    withModal([&] { return openDeviceDialog(nullptr, kDeviceKpG1, 0, f.editing); },
              [&](QWidget& dialog) {
                QCOMPARE(labelText(dialog, 1725), QString("--------"));
                QCOMPARE(labelText(dialog, 1800), QString("--"));
                click(dialog, 2);
              });
  }

  void applyPutsTheWholeWorkingListOnTheBoardAndCancelKeepsIt() {
    Fixture f;
    testing::ScriptedAnswerer answers;
    f.working.devices[0] = usedEntry(kDeviceKpDio);  // not applied yet
    f.record.firmwareRevision = 11;
    const int slot = addDeviceSlot(f.working.devices);
    const int result = withModal([&] { return openDeviceDialog(nullptr, kDeviceKpMp3, slot, f.editing); },
                                 [&](QWidget& dialog) {
                                   QCOMPARE(dialog.objectName(), QString("173"));
                                   QCOMPARE(control<QComboBox>(dialog, 1706)->currentText(), QString("0xbe"));
                                   QCOMPARE(control<QComboBox>(dialog, 1862)->currentText(), QString("6 dB"));
                                   QCOMPARE(control<QComboBox>(dialog, 1572)->currentText(),
                                            QString::fromUtf8("+0.0 dB(未使用)"));
                                   QCOMPARE(control<QSpinBox>(dialog, 1863)->value(), 41);
                                   control<QComboBox>(dialog, 1574)->setCurrentIndex(3);
                                   saveShot(dialog, "device_173_kp_mp3");
                                   click(dialog, 1189);
                                   QCOMPARE(labelText(dialog, 1800), QString("OK"));  // v[147] reads 0
                                   click(dialog, 2);
                                 });
    // The whole working list went to the record and the board.
    QCOMPARE(f.applied.size(), size_t{1});
    QCOMPARE(deviceCount(f.applied[0].devices), 2);
    QCOMPARE(deviceCount(f.record.devices), 2);
    QCOMPARE(f.record.devices[1].type, kDeviceKpMp3);
    QCOMPARE(int(f.record.devices[1].parameters[1]), 0x32);
    QCOMPARE(f.listChanges, 1);
    QCOMPARE(answers.shownIds(), (std::vector<int>{40213, 40458}));
    // Cancel after an Apply: the entries were stored.
    QCOMPARE(result, int(QDialog::Accepted));
  }

  void applyChecksTheAreaFirstAndReportsAFailedWrite() {
    Fixture f;
    testing::ScriptedAnswerer answers;
    for (int n = 0; n < 4; ++n) f.working.devices[n] = usedEntry(kDeviceKpG1);
    const int slot = addDeviceSlot(f.working.devices);
    const int refused = withModal([&] { return openDeviceDialog(nullptr, kDeviceKpGc, slot, f.editing); },
                                  [&](QWidget& dialog) {
                                    click(dialog, 1189);
                                    click(dialog, 2);
                                  });
    QCOMPARE(refused, int(QDialog::Rejected));
    QCOMPARE(answers.shownIds(), std::vector<int>{40215});
    QVERIFY(f.applied.empty());
    QCOMPARE(deviceCount(f.working.devices), 4);

    f.working.devices[3] = DeviceEntry{};
    f.applyResult = 0;
    withModal([&] { return openDeviceDialog(nullptr, kDeviceKpLd, 3, f.editing); },
              [&](QWidget& dialog) {
                QCOMPARE(dialog.objectName(), QString("146"));
                control<QSpinBox>(dialog, 1664)->setValue(77);  // PSC0
                click(dialog, 1189);
                saveShot(dialog, "device_146_kp_ld");
                click(dialog, 2);
              });
    QCOMPARE(answers.shownIds(), (std::vector<int>{40215, 40272}));
    QCOMPARE(f.working.devices[3].type, kDeviceKpLd);
    QCOMPARE(int(f.working.devices[3].parameters[2]), 77);
  }

  void kpDioStoresChannelsAndShowsItsInputs() {
    Fixture f;
    f.working.devices[0] = usedEntry(kDeviceKpDio);
    withModal([&] { return openDeviceDialog(nullptr, kDeviceKpDio, 0, f.editing); },
              [&](QWidget& dialog) {
                QCOMPARE(dialog.objectName(), QString("159"));
                QVERIFY(control<QRadioButton>(dialog, 2100)->isChecked());
                QCOMPARE(labelText(dialog, 2160), QString("1136"));
                QCOMPARE(labelText(dialog, 2161), QString("1137"));
                click(dialog, 2120 + 9);  // channel 9 becomes an output
                click(dialog, 2140 + 2);  // channel 2 inverted
                control<QSpinBox>(dialog, 1795)->setValue(200);
                saveShot(dialog, "device_159_kp_dio");
                click(dialog, 1);
              });
    const DioSettings dio = readDio(f.working.devices[0]);
    QCOMPARE(int(dio.inputBits[0]), 0xFF);
    QCOMPARE(int(dio.inputBits[1]), 0xFD);
    QCOMPARE(int(dio.invertBits[0]), 0x04);
    QCOMPARE(int(dio.outputVariable[1]), 200);
  }

  void kpAinAndKpGcShowTheirOutputs() {
    Fixture f;
    testing::ScriptedAnswerer answers;
    f.working.devices[0] = usedEntry(kDeviceKpGc);
    f.record.firmwareRevision = 16;
    withModal([&] { return openDeviceDialog(nullptr, kDeviceKpGc, 0, f.editing); },
              [&](QWidget& dialog) {
                QCOMPARE(dialog.objectName(), QString("175"));
                QCOMPARE(labelText(dialog, device_control::kNote),
                         QString::fromUtf8("※KP-GCを使用するには、CPUボードのファームウェアをリビジョン17以上にアップデートしてください。"));
                QCOMPARE(labelText(dialog, device_control::kGcValue + 6), QString("1151"));
                QCOMPARE(labelText(dialog, device_control::kGcTemperature),
                         QString::fromUtf8("35 + 1152 / 340 = 38.4℃"));
                saveShot(dialog, "device_175_kp_gc");
                click(dialog, device_control::kApply);
                click(dialog, 1);
              });
    QCOMPARE(answers.shownIds(), (std::vector<int>{40213, 40459}));

    withModal([&] { return openDeviceDialog(nullptr, kDeviceKpAin, 1, f.editing); },
              [&](QWidget& dialog) {
                QCOMPARE(dialog.objectName(), QString("158"));
                QCOMPARE(control<QComboBox>(dialog, 1706)->currentText(), QString("0x92"));
                QCOMPARE(labelText(dialog, device_control::kAinValue + 7), QString("--------"));
                saveShot(dialog, "device_158_kp_ain");
                click(dialog, 2);
              });
  }
};

QTEST_MAIN(DeviceDialogsTest)
#include "device_dialogs_test.moc"
