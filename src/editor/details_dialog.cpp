#include "editor/details_dialog.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMessageBox>
#include <QVBoxLayout>

#include "platform/error.h"
#include "platform/program_name.h"

namespace tsunagi {

namespace {

constexpr DetailKind kKinds[] = {DetailKind::Company, DetailKind::Title,   DetailKind::Birthday,
                                 DetailKind::Address, DetailKind::Website, DetailKind::Note,
                                 DetailKind::Group,   DetailKind::Photo};

}  // namespace

DetailsDialog::DetailsDialog(const QString& name, const std::vector<Detail>& details,
                             QWidget* parent)
    : QDialog(parent) {
    setWindowTitle(QString("詳細の編集 - ") + kAppTitle);
    auto* intro = new QLabel(name +
                                 "：電話機の項目（名前・電話番号・メール）のほかに持つもの。"
                                 "vCard 3.0 と Google 連絡先 CSV に書き出します。"
                                 "写真は画像ファイルの場所（/home/…/photo.jpg）を書きます。",
                             this);
    intro->setWordWrap(true);
    table = new QTableWidget(0, 2, this);
    table->setHorizontalHeaderLabels({"項目", "内容"});
    table->verticalHeader()->hide();
    table->horizontalHeader()->setStretchLastSection(true);
    for (const Detail& detail : details) addRow(detail.kind, QString::fromStdString(detail.value));
    addButton = new QPushButton("行を追加(&A)", this);
    removeButton = new QPushButton("行を削除(&R)", this);
    connect(addButton, &QPushButton::clicked, this, [this] {
        addRow(DetailKind::Company, "");
        table->setCurrentCell(table->rowCount() - 1, 1);
        table->editItem(table->item(table->rowCount() - 1, 1));
    });
    connect(removeButton, &QPushButton::clicked, this, [this] {
        if (table->currentRow() >= 0) table->removeRow(table->currentRow());
    });
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* rowButtons = new QHBoxLayout;
    rowButtons->addWidget(addButton);
    rowButtons->addWidget(removeButton);
    rowButtons->addStretch();
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(intro);
    layout->addWidget(table);
    layout->addLayout(rowButtons);
    layout->addWidget(buttons);
    table->setColumnWidth(0, 140);
    resize(640, 420);
    before_ = this->details();
}

void DetailsDialog::accept() {
    for (int row = 0; row < table->rowCount(); ++row) {
        auto* kinds = qobject_cast<QComboBox*>(table->cellWidget(row, 0));
        QTableWidgetItem* item = table->item(row, 1);
        if (!kinds || !item || item->text().trimmed().isEmpty()) continue;
        try {
            checkDetail({static_cast<DetailKind>(kinds->currentData().toInt()),
                         item->text().toStdString()});
        } catch (const TsunagiError& error) {
            QMessageBox::warning(this, kAppTitle, QString::fromStdString(error.reason()));
            table->setCurrentCell(row, 1);
            table->editItem(item);
            return;
        }
    }
    QDialog::accept();
}

void DetailsDialog::reject() {
    bool changed = false;
    std::vector<Detail> now = details();
    changed = now.size() != before_.size();
    for (size_t i = 0; !changed && i < now.size(); ++i)
        changed = now[i].kind != before_[i].kind || now[i].value != before_[i].value;
    if (changed) {
        QMessageBox box(QMessageBox::Question, kAppTitle, "変更した内容を破棄して閉じますか？",
                        QMessageBox::NoButton, this);
        QPushButton* discard = box.addButton("破棄して閉じる", QMessageBox::DestructiveRole);
        QPushButton* back = box.addButton("戻る", QMessageBox::RejectRole);
        box.setDefaultButton(back);
        box.setEscapeButton(back);
        box.exec();
        if (box.clickedButton() != discard) return;
    }
    QDialog::reject();
}

void DetailsDialog::addRow(DetailKind kind, const QString& value) {
    int row = table->rowCount();
    table->insertRow(row);
    auto* kinds = new QComboBox(table);
    for (DetailKind each : kKinds) {
        kinds->addItem(QString::fromUtf8(detailWord(each)), static_cast<int>(each));
        if (each == kind) kinds->setCurrentIndex(kinds->count() - 1);
    }
    table->setCellWidget(row, 0, kinds);
    table->setItem(row, 1, new QTableWidgetItem(value));
}

std::vector<Detail> DetailsDialog::details() const {
    std::vector<Detail> details;
    for (int row = 0; row < table->rowCount(); ++row) {
        auto* kinds = qobject_cast<QComboBox*>(table->cellWidget(row, 0));
        QTableWidgetItem* item = table->item(row, 1);
        if (!kinds || !item || item->text().trimmed().isEmpty()) continue;
        details.push_back(
            {static_cast<DetailKind>(kinds->currentData().toInt()), item->text().toStdString()});
    }
    return details;
}

}  // namespace tsunagi
