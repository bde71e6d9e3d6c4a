#pragma once

#include <QLabel>
#include <QListWidget>
#include <QMainWindow>
#include <QMenu>
#include <string>

namespace tsunagi {

class App;

std::string mainWindowCaption();  // "Tsunagi1.0.0"

// The help page's path and the message shown when it cannot be opened.
std::string helpPagePath(const std::string& programFolder);
inline constexpr const char* kHelpFailureMessage = "開けるアプリケーション\r\nがありません";

// The main window: the entry list, its count, and the menus that reach every command.
class Form1 : public QMainWindow {
    Q_OBJECT
  public:
    explicit Form1(App& app);

    void RefreshList();

    QLabel* Label1;                // the count, "N件"
    QLabel* Label2;                // 名前
    QListWidget* List1;            // one line per entry
    QMenu* m0;                     // メニュー
    QMenu* l0;                     // リスト
    QMenu* s0;                     // その他
    QAction* m1;                   // ファイルを開く
    QAction* m3;                   // 登録ﾌｫｰﾑを開く
    QAction* m2;                   // 終了
    QAction* l1;                   // データのクリア
    QAction* l2;                   // データの保存
    QAction* mergeDuplicatesItem;  // 重複をまとめる…
    QAction* s1;                   // ヘルプ
    QAction* s2;                   // バージョン情報

  public slots:
    void m1_Click();
    void m2_Click();
    void m3_Click();
    void l1_Click();
    void l2_Click();
    void mergeDuplicatesClicked();
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
