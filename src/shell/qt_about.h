#pragma once

#include <QDialog>
#include <QIcon>
#include <QLabel>
#include <QPushButton>

#include "platform/user_interface.h"

namespace tsunagi {

// The program's icon, drawn rather than shipped: a small phone with a lit screen.
QIcon programIcon();

// The version box: title, version, what the tool is for, the author and the home page.
class frmAbout : public QDialog {
    Q_OBJECT
  public:
    frmAbout(UserInterface& ui, QWidget* parent = nullptr);

    QLabel* picIcon;
    QLabel* lblTitle;
    QLabel* lblVersion;
    QLabel* lblDescription;
    QLabel* Label1;
    QLabel* Label2;
    QPushButton* cmdOK;

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
