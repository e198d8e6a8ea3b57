#pragma once

#include <deque>

#include "gui/Dialogs.h"

namespace quillmark::test {

// Answers the file dialogs from a queue (a null string, or an empty queue:
// the user cancelled) and records what each was asked.
class TFakeDialogs final : public IDialogs {
  public:
    std::optional<QString> OpenFile(QWidget*, const TFileDialogSpec& spec) override { return Answer(spec); }
    std::optional<QString> SaveFile(QWidget*, const TFileDialogSpec& spec) override { return Answer(spec); }

    std::deque<QString> Answers;
    std::vector<TFileDialogSpec> Asked;

  private:
    std::optional<QString> Answer(const TFileDialogSpec& spec) {
        Asked.push_back(spec);
        if (Answers.empty()) return std::nullopt;
        const QString answer = Answers.front();
        Answers.pop_front();
        if (answer.isNull()) return std::nullopt;
        return answer;
    }
};

}  // namespace quillmark::test
