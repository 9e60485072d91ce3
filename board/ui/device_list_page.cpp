#include "board/ui/device_list_page.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include "board/devices.h"
#include "board/ui/device_edit_dialog.h"
#include "shell/string_table.h"
#include "shell/ui/dialog_controls.h"
#include "shell/ui/qt_text.h"

namespace kv {

namespace {

constexpr int kTypeColumnString = 40167;
constexpr int kAddressColumnString = 40169;
constexpr int kStatusColumnString = 40170;

int openEditDialog(QWidget* owner, DeviceEditing& editing, int slot) {
  DeviceEditDialog dialog(editing, slot, openDeviceDialog, owner);
  return dialog.exec();
}

}  // namespace

DeviceListPage::DeviceListPage(CpuSettings& working, CpuSettings& record, DeviceValueSource& values,
                               std::function<int(const CpuSettings&)> applyToRam, QWidget* parent)
    : QWidget(parent),
      editing_{working, record, values, std::move(applyToRam), {}},
      openEdit_(openEditDialog) {
  setObjectName("137");
  editing_.listChanged = [this] { refresh(); };

  list_ = named(new QTableWidget(0, 3), 1177);
  list_->setHorizontalHeaderLabels({toQString(loadUiString(kTypeColumnString)),
                                    toQString(loadUiString(kAddressColumnString)),
                                    toQString(loadUiString(kStatusColumnString))});
  list_->setColumnWidth(0, 100);
  list_->setColumnWidth(1, 100);
  list_->setColumnWidth(2, 120);
  list_->horizontalHeader()->setStretchLastSection(true);
  list_->verticalHeader()->hide();
  list_->setShowGrid(true);
  list_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  list_->setSelectionBehavior(QAbstractItemView::SelectRows);
  list_->setSelectionMode(QAbstractItemView::SingleSelection);
  list_->setMinimumWidth(100 + 100 + 120 + 2 * list_->frameWidth());

  auto* addButton = dialogButton(1298, "追加");
  auto* changeButton = dialogButton(1300, "変更");
  auto* deleteButton = dialogButton(1299, "削除");
  auto* upButton = dialogButton(1663, "上へ");
  auto* downButton = dialogButton(1190, "下へ");
  auto* buttons = new QVBoxLayout;
  for (QPushButton* button : {addButton, changeButton, deleteButton, upButton, downButton}) buttons->addWidget(button);
  buttons->addStretch();
  auto* layout = new QHBoxLayout(this);
  layout->addWidget(list_, 1);
  layout->addLayout(buttons);

  connect(addButton, &QPushButton::clicked, this, [this] { add(); });
  connect(changeButton, &QPushButton::clicked, this, [this] { change(); });
  connect(deleteButton, &QPushButton::clicked, this, [this] { remove(); });
  connect(upButton, &QPushButton::clicked, this, [this] { move(-1); });
  connect(downButton, &QPushButton::clicked, this, [this] { move(+1); });
  refresh();
}

int DeviceListPage::selectedRow() const {
  const QList<QTableWidgetItem*> selected = list_->selectedItems();
  return selected.isEmpty() ? -1 : selected.front()->row();
}

void DeviceListPage::select(int row) {
  list_->clearSelection();
  if (row >= 0 && row < list_->rowCount()) list_->selectRow(row);
}

void DeviceListPage::refresh() {
  const int selected = selectedRow();
  const auto& devices = editing_.working.devices;
  const int count = deviceCount(devices);
  list_->clearContents();
  list_->setRowCount(count);
  for (int n = 0; n < count; ++n) {
    const DeviceEntry& entry = devices[n];
    list_->setItem(n, 0, new QTableWidgetItem(toQString(deviceTypeName(entry.type))));
    list_->setItem(n, 1, new QTableWidgetItem(QString::asprintf("0x%02x", entry.busAddress)));
    list_->setItem(n, 2, new QTableWidgetItem(QString::number(entry.statusVariable)));
  }
  select(std::min(selected, count - 1));
}

void DeviceListPage::add() {
  const int slot = addDeviceSlot(editing_.working.devices);
  if (slot < 0) return;
  const bool added = openEdit_(this, editing_, slot) == QDialog::Accepted;
  refresh();
  if (added) select(slot);
}

void DeviceListPage::change() {
  const int row = selectedRow();
  if (row < 0) return;
  openEdit_(this, editing_, row);
  refresh();
}

void DeviceListPage::remove() {
  if (deleteDevice(editing_.working.devices, selectedRow())) refresh();
}

void DeviceListPage::move(int step) {
  const int row = moveDevice(editing_.working.devices, selectedRow(), step);
  if (row < 0) return;
  refresh();
  select(row);
}

}  // namespace kv
