#pragma once

#include <QApplication>
#include <functional>
#include <string_view>

namespace quillmark {

// The application object: title "Quillmark", Qt's Japanese translation, and
// one place where errors no handler caught are shown instead of ending the
// program.
class TApplication : public QApplication {
  public:
    TApplication(int& argc, char** argv);

    bool notify(QObject* receiver, QEvent* event) override;

    // Shows the message of an error nobody handled (a warning box by default).
    void ShowException(std::u16string_view message);
    // Replaces the way ShowException shows it (tests record it).
    void SetExceptionHandler(std::function<void(std::u16string_view)> handler) {
        FHandler = std::move(handler);
    }

  private:
    std::function<void(std::u16string_view)> FHandler;
};

// Loads Qt's own Japanese texts for standard dialogs and buttons. False when
// the translation is not installed.
bool LoadQtJapaneseTranslation(QCoreApplication& application);

}  // namespace quillmark
