// Times the window's own path on a book of phone cards, as a user takes it: the store the
// program keeps (password-protected, in a data folder, emptied at the start), the file opened
// through the menu, the list shown, データの保存 into the phone's file; then the peak memory.
// The dialogs are answered as the user would. Usage: window-path CARDS.vcf OUT.vcf DATAFOLDER
#include <sys/resource.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QListWidget>
#include <cstdio>

#include "scripted_user.h"
#include "shell/application.h"
#include "shell/main_window.h"
#include "store/entry_list.h"

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    if (argc != 4) return 2;
    tsunagi::ScriptedUser user(argv[1], argv[2]);
    tsunagi::Module1 module1;
    module1.dataFolder = argv[3];
    QElapsedTimer total;
    total.start();
    tsunagi::Store store(tsunagi::ConnectionString(module1.dataFolder));
    tsunagi::emptyStoreAtStart(store);
    tsunagi::App app(std::move(store), std::move(module1), user);
    tsunagi::Form1* window = app.showMainWindow();
    QApplication::processEvents();
    auto timed = [&](const char* what, const auto& action) {
        QElapsedTimer clock;
        clock.start();
        action();
        QApplication::processEvents();
        std::printf("  %-34s %.2f s\n", what, clock.elapsed() / 1000.0);
    };
    timed("start, the store emptied", [] {});
    timed("open the file (the list shown)", [&] { window->m1->trigger(); });
    timed("データの保存 into the phone's file", [&] { window->l2->trigger(); });
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    std::printf("window: %d entries, %.2f s in all, peak %.1f MiB\n", window->List1->count(),
                total.elapsed() / 1000.0, usage.ru_maxrss / 1024.0);
    return 0;
}
