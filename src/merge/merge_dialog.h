#pragma once

#include <QDialog>
#include <QPushButton>
#include <QTreeWidget>
#include <vector>

#include "merge/duplicates.h"

namespace tsunagi {

// "重複をまとめる…": the groups found, side by side, a check box each (checked for the sure
// ones), and the buttons to merge the checked groups or to close.
class MergeDialog : public QDialog {
    Q_OBJECT
  public:
    MergeDialog(std::vector<DuplicateGroup> groups, QWidget* parent = nullptr);

    // A group shows this many of its entries and then how many more it has.
    static constexpr int kShownMembers = 100;
    static constexpr int kNumbersColumn = 3;
    static constexpr int kNameColumn = 5;  // この名前に

    // The groups whose box is checked when the dialog was accepted, without their unticked
    // entries, each with the entry whose name the user picked.
    std::vector<DuplicateGroup> checkedGroups() const;

    QTreeWidget* Groups;
    QPushButton* mergeButton;
    QPushButton* closeButton;

  protected:
    // N on an entry's row gives it the name, as a click on its "この名前に" does.
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    // Gives `row` the name mark of its group, and takes it from the others.
    void markName(QTreeWidgetItem* row);

    std::vector<DuplicateGroup> groups_;
};

}  // namespace tsunagi
