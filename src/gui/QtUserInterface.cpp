#include "gui/QtUserInterface.h"

#include <QApplication>
#include <QMessageBox>

#include "gui/CursorHourGlass.h"
#include "gui/QtString.h"

namespace quillmark {

void TQtUserInterface::ShowWarning(std::u16string_view message) {
    QMessageBox::warning(QApplication::activeWindow(), QApplication::applicationDisplayName(),
                         ToQString(message), QMessageBox::Ok);
}

void TQtUserInterface::ShowInformation(std::u16string_view message) {
    QMessageBox::information(QApplication::activeWindow(), QApplication::applicationDisplayName(),
                             ToQString(message), QMessageBox::Ok);
}

TCursorHourGlassRef TQtUserInterface::CreateCursorHourGlass() {
    return quillmark::CreateCursorHourGlass();
}

}  // namespace quillmark
