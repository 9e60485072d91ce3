#include "motion/ui/motion_file_dialogs.h"

#include <QFileDialog>

#include "shell/string_table.h"
#include "shell/ui/qt_text.h"

namespace kv {
namespace {

const QString kMotionFilter = "*.txt";

std::optional<std::filesystem::path> chosen(QFileDialog& dialog) {
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
  return std::filesystem::path(dialog.selectedFiles().first().toStdString());
}

}  // namespace

std::optional<std::filesystem::path> MotionFileDialogs::chooseOpen(int titleStringId,
                                                                   const std::filesystem::path& folder) {
  QFileDialog dialog(owner_, toQString(loadUiString(titleStringId)), pathToQString(folder), kMotionFilter);
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  dialog.setFileMode(QFileDialog::ExistingFile);
  dialog.setDefaultSuffix("txt");
  return chosen(dialog);
}

std::optional<std::filesystem::path> MotionFileDialogs::chooseSave(int titleStringId,
                                                                   const std::filesystem::path& folder,
                                                                   const std::filesystem::path& proposed) {
  QString start = proposed.empty() ? pathToQString(folder) : pathToQString(proposed);
  QFileDialog dialog(owner_, toQString(loadUiString(titleStringId)), start, kMotionFilter);
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setFileMode(QFileDialog::AnyFile);
  dialog.setDefaultSuffix("txt");  // the dialog asks before overwriting
  return chosen(dialog);
}

}  // namespace kv
