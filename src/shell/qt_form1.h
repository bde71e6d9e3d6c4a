#pragma once

#include <QLabel>
#include <QListWidget>
#include <QMainWindow>
#include <QMenu>

namespace tsunagi {

class App;

// The main window: the entry list, its count, and the menus that reach every command.
class Form1 : public QMainWindow {
    Q_OBJECT
  public:
    explicit Form1(App& app);

    void RefreshList();

    QLabel* Label1;  // entry count
    QLabel* Label2;  // heading over the list
    QListWidget* List1;
    QMenu* m0;
    QMenu* l0;
    QMenu* s0;
    QAction* m1;
    QAction* m3;
    QAction* m2;
    QAction* l1;
    QAction* l2;
    QAction* l3;
    QAction* s1;
    QAction* s2;

  public slots:
    void m1_Click();
    void m2_Click();
    void m3_Click();
    void l1_Click();
    void l2_Click();
    void l3_Click();
    void s1_Click();
    void s2_Click();
    void List1_DblClick();

  protected:
    void closeEvent(QCloseEvent* event) override;

  private:
    void Form_Load();
    void buildMenus();

    App& app_;
};

}  // namespace tsunagi
