#include "commands/undo_history.h"

namespace tsunagi {

namespace {

StoreSnapshot snapshotOf(const Store& store) {
    Connection connection = store.open();
    return takeSnapshot(connection);
}

}  // namespace

void UndoHistory::reset(const Store& store) {
    undo_.clear();
    redo_.clear();
    current_ = snapshotOf(store);
}

void UndoHistory::changed(const Store& store, const std::string& what) {
    undo_.push_back({what, std::move(current_)});
    redo_.clear();
    current_ = snapshotOf(store);
    bound();
}

void UndoHistory::undo(const Store& store) { cross(store, undo_, redo_); }

void UndoHistory::redo(const Store& store) { cross(store, redo_, undo_); }

void UndoHistory::cross(const Store& store, std::deque<Step>& from, std::deque<Step>& to) {
    if (from.empty()) return;
    {
        Connection connection = store.open();
        restoreSnapshot(connection, from.back().list);
    }
    Step step = std::move(from.back());
    from.pop_back();
    to.push_back({step.what, std::move(current_)});
    current_ = std::move(step.list);
}

void UndoHistory::bound() {
    // The oldest steps go first, once there are more than the steps promised and more than
    // the budget holds.
    size_t bytes = current_.bytes;
    for (const Step& step : undo_) bytes += step.list.bytes;
    while (undo_.size() > kSteps && bytes > budget_) {
        bytes -= undo_.front().list.bytes;
        undo_.pop_front();
    }
}

}  // namespace tsunagi
