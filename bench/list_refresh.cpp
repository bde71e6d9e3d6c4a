// Times the main window's list refresh for a store of N entries (offscreen), and then what a
// user does with the list: select the first entry, maximise, sort by reading and back, search,
// select another. Each action's time includes the events it leaves to be handled.
// Usage: list-refresh CARDS.vcf
#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QListWidget>
#include <cstdio>

#include "import/vcf_import.h"
#include "scripted_user.h"
#include "shell/application.h"
#include "shell/main_window.h"

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    if (argc != 2) return 2;
    tsunagi::ScriptedUser ui;
    tsunagi::App app(tsunagi::Store::inMemory(), tsunagi::Module1{}, ui);
    long cards = tsunagi::importVcfFile(app.store(), argv[1]);
    tsunagi::Form1* window = app.showMainWindow();
    QElapsedTimer timer;
    timer.start();
    window->RefreshList();
    QApplication::processEvents();
    std::printf("list refresh of %ld entries: %.2f s\n", cards, timer.elapsed() / 1000.0);
    auto timed = [&](const char* what, const auto& action) {
        QElapsedTimer clock;
        clock.start();
        action();
        QApplication::processEvents();
        std::printf("  %-28s %.3f s\n", what, clock.elapsed() / 1000.0);
    };
    window->show();
    QApplication::processEvents();
    timed("select the first entry", [&] { window->List1->setCurrentRow(0); });
    timed("maximise (1366x768)", [&] { window->resize(1366, 740); });
    timed("sort by reading", [&] { window->sortByReading->setChecked(true); });
    timed("back to the entries' order", [&] { window->sortByReading->setChecked(false); });
    timed("search", [&] {
        window->findClicked();
        window->searchBox->setText("ﾔﾏ");
    });
    timed("end the search", [&] { window->searchBox->clear(); });
    timed("select another entry",
          [&] { window->List1->setCurrentRow(window->List1->count() / 2); });
    timed("back to the first size", [&] { window->resize(240, 230); });
    return 0;
}
