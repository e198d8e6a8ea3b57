#pragma once

#include <QDialog>

class QLabel;
class QPushButton;

namespace quillmark {

// "バージョン情報": product name, file version, copyright and the maker's
// web page. Throws Exception "バージョン情報を取得できません" from the
// constructor when the program carries no version data.
class TFormAboutBox : public QDialog {
    Q_OBJECT

  public:
    explicit TFormAboutBox(QWidget* owner);

    // Opens the address of the URL label.
    void URLClick();

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    QLabel* FProductName;
    QLabel* FVersion;
    QLabel* FCopyright;
    QLabel* FUrl;
};

}  // namespace quillmark
