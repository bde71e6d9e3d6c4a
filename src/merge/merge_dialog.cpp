#include "merge/merge_dialog.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QVBoxLayout>

#include "platform/program_name.h"

namespace tsunagi {

namespace {

QString joined(const std::vector<std::string>& values) {
    QStringList list;
    for (const std::string& value : values) list << QString::fromStdString(value);
    return list.join(" / ");
}

QString groupCaption(const DuplicateGroup& group) {
    QString caption = group.sure ? QString("同じ人（%1 件）")
                                 : QString("同じ人かもしれません（%1 件、番号かメールが共通）");
    caption = caption.arg(group.entries.size());
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
        "同じ人のデータをまとめます。チェックしたグループは、いちばん上のデータに電話番号と"
        "メールアドレスを集めて 1 件にします。",
        this);
    intro->setWordWrap(true);
    Groups = new QTreeWidget(this);
    Groups->setColumnCount(3);
    Groups->setHeaderLabels({"名前", "電話番号", "メールアドレス"});
    Groups->setRootIsDecorated(true);
    // The items are built apart and handed to the tree at once, captions spanned while every
    // group is still closed, then all opened: item by item, each step would lay out the whole
    // tree again, and a store of one person read from many backups has groups thousands strong.
    QList<QTreeWidgetItem*> items;
    for (const DuplicateGroup& group : groups_) {
        auto* item = new QTreeWidgetItem;
        item->setText(0, groupCaption(group));
        item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
        item->setCheckState(0, group.sure ? Qt::Checked : Qt::Unchecked);
        QList<QTreeWidgetItem*> rows;
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
            row->setText(0, QString::fromStdString(entry.name));
            row->setText(1, joined(entry.numbers));
            row->setText(2, joined(entry.mails));
            rows << row;
        }
        item->addChildren(rows);
        items << item;
    }
    Groups->addTopLevelItems(items);
    for (QTreeWidgetItem* item : items) item->setFirstColumnSpanned(true);
    Groups->expandAll();
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
    resize(720, 420);
}

std::vector<DuplicateGroup> MergeDialog::checkedGroups() const {
    std::vector<DuplicateGroup> checked;
    for (int i = 0; i < Groups->topLevelItemCount(); ++i)
        if (Groups->topLevelItem(i)->checkState(0) == Qt::Checked)
            checked.push_back(groups_[static_cast<size_t>(i)]);
    return checked;
}

}  // namespace tsunagi
