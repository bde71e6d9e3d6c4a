#include "shell/application.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProgressDialog>

#include "card/memory_card_folder.h"
#include "editor/input_form_window.h"
#include "platform/text.h"
#include "shell/main_window.h"

namespace tsunagi {

App::App(Store store, Module1 module1, UserInterface& ui)
    : cardRoots(defaultCardRoots()),
      store_(std::move(store)),
      module1_(std::move(module1)),
      ui_(ui) {
    try {
        history_.reset(store_);
    } catch (const TsunagiError&) {
        // A store that cannot be read now says so at the first list; the history starts empty.
    }
}

void App::entriesChanged(const std::string& what) {
    unsavedChanges_ = true;
    formChangedEntries_ = true;
    try {
        history_.changed(store_, what);
    } catch (const TsunagiError& error) {
        ui_.showMessage("この変更は元に戻せません。\n" + std::string(error.what()));
    }
}

void App::undo() { goThroughHistory(&UndoHistory::undo); }

void App::redo() { goThroughHistory(&UndoHistory::redo); }

void App::goThroughHistory(void (UndoHistory::*step)(const Store&)) {
    try {
        (history_.*step)(store_);
        // The list differs from what was saved, whichever way it went.
        unsavedChanges_ = true;
    } catch (const TsunagiError& error) {
        ui_.showMessage(error.what());
    }
}

CommandContext App::commandContext() {
    std::string backup = module1_.dataFolder.empty() ? "" : module1_.dataFolder + "/backup/";
    bool workbooks = !trimBlanks(module1_.XlsFilterPart).empty();
    return {store_,    ui_,          module1_.programFolder, backup,         workbooks,
            cardRoots, &lastFolder_, &lastSaveKind_,         &columnChoices_};
}

ImportProgress App::importProgress(QWidget* parent) {
    // The dialog exists only while an import runs: its clock starts with the import's first
    // report, it is made only once half a second has gone, and it goes with this import.
    // (QProgressDialog's own timer would show it while the user is still choosing a file.)
    struct State {
        QElapsedTimer started;
        std::unique_ptr<QProgressDialog> dialog;
    };
    auto state = std::make_shared<State>();
    QPointer<QWidget> owner = parent;
    return [state, owner](const std::string& file, long cards) {
        if (!state->started.isValid()) state->started.start();
        if (!state->dialog && state->started.elapsed() > 500) {
            state->dialog = std::make_unique<QProgressDialog>(owner.data());
            QProgressDialog& dialog = *state->dialog;
            dialog.setWindowTitle(kAppTitle);
            dialog.setWindowModality(Qt::WindowModal);
            dialog.setCancelButtonText("中止");
            dialog.setRange(0, 0);  // the number of cards is not known before the end
            dialog.setAutoClose(false);
            dialog.setAutoReset(false);
            dialog.setMinimumDuration(0);
            dialog.show();
        }
        if (!state->dialog) return true;
        state->dialog->setLabelText(QString("%1\n%2 件読み込みました")
                                        .arg(QFileInfo(QString::fromStdString(file)).fileName())
                                        .arg(cards));
        QCoreApplication::processEvents();
        return !state->dialog->wasCanceled();
    };
}

Form1* App::showMainWindow() {
    auto* window = new Form1(*this);
    window->setAttribute(Qt::WA_DeleteOnClose);
    window->show();
    main_ = window;
    return window;
}

void App::showInputForm(std::optional<std::int64_t> id) {
    module1_.SelectedId = id;
    formChangedEntries_ = false;
    auto* form = new Form2(*this);
    form->setAttribute(Qt::WA_DeleteOnClose);
    form->show();
    form_ = form;
    if (main_) {
        WindowState state;
        state.geometry = main_->saveGeometry();
        state.maximized = main_->isMaximized();
        state.sortedByReading = main_->sortByReading->isChecked();
        if (main_->searchBox->isVisible()) state.search = main_->searchBox->text();
        leftWindow_ = std::move(state);
    }
    switchingToForm_ = true;
    if (main_) main_->close();
    switchingToForm_ = false;
}

void App::inputFormDone() {
    std::optional<std::int64_t> shown = module1_.SelectedId;
    module1_.ListRefreshPending = true;
    module1_.SelectedId.reset();
    // The main window comes first, so the program never stands without a window; it comes
    // back as the user left it.
    Form1* window = showMainWindow();
    if (std::optional<WindowState> state = std::exchange(leftWindow_, std::nullopt)) {
        window->restoreGeometry(state->geometry);
        if (state->maximized) window->showMaximized();
        window->sortByReading->setChecked(state->sortedByReading);
        if (state->search) {
            window->findClicked();
            window->searchBox->setText(*state->search);
        }
    }
    // The list keeps its place: the entry that was open, or the one the form added.
    if (shown)
        window->selectEntry(*shown);
    else if (formChangedEntries_ && window->List1->count() > 0)
        window->List1->setCurrentRow(window->List1->count() - 1);
    if (!pendingFiles_.empty()) window->openFiles(std::exchange(pendingFiles_, {}));
}

void App::openFilesFromOutside(const std::vector<std::string>& paths) {
    QWidget* shown = main_ ? static_cast<QWidget*>(main_.data()) : form_.data();
    if (shown) {
        shown->show();
        shown->raise();
        shown->activateWindow();
    }
    if (paths.empty()) return;
    if (main_)
        main_->openFiles(paths);
    else
        pendingFiles_.insert(pendingFiles_.end(), paths.begin(), paths.end());
}

}  // namespace tsunagi
