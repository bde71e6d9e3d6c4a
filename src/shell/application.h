#pragma once

#include <QByteArray>
#include <QObject>
#include <QPointer>
#include <QWidget>

#include "commands/command_context.h"
#include "commands/undo_history.h"
#include "commands/user_interface.h"
#include "editor/input_form_window.h"
#include "editor/twips.h"
#include "import/import.h"
#include "platform/program_name.h"
#include "shell/main_window.h"
#include "shell/run_state.h"
#include "store/store.h"

namespace tsunagi {

// Holds what lives for the whole run and lets the main window and the input form take turns:
// one is shown before the other goes, so the program never runs out of windows on the way,
// and it ends when the last window is closed.
class App : public QObject, public FormHost {
    Q_OBJECT
  public:
    App(Store store, Module1 module1, UserInterface& ui);

    // Loads a fresh main window and shows it.
    Form1* showMainWindow();
    // Unloads the main window and shows the input form for the entry `id` (none: a new one).
    void showInputForm(std::optional<std::int64_t> id);

    const Store& store() const override { return store_; }
    Module1& module1() { return module1_; }
    UserInterface& ui() { return ui_; }
    void showMessage(const std::string& text) override { ui_.showMessage(text); }
    bool ask(const std::string& text, const std::string& yes, const std::string& no) override {
        return ui_.ask(text, yes, no);
    }
    std::optional<std::int64_t> selectedId() const override { return module1_.SelectedId; }
    // The input form is done: the main window comes back with a rebuilt list, the entry that
    // was open selected.
    void inputFormDone() override;
    // Files that came from outside the windows (a second start): opened in the main window,
    // or once it is back when the input form is open; the program's window comes forward.
    void openFilesFromOutside(const std::vector<std::string>& paths);
    void entriesChanged(const std::string& what) override;
    // The list is in a file; `leftOut` where that file's format holds less than the entries do.
    void entriesSaved(bool leftOut = false) {
        unsavedChanges_ = false;
        lastSaveLeftOut_ = leftOut;
    }
    // Takes back the last change to the list, or does it again; the list then differs from
    // what was saved.
    UndoHistory& history() { return history_; }
    void undo();
    void redo();
    // Entries were added, changed or deleted since the last save; the store is emptied at the
    // next start, so leaving the program now would lose them.
    bool hasUnsavedChanges() const { return unsavedChanges_; }
    // Nothing changed since a save into a format that holds less: leaving would lose the rest.
    bool lastSaveLeftOut() const { return !unsavedChanges_ && lastSaveLeftOut_; }
    // The main window is closing only to make way for the input form.
    bool switchingToForm() const { return switchingToForm_; }
    Form1* mainWindow() const { return main_; }

    // What the open and save commands work with.
    CommandContext commandContext();
    // A progress dialog that shows itself when an import takes longer than half a second.
    ImportProgress importProgress(QWidget* parent);

    std::vector<std::string> cardRoots;
    QWidget* inputForm() const { return form_; }

  private:
    void goThroughHistory(void (UndoHistory::*step)(const Store&));

    Store store_;
    Module1 module1_;
    UserInterface& ui_;
    QPointer<Form1> main_;
    QPointer<QWidget> form_;
    bool unsavedChanges_ = false;
    bool lastSaveLeftOut_ = false;
    bool switchingToForm_ = false;
    bool formChangedEntries_ = false;
    std::vector<std::string> pendingFiles_;
    UndoHistory history_;
    std::string lastFolder_;                // where the file dialogs were last answered
    std::optional<FileKind> lastSaveKind_;  // the save filter chosen last
    std::map<std::string, CsvAssignment> columnChoices_;  // columns assigned, by headings
    // How the user left the main window when the input form took its place: the fresh one
    // comes back so (its size and place, the reading order, the search).
    struct WindowState {
        QByteArray geometry;
        bool maximized = false;
        bool sortedByReading = false;
        std::optional<QString> search;
    };
    std::optional<WindowState> leftWindow_;
};

}  // namespace tsunagi
