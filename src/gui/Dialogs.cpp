#include "gui/Dialogs.h"

#include <QFileDialog>

namespace quillmark {

namespace {

// Qt takes a filter as "name (patterns)". With the details hidden it shows
// only the name, which may itself end in parentheses: "設定ファイル(*.QMK)".
QString QtFilter(const TFileFilter& filter) {
    return filter.Name + QStringLiteral(" (") + filter.Patterns + QLatin1Char(')');
}

std::optional<QString> Run(QWidget* parent, const TFileDialogSetup& setup, QFileDialog::AcceptMode mode) {
    QFileDialog dialog(parent, setup.Title);
    dialog.setObjectName("FileDialog");
    dialog.setOption(QFileDialog::HideNameFilterDetails);
    dialog.setAcceptMode(mode);
    dialog.setFileMode(mode == QFileDialog::AcceptOpen && setup.MustExist ? QFileDialog::ExistingFile
                                                                          : QFileDialog::AnyFile);
    QStringList filters;
    for (const TFileFilter& filter : setup.Filters)
        filters.append(QtFilter(filter));
    dialog.setNameFilters(filters);

    // The extension added to a bare name follows the chosen file type (the
    // signal names the type as the list shows it).
    const auto useSuffixOf = [&dialog, &setup](const QString& chosen) {
        qsizetype index = setup.Filters.size() - 1;
        while (index >= 0 && setup.Filters[index].Name != chosen)
            --index;
        const bool own = index >= 0 && !setup.Filters[index].DefaultSuffix.isEmpty();
        dialog.setDefaultSuffix(own ? setup.Filters[index].DefaultSuffix : setup.DefaultSuffix);
    };
    useSuffixOf(setup.Filters.isEmpty() ? QString() : setup.Filters.constFirst().Name);
    QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog, useSuffixOf);

    if (!setup.Folder.isEmpty()) dialog.setDirectory(setup.Folder);
    if (!setup.FileName.isEmpty()) dialog.selectFile(setup.FileName);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
    return dialog.selectedFiles().constFirst();
}

}  // namespace

QString AnyCaseExtension(const QString& extension) {
    // The plain pattern first: a save dialog puts the first pattern's
    // extension in place of a typed one when the user changes the type.
    QString pattern = QStringLiteral("*.") + extension + QStringLiteral(" *.");
    for (const QChar c : extension) {
        if (c.toUpper() == c.toLower()) {
            pattern += c;
        } else {
            pattern += QLatin1Char('[') + c.toUpper() + c.toLower() + QLatin1Char(']');
        }
    }
    return pattern;
}

std::optional<QString> TQtDialogs::OpenFile(QWidget* parent, const TFileDialogSetup& setup) {
    return Run(parent, setup, QFileDialog::AcceptOpen);
}

std::optional<QString> TQtDialogs::SaveFile(QWidget* parent, const TFileDialogSetup& setup) {
    return Run(parent, setup, QFileDialog::AcceptSave);
}

}  // namespace quillmark
