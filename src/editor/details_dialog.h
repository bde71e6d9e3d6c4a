#pragma once

// "詳細の編集": what an entry holds beyond the phone's fields, a row each (its kind and its
// text), to add, change and remove.

#include <QDialog>
#include <QPushButton>
#include <QTableWidget>
#include <vector>

#include "editor/details.h"

namespace tsunagi {

class DetailsDialog : public QDialog {
    Q_OBJECT
  public:
    DetailsDialog(const QString& name, const std::vector<Detail>& details, QWidget* parent);

    // The rows as they stand, empty ones left out.
    std::vector<Detail> details() const;

    QTableWidget* table;        // kind, text
    QPushButton* addButton;     // 行を追加
    QPushButton* removeButton;  // 行を削除

    // OK: every row is checked first; a row that cannot be stored is said and the dialog stays
    // open on it. Esc or キャンセル with changes asks before they are thrown away.
    void accept() override;
    void reject() override;

  private:
    void addRow(DetailKind kind, const QString& value);

    std::vector<Detail> before_;  // the rows as the dialog opened
};

}  // namespace tsunagi
