// Start-up: one instance only, the working list emptied, the workbook choices decided, and
// the main window shown. The program ends when its last window closes.

#include <QApplication>
#include <QFileInfo>
#include <QLibraryInfo>
#include <QLocale>
#include <QTimer>
#include <QTranslator>

#include "platform/error.h"
#include "platform/files.h"
#include "platform/install_layout.h"
#include "platform/memory.h"
#include "platform/program_name.h"
#include "shell/application.h"
#include "shell/instance_channel.h"
#include "shell/main_window.h"
#include "shell/qt_user_interface.h"
#include "shell/run_state.h"
#include "shell/version_box.h"
#include "store/entry_list.h"
#include "workbook/workbook_reader.h"

using namespace tsunagi;

int main(int argc, char** argv) {
    reuseFreedMemory();
    QApplication application(argc, argv);
    application.setApplicationName(kAppTitle);
    application.setWindowIcon(programIcon());
    // The program speaks Japanese, and so should Qt's own dialogs and buttons.
    QTranslator qtTexts;
    if (qtTexts.load(QLocale(QLocale::Japanese, QLocale::Japan), "qtbase", "_",
                     QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        application.installTranslator(&qtTexts);

    // Files named on the command line (a file manager's "Open with" names them so).
    QStringList named;
    for (const QString& argument : application.arguments().mid(1))
        if (!argument.startsWith('-')) named << QFileInfo(argument).absoluteFilePath();

    SingleInstanceLock lock(defaultLockPath());
    InstanceChannel channel(QString::fromStdString(defaultLockPath()));
    // A second start hands its files to the running window and brings it forward.
    if (!lock.acquired()) return channel.send(named) ? 0 : 1;
    channel.listen();

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
        QObject::connect(&channel, &InstanceChannel::filesArrived, &app,
                         [&app](const QStringList& arrived) {
                             std::vector<std::string> paths;
                             for (const QString& file : arrived)
                                 paths.push_back(file.toStdString());
                             app.openFilesFromOutside(paths);
                         });
        Form1* window = app.showMainWindow();
        if (!named.isEmpty()) {
            std::vector<std::string> paths;
            for (const QString& file : named) paths.push_back(file.toStdString());
            // Once the window stands, so that a question about a file has a window to sit on.
            QTimer::singleShot(0, window, [window, paths] { window->openFiles(paths); });
        }
        return application.exec();
    } catch (const TsunagiError& error) {
        ui.showMessage("データベースを開けないため、終了します。\n" + std::string(error.what()));
        return 1;
    }
}
