#pragma once

// Undo and redo of what changes the list: an import, a delete, the input form's new entry,
// update and delete, a details edit, a merge, the clear. Each step keeps the list as it was
// before it, so that going back is putting that list back, whatever the step did.

#include <deque>
#include <string>

#include "store/snapshot.h"
#include "store/store.h"

namespace tsunagi {

class UndoHistory {
  public:
    // At least this many steps back, and more while they fit in `byteBudget`.
    static constexpr size_t kSteps = 20;
    explicit UndoHistory(size_t byteBudget = size_t(256) << 20) : budget_(byteBudget) {}

    // The list as it is now is where the history starts (the program's start, an empty list).
    void reset(const Store& store);
    // The list was changed by `what` ("読み込み (12 件)"): the list before it becomes a step
    // back, and what was undone can no longer be redone.
    void changed(const Store& store, const std::string& what);

    bool canUndo() const { return !undo_.empty(); }
    bool canRedo() const { return !redo_.empty(); }
    // What the next undo or redo takes back or does again; "" when there is none.
    std::string undoName() const { return undo_.empty() ? "" : undo_.back().what; }
    std::string redoName() const { return redo_.empty() ? "" : redo_.back().what; }

    // Puts the list back as it was before the last step; the step can then be redone.
    void undo(const Store& store);
    void redo(const Store& store);

  private:
    struct Step {
        std::string what;
        StoreSnapshot list;  // the list on the other side of the step
    };
    void bound();
    // Puts back the list of the last step of `from`; the step then stands on `to`.
    void cross(const Store& store, std::deque<Step>& from, std::deque<Step>& to);

    size_t budget_;
    std::deque<Step> undo_, redo_;
    StoreSnapshot current_;
};

}  // namespace tsunagi
