#include "shell/main_window.h"

#include <QApplication>
#include <QCloseEvent>
#include <QGuiApplication>
#include <QMenuBar>
#include <QScreen>

#include "commands/open_command.h"
#include "commands/save_command.h"
#include "merge/merge_dialog.h"
#include "platform/error.h"
#include "platform/program_name.h"
#include "shell/application.h"
#include "shell/version_box.h"
#include "store/entry_list.h"

namespace tsunagi {

std::string mainWindowCaption() { return std::string(kAppTitle) + versionText(); }

std::string helpPagePath(const std::string& programFolder) {
    return programFolder + "/help/help.html";
}

Form1::Form1(App& app) : app_(app) {
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint);
    setWindowIcon(programIcon());

    auto* client = new QWidget(this);
    setCentralWidget(client);
    Label2 = new QLabel("名前", client);
    Label2->setGeometry(twips(240), twips(120), twips(495), twips(255));
    Label1 = new QLabel(client);
    Label1->setGeometry(twips(840), twips(120), twips(1215), twips(255));
    List1 = new QListWidget(client);
    List1->setSelectionMode(QAbstractItemView::SingleSelection);
    // The id stands far to the right of each line, out of sight; it must stay so.
    List1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    List1->setTextElideMode(Qt::ElideNone);
    List1->setUniformItemSizes(true);
    // A double-click opens the entry, and so does Enter for those who use the keyboard.
    connect(List1, &QListWidget::itemActivated, this, &Form1::List1_DblClick);

    buildMenus();

    // The menu bar must show all three menus, and a window manager's title bar the caption
    // beside its icon and buttons; where they need more than the list's width the window and
    // the list grow with it.
    // (Title bars draw in bold, and give their icon and three buttons some 150 pixels.)
    QFont titleFont = QApplication::font();
    titleFont.setBold(true);
    int caption =
        QFontMetrics(titleFont).horizontalAdvance(QString::fromStdString(mainWindowCaption()));
    int width = std::max({twips(2220), menuBar()->sizeHint().width() + 6, caption + 150});
    int height = twips(2430);
    List1->setGeometry(0, twips(360), width - (twips(2220) - twips(2175)), twips(2040));
    client->setFixedSize(width, height);
    setFixedSize(width, height + menuBar()->sizeHint().height());
    if (QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());

    Form_Load();
}

void Form1::buildMenus() {
    m0 = menuBar()->addMenu("メニュー");
    m1 = m0->addAction("ファイルを開く", this, &Form1::m1_Click);
    m3 = m0->addAction("登録ﾌｫｰﾑを開く", this, &Form1::m3_Click);
    m2 = m0->addAction("終了", this, &Form1::m2_Click);
    l0 = menuBar()->addMenu("リスト");
    l1 = l0->addAction("データのクリア", this, &Form1::l1_Click);
    l2 = l0->addAction("データの保存", this, &Form1::l2_Click);
    mergeDuplicatesItem = l0->addAction("重複をまとめる…", this, &Form1::mergeDuplicatesClicked);
    s0 = menuBar()->addMenu("その他");
    s1 = s0->addAction("ヘルプ", this, &Form1::s1_Click);
    s2 = s0->addAction("バージョン情報", this, &Form1::s2_Click);
}

void Form1::Form_Load() {
    setWindowTitle(QString::fromStdString(mainWindowCaption()));
    Module1& module1 = app_.module1();
    if (module1.ListRefreshPending) {
        RefreshList();
        module1.ListRefreshPending = false;
    }
}

void Form1::RefreshList() {
    try {
        std::vector<std::string> lines = readEntryList(app_.store());
        QStringList items;
        items.reserve(static_cast<qsizetype>(lines.size()));
        for (const std::string& line : lines) items << QString::fromStdString(line);
        // The list and its count change together.
        List1->clear();
        List1->addItems(items);
        Label1->setText(QString::fromStdString(countLabel(static_cast<int>(lines.size()))));
    } catch (const TsunagiError& error) {
        app_.ui().showMessage(error.what());
    }
}

void Form1::m1_Click() {
    // The list stays as it is while the dialogs are up; a failed import leaves it so.
    if (runOpenCommand(app_.commandContext(), app_.importProgress(this)) > 0) app_.entriesChanged();
    // Whatever came of it, the list shows the store as it is now.
    RefreshList();
}

void Form1::m2_Click() { close(); }

void Form1::m3_Click() { app_.showInputForm(std::nullopt); }

void Form1::l1_Click() {
    try {
        if (List1->count() > 0) app_.entriesChanged();
        clearStore(app_.store());
        List1->clear();
        Label1->clear();
    } catch (const TsunagiError& error) {
        app_.ui().showMessage(error.what());
    }
}

void Form1::l2_Click() {
    if (runSaveCommand(app_.commandContext())) app_.entriesSaved();
}

void Form1::mergeDuplicatesClicked() {
    try {
        std::vector<DuplicateGroup> groups = findDuplicates(app_.store());
        if (groups.empty()) {
            app_.ui().showMessage("重複しているデータは見つかりませんでした。");
            return;
        }
        MergeDialog dialog(std::move(groups), this);
        if (dialog.exec() != QDialog::Accepted) return;
        MergeResult result = mergeDuplicates(app_.store(), dialog.checkedGroups());
        if (result.entriesBefore > 0) app_.entriesChanged();
        RefreshList();
        app_.ui().showMessage(describeMerge(result));
    } catch (const TsunagiError& error) {
        RefreshList();
        app_.ui().showMessage("重複をまとめられませんでした。何も変更していません。\n" +
                              std::string(error.what()));
    }
}

void Form1::closeEvent(QCloseEvent* event) {
    if (!app_.switchingToForm() && app_.hasUnsavedChanges() &&
        !app_.ui().ask("保存されていない変更があります。終了しますか？", "終了", "キャンセル")) {
        event->ignore();
        return;
    }
    event->accept();
}

void Form1::s1_Click() {
    if (!app_.ui().openWithDesktop(helpPagePath(app_.module1().programFolder)))
        app_.ui().showMessage(kHelpFailureMessage);
}

void Form1::s2_Click() {
    frmAbout about(app_.ui(), this);
    about.exec();
}

void Form1::List1_DblClick() {
    QListWidgetItem* item = List1->currentItem();
    if (!item) return;
    std::optional<std::int64_t> id = idFromListLine(item->text().toStdString());
    if (!id) return;
    app_.showInputForm(id);
}

}  // namespace tsunagi
