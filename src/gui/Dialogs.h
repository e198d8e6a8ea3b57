#pragma once

#include <QString>
#include <QStringList>
#include <optional>

class QWidget;

// The file dialogs of the window, behind an interface a test can answer.
namespace quillmark {

struct TFileDialogSetup {
    QString Title;          // empty: the platform's default title
    QStringList Filters;    // "設定ファイル(*.QMK *.qmk)", ...
    QString DefaultSuffix;  // appended to a name typed without extension
    QString Folder;         // where the dialog starts; empty: its own choice
    QString FileName;       // the name it proposes
};

class IDialogs {
  public:
    virtual ~IDialogs() = default;
    // The chosen existing file, or nothing when the user cancelled.
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
