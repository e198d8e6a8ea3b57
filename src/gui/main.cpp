#include <QTimer>
#include <csignal>
#include <string>
#include <vector>

#include "base/Interrupt.h"
#include "gui/Application.h"
#include "gui/Dialogs.h"
#include "gui/FormMain.h"
#include "gui/QtString.h"
#include "gui/QtUserInterface.h"
#include "settings/CommandLine.h"

int main(int argc, char** argv) {
#ifdef SIGXFSZ
    // A write past the file-size limit must fail with a reported error.
    std::signal(SIGXFSZ, SIG_IGN);
#endif
    // SIGTERM (the desktop session ending), SIGINT and SIGHUP close the
    // window as the user would: a run in progress is cancelled first.
    quillmark::InstallInterruptHandlers();
    // The program's switches are read from the command line as it was
    // given: Qt takes its own options, and a value after one, out of argv.
    const std::vector<std::string> given(argv + 1, argv + argc);
    quillmark::TApplication application(argc, argv);
    quillmark::LoadQtJapaneseTranslation(application);

    quillmark::TQtUserInterface ui;
    quillmark::TQtDialogs dialogs;
    bool autoRunFailed = false;
    bool autoRun = false;
    try {
        quillmark::TFormMain form(ui, dialogs);
        quillmark::TArguments arguments;
        for (const std::string& argument : given)
            arguments.push_back(quillmark::FromQString(QString::fromLocal8Bit(argument)));
        autoRun = quillmark::FindCmdLineSwitch(arguments, u"auto");
        form.SetProgramArguments(std::move(arguments));
        form.show();
        // The first moment the event loop is idle, once.
        QTimer::singleShot(0, &form, &quillmark::TFormMain::FirstIdle);
        QTimer interrupts;
        QObject::connect(&interrupts, &QTimer::timeout, &form, [&form] {
            if (quillmark::InterruptSignal() != 0) form.close();
        });
        interrupts.start(100);
        QApplication::exec();
        autoRunFailed = form.AutoRunFailed();
    } catch (const std::exception& error) {
        application.ShowException(quillmark::FromQString(QString::fromUtf8(error.what())));
        autoRunFailed = true;
    }
    // A signal ends the program as it ends others, unless it came after an
    // automatic run had done its work.
    if (quillmark::InterruptSignal() != 0 && (autoRunFailed || !autoRun))
        return 128 + quillmark::InterruptSignal();
    return autoRunFailed ? 1 : 0;
}
