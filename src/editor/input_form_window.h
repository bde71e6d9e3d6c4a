#pragma once

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QWidget>
#include <functional>

#include "editor/entry_form.h"
#include "store/store.h"

namespace tsunagi {

// What the input form needs from the program around it. The main window and the form take
// turns through it, so neither window knows the other.
class FormHost {
  public:
    virtual ~FormHost() = default;
    virtual const Store& store() const = 0;
    // A message box with an OK button only, titled with the program's name.
    virtual void showMessage(const std::string& text) = 0;
    // A question with two answers; true for `yes`.
    virtual bool ask(const std::string& text, const std::string& yes, const std::string& no) = 0;
    // The entry the form is to show; none for a new one.
    virtual std::optional<std::int64_t> selectedId() const = 0;
    // The form is leaving: the list must be rebuilt and the main window shown.
    virtual void inputFormDone() = 0;
    // The form added, changed or deleted an entry; `what` names it for undo ("新規登録").
    virtual void entriesChanged(const std::string& what) = 0;
};

// The input form: one entry's name, three numbers and three mail addresses with their types.
class Form2 : public QWidget {
    Q_OBJECT
  public:
    explicit Form2(FormHost& host);

    // What the boxes hold now.
    FormContent content() const;

    QLabel* Label1;         // 名前
    QLabel* Label3;         // 電話番号
    QLabel* Label4;         // E-MAIL
    QLineEdit* Text1;       // 名前
    QLineEdit* Text3;       // 電話番号 1
    QLineEdit* Text4;       // 電話番号 2
    QLineEdit* Text5;       // 電話番号 3
    QLineEdit* Text6;       // E-MAIL 1
    QLineEdit* Text7;       // E-MAIL 2
    QLineEdit* Text8;       // E-MAIL 3
    QComboBox* Combo1;      // 電話番号 1 の種類
    QComboBox* Combo2;      // 電話番号 2 の種類
    QComboBox* Combo3;      // 電話番号 3 の種類
    QComboBox* Combo4;      // E-MAIL 1 の種類
    QComboBox* Combo5;      // E-MAIL 2 の種類
    QComboBox* Combo6;      // E-MAIL 3 の種類
    QPushButton* Command1;  // 新規登録
    QPushButton* Command2;  // 更　新
    QPushButton* Command3;  // 削　除
    QPushButton* Command4;  // 閉じる

  public slots:
    void Command1_Click();
    void Command2_Click();
    void Command3_Click();
    void Command4_Click();

  protected:
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void Form_Load();
    void FillTypeLists();
    void LoadEntry();
    void showContent(const FormContent& form);
    void handBack();
    // The form's content ready to save, or nothing when a box holds what cannot be saved (the
    // user is told which and why).
    std::optional<FormContent> checkedContent();
    // Runs one button's store work; a failure is shown and the form stays open.
    bool storeWork(const std::function<void()>& work);
    void layOut();

    FormHost& app_;
    std::string notice_;      // told once the form is on the screen
    std::string loadedName_;  // the name as the entry held it, asked about only when changed
    bool handedBack_ = false;
};

}  // namespace tsunagi
