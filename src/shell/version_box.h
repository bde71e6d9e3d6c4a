#pragma once

#include <QDialog>
#include <QIcon>
#include <QLabel>
#include <QPushButton>
#include <string>

#include "commands/user_interface.h"

namespace tsunagi {

inline constexpr const char* kHomePage = "https://tsunagi.example.jp/";
inline constexpr const char* kAuthor = "Tsunagi Project";

// The version box's texts.
std::string aboutCaption();
std::string aboutVersionLabel();
std::string aboutDescription();

// The program's icon, drawn rather than shipped: a small phone with a lit screen.
QIcon programIcon();

// The version box: title, version, what the tool is for, the author and the home page.
class frmAbout : public QDialog {
    Q_OBJECT
  public:
    frmAbout(UserInterface& ui, QWidget* parent = nullptr);

    QLabel* picIcon;         // the program's icon
    QLabel* lblTitle;        // Tsunagi
    QLabel* lblVersion;      // ﾊﾞｰｼﾞｮﾝ 1.0.0
    QLabel* lblDescription;  // V401SHのﾒﾓﾘﾀﾞｲﾔﾙﾃﾞｰﾀを…
    QLabel* Label1;          // ホームページ
    QLabel* Label2;          // the home page's address, a link
    QPushButton* cmdOK;      // OK

  public slots:
    void cmdOK_Click();
    void Label2_Click();

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void Form_Load();

    UserInterface& ui_;
};

}  // namespace tsunagi
