#include "pose/ui/base_pose_dialog.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <optional>

#include "pose/show_pose.h"
#include "shell/editor_state.h"
#include "shell/string_table.h"
#include "shell/ui/dialog_controls.h"
#include "shell/ui/qt_text.h"

namespace kv {
namespace {

constexpr int kListTitleString = 40138;
constexpr int kListColumnWidth = 180;

// Where the dialog was last closed during this run.
std::optional<QPoint> lastPosition;


}  // namespace

BasePoseDialog::BasePoseDialog(EditorState& state, std::filesystem::path saveFile, std::function<void()> applied,
                               QWidget* parent)
    : QDialog(parent),
      state_(state),
      saveFile_(std::move(saveFile)),
      applied_(std::move(applied)),
      work_(state.basePoses) {
  setObjectName("135");
  setWindowTitle(jp("基準ポーズの設定"));

  list_ = named(new QTreeWidget, 1177);
  list_->setColumnCount(1);
  list_->setHeaderLabels({toQString(loadUiString(kListTitleString))});
  list_->header()->setStretchLastSection(false);
  list_->setColumnWidth(0, kListColumnWidth);
  list_->setRootIsDecorated(false);
  list_->setAllColumnsShowFocus(true);
  list_->setSelectionBehavior(QAbstractItemView::SelectRows);
  list_->setSelectionMode(QAbstractItemView::ExtendedSelection);

  name_ = named(new QLineEdit, 1613);
  name_->setMaxLength(static_cast<int>(kBasePoseNameFieldSize - 1));
  auto* registerButton = dialogButton(1619, "登録");
  auto* replaceButton = dialogButton(1189, "現在のポーズと置換");
  auto* deleteButton = dialogButton(1620, "選択したポーズを削除");
  auto* applyButton = dialogButton(1, "適用");
  auto* closeButton = dialogButton(2, "閉じる");

  auto* nameRow = new QHBoxLayout;
  nameRow->addWidget(new QLabel(jp("ポーズ名")));
  nameRow->addWidget(name_, 1);
  nameRow->addWidget(registerButton);
  auto* editRow = new QHBoxLayout;
  editRow->addWidget(replaceButton);
  editRow->addWidget(deleteButton);
  editRow->addStretch();
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(applyButton);
  buttons->addWidget(closeButton);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(list_, 1);
  layout->addLayout(nameRow);
  layout->addLayout(editRow);
  layout->addLayout(buttons);

  connect(registerButton, &QPushButton::clicked, this, [this] { registerPose(); });
  connect(replaceButton, &QPushButton::clicked, this, [this] { replacePose(); });
  connect(deleteButton, &QPushButton::clicked, this, [this] { deletePoses(); });
  connect(applyButton, &QPushButton::clicked, this, [this] { apply(); });
  connect(closeButton, &QPushButton::clicked, this, &QDialog::reject);

  refill();
  if (lastPosition) move(*lastPosition);
}

void BasePoseDialog::done(int result) {
  lastPosition = pos();
  QDialog::done(result);
}

void BasePoseDialog::refill() {
  list_->clear();
  for (int n = 0; n < validBasePoseCount(work_); ++n)
    list_->addTopLevelItem(new QTreeWidgetItem(QStringList{toQString(work_.entries[n].name)}));
}

// The row the operations act on: the focused row when it is selected, else
// the first selected row; -1 with no selection.
int BasePoseDialog::cursorRow() const {
  QTreeWidgetItem* current = list_->currentItem();
  if (current && current->isSelected()) return list_->indexOfTopLevelItem(current);
  for (int row = 0; row < list_->topLevelItemCount(); ++row)
    if (list_->topLevelItem(row)->isSelected()) return row;
  return -1;
}

void BasePoseDialog::registerPose() {
  if (registerBasePose(work_, fromQString(name_->text()), cursorRow(), state_.sliders, currentPose(state_)) >= 0)
    refill();
}

void BasePoseDialog::replacePose() {
  int row = cursorRow();
  if (row < 0) return;
  replaceBasePose(work_, row, state_.sliders, currentPose(state_));
}

void BasePoseDialog::deletePoses() {
  std::vector<int> rows;
  for (int row = 0; row < list_->topLevelItemCount(); ++row)
    if (list_->topLevelItem(row)->isSelected()) rows.push_back(row);
  if (deleteBasePoses(work_, rows) > 0) refill();
}

void BasePoseDialog::apply() {
  if (!applyBasePoseTable(state_.basePoses, work_, saveFile_)) return;
  if (applied_) applied_();
}

void openBasePoseDialog(QWidget* owner, EditorState& state, const std::filesystem::path& saveFile,
                        std::function<void()> applied) {
  BasePoseDialog dialog(state, saveFile, std::move(applied), owner);
  dialog.exec();
}

}  // namespace kv
