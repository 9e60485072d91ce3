// The expansion device page (137) of the CPU settings dialog: the device
// list of the dialog's working copy with add, change, delete, up and down.
// A standalone widget: the CPU settings dialog hosts it as its third tab.
#pragma once

#include <QWidget>
#include <functional>

#include "board/ui/device_dialogs.h"

class QTableWidget;

namespace kv {

// Opens the add/change dialog (DeviceEditDialog by default) for a slot of
// the working list; its result.
using DeviceEditOpener = std::function<int(QWidget* owner, DeviceEditing& editing, int slot)>;

class DeviceListPage : public QWidget {
  Q_OBJECT
 public:
  // `working`: the CPU settings dialog's working copy, which the page edits.
  // `record`: the editor's record, which a device dialog's Apply updates
  // (with the whole working device list) before sending it to the board
  // through `applyToRam` (applySettingsToRam, 1 applied). `values`: where
  // the device dialogs read their live values.
  DeviceListPage(CpuSettings& working, CpuSettings& record, DeviceValueSource& values,
                 std::function<int(const CpuSettings&)> applyToRam, QWidget* parent = nullptr);

  // Shows the working list again (after the dialog replaced its working
  // copy); the selected row stays selected where it still exists.
  void refresh();
  // The selected row, -1 for none.
  int selectedRow() const;

  // Tests replace the add/change dialog.
  void setEditOpener(DeviceEditOpener opener) { openEdit_ = std::move(opener); }

 private:
  void select(int row);
  void add();
  void change();
  void remove();
  void move(int step);

  DeviceEditing editing_;
  DeviceEditOpener openEdit_;
  QTableWidget* list_;
};

}  // namespace kv
