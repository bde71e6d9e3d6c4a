#pragma once

#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMainWindow>
#include <QMenu>
#include <QTextBrowser>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "card/entry_search.h"

namespace tsunagi {

class App;

std::string mainWindowCaption();  // "Tsunagi1.0.0"

// The help page's path and the message shown when it cannot be opened.
std::string helpPagePath(const std::string& programFolder);
inline constexpr const char* kHelpFailureMessage = "開けるアプリケーション\r\nがありません";

// The question asked before unsaved work would be lost (on quitting, on clearing the list).
std::string unsavedWorkQuestion(const std::string& action);
// The question after a save that left something out, before the action goes on.
std::string lossySaveQuestion(const std::string& action);

// The main window: the entry list, its count, and the menus that reach every command.
class Form1 : public QMainWindow {
    Q_OBJECT
  public:
    explicit Form1(App& app);

    void RefreshList();
    // Imports the files (dropped, named on the command line, passed by a second start) and
    // shows the first new entry.
    void openFiles(const std::vector<std::string>& paths);
    // Selects and shows the entry's line, if it is in the list.
    void selectEntry(std::int64_t id);

    QLabel* Label1;                // the count, "Nﾃﾞｰﾀ"
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
    QAction* findItem;             // 検索…
    QAction* detailsItem;          // 詳細の編集…
    QMenu* e0;                     // 編集
    QAction* undoItem;             // 元に戻す: …
    QAction* redoItem;             // やり直し: …
    QAction* s1;                   // ヘルプ
    QAction* s2;                   // バージョン情報
    QLineEdit* searchBox;          // over the list while a search is on
    QTextBrowser* detailsView;     // the selected entry whole, beside the list when wide
    QAction* sortByReading;        // 読みの順に並べる

  public slots:
    void m1_Click();
    void m2_Click();
    void m3_Click();
    void l1_Click();
    void l2_Click();
    void mergeDuplicatesClicked();
    void findClicked();
    void undoClicked();
    void editDetailsClicked();
    void redoClicked();
    void s1_Click();
    void s2_Click();
    void List1_DblClick();

  protected:
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void Form_Load();
    void buildMenus();
    void openMenuBar();
    // The selected entry's card in the view beside the list.
    void showDetails();
    // A wide list's columns, and the readings it may be sorted by.
    void showColumns();
    // Puts the lines in the order asked for; `dataFor` gives each entry's columns and reading key
    // anew where given.
    void sortList(const std::function<void(std::int64_t, QVariant&, QVariant&)>& dataFor = {});
    // The undo and redo items name what they take back or do again.
    void showUndoNames();
    void layOutList();
    // Asks before unsaved work would be lost, offering to save it first; true to go on.
    bool mayLoseUnsavedWork(const std::string& action);
    // Saves through the save command; true when a file was written.
    bool save(bool* leftOut = nullptr);
    void deleteSelectedEntry();
    void applySearch();
    void endSearch();
    void showCount();

    App& app_;
    int entries_ = 0;  // entries in the list, shown or not
    bool countShown_ = false;
    std::optional<std::vector<SearchEntry>> searchEntries_;  // read when a search begins
    bool columnsShown_ = false;
    std::vector<QLabel*> columnHeadings_;
};

}  // namespace tsunagi
