#pragma once

#include <QWidget>

#include "gui/Dialogs.h"

class QLineEdit;
class QToolButton;

namespace quillmark {

// A one-line path box with a browse button. The button opens a file dialog
// and puts the chosen name into the box unchanged; a file dropped on the box
// replaces its text. Neither does anything else: the owner listens to
// AfterDialog.
class TFileNameEdit : public QWidget {
    Q_OBJECT

  public:
    TFileNameEdit(IDialogs& dialogs, TFileDialogSetup setup, QWidget* parent = nullptr);

    QString text() const;
    void setText(const QString& text);
    QLineEdit* LineEdit() const { return FEdit; }
    QToolButton* BrowseButton() const { return FButton; }

    // Runs the browse dialog, as the button does.
    void Browse();

  signals:
    void textChanged(const QString& text);
    // After the browse dialog closed: the chosen file when confirmed;
    // otherwise the box's name, or "" when it is empty or no valid name.
    void AfterDialog(const QString& fileName, bool confirmed);

  protected:
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

  private:
    IDialogs& FDialogs;
    TFileDialogSetup FSetup;
    QLineEdit* FEdit;
    QToolButton* FButton;
};

}  // namespace quillmark
