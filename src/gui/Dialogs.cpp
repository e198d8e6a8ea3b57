#include "gui/Dialogs.h"

#include <QFileDialog>

namespace quillmark {

namespace {

std::optional<QString> Run(QWidget* parent, const TFileDialogSpec& spec, QFileDialog::AcceptMode mode) {
    QFileDialog dialog(parent, spec.Title);
    dialog.setAcceptMode(mode);
    dialog.setFileMode(mode == QFileDialog::AcceptOpen ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
    dialog.setNameFilters(spec.Filters);
    dialog.setDefaultSuffix(spec.DefaultSuffix);
    if (!spec.Folder.isEmpty()) dialog.setDirectory(spec.Folder);
    if (!spec.FileName.isEmpty()) dialog.selectFile(spec.FileName);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
    return dialog.selectedFiles().constFirst();
}

}  // namespace

std::optional<QString> TQtDialogs::OpenFile(QWidget* parent, const TFileDialogSpec& spec) {
    return Run(parent, spec, QFileDialog::AcceptOpen);
}

std::optional<QString> TQtDialogs::SaveFile(QWidget* parent, const TFileDialogSpec& spec) {
    return Run(parent, spec, QFileDialog::AcceptSave);
}

}  // namespace quillmark
