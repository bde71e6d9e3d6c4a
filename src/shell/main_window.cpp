#include "shell/main_window.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMenuBar>
#include <QMimeData>
#include <QPainter>
#include <QScreen>
#include <QShortcut>
#include <QSignalBlocker>
#include <QStatusBar>
#include <QStyledItemDelegate>
#include <QTemporaryDir>
#include <QTextBrowser>
#include <QToolTip>
#include <QUrl>
#include <algorithm>
#include <unordered_map>
#include <unordered_set>

#include "card/person_details.h"
#include "card/unicode.h"
#include "commands/open_command.h"
#include "commands/save_command.h"
#include "editor/details_dialog.h"
#include "editor/entry_form.h"
#include "merge/merge_dialog.h"
#include "platform/error.h"
#include "platform/program_name.h"
#include "shell/application.h"
#include "shell/sync_window.h"
#include "shell/version_box.h"
#include "store/entry_list.h"

namespace tsunagi {

std::string mainWindowCaption() { return std::string(kAppTitle) + versionText(); }

std::string helpPagePath(const std::string& programFolder) {
    return programFolder + "/help/help.html";
}

std::string lossySaveQuestion(const std::string& action) {
    return "保存したファイルには入らなかった項目があります（さきほどのお知らせのとおり）。このま"
           "ま" +
           action + "すると、それらは失われます。\nvCard 3.0 で保存すれば、すべて残ります。";
}

std::string unsavedWorkQuestion(const std::string& action) {
    return "保存されていない変更があります。" + action +
           "しますか？\nリストは次の起動時に空になります。";
}

namespace {

// The list's place in the window, in the layout's own units.
constexpr int kListTop = 360;  // twips below the client area's top
// From this width (pixels of the client area) the entry's card is shown beside the list.
constexpr int kDetailsFromWidth = 560;
// From this width of the list itself its lines show columns.
constexpr int kColumnsFromWidth = 480;
// The columns' shares of a wide list's width, in percent: name, reading, number, mail, company.
constexpr int kColumnShares[] = {24, 20, 18, 22, 16};
constexpr int kColumnsRole = Qt::UserRole + 1;
constexpr int kReadingKeyRole = Qt::UserRole + 2;
constexpr int kListRightGap = 45;   // twips between the list and the client area's right
constexpr int kListBottomGap = 30;  // twips between the list and the client area's bottom

// Draws a list line without its id: the line form pads the id out of sight at the list's own
// width, and a wider window must not bring it into sight.
// A wide list shows each entry's columns (its whole name, reading, first number and mail,
// company) in place of the line.
class LineWithoutId : public QStyledItemDelegate {
  public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        QStringList columns = index.data(kColumnsRole).toStringList();
        if (columns.isEmpty()) {
            QStyledItemDelegate::paint(painter, option, index);
            return;
        }
        QStyleOptionViewItem item = option;
        initStyleOption(&item, index);
        item.text.clear();
        const QWidget* widget = option.widget;
        QStyle* style = widget ? widget->style() : QApplication::style();
        style->drawControl(QStyle::CE_ItemViewItem, &item, painter, widget);
        painter->save();
        painter->setPen(item.palette.color(
            item.state & QStyle::State_Selected ? QPalette::HighlightedText : QPalette::Text));
        int x = option.rect.x() + 4;
        for (qsizetype c = 0; c < columns.size() && c < 5; ++c) {
            int width = option.rect.width() * kColumnShares[c] / 100;
            QRect cell(x, option.rect.y(), width - 6, option.rect.height());
            painter->drawText(
                cell, Qt::AlignVCenter | Qt::AlignLeft,
                option.fontMetrics.elidedText(columns[c], Qt::ElideRight, cell.width()));
            x += width;
        }
        painter->restore();
    }

  protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override {
        QStyledItemDelegate::initStyleOption(option, index);
        qsizetype id = option->text.lastIndexOf("<>");
        if (id >= 0) option->text.truncate(id);
    }
};

std::vector<std::string> localFiles(const QMimeData* data) {
    std::vector<std::string> paths;
    if (!data || !data->hasUrls()) return paths;
    for (const QUrl& url : data->urls())
        if (url.isLocalFile()) paths.push_back(url.toLocalFile().toStdString());
    return paths;
}

}  // namespace

Form1::Form1(App& app) : app_(app) {
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint | Qt::WindowMinMaxButtonsHint);
    setWindowIcon(programIcon());
    setAcceptDrops(true);

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
    List1->setItemDelegate(new LineWithoutId(List1));
    // A double-click opens the entry, and so does Enter for those who use the keyboard.
    connect(List1, &QListWidget::itemActivated, this, &Form1::List1_DblClick);
    List1->installEventFilter(this);              // Delete
    List1->viewport()->installEventFilter(this);  // tooltips
                                                  // The selected entry whole, beside the list once
                                                  // the window is wide enough for both.
    detailsView = new QTextBrowser(client);
    detailsView->setOpenLinks(false);
    detailsView->hide();
    connect(List1, &QListWidget::currentRowChanged, this, &Form1::showDetails);
    for (const char* heading : {"名前", "読み", "電話番号", "メール", "会社"}) {
        auto* label = new QLabel(heading, client);
        label->hide();
        columnHeadings_.push_back(label);
    }
    searchBox = new QLineEdit(client);
    searchBox->setPlaceholderText("名前・読み・電話番号・メールで絞り込み（Esc で解除）");
    searchBox->setClearButtonEnabled(true);
    searchBox->hide();
    searchBox->installEventFilter(this);  // Esc
    connect(searchBox, &QLineEdit::textChanged, this, &Form1::applySearch);

    buildMenus();

    // The window opens at the layout's size; it may grow, and the list grows with it. The
    // menu bar must show all three menus, and a window manager's title bar the caption beside
    // its icon and buttons; where they need more than the list's width the window is wider.
    // (Title bars draw in bold, and give their icon and three buttons some 150 pixels.)
    QFont titleFont = QApplication::font();
    titleFont.setBold(true);
    int caption =
        QFontMetrics(titleFont).horizontalAdvance(QString::fromStdString(mainWindowCaption()));
    int width = std::max({twips(2220), menuBar()->sizeHint().width() + 6, caption + 150});
    // The status bar says what a save wrote where; it is there from the start so that the
    // list keeps its size.
    int height = twips(2430) + menuBar()->sizeHint().height() + statusBar()->sizeHint().height();
    setMinimumSize(width, height);
    resize(width, height);
    layOutList();
    if (QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());

    Form_Load();
}

void Form1::layOutList() {
    QWidget* client = centralWidget();
    int width = client->width() - twips(kListRightGap);
    int top = twips(kListTop);
    if (searchBox->isVisible()) {
        int boxHeight = searchBox->sizeHint().height();
        searchBox->setGeometry(0, top, width, boxHeight);
        top += boxHeight + 2;
    }
    // At its first size the window is the list alone; wider, the list keeps a good part and
    // the entry's card takes the rest, and a list wide enough shows its entries in columns
    // under a heading of its own.
    bool wide = client->width() >= kDetailsFromWidth;
    int listWidth = wide ? std::max(twips(2220) - twips(kListRightGap), width * 11 / 20) : width;
    bool columns = wide && listWidth >= kColumnsFromWidth;
    int listTop = top;
    if (columns) {
        int x = 4;
        for (size_t c = 0; c < columnHeadings_.size(); ++c) {
            int share = listWidth * kColumnShares[c] / 100;
            columnHeadings_[c]->setGeometry(x, top, share - 6,
                                            columnHeadings_[c]->sizeHint().height());
            x += share;
        }
        listTop += columnHeadings_.front()->sizeHint().height() + 2;
    }
    for (QLabel* heading : columnHeadings_) heading->setVisible(columns);
    int height = std::max(0, client->height() - listTop - twips(kListBottomGap));
    List1->setGeometry(0, listTop, listWidth, height);
    if (wide)
        detailsView->setGeometry(listWidth + 6, top, width - listWidth - 6,
                                 client->height() - top - twips(kListBottomGap));
    if (wide != detailsView->isVisible()) {
        detailsView->setVisible(wide);
        if (wide) showDetails();
    }
    if (columns != columnsShown_) {
        columnsShown_ = columns;
        showColumns();
    }
}

void Form1::showColumns() {
    std::unordered_map<std::int64_t, QStringList> byId;
    std::unordered_map<std::int64_t, QString> keys;
    if (columnsShown_ || sortByReading->isChecked()) {
        try {
            for (const ListColumns& entry : readListColumns(app_.store())) {
                byId[entry.id] = {
                    QString::fromStdString(entry.name), QString::fromStdString(entry.reading),
                    QString::fromStdString(entry.number), QString::fromStdString(entry.mail),
                    QString::fromStdString(entry.company)};
                keys[entry.id] = QString::fromStdString(entry.readingKey);
            }
        } catch (const TsunagiError& error) {
            app_.ui().showMessage(error.what());
        }
    }
    sortList([&](std::int64_t id, QVariant& columns, QVariant& key) {
        bool known = id && byId.count(id);
        columns = columnsShown_ && known ? QVariant(byId[id]) : QVariant();
        key = known ? QVariant(keys[id]) : QVariant();
    });
}

void Form1::sortList(const std::function<void(std::int64_t, QVariant&, QVariant&)>& dataFor) {
    // Sorted by reading only while the user asks; the list's own order is the entries' order.
    // The lines are made anew in their order, out of the view's sight: taking items out one by
    // one costs the view a step for each, and the card beside the list is shown once, for the
    // entry still current, not once for every entry that passes.
    struct Held {
        QString text;
        std::int64_t id;
        QVariant columns, key;
        QString order;  // the reading key, once
    };
    std::vector<Held> rows;
    rows.reserve(static_cast<size_t>(List1->count()));
    std::optional<std::int64_t> currentId;
    for (int i = 0; i < List1->count(); ++i) {
        QListWidgetItem* item = List1->item(i);
        Held row{item->text(), idFromListLine(item->text().toStdString()).value_or(0),
                 item->data(kColumnsRole), item->data(kReadingKeyRole), QString()};
        if (dataFor) dataFor(row.id, row.columns, row.key);
        row.order = row.key.toString();
        if (item == List1->currentItem()) currentId = row.id;
        rows.push_back(std::move(row));
    }
    if (sortByReading->isChecked())
        std::stable_sort(rows.begin(), rows.end(),
                         [](const Held& a, const Held& b) { return a.order < b.order; });
    else
        std::stable_sort(rows.begin(), rows.end(),
                         [](const Held& a, const Held& b) { return a.id < b.id; });
    QListWidgetItem* current = nullptr;
    {
        QSignalBlocker quiet(List1);
        List1->setUpdatesEnabled(false);
        List1->clear();
        for (Held& row : rows) {
            auto* item = new QListWidgetItem(row.text);
            item->setData(kColumnsRole, row.columns);
            item->setData(kReadingKeyRole, row.key);
            List1->addItem(item);
            if (currentId && row.id == *currentId) current = item;
        }
        if (current) List1->setCurrentItem(current);
        List1->setUpdatesEnabled(true);
    }
    if (current) List1->scrollToItem(current);
    if (searchBox->isVisible()) applySearch();
}

void Form1::showDetails() {
    if (!detailsView->isVisible()) return;
    QListWidgetItem* item = List1->currentItem();
    std::optional<std::int64_t> id =
        item ? idFromListLine(item->text().toStdString()) : std::optional<std::int64_t>();
    if (!id) {
        detailsView->clear();
        return;
    }
    try {
        Connection connection = app_.store().open();
        std::optional<EntryRow> row = readEntry(connection, *id);
        if (!row) {
            detailsView->clear();
            return;
        }
        QString html = "<table cellspacing='0' cellpadding='3'>";
        for (const DetailLine& line : detailLines(readPerson(*row)))
            html += "<tr><td style='color:#555555; padding-right:12px' valign='top'>" +
                    QString::fromStdString(line.label).toHtmlEscaped() + "</td><td>" +
                    QString::fromStdString(line.value).toHtmlEscaped().replace("\n", "<br>") +
                    "</td></tr>";
        detailsView->setHtml(html + "</table>");
    } catch (const TsunagiError& error) {
        detailsView->setPlainText(QString::fromStdString(error.what()));
    }
}

void Form1::resizeEvent(QResizeEvent* event) {
    QMainWindow::resizeEvent(event);
    layOutList();
}

void Form1::buildMenus() {
    m0 = menuBar()->addMenu("メニュー");
    m1 = m0->addAction("ファイルを開く", this, &Form1::m1_Click);
    m3 = m0->addAction("登録ﾌｫｰﾑを開く", this, &Form1::m3_Click);
    m2 = m0->addAction("終了", this, &Form1::m2_Click);
    l0 = menuBar()->addMenu("リスト");
    l1 = l0->addAction("データのクリア", this, &Form1::l1_Click);
    l2 = l0->addAction("データの保存", this, &Form1::l2_Click);
    // Items of our own have access keys in the Japanese way; the original captions stay as given.
    mergeDuplicatesItem =
        l0->addAction("重複をまとめる(&M)…", this, &Form1::mergeDuplicatesClicked);
    findItem = l0->addAction("検索(&F)…", this, &Form1::findClicked);
    l0->addSeparator();
    l0->addAction("アドレス帳と同期(&Y)…", this, [this] {
        syncWithAddressBook(app_, this);
        RefreshList();
    });
    l0->addAction("アドレス帳から読み込む(&B)…", this, [this] {
        QTemporaryDir folder;
        if (!folder.isValid()) return;
        std::string path = fetchAddressBook(app_, this, folder.path().toStdString());
        if (!path.empty()) openFiles({path});
    });
    l0->addSeparator();
    detailsItem = l0->addAction("詳細の編集(&D)…", this, &Form1::editDetailsClicked);
    sortByReading = l0->addAction("読みの順に並べる(&O)");
    sortByReading->setCheckable(true);
    connect(sortByReading, &QAction::toggled, this, &Form1::showColumns);
    e0 = menuBar()->addMenu("編集(&E)");
    undoItem = e0->addAction("元に戻す(&U)", this, &Form1::undoClicked);
    redoItem = e0->addAction("やり直し(&R)", this, &Form1::redoClicked);
    connect(e0, &QMenu::aboutToShow, this, &Form1::showUndoNames);
    s0 = menuBar()->addMenu("その他");
    s1 = s0->addAction("ヘルプ", this, &Form1::s1_Click);
    s2 = s0->addAction("バージョン情報", this, &Form1::s2_Click);
    // The keys every desktop program has.
    m1->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_O));
    m3->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_N));
    m2->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
    l2->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_S));
    findItem->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_F));
    mergeDuplicatesItem->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_M));
    detailsItem->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_E));
    undoItem->setShortcut(QKeySequence::Undo);
    redoItem->setShortcuts(
        {QKeySequence(Qt::CTRL | Qt::Key_Y), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z)});
    // F10, as in every desktop program, opens the first menu; the arrows go on from there.
    auto* menuKey = new QShortcut(QKeySequence(Qt::Key_F10), this);
    connect(menuKey, &QShortcut::activated, this, &Form1::openMenuBar);
    showUndoNames();
    s1->setShortcut(QKeySequence(Qt::Key_F1));
}

void Form1::editDetailsClicked() {
    QListWidgetItem* item = List1->currentItem();
    std::optional<std::int64_t> id =
        item ? idFromListLine(item->text().toStdString()) : std::optional<std::int64_t>();
    if (!id) {
        app_.ui().showMessage("詳細を編集するデータをリストで選んでください。");
        return;
    }
    try {
        std::string name = entrySummary(app_.store(), *id);
        DetailsDialog dialog(QString::fromStdString(name.substr(0, name.find('\n'))),
                             readDetails(app_.store(), *id), this);
        if (dialog.exec() != QDialog::Accepted) return;
        if (writeDetails(app_.store(), *id, dialog.details())) app_.entriesChanged("詳細の編集");
    } catch (const TsunagiError& error) {
        app_.ui().showMessage(error.what());
    }
    RefreshList();
    selectEntry(*id);
    showDetails();
}

void Form1::openMenuBar() {
    menuBar()->setFocus(Qt::MenuBarFocusReason);
    menuBar()->setActiveAction(m0->menuAction());
}

void Form1::showUndoNames() {
    UndoHistory& history = app_.history();
    undoItem->setText(history.canUndo()
                          ? QString::fromStdString("元に戻す(&U): " + history.undoName())
                          : QString("元に戻す(&U)"));
    redoItem->setText(history.canRedo()
                          ? QString::fromStdString("やり直し(&R): " + history.redoName())
                          : QString("やり直し(&R)"));
    undoItem->setEnabled(history.canUndo());
    redoItem->setEnabled(history.canRedo());
}

void Form1::undoClicked() {
    if (!app_.history().canUndo()) return;
    app_.undo();
    RefreshList();
    showUndoNames();
}

void Form1::redoClicked() {
    if (!app_.history().canRedo()) return;
    app_.redo();
    RefreshList();
    showUndoNames();
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
    showUndoNames();
    try {
        std::vector<std::string> lines = readEntryList(app_.store());
        QStringList items;
        items.reserve(static_cast<qsizetype>(lines.size()));
        for (const std::string& line : lines) items << QString::fromStdString(line);
        // The list and its count change together.
        List1->clear();
        List1->addItems(items);
        entries_ = static_cast<int>(lines.size());
        countShown_ = true;
        searchEntries_.reset();
        if (columnsShown_ || sortByReading->isChecked()) showColumns();
        if (searchBox->isVisible()) applySearch();
        showCount();
    } catch (const TsunagiError& error) {
        app_.ui().showMessage(error.what());
    }
}

void Form1::showCount() {
    if (!countShown_) {
        Label1->clear();
        return;
    }
    if (!searchBox->isVisible() || searchBox->text().isEmpty()) {
        Label1->setText(QString::fromStdString(countLabel(entries_)));
        return;
    }
    int shown = 0;
    for (int i = 0; i < List1->count(); ++i) shown += List1->item(i)->isHidden() ? 0 : 1;
    Label1->setText(QString("%1/%2").arg(shown).arg(QString::fromStdString(countLabel(entries_))));
}

void Form1::selectEntry(std::int64_t id) {
    for (int i = 0; i < List1->count(); ++i) {
        QListWidgetItem* item = List1->item(i);
        if (idFromListLine(item->text().toStdString()) == id) {
            List1->setCurrentItem(item);
            List1->scrollToItem(item);
            return;
        }
    }
}

void Form1::openFiles(const std::vector<std::string>& paths) {
    int before = entries_;
    long added = tsunagi::openFiles(app_.commandContext(), paths, app_.importProgress(this));
    if (added > 0) app_.entriesChanged("読み込み (" + std::to_string(added) + " 件)");
    RefreshList();
    // The list shows where the new entries begin.
    if (added > 0 && before < List1->count()) {
        List1->setCurrentRow(before);
        List1->scrollToItem(List1->item(before), QAbstractItemView::PositionAtTop);
    }
}

void Form1::m1_Click() {
    // The list stays as it is while the dialogs are up; a failed import leaves it so.
    int before = entries_;
    long added = runOpenCommand(app_.commandContext(), app_.importProgress(this));
    if (added > 0) app_.entriesChanged("読み込み (" + std::to_string(added) + " 件)");
    // Whatever came of it, the list shows the store as it is now.
    RefreshList();
    if (added > 0 && before < List1->count()) {
        List1->setCurrentRow(before);
        List1->scrollToItem(List1->item(before), QAbstractItemView::PositionAtTop);
    }
}

void Form1::m2_Click() { close(); }

void Form1::m3_Click() { app_.showInputForm(std::nullopt); }

bool Form1::save(bool* leftOut) {
    bool lost = false;
    if (!runSaveCommand(app_.commandContext(), &lost)) return false;
    app_.entriesSaved(lost);
    if (leftOut) *leftOut = lost;
    return true;
}

bool Form1::mayLoseUnsavedWork(const std::string& action) {
    if (!app_.hasUnsavedChanges() && !app_.lastSaveLeftOut()) return true;
    if (app_.hasUnsavedChanges()) {
        size_t answer =
            app_.ui().choose(unsavedWorkQuestion(action), {"保存…", action, "キャンセル"});
        if (answer != 0) return answer == 1;
        bool leftOut = false;
        if (!save(&leftOut)) return false;
        if (!leftOut) return true;
    }
    // Goes on only when the work is safe in a file: after a save into a format that holds
    // less (now, or the last one, with nothing changed since), the user chooses again, and
    // going back is the default.
    for (;;) {
        size_t next =
            app_.ui().choose(lossySaveQuestion(action), {"すべて残す形式で保存…", action, "戻る"});
        if (next != 0) return next == 1;
        // vCard 3.0 holds everything an entry holds: offered first.
        if (std::optional<FileKind>* kind = app_.commandContext().lastSaveKind)
            *kind = FileKind::Vcard3;
        bool leftOut = false;
        if (!save(&leftOut)) return false;
        if (!leftOut) return true;
    }
}

void Form1::l1_Click() {
    if (!mayLoseUnsavedWork("クリア")) return;
    try {
        clearStore(app_.store());
        app_.entriesChanged("クリア");
        // Nothing that was not saved is lost any more.
        app_.entriesSaved();
        List1->clear();
        entries_ = 0;
        countShown_ = false;
        searchEntries_.reset();
        showCount();
    } catch (const TsunagiError& error) {
        app_.ui().showMessage(error.what());
    }
}

void Form1::l2_Click() { save(); }

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
        if (result.entriesBefore > 0)
            app_.entriesChanged("重複のまとめ (" + std::to_string(result.entriesBefore) + " 件)");
        RefreshList();
        // A message box of the screen's height at most: ten named, the rest counted.
        app_.ui().showMessage(describeMerge(result, 10));
    } catch (const TsunagiError& error) {
        RefreshList();
        app_.ui().showMessage("重複をまとめられませんでした。何も変更していません。\n" +
                              std::string(error.what()));
    }
}

void Form1::findClicked() {
    searchBox->show();
    layOutList();
    searchBox->setFocus();
    searchBox->selectAll();
}

void Form1::applySearch() {
    SearchQuery typed = searchQueryOf(searchBox->text().toStdString());
    if (!searchEntries_) {
        try {
            searchEntries_ = readSearchEntries(app_.store());
        } catch (const TsunagiError& error) {
            app_.ui().showMessage(error.what());
            return;
        }
    }
    std::unordered_set<std::int64_t> matching;
    for (const SearchEntry& entry : *searchEntries_)
        if (entryMatches(entry, typed)) matching.insert(entry.id);
    List1->setUpdatesEnabled(false);
    for (int i = 0; i < List1->count(); ++i) {
        QListWidgetItem* item = List1->item(i);
        std::optional<std::int64_t> id = idFromListLine(item->text().toStdString());
        item->setHidden(!id || !matching.count(*id));
    }
    List1->setUpdatesEnabled(true);
    // The entry selected is one the list shows: the first found where the search hid it (or
    // none was selected), none where nothing is found, so that the card beside the list and Ctrl+E
    // never speak of an entry out of sight.
    QListWidgetItem* current = List1->currentItem();
    if (!current || current->isHidden()) {
        QListWidgetItem* shown = nullptr;
        for (int i = 0; i < List1->count() && !shown; ++i)
            if (!List1->item(i)->isHidden()) shown = List1->item(i);
        List1->setCurrentItem(shown);
        if (!shown) showDetails();
    }
    showCount();
}

void Form1::endSearch() {
    searchBox->blockSignals(true);
    searchBox->clear();
    searchBox->blockSignals(false);
    searchBox->hide();
    for (int i = 0; i < List1->count(); ++i) List1->item(i)->setHidden(false);
    layOutList();
    showCount();
    List1->setFocus();
    if (QListWidgetItem* current = List1->currentItem()) List1->scrollToItem(current);
}

void Form1::deleteSelectedEntry() {
    QListWidgetItem* item = List1->currentItem();
    if (!item || item->isHidden()) return;
    std::optional<std::int64_t> id = idFromListLine(item->text().toStdString());
    if (!id) return;
    std::string name = entrySummary(app_.store(), *id);
    name = name.substr(0, name.find('\n'));
    if (!app_.ui().ask("「" + name + "」を削除しますか？", "削除", "キャンセル")) return;
    int row = List1->row(item);
    try {
        removeEntry(app_.store(), *id);
        app_.entriesChanged("削除");
    } catch (const TsunagiError& error) {
        app_.ui().showMessage(error.what());
    }
    RefreshList();
    // The place stays: the next line, or the last when the deleted one was last.
    if (List1->count() > 0) List1->setCurrentRow(std::min(row, List1->count() - 1));
}

bool Form1::eventFilter(QObject* watched, QEvent* event) {
    if (watched == List1 && event->type() == QEvent::KeyPress) {
        int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Delete) {
            deleteSelectedEntry();
            return true;
        }
        // Esc ends a search from the list too, where Down or Enter in the box led.
        if (key == Qt::Key_Escape && searchBox->isVisible()) {
            endSearch();
            return true;
        }
    }
    if (watched == searchBox && event->type() == QEvent::KeyPress) {
        int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Escape) {
            endSearch();
            return true;
        }
        if (key == Qt::Key_Down || key == Qt::Key_Return || key == Qt::Key_Enter) {
            List1->setFocus();
            for (int i = 0; i < List1->count(); ++i)
                if (!List1->item(i)->isHidden()) {
                    List1->setCurrentRow(i);
                    break;
                }
            return true;
        }
    }
    if (watched == List1->viewport() && event->type() == QEvent::ToolTip) {
        auto* help = static_cast<QHelpEvent*>(event);
        QListWidgetItem* item = List1->itemAt(help->pos());
        std::optional<std::int64_t> id =
            item ? idFromListLine(item->text().toStdString()) : std::nullopt;
        std::string summary;
        if (id) {
            try {
                summary = entrySummary(app_.store(), *id);
            } catch (const TsunagiError&) {
                // A tooltip is no place for a store's failure; the next action will say it.
            }
        }
        if (summary.empty())
            QToolTip::hideText();
        else
            QToolTip::showText(help->globalPos(), QString::fromStdString(summary), List1);
        return true;
    }
    return QMainWindow::eventFilter(watched, event);
}

void Form1::dragEnterEvent(QDragEnterEvent* event) {
    if (!localFiles(event->mimeData()).empty()) event->acceptProposedAction();
}

void Form1::dropEvent(QDropEvent* event) {
    std::vector<std::string> paths = localFiles(event->mimeData());
    if (paths.empty()) return;
    event->acceptProposedAction();
    openFiles(paths);
}

void Form1::closeEvent(QCloseEvent* event) {
    if (!app_.switchingToForm() && !mayLoseUnsavedWork("終了")) {
        event->ignore();
        return;
    }
    event->accept();
}

void Form1::s1_Click() {
    std::string page = helpPagePath(app_.module1().programFolder);
    // Without a program to show it, the page can still be opened by hand: say where it is.
    if (!app_.ui().openWithDesktop(page))
        app_.ui().showMessage(std::string(kHelpFailureMessage) + "\r\n\r\nヘルプのページ：" + page);
}

void Form1::s2_Click() {
    frmAbout about(app_.ui(), this);
    about.exec();
}

void Form1::List1_DblClick() {
    QListWidgetItem* item = List1->currentItem();
    if (!item || item->isHidden()) return;
    std::optional<std::int64_t> id = idFromListLine(item->text().toStdString());
    if (!id) return;
    app_.showInputForm(id);
}

}  // namespace tsunagi
