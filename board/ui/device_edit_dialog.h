// The add/change dialog of an expansion device (147): chooses the device's
// type and opens the type's device dialog for the details. OK takes the
// entry into the list only when the details of the chosen type were
// accepted, and only when the list still fits the board's area.
#pragma once

#include <QDialog>
#include <functional>
#include <optional>

#include "board/ui/device_dialogs.h"

class QComboBox;
class QPushButton;

namespace kv {

// Opens a device dialog (openDeviceDialog by default): owner, type, slot.
using DeviceDialogOpener = std::function<int(QWidget* owner, uint16_t type, int slot, DeviceEditing& editing)>;

class DeviceEditDialog : public QDialog {
  Q_OBJECT
 public:
  DeviceEditDialog(DeviceEditing& editing, int slot, DeviceDialogOpener detailsOpener = openDeviceDialog,
                   QWidget* parent = nullptr);

 protected:
  void accept() override;
  void done(int result) override;

 private:
  uint16_t chosenType() const;
  void openDetails();
  void enableOk();

  DeviceEditing& editing_;
  const int slot_;
  DeviceDialogOpener openDetails_;
  const DeviceEntry original_;
  // The type whose device dialog last closed with its entries stored.
  std::optional<uint16_t> detailsType_;
  QComboBox* type_;
  QPushButton* ok_;
};

}  // namespace kv
