#include "gui/Dialogs.h"

#include <QFileDialog>

namespace quillmark {

namespace {

std::optional<QString> Run(QWidget* parent, const TFileDialogSetup& setup, QFileDialog::AcceptMode mode) {
    QFileDialog dialog(parent, setup.Title);
    dialog.setAcceptMode(mode);
    dialog.setFileMode(mode == QFileDialog::AcceptOpen ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
    dialog.setNameFilters(setup.Filters);
    dialog.setDefaultSuffix(setup.DefaultSuffix);
    if (!setup.Folder.isEmpty()) dialog.setDirectory(setup.Folder);
    if (!setup.FileName.isEmpty()) dialog.selectFile(setup.FileName);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
    return dialog.selectedFiles().constFirst();
}

}  // namespace

std::optional<QString> TQtDialogs::OpenFile(QWidget* parent, const TFileDialogSetup& setup) {
    return Run(parent, setup, QFileDialog::AcceptOpen);
}

std::optional<QString> TQtDialogs::SaveFile(QWidget* parent, const TFileDialogSetup& setup) {
    return Run(parent, setup, QFileDialog::AcceptSave);
}

}  // namespace quillmark
