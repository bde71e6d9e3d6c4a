#pragma once

#include <QComboBox>
#include <functional>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QWidget>

#include "editor/entry_form.h"

namespace tsunagi {

class App;

// The input form: one entry's name, three numbers and three mail addresses with their types.
class Form2 : public QWidget {
    Q_OBJECT
  public:
    explicit Form2(App& app);

    // What the boxes hold now.
    FormContent content() const;

    QLabel* Label1;
    QLabel* Label3;
    QLabel* Label4;
    QLineEdit* Text1;
    QLineEdit* Text3;
    QLineEdit* Text4;
    QLineEdit* Text5;
    QLineEdit* Text6;
    QLineEdit* Text7;
    QLineEdit* Text8;
    QComboBox* Combo1;
    QComboBox* Combo2;
    QComboBox* Combo3;
    QComboBox* Combo4;
    QComboBox* Combo5;
    QComboBox* Combo6;
    QPushButton* Command1;
    QPushButton* Command2;
    QPushButton* Command3;
    QPushButton* Command4;

  public slots:
    void Command1_Click();
    void Command2_Click();
    void Command3_Click();
    void Command4_Click();

  protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void Form_Load();
    void FillTypeLists();
    void LoadEntry();
    void showContent(const FormContent& form);
    void handBack();
    // Runs one button's store work; a failure is shown and the form stays open.
    bool storeWork(const std::function<void()>& work);
    void layOut();

    App& app_;
    bool handedBack_ = false;
};

}  // namespace tsunagi
