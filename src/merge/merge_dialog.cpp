#include "merge/merge_dialog.h"

#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QScreen>
#include <QSignalBlocker>
#include <QVBoxLayout>
#include <algorithm>
#include <optional>

#include "card/dialect.h"
#include "platform/program_name.h"

namespace tsunagi {

namespace {

QString joined(const std::vector<std::string>& values) {
    QStringList list;
    for (const std::string& value : values) list << QString::fromStdString(value);
    return list.join(" / ");
}

QString groupCaption(const DuplicateGroup& group) {
    // What the entries share says at a glance why they are together.
    QString caption = group.kind == DuplicateKind::Same ? QString("同じ人（%1 件）：%2")
                      : group.kind == DuplicateKind::Possible
                          ? QString("同じ人かもしれません（%1 件）：%2")
                          : QString("同じ名前・別の情報（%1 件）：%2");
    auto asked =
        static_cast<size_t>(std::count_if(group.entries.begin(), group.entries.end(),
                                          [](const DuplicateEntry& entry) { return entry.asked; }));
    caption = caption.arg(group.entries.size() - asked).arg(QString::fromStdString(group.reason));
    // Those only possibly the same person come in the group unticked.
    if (asked > 0)
        caption += QString("　＋ 別の人かもしれません（%1 件、チェックするとまとめます）：%2")
                       .arg(asked)
                       .arg(QString::fromStdString(group.askedReason));
    if (group.beyondTheForm())
        caption +=
            QString(
                "　※まとめると電話番号 %1 件・メール %2 件。入力フォームには 3 件ずつ表示します")
                .arg(group.mergedNumbers)
                .arg(group.mergedMails);
    return caption;
}

}  // namespace

MergeDialog::MergeDialog(std::vector<DuplicateGroup> groups, QWidget* parent)
    : QDialog(parent), groups_(std::move(groups)) {
    setWindowTitle(QString(kAppTitle) + " - 重複をまとめる");
    auto* intro = new QLabel(
        "同じ人のデータをまとめます。チェックしたグループは 1 件にまとめ、電話番号・メール"
        "アドレス・メモ・会社・住所などはすべて残します。名前と読みは「この名前に」の印の"
        "ものを残します（初めは、姓と名が分かれた漢字の名前など、いちばんよいもの。"
        "キーボードでは N キー）。チェックを外したデータはまとめません。",
        this);
    intro->setWordWrap(true);
    Groups = new QTreeWidget(this);
    Groups->setColumnCount(6);
    Groups->setHeaderLabels({"名前", "読み", "会社", "電話番号", "メールアドレス", "この名前に"});
    Groups->setRootIsDecorated(true);
    // The items are built apart and handed to the tree at once, captions spanned while every
    // group is still closed, then all opened: item by item, each step would lay out the whole
    // tree again, and a store of one person read from many backups has groups thousands strong.
    QList<QTreeWidgetItem*> items;
    for (const DuplicateGroup& group : groups_) {
        auto* item = new QTreeWidgetItem;
        item->setText(0, groupCaption(group));
        item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
        item->setCheckState(0, group.sure() ? Qt::Checked : Qt::Unchecked);
        QList<QTreeWidgetItem*> rows;
        size_t best = bestNamedEntry(group);
        for (const DuplicateEntry& entry : group.entries) {
            if (rows.size() == kShownMembers) {
                // Past this many, more rows tell nothing more and would only cost memory.
                auto* rest = new QTreeWidgetItem;
                rest->setText(0, QString("…ほか %1 件").arg(group.entries.size() - kShownMembers));
                rest->setFlags(Qt::NoItemFlags);
                rows << rest;
                break;
            }
            auto* row = new QTreeWidgetItem;
            // As a person reads them, as the list shows them: "山田 太郎", not "山田;太郎".
            row->setText(0, QString::fromStdString(entry.fullName.empty() ? shownName(entry.name)
                                                                          : entry.fullName));
            row->setText(1, QString::fromStdString(shownName(entry.reading)));
            row->setText(2, QString::fromStdString(entry.company));
            row->setText(kNumbersColumn, joined(entry.numbers));
            row->setText(4, joined(entry.mails));
            // Each entry may be left out of its group; one of them gives the kept name.
            row->setFlags(row->flags() | Qt::ItemIsUserCheckable);
            row->setCheckState(0, entry.asked ? Qt::Unchecked : Qt::Checked);
            row->setCheckState(kNameColumn, static_cast<size_t>(rows.size()) == best
                                                ? Qt::Checked
                                                : Qt::Unchecked);
            rows << row;
        }
        item->addChildren(rows);
        items << item;
    }
    Groups->addTopLevelItems(items);
    for (QTreeWidgetItem* item : items) item->setFirstColumnSpanned(true);
    Groups->expandAll();
    // "この名前に" is one per group, as radio buttons are, and only on an entry that is merged:
    // an entry left out hands the mark to the first one that stays.
    connect(Groups, &QTreeWidget::itemChanged, this, [this](QTreeWidgetItem* item, int column) {
        if (!item->parent()) return;
        if (column == kNameColumn && item->checkState(column) == Qt::Checked) {
            markName(item);
        } else if (column == 0 && item->checkState(0) != Qt::Checked &&
                   item->checkState(kNameColumn) == Qt::Checked) {
            QTreeWidgetItem* group = item->parent();
            for (int i = 0; i < group->childCount(); ++i)
                if (QTreeWidgetItem* other = group->child(i); other != item &&
                                                              other->flags() != Qt::NoItemFlags &&
                                                              other->checkState(0) == Qt::Checked) {
                    markName(other);
                    break;
                }
        }
    });
    Groups->installEventFilter(this);
    Groups->header()->setSectionResizeMode(QHeaderView::ResizeToContents);

    mergeButton = new QPushButton("チェックしたグループをまとめる", this);
    closeButton = new QPushButton("閉じる", this);
    mergeButton->setDefault(true);
    connect(mergeButton, &QPushButton::clicked, this, &QDialog::accept);
    connect(closeButton, &QPushButton::clicked, this, &QDialog::reject);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(mergeButton);
    buttons->addWidget(closeButton);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(intro);
    layout->addWidget(Groups);
    layout->addLayout(buttons);
    // Wide enough for every column at its contents' width and for every group's caption,
    // within the screen.
    int columns = 0;
    for (int c = 0; c < Groups->columnCount(); ++c) {
        Groups->resizeColumnToContents(c);
        columns += Groups->columnWidth(c) + 12;
    }
    for (QTreeWidgetItem* item : items)
        columns = std::max(columns, Groups->fontMetrics().horizontalAdvance(item->text(0)) +
                                        Groups->indentation() + 48);
    int width = std::max(720, columns + 60);
    if (QScreen* screen = QGuiApplication::primaryScreen())
        width = std::min(width, screen->availableGeometry().width() - 40);
    resize(width, 420);
}

void MergeDialog::markName(QTreeWidgetItem* row) {
    QSignalBlocker blocker(Groups);
    QTreeWidgetItem* group = row->parent();
    for (int i = 0; i < group->childCount(); ++i)
        if (QTreeWidgetItem* other = group->child(i); other->flags() != Qt::NoItemFlags)
            other->setCheckState(kNameColumn, other == row ? Qt::Checked : Qt::Unchecked);
}

bool MergeDialog::eventFilter(QObject* watched, QEvent* event) {
    if (watched == Groups && event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(event)->key() == Qt::Key_N) {
        QTreeWidgetItem* row = Groups->currentItem();
        if (row && row->parent() && row->flags() != Qt::NoItemFlags) {
            if (row->checkState(0) != Qt::Checked) row->setCheckState(0, Qt::Checked);
            markName(row);
        }
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

std::vector<DuplicateGroup> MergeDialog::checkedGroups() const {
    std::vector<DuplicateGroup> checked;
    for (int i = 0; i < Groups->topLevelItemCount(); ++i) {
        QTreeWidgetItem* item = Groups->topLevelItem(i);
        if (item->checkState(0) != Qt::Checked) continue;
        DuplicateGroup group = groups_[static_cast<size_t>(i)];
        // Entries shown and unticked stay out; those past the shown ones go with the group.
        std::vector<DuplicateEntry> entries;
        std::optional<std::int64_t> marked;
        for (size_t e = 0; e < group.entries.size(); ++e) {
            QTreeWidgetItem* row = e < static_cast<size_t>(item->childCount())
                                       ? item->child(static_cast<int>(e))
                                       : nullptr;
            bool shown = row && row->flags() != Qt::NoItemFlags;
            if (shown && row->checkState(0) != Qt::Checked) continue;
            if (!shown && group.entries[e].asked) continue;
            if (shown && row->checkState(kNameColumn) == Qt::Checked) marked = group.entries[e].id;
            entries.push_back(group.entries[e]);
            entries.back().asked = false;  // ticked: taken in
        }
        group.entries = std::move(entries);
        // The user's own pick, where it is not the name the merge would keep anyway.
        if (marked && !group.entries.empty() && group.entries[bestNamedEntry(group)].id != *marked)
            group.nameFrom = marked;
        if (group.entries.size() > 1) checked.push_back(std::move(group));
    }
    return checked;
}

}  // namespace tsunagi
