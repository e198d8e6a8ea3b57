#include "gui/Application.h"

#include <QIcon>
#include <QLibraryInfo>
#include <QMessageBox>
#include <QTranslator>

#include "base/Exception.h"
#include "base/Utf.h"
#include "gui/QtString.h"

// The resources live in a static library: they must be registered by hand.
static void InitResources() {
    Q_INIT_RESOURCE(quillmark);
}

namespace quillmark {

TApplication::TApplication(int& argc, char** argv) : QApplication(argc, argv) {
    InitResources();
    setApplicationName(QStringLiteral("Quillmark"));
    // No display name: the platform would append it to every window's title
    // ("変換元CSVファイル — Quillmark"). applicationDisplayName() still gives
    // the name above.
    setApplicationVersion(QStringLiteral(QUILLMARK_VERSION));
    setOrganizationName(QStringLiteral("Quillmark Project"));
    setDesktopFileName(QStringLiteral("io.github.quillmark.Quillmark"));
    setWindowIcon(QIcon(QStringLiteral(":/quillmark.svg")));
}

bool TApplication::notify(QObject* receiver, QEvent* event) {
    try {
        return QApplication::notify(receiver, event);
    } catch (const Exception& error) {
        ShowException(error.Message());
    } catch (const std::exception& error) {
        ShowException(Utf8ToUtf16(error.what()));
    } catch (...) {
        ShowException(u"");
    }
    return false;
}

void TApplication::ShowException(std::u16string_view message) {
    if (FHandler) {
        FHandler(message);
        return;
    }
    QMessageBox::warning(activeWindow(), applicationDisplayName(), ToQString(message), QMessageBox::Ok);
}

bool LoadQtJapaneseTranslation(QCoreApplication& application) {
    auto* translator = new QTranslator(&application);
    if (!translator->load(QStringLiteral("qtbase_ja"), QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        delete translator;
        return false;
    }
    return QCoreApplication::installTranslator(translator);
}

}  // namespace quillmark
