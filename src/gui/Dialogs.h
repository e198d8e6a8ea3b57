#pragma once

#include <QList>
#include <QString>
#include <optional>

class QFileDialog;
class QWidget;

// The file dialogs of the window, behind an interface a test can answer.
namespace quillmark {

// One entry of a dialog's file-type list.
struct TFileFilter {
    QString Name;           // shown exactly as written: "設定ファイル(*.QMK)"
    QString Patterns;       // what it matches: "*.QMK *.[Qq][Mm][Kk]"; "*" for every file
    QString DefaultSuffix;  // appended while this entry is chosen; empty: the dialog's own

    bool operator==(const TFileFilter&) const = default;
};

// "*.csv *.[Cc][Ss][Vv]" for "csv": the names with that extension in any case.
QString AnyCaseExtension(const QString& extension);

struct TFileDialogSetup {
    QString Title;  // empty: the platform's default title
    QList<TFileFilter> Filters;
    QString DefaultSuffix;  // appended to a name typed without extension
    QString Folder;         // where the dialog starts; empty: its own choice
    QString FileName;       // the name it proposes
    bool MustExist = true;  // open dialogs: accept only an existing file
};

class IDialogs {
  public:
    virtual ~IDialogs() = default;
    // The chosen file (an existing one when `setup.MustExist`), or nothing
    // when the user cancelled.
    virtual std::optional<QString> OpenFile(QWidget* parent, const TFileDialogSetup& setup) = 0;
    // The chosen file name (the user agreed to replace an existing file),
    // or nothing when the user cancelled.
    virtual std::optional<QString> SaveFile(QWidget* parent, const TFileDialogSetup& setup) = 0;
};

// The real dialogs. Each remembers the last folder and name chosen in it.
class TQtDialogs final : public IDialogs {
  public:
    std::optional<QString> OpenFile(QWidget* parent, const TFileDialogSetup& setup) override;
    std::optional<QString> SaveFile(QWidget* parent, const TFileDialogSetup& setup) override;
};

}  // namespace quillmark
