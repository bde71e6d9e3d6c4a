// Start-up: one instance only, the working list emptied, the workbook choices decided, and
// the main window shown. The program ends when its last window closes.

#include <QApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

#include "platform/error.h"
#include "platform/files.h"
#include "platform/install_layout.h"
#include "platform/program_name.h"
#include "shell/application.h"
#include "shell/qt_user_interface.h"
#include "shell/run_state.h"
#include "shell/version_box.h"
#include "store/entry_list.h"
#include "workbook/workbook_reader.h"

using namespace tsunagi;

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    application.setApplicationName(kAppTitle);
    application.setWindowIcon(programIcon());
    // The program speaks Japanese, and so should Qt's own dialogs and buttons.
    QTranslator qtTexts;
    if (qtTexts.load(QLocale(QLocale::Japanese, QLocale::Japan), "qtbase", "_",
                     QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        application.installTranslator(&qtTexts);

    SingleInstanceLock lock(defaultLockPath());
    if (!lock.acquired()) return 0;

    QtUserInterface ui;
    Module1 module1;
    ProgramFiles files = programFiles(programFolder());
    module1.programFolder = files.shipped;
    setXlsReaderHelper(files.helper);
    try {
        // Installed where users cannot write, the store lives in this user's data folder.
        module1.dataFolder = userDataFolder(files);
        Store store(ConnectionString(module1.dataFolder));
        emptyStoreAtStart(store);
        // This build carries its own workbook engine, so workbooks are always offered.
        module1.XlsFilterPart = kXlsFilterText;
        App app(std::move(store), std::move(module1), ui);
        app.showMainWindow();
        return application.exec();
    } catch (const TsunagiError& error) {
        ui.showMessage("データベースを開けないため、終了します。\n" + std::string(error.what()));
        return 1;
    }
}
