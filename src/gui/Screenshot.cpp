// quillmark-screenshot OUT.png [--size=WIDTHxHEIGHT] [ARG...]: opens the main
// window (at that size), applies the arguments as the program would on
// start-up, and saves a picture of it.
// scripts/screenshot runs it under Xvfb for the README.
#include <QTimer>

#include "gui/Application.h"
#include "gui/Dialogs.h"
#include "gui/FormMain.h"
#include "gui/QtString.h"
#include "gui/QtUserInterface.h"

int main(int argc, char** argv) {
    quillmark::TApplication application(argc, argv);
    quillmark::LoadQtJapaneseTranslation(application);
    const QStringList all = QCoreApplication::arguments();
    if (all.size() < 2) return 2;
    quillmark::TQtUserInterface ui;
    quillmark::TQtDialogs dialogs;
    quillmark::TFormMain form(ui, dialogs);
    quillmark::TArguments arguments;
    qsizetype first = 2;
    if (all.size() > 2 && all[2].startsWith(QStringLiteral("--size="))) {
        const QStringList size = all[2].mid(7).split(u'x');
        if (size.size() == 2) form.resize(size[0].toInt(), size[1].toInt());
        first = 3;
    }
    for (qsizetype i = first; i < all.size(); ++i)
        arguments.push_back(quillmark::FromQString(all[i]));
    form.SetArguments(std::move(arguments));
    form.show();
    int status = 1;
    QTimer::singleShot(0, &form, [&] {
        form.FirstIdle();
        QTimer::singleShot(500, &form, [&] {
            status = form.grab().save(all[1]) ? 0 : 1;
            QCoreApplication::quit();
        });
    });
    QApplication::exec();
    return status;
}
