#include "board/ui/device_edit_dialog.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "board/devices.h"
#include "shell/messages.h"
#include "shell/string_table.h"
#include "shell/ui/dialog_controls.h"
#include "shell/ui/qt_text.h"

namespace kv {

namespace {

std::optional<QPoint> lastPosition;

}  // namespace

DeviceEditDialog::DeviceEditDialog(DeviceEditing& editing, int slot, DeviceDialogOpener detailsOpener,
                                   QWidget* parent)
    : QDialog(parent),
      editing_(editing),
      slot_(slot),
      openDetails_(std::move(detailsOpener)),
      original_(editing.working.devices.at(slot)) {
  setObjectName("147");
  setWindowTitle(jp("拡張機器の追加/変更"));

  type_ = named(new QComboBox, 1621);
  for (const DeviceTypeInfo& info : deviceTypes()) type_->addItem(toQString(loadUiString(info.nameString)));
  type_->setCurrentIndex(deviceTypeChoice(original_.type));
  auto* details = dialogButton(1189, "デバイスの詳細設定");
  ok_ = dialogButton(1, "OK");
  ok_->setEnabled(false);
  auto* cancel = dialogButton(2, "ｷｬﾝｾﾙ");

  auto* typeRow = new QHBoxLayout;
  typeRow->addWidget(new QLabel(jp("デバイスの種類")));
  typeRow->addWidget(type_, 1);
  auto* detailsRow = new QHBoxLayout;
  detailsRow->addStretch();
  detailsRow->addWidget(details);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(ok_);
  buttons->addWidget(cancel);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(typeRow);
  layout->addLayout(detailsRow);
  layout->addLayout(buttons);

  connect(type_, &QComboBox::currentIndexChanged, this, [this] { enableOk(); });
  connect(details, &QPushButton::clicked, this, [this] { openDetails(); });
  connect(ok_, &QPushButton::clicked, this, &QDialog::accept);
  connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
  if (lastPosition) move(*lastPosition);
}

uint16_t DeviceEditDialog::chosenType() const { return deviceTypes()[type_->currentIndex()].type; }

void DeviceEditDialog::openDetails() {
  if (type_->currentIndex() == kUndefinedDeviceChoice) {
    showMessage(kMsgDeviceNotSupported, MessageIcon::Warning, MessageButtons::Ok);
    return;
  }
  const uint16_t type = chosenType();
  if (openDetails_(this, type, slot_, editing_) == QDialog::Accepted) detailsType_ = type;
  enableOk();
}

// The entry holds the parameters of the type whose details were stored last:
// OK only while that type is the chosen one.
void DeviceEditDialog::enableOk() {
  ok_->setEnabled(type_->currentIndex() != kUndefinedDeviceChoice && detailsType_ == chosenType());
}

void DeviceEditDialog::accept() {
  if (!ok_->isEnabled()) return;
  auto devices = editing_.working.devices;
  devices[slot_].used = 1;
  devices[slot_].type = chosenType();
  if (!devicesFitArea(devices)) {
    showMessage(kMsgDeviceAreaFull, MessageIcon::Warning, MessageButtons::Ok);
    return;
  }
  editing_.working.devices[slot_] = devices[slot_];
  QDialog::accept();
}

void DeviceEditDialog::done(int result) {
  // Cancel puts the entry back as it was (an added one disappears).
  if (result != QDialog::Accepted) editing_.working.devices[slot_] = original_;
  lastPosition = pos();
  QDialog::done(result);
}

}  // namespace kv
