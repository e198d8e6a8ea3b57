#pragma once

#include <deque>

#include "gui/Dialogs.h"

namespace quillmark::test {

// Answers the file dialogs from a queue (a null string, or an empty queue:
// the user cancelled) and records what each was asked.
class TFakeDialogs final : public IDialogs {
  public:
    std::optional<QString> OpenFile(QWidget*, const TFileDialogSetup& setup) override {
        return Answer(setup);
    }
    std::optional<QString> SaveFile(QWidget*, const TFileDialogSetup& setup) override {
        return Answer(setup);
    }

    std::deque<QString> Answers;
    std::vector<TFileDialogSetup> Asked;

  private:
    std::optional<QString> Answer(const TFileDialogSetup& setup) {
        Asked.push_back(setup);
        if (Answers.empty()) return std::nullopt;
        const QString answer = Answers.front();
        Answers.pop_front();
        if (answer.isNull()) return std::nullopt;
        return answer;
    }
};

}  // namespace quillmark::test
