#include "shell/main_window.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QMenuBar>
#include <QMessageBox>
#include <QMimeData>
#include <QPointer>
#include <QProgressDialog>
#include <QStatusBar>
#include <QTableWidget>
#include <QTest>
#include <QTimer>
#include <QUrl>
#include <filesystem>

#include "editor/details_dialog.h"
#include "merge/merge_dialog.h"
#include "platform/program_name.h"
#include "shell/application.h"
#include "shell/instance_channel.h"
#include "shell/qt_user_interface.h"
#include "shell/run_state.h"
#include "shell/version_box.h"
#include "store/entries.h"
#include "store/entry_list.h"
#include "support/scripted_ui.h"
#include "support/temp_folder.h"

using namespace tsunagi;

// Opens one card with a company, which the phone's file has no place for.
static void openCardWithACompany(Form1* window, ScriptedUi& ui, TempFolder& folder) {
    ui.fileAnswers = {folder.write("iphone.vcf",
                                   "BEGIN:VCARD\r\nVERSION:3.0\r\nN:Ono;Aki;;;\r\n"
                                   "ORG:Tsunagi\r\nTEL;TYPE=CELL:09011112222\r\n"
                                   "END:VCARD\r\n")};
    window->m1->trigger();
}

// The program over a fresh store, its folder a temporary one, its user a script.
struct ScriptedApp {
    static Module1 moduleIn(const TempFolder& folder) {
        Module1 module1;
        module1.programFolder = folder.path();
        return module1;
    }
    TempFolder folder;
    ScriptedUi ui;
    App app{Store::inMemory(), moduleIn(folder), ui};
};

class Form1Test : public QObject {
    Q_OBJECT

    static QStringList captions(QMenu* menu) {
        QStringList list;
        for (QAction* action : menu->actions()) list << action->text();
        return list;
    }

    static void addCards(const Store& store, int count) {
        Connection connection = store.open();
        EntryInserter inserter(connection);
        for (int i = 0; i < count; ++i)
            inserter.insert({"BEGIN:VCARD", "VERSION:2.1",
                             "N;CHARSET=SHIFT_JIS:名" + std::to_string(i), "END:VCARD"});
    }

  private slots:
    // After each test, the windows it closed are gone, and those it left open.
    void cleanup() {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        // A main window a test closed whose deletion an event loop of a dialog held back.
    }

    void menusCaptionAndEmptyStart() {
        ScriptedUi ui;
        App app(Store::inMemory(), Module1{}, ui);
        addCards(app.store(), 2);  // a start shows an empty list whatever the store holds
        Form1* window = app.showMainWindow();
        QCOMPARE(window->windowTitle(), QString("Tsunagi1.0.0"));
        QStringList menus;
        for (QAction* action : window->menuBar()->actions()) menus << action->text();
        QCOMPARE(menus, QStringList({"メニュー", "リスト", "編集(&E)", "その他"}));
        QCOMPARE(captions(window->m0), QStringList({"ファイルを開く", "登録ﾌｫｰﾑを開く", "終了"}));
        QCOMPARE(captions(window->l0),
                 QStringList({"データのクリア", "データの保存", "重複をまとめる(&M)…", "検索(&F)…",
                              "", "アドレス帳と同期(&Y)…", "アドレス帳から読み込む(&B)…", "",
                              "詳細の編集(&D)…", "読みの順に並べる(&O)"}));
        QCOMPARE(captions(window->e0), QStringList({"元に戻す(&U)", "やり直し(&R)"}));
        QVERIFY(!window->undoItem->isEnabled());
        QCOMPARE(captions(window->s0), QStringList({"ヘルプ", "バージョン情報"}));
        // The keys every desktop program has, beside the captions as they stand.
        QCOMPARE(window->m1->shortcut(), QKeySequence("Ctrl+O"));
        QCOMPARE(window->l2->shortcut(), QKeySequence("Ctrl+S"));
        QCOMPARE(window->m3->shortcut(), QKeySequence("Ctrl+N"));
        QCOMPARE(window->m2->shortcut(), QKeySequence("Ctrl+Q"));
        QCOMPARE(window->s1->shortcut(), QKeySequence("F1"));
        QCOMPARE(window->findItem->shortcut(), QKeySequence("Ctrl+F"));
        QCOMPARE(window->mergeDuplicatesItem->shortcut(), QKeySequence("Ctrl+M"));
        QCOMPARE(window->undoItem->shortcut(), QKeySequence("Ctrl+Z"));
        QCOMPARE(window->redoItem->shortcuts(),
                 QList<QKeySequence>({QKeySequence("Ctrl+Y"), QKeySequence("Ctrl+Shift+Z")}));
        QCOMPARE(window->List1->count(), 0);
        QCOMPARE(window->Label1->text(), QString());
        QCOMPARE(window->Label2->text(), QString("名前"));
        // Every menu is in sight, none behind an extension arrow.
        QVERIFY(window->menuBar()->sizeHint().width() <= window->width());
        QCOMPARE(window->List1->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
        window->close();
    }

    void aWideWindowShowsTheSelectedPersonWhole() {
        ScriptedUi ui;
        ui.chooseDefault = 1;  // closing at the end: "終了" without saving
        App app(Store::inMemory(), Module1{}, ui);
        Form1* window = app.showMainWindow();
        window->openFiles({std::string(TSUNAGI_FIXTURES) + "/export/golden/rich-iphone.vcf"});
        QVERIFY(!window->detailsView->isVisible());  // the first size is the list alone
        window->resize(900, 600);
        QApplication::processEvents();
        QVERIFY(window->detailsView->isVisible());
        QVERIFY(window->detailsView->x() >= window->List1->x() + window->List1->width());
        window->List1->setCurrentRow(0);
        QString text = window->detailsView->toPlainText();
        for (const char* part : {"Mary Ann O'Brien", "Tsunagi Trading Sales", "Manager",
                                 "1985-06-15", "Tokyo", "https://mary.example.com", "mary.obrien",
                                 "London office", "Met at the fair, 2019", "Friends、Work", "写真"})
            QVERIFY2(text.contains(QString::fromUtf8(part)), part);
        // 詳細の編集: the company changed in its row, then OK; the card shows it, and undo
        // takes it back.
        QTimer::singleShot(0, [] {
            auto* dialog = qobject_cast<DetailsDialog*>(QApplication::activeModalWidget());
            if (!dialog) return;
            dialog->table->item(0, 1)->setText("つなぎ商事");
            QTest::keyClick(dialog, Qt::Key_Return);
        });
        window->detailsItem->trigger();
        QVERIFY(window->detailsView->toPlainText().contains("つなぎ商事"));
        QVERIFY(!window->detailsView->toPlainText().contains("Tsunagi Trading"));
        QCOMPARE(window->undoItem->text(), QString("元に戻す(&U): 詳細の編集"));
        window->undoClicked();
        window->List1->setCurrentRow(0);
        QVERIFY(window->detailsView->toPlainText().contains("Tsunagi Trading Sales"));
        window->close();
    }

    void aWideListShowsColumnsAndSortsByReading() {
        ScriptedUi ui;
        App app(Store::inMemory(), Module1{}, ui);
        {
            Connection connection = app.store().open();
            EntryInserter inserter(connection);
            inserter.insert({"BEGIN:VCARD", "VERSION:2.1", "N;CHARSET=SHIFT_JIS:渡辺;誠",
                             "SOUND;X-IRMC-N;CHARSET=SHIFT_JIS:ﾜﾀﾅﾍﾞ;ﾏｺﾄ", "TEL;CELL:09012345678",
                             "END:VCARD"});
            inserter.insert({"BEGIN:VCARD", "VERSION:2.1", "N;CHARSET=SHIFT_JIS:青木;葵",
                             "SOUND;X-IRMC-N;CHARSET=SHIFT_JIS:ｱｵｷ;ｱｵｲ", "EMAIL;INTERNET:aoi@x.jp",
                             "END:VCARD"});
        }
        app.module1().ListRefreshPending = true;
        Form1* window = app.showMainWindow();
        QCOMPARE(window->List1->item(0)->data(Qt::UserRole + 1), QVariant());  // first size
        window->resize(1200, 600);
        QApplication::processEvents();
        QStringList first = window->List1->item(0)->data(Qt::UserRole + 1).toStringList();
        QCOMPARE(first, QStringList({"渡辺誠", "ワタナベ マコト", "09012345678", "", ""}));
        // Sorted by reading when asked, in the list only; back to the entries' order after. The
        // entry selected stays selected, its card shown once, not for every line that moved.
        window->List1->setCurrentRow(0);
        QVERIFY(window->detailsView->toPlainText().contains("09012345678"));
        int cardsShown = 0;
        connect(window->List1, &QListWidget::currentRowChanged, [&] { ++cardsShown; });
        window->sortByReading->trigger();
        QVERIFY2(window->List1->item(0)->text().startsWith("青木"),
                 qPrintable(window->List1->item(0)->text() + "|" +
                            window->List1->item(0)->data(Qt::UserRole + 2).toString()));
        QVERIFY(window->List1->currentItem()->text().startsWith("渡辺"));
        QCOMPARE(window->List1->item(1)->data(Qt::UserRole + 1).toStringList().first(), "渡辺誠");
        QVERIFY(window->detailsView->toPlainText().contains("09012345678"));
        window->sortByReading->trigger();
        QVERIFY(window->List1->item(0)->text().startsWith("渡辺"));
        QVERIFY(window->List1->currentItem()->text().startsWith("渡辺"));
        QCOMPARE(cardsShown, 0);
        window->close();
    }

    void f10OpensTheMenusFromTheKeyboard() {
        ScriptedUi ui;
        App app(Store::inMemory(), Module1{}, ui);
        Form1* window = app.showMainWindow();
        window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(window));
        QTest::keyClick(window->List1, Qt::Key_F10);
        QCOMPARE(window->menuBar()->activeAction(), window->m0->menuAction());
        QTest::keyClick(window->menuBar(), Qt::Key_Escape);
        QTest::keyClick(window->menuBar(), Qt::Key_Escape);
        QApplication::processEvents();
        // Alt alone, as on Windows and in GTK programs.
        QTest::keyPress(window->List1, Qt::Key_Alt, Qt::AltModifier);
        QTest::keyRelease(window->List1, Qt::Key_Alt);
        QApplication::processEvents();
        QCOMPARE(window->menuBar()->activeAction(), window->m0->menuAction());
        QTest::keyClick(window->menuBar(), Qt::Key_Escape);
        window->close();
    }

    void undoAndRedoEveryChange() {
        TempFolder folder;
        ScriptedUi ui;
        App app(Store::inMemory(), Module1{}, ui);
        Form1* window = app.showMainWindow();
        std::string book = folder.write(
            "book.vcf",
            // One card written twice: one person, though one file holds it twice.
            "BEGIN:VCARD\r\nN;CHARSET=SHIFT_JIS:A\r\nTEL;CELL:090\r\nX-JPG-MDNO:1\r\nEND:VCARD\r\n"
            "BEGIN:VCARD\r\nN;CHARSET=SHIFT_JIS:A\r\nTEL;CELL:090\r\nX-JPG-MDNO:2\r\nEND:VCARD\r\n"
            "BEGIN:VCARD\r\nN;CHARSET=SHIFT_JIS:B\r\nX-JPG-MDNO:3\r\nEND:VCARD\r\n");
        window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(window));
        window->openFiles({book});
        QCOMPARE(window->List1->count(), 3);
        QCOMPARE(window->undoItem->text(), QString("元に戻す(&U): 読み込み (3 件)"));
        // A delete, then a merge, each taken back in turn with Ctrl+Z.
        window->List1->setCurrentRow(2);
        ui.askAnswer = true;
        QTest::keyClick(window->List1, Qt::Key_Delete);
        QCOMPARE(window->List1->count(), 2);
        QTimer::singleShot(0, [] {
            if (auto* dialog = qobject_cast<MergeDialog*>(QApplication::activeModalWidget()))
                QTest::mouseClick(dialog->mergeButton, Qt::LeftButton);
        });
        window->mergeDuplicatesItem->trigger();
        QCOMPARE(window->List1->count(), 1);
        QCOMPARE(window->undoItem->text(), QString("元に戻す(&U): 重複のまとめ (2 件)"));
        app.entriesSaved();
        window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(window));
        QTest::keyClick(window->List1, Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(window->List1->count(), 2);
        QVERIFY(app.hasUnsavedChanges());  // the quitting question still asks
        QCOMPARE(window->redoItem->text(), QString("やり直し(&R): 重複のまとめ (2 件)"));
        QTest::keyClick(window->List1, Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(window->List1->count(), 3);
        QTest::keyClick(window->List1, Qt::Key_Y, Qt::ControlModifier);
        QCOMPARE(window->List1->count(), 2);
        // The clear too; and a new change ends what could be redone.
        ui.chooseAnswers = {1};  // clear without saving
        window->l1_Click();
        QCOMPARE(window->List1->count(), 0);
        window->undoClicked();
        QCOMPARE(window->List1->count(), 2);
        QVERIFY(window->redoItem->isEnabled());
        window->openFiles({book});
        QVERIFY(!window->redoItem->isEnabled());
        ui.chooseAnswers = {1};  // quit without saving
        window->close();
    }

    void refreshAndClear() {
        ScriptedUi ui;
        App app(Store::inMemory(), Module1{}, ui);
        addCards(app.store(), 3);
        app.module1().ListRefreshPending = true;
        Form1* window = app.showMainWindow();
        QVERIFY(!app.module1().ListRefreshPending);
        QCOMPARE(window->List1->count(), 3);
        QCOMPARE(window->Label1->text(), QString("3ﾃﾞｰﾀ"));
        QVERIFY(window->List1->item(0)->text().startsWith(" 名0"));
        window->l1->trigger();
        QCOMPARE(window->List1->count(), 0);
        QCOMPARE(window->Label1->text(), QString());
        QVERIFY(readEntryList(app.store()).empty());
        window->RefreshList();
        QCOMPARE(window->Label1->text(), QString("0ﾃﾞｰﾀ"));
        // A double-click with nothing selected does nothing.
        window->List1_DblClick();
        QVERIFY(ui.messages.empty());
        window->close();
    }

    void helpThatCannotOpenSaysSo() {
        ScriptedUi ui;
        ui.desktopOpens = false;
        Module1 module1;
        module1.programFolder = "/nowhere";
        App app(Store::inMemory(), module1, ui);
        Form1* window = app.showMainWindow();
        window->s1->trigger();
        QCOMPARE(ui.opened.size(), size_t(1));
        QCOMPARE(ui.opened[0], std::string("/nowhere/help/help.html"));
        QCOMPARE(ui.messages.size(), size_t(1));
        // The specified words, and where the page is, to open it by hand.
        QCOMPARE(ui.messages[0], std::string("開けるアプリケーション\r\nがありません\r\n\r\n"
                                             "ヘルプのページ：/nowhere/help/help.html"));
        window->close();
    }

    void versionBox() {
        ScriptedUi ui;
        frmAbout about(ui);
        QCOMPARE(about.windowTitle(), QString("Tsunagiのﾊﾞｰｼﾞｮﾝ情報"));
        QCOMPARE(about.lblTitle->text(), QString("Tsunagi"));
        QCOMPARE(about.lblVersion->text(), QString("ﾊﾞｰｼﾞｮﾝ 1.0.0"));
        QStringList lines = about.lblDescription->text().split('\n');
        QCOMPARE(lines, QStringList({"V401SHのﾒﾓﾘﾀﾞｲﾔﾙﾃﾞｰﾀを結合・補完するﾂｰﾙです。",
                                     "Microsoft Data Access Components(MDAC)2.6以上",
                                     "がインストールされている事",
                                     "動作環境　          Windows2000/XP/98SE/ME",
                                     "作者                  Tsunagi Project ", ""}));
        QCOMPARE(about.Label1->text(), QString("ホームページ"));
        QCOMPARE(about.Label2->text(), QString("https://tsunagi.example.jp/"));
        QVERIFY(about.cmdOK->isDefault());
        // The description fits its label: no line is cut off.
        QVERIFY(about.lblDescription->height() >= about.lblDescription->sizeHint().height());
        QTest::mouseClick(about.Label2, Qt::LeftButton);
        QCOMPARE(ui.opened.back(), std::string("https://tsunagi.example.jp/"));

        for (int key : {Qt::Key_Return, Qt::Key_Escape}) {
            frmAbout box(ui);
            box.show();
            QVERIFY(QTest::qWaitForWindowExposed(&box));
            QTest::keyClick(&box, static_cast<Qt::Key>(key));
            QVERIFY(!box.isVisible());
        }
    }

    void progressShowsAfterHalfASecondAndCancels() {
        ScriptedUi ui;
        App app(Store::inMemory(), Module1{}, ui);
        Form1* window = app.showMainWindow();
        auto dialogs = [window] { return window->findChildren<QProgressDialog*>(); };
        // Made before the file is chosen, it shows nothing however long the choosing takes.
        ImportProgress progress = app.importProgress(window);
        QTest::qWait(700);
        QCOMPARE(dialogs().size(), qsizetype(0));
        QVERIFY(progress("/x/cards.vcf", 0));  // the import starts: its clock starts
        QVERIFY(progress("/x/cards.vcf", 256));
        QCOMPARE(dialogs().size(), qsizetype(0));  // a quick import shows nothing
        QTest::qWait(600);
        QVERIFY(progress("/x/cards.vcf", 512));
        QCOMPARE(dialogs().size(), qsizetype(1));
        QProgressDialog* dialog = dialogs().first();
        QVERIFY(dialog->isVisible());
        QVERIFY(dialog->labelText().contains("cards.vcf"));
        QVERIFY(dialog->labelText().contains("512"));
        dialog->cancel();
        QVERIFY(!progress("/x/cards.vcf", 768));
        // The cancel belonged to that import: the next one starts afresh and goes through.
        progress = app.importProgress(window);
        QCOMPARE(dialogs().size(), qsizetype(0));
        QVERIFY(progress("/x/more.vcf", 0));
        QVERIFY(progress("/x/more.vcf", 256));
        window->close();
    }

    void aFailedImportLeavesTheListAndItsCount() {
        TempFolder folder;
        ScriptedUi ui;
        App app(Store::inMemory(), Module1{}, ui);
        addCards(app.store(), 5);
        app.module1().ListRefreshPending = true;
        Form1* window = app.showMainWindow();
        std::string bad =
            folder.write("bad.vcf", "BEGIN:VCARD\r\nN;CHARSET=SHIFT_JIS:\x85\x40\r\nEND:VCARD\r\n");
        ui.fileAnswers = {bad};
        // While the failure is shown, the list behind it and its count agree.
        int shownCount = -1;
        QString shownLabel;
        ui.onMessage = [&] {
            shownCount = window->List1->count();
            shownLabel = window->Label1->text();
        };
        window->m1->trigger();
        QCOMPARE(ui.messages.size(), size_t(1));
        QCOMPARE(shownCount, 5);
        QCOMPARE(shownLabel, QString("5ﾃﾞｰﾀ"));
        QCOMPARE(window->List1->count(), 5);
        window->close();
    }

    void closingWithUnsavedWorkAsksFirst() {
        ScriptedApp scripted;
        auto& [folder, ui, app] = scripted;
        Form1* window = app.showMainWindow();
        QVERIFY(QTest::qWaitForWindowExposed(window));
        window->close();  // nothing done yet: no question
        QVERIFY(ui.questions.empty());

        window = app.showMainWindow();
        ui.fileAnswers = {folder.write("cards.vcf",
                                       "BEGIN:VCARD\r\nVERSION:2.1\r\n"
                                       "N;CHARSET=SHIFT_JIS:A\r\nEND:VCARD\r\n")};
        window->m1->trigger();
        QCOMPARE(window->List1->count(), 1);
        ui.chooseAnswers = {2};  // キャンセル
        window->m2->trigger();
        QCOMPARE(ui.questions.size(), size_t(1));
        QCOMPARE(ui.questions[0], unsavedWorkQuestion("終了"));
        QCOMPARE(ui.choices[0], (std::vector<std::string>{"保存…", "終了", "キャンセル"}));
        QVERIFY(window->isVisible());
        // Opening the input form closes the main window without a question.
        window->m3->trigger();
        QApplication::processEvents();
        QCOMPARE(ui.questions.size(), size_t(1));
        app.inputForm()->close();
        QApplication::processEvents();
        window = app.mainWindow();
        // A successful save settles it.
        ui.fileAnswers = {folder.file("saved.csv")};
        window->l2->trigger();
        window->close();
        QCOMPARE(ui.questions.size(), size_t(1));
        QVERIFY(!window->isVisible());
    }

    void aQuitAfterASaveThatLeftSomethingOutGoesBackUnlessTold() {
        ScriptedApp scripted;
        auto& [folder, ui, app] = scripted;
        QPointer<Form1> window = app.showMainWindow();
        QVERIFY(QTest::qWaitForWindowExposed(window));
        openCardWithACompany(window, ui, folder);
        QCOMPARE(window->List1->count(), 1);
        // Quit, 保存… into the phone's file: the company is left out, so the quit asks again,
        // and its default, 戻る, keeps the window.
        ui.questions.clear();
        ui.choices.clear();
        ui.fileAnswers = {folder.file("phone.vcf")};
        ui.filterAnswers = {FileKind::PhoneCards};
        ui.chooseAnswers = {0};
        window->m2->trigger();
        QApplication::processEvents();
        QVERIFY(window->isVisible());
        QCOMPARE(ui.choices.size(), size_t(2));
        QCOMPARE(ui.choices[1],
                 (std::vector<std::string>{"すべて残す形式で保存…", "終了", "戻る"}));
        QCOMPARE(ui.questions[1], lossySaveQuestion("終了"));
        // Quit again: 保存…, then すべて残す形式で保存… with vCard 3.0 offered: then it quits.
        app.entriesChanged("テスト");  // still unsaved, as after any change
        ui.fileAnswers = {folder.file("phone2.vcf"), folder.file("all.vcf")};
        ui.filterAnswers = {FileKind::PhoneCards, FileKind::Vcard3};
        ui.chooseAnswers = {0, 0};
        window->m2->trigger();
        QApplication::processEvents();
        QVERIFY(!window || !window->isVisible());  // closed, and gone once deleted
        QVERIFY(ui.requests.back().selectedKind == FileKind::Vcard3);
        QVERIFY(std::filesystem::exists(folder.file("all.vcf")));
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    void aQuitAfterASaveOfItsOwnThatLeftSomethingOutAsksToo() {
        ScriptedApp scripted;
        auto& [folder, ui, app] = scripted;
        QPointer<Form1> window = app.showMainWindow();
        QVERIFY(QTest::qWaitForWindowExposed(window));
        openCardWithACompany(window, ui, folder);
        // データの保存 into the phone's file: the company is left out, and said so.
        ui.fileAnswers = {folder.file("phone.vcf")};
        ui.filterAnswers = {FileKind::PhoneCards};
        window->l2->trigger();
        // The quit then asks what the save lost, not whether to save; 戻る keeps the window.
        ui.questions.clear();
        ui.choices.clear();
        ui.chooseAnswers = {2};
        window->m2->trigger();
        QApplication::processEvents();
        QVERIFY(window->isVisible());
        QCOMPARE(ui.choices.size(), size_t(1));
        QCOMPARE(ui.questions[0], lossySaveQuestion("終了"));
        // すべて残す形式で保存…: vCard 3.0 keeps the company, and the quit goes on.
        ui.fileAnswers = {folder.file("all.vcf")};
        ui.filterAnswers = {FileKind::Vcard3};
        ui.chooseAnswers = {0};
        window->m2->trigger();
        QApplication::processEvents();
        QVERIFY(!window || !window->isVisible());
        QVERIFY(std::filesystem::exists(folder.file("all.vcf")));
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    void clearingAndQuittingOfferToSaveFirst() {
        ScriptedApp scripted;
        auto& [folder, ui, app] = scripted;
        Form1* window = app.showMainWindow();
        ui.fileAnswers = {folder.write("cards.vcf",
                                       "BEGIN:VCARD\r\nVERSION:2.1\r\n"
                                       "N;CHARSET=SHIFT_JIS:A\r\nEND:VCARD\r\n")};
        window->m1->trigger();
        // キャンセル keeps the list; the question is the one asked on quitting.
        ui.chooseAnswers = {2};
        window->l1->trigger();
        QCOMPARE(ui.questions.back(), unsavedWorkQuestion("クリア"));
        QCOMPARE(window->List1->count(), 1);
        // 保存… with the dialog cancelled: nothing saved, so nothing cleared.
        ui.chooseAnswers = {0};
        ui.fileAnswers = {std::nullopt};
        window->l1->trigger();
        QCOMPARE(window->List1->count(), 1);
        // 保存… then a save: cleared, and quitting asks nothing more.
        ui.chooseAnswers = {0};
        ui.fileAnswers = {folder.file("kept.vcf")};
        window->l1->trigger();
        QVERIFY(std::filesystem::exists(folder.file("kept.vcf")));
        QCOMPARE(window->List1->count(), 0);
        QVERIFY(readEntryList(app.store()).empty());
        size_t asked = ui.questions.size();
        window->close();
        QCOMPARE(ui.questions.size(), asked);
    }

    void theWindowGrowsFindsAndKeepsItsPlace() {
        TempFolder folder;
        ScriptedUi ui;
        App app(Store::inMemory(), Module1{}, ui);
        {
            Connection connection = app.store().open();
            EntryInserter inserter(connection);
            inserter.insert({"BEGIN:VCARD", "VERSION:2.1", "N;CHARSET=SHIFT_JIS:山田;太郎",
                             "SOUND;X-IRMC-N;CHARSET=SHIFT_JIS:ﾔﾏﾀﾞ;ﾀﾛｳ", "TEL;CELL:090-1234-5678",
                             "END:VCARD"});
            for (int i = 0; i < 40; ++i)
                inserter.insert({"BEGIN:VCARD", "VERSION:2.1",
                                 "N;CHARSET=SHIFT_JIS:名" + std::to_string(i), "END:VCARD"});
        }
        app.module1().ListRefreshPending = true;
        Form1* window = app.showMainWindow();
        QVERIFY(QTest::qWaitForWindowExposed(window));
        // Resizable, and the list grows with the window.
        QVERIFY(window->minimumSize() != window->maximumSize());
        int listHeight = window->List1->height();
        window->resize(window->width() + 200, window->height() + 300);
        QApplication::processEvents();
        QVERIFY(window->List1->height() >= listHeight + 250);
        QVERIFY(window->List1->width() > window->Label1->x());

        // Ctrl+F: a reading typed in hiragana finds the katakana one, a number its digits.
        QTest::keyClick(window, Qt::Key_F, Qt::ControlModifier);
        QVERIFY(window->searchBox->isVisible());
        QVERIFY(window->searchBox->hasFocus());
        window->searchBox->setText("やまだ");
        auto shown = [window] {
            int count = 0;
            for (int i = 0; i < window->List1->count(); ++i)
                count += window->List1->item(i)->isHidden() ? 0 : 1;
            return count;
        };
        QCOMPARE(shown(), 1);
        QCOMPARE(window->Label1->text(), QString("1/41ﾃﾞｰﾀ"));
        window->searchBox->setText("０９０１２３４");
        QCOMPARE(shown(), 1);
        // A number in any form it is written finds it by the digits it dials.
        for (const char* number : {"090-1234-5678", "+81 90-1234-5678", "09012345678",
                                   "090 1234 5678", "＋８１　９０－１２３４－５６７８"}) {
            window->searchBox->setText(QString::fromUtf8(number));
            QCOMPARE(shown(), 1);
        }
        // The entry selected is one in sight: a search that hides it selects the first found,
        // and one that finds nothing selects none, so Ctrl+E says to choose one.
        window->List1->setCurrentRow(0);
        window->searchBox->setText("名3");
        QCOMPARE(shown(), 11);  // 名3, 名30 … 名39
        QVERIFY(window->List1->currentItem() && !window->List1->currentItem()->isHidden());
        QVERIFY2(window->List1->currentItem()->text().trimmed().startsWith("名3"),
                 qPrintable(window->List1->currentItem()->text()));
        window->searchBox->setText("見つからない名前");
        QCOMPARE(shown(), 0);
        QCOMPARE(window->List1->currentItem(), nullptr);
        window->editDetailsClicked();
        QCOMPARE(ui.messages.back(), std::string("詳細を編集するデータをリストで選んでください。"));
        window->searchBox->setText("名3");
        QCOMPARE(shown(), 11);
        QVERIFY(window->List1->currentItem() && !window->List1->currentItem()->isHidden());
        // Down leads into the list; Esc there ends the search too.
        QTest::keyClick(window->searchBox, Qt::Key_Down);
        QVERIFY(window->List1->hasFocus());
        QTest::keyClick(window->List1, Qt::Key_Escape);
        QVERIFY(!window->searchBox->isVisible());
        QCOMPARE(shown(), 41);
        QCOMPARE(window->Label1->text(), QString("41ﾃﾞｰﾀ"));

        // Delete on a line asks, then deletes it and keeps the place.
        window->List1->setFocus();
        window->List1->setCurrentRow(0);
        ui.askAnswer = false;
        QTest::keyClick(window->List1, Qt::Key_Delete);
        QCOMPARE(ui.questions.back(), std::string("「山田 太郎」を削除しますか？"));
        QCOMPARE(window->List1->count(), 41);
        ui.askAnswer = true;
        QTest::keyClick(window->List1, Qt::Key_Delete);
        QCOMPARE(window->List1->count(), 40);
        QCOMPARE(window->List1->currentRow(), 0);

        // After the input form, the entry that was open is selected again.
        window->List1->setCurrentRow(25);
        std::optional<std::int64_t> open =
            idFromListLine(window->List1->currentItem()->text().toStdString());
        window->List1_DblClick();
        QApplication::processEvents();
        QVERIFY(app.inputForm());
        app.inputForm()->close();
        QApplication::processEvents();
        window = app.mainWindow();
        QVERIFY(window->List1->currentItem());
        QCOMPARE(idFromListLine(window->List1->currentItem()->text().toStdString()), open);

        // The tooltip names the whole entry.
        QCOMPARE(entrySummary(app.store(), 1), std::string());  // deleted
        QVERIFY(entrySummary(app.store(), 2).find("名0") == 0);
        ui.chooseAnswers = {1};  // 終了, without saving: the window goes
        window->close();
    }

    void filesComeInByDropAndByName() {
        TempFolder folder;
        ScriptedUi ui;
        App app(Store::inMemory(), Module1{}, ui);
        Form1* window = app.showMainWindow();
        QVERIFY(QTest::qWaitForWindowExposed(window));
        std::string card = "BEGIN:VCARD\r\nVERSION:2.1\r\nN;CHARSET=SHIFT_JIS:A\r\nEND:VCARD\r\n";
        std::string vcf = folder.write("a.vcf", card + card);
        std::string csv = folder.write("b.csv", "表示名,携帯電話\r\nB,090\r\n");
        QMimeData data;
        data.setUrls({QUrl::fromLocalFile(QString::fromStdString(vcf)),
                      QUrl::fromLocalFile(QString::fromStdString(csv))});
        QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &data, Qt::LeftButton, {});
        QApplication::sendEvent(window, &enter);
        QVERIFY(enter.isAccepted());
        QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton, {});
        QApplication::sendEvent(window, &drop);
        QCOMPARE(window->List1->count(), 3);
        QCOMPARE(window->List1->currentRow(), 0);  // the first new entry
        // Named from outside (a second start, the command line): added after them, shown.
        app.openFilesFromOutside({vcf});
        QCOMPARE(window->List1->count(), 5);
        QCOMPARE(window->List1->currentRow(), 3);
        QVERIFY(ui.messages.empty());
        ui.chooseAnswers = {1};  // 終了, without saving: the window goes
        window->close();
    }

    void theDetailsDialogKeepsWhatWasTyped() {
        DetailsDialog dialog("山崎 美咲", {{DetailKind::Note, "旧メモ"}}, nullptr);
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        dialog.addButton->click();
        dialog.table->item(1, 1)->setText("1960-13-01");
        qobject_cast<QComboBox*>(dialog.table->cellWidget(1, 0))->setCurrentIndex(2);  // 誕生日
        // A date that is no day: said, and the dialog stays on that row.
        QString said;
        QTimer::singleShot(100, [&said] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                said = box->text();
                box->accept();
            }
        });
        dialog.accept();
        QVERIFY(said.contains("1960-13-01"));
        QVERIFY(dialog.isVisible());
        QCOMPARE(dialog.table->currentRow(), 1);
        // Esc with changes asks; its default, 戻る, keeps everything typed.
        QTimer::singleShot(100, [] {
            if (QWidget* box = QApplication::activeModalWidget())
                QTest::keyClick(box, Qt::Key_Escape);
        });
        QTest::keyClick(&dialog, Qt::Key_Escape);
        QVERIFY(dialog.isVisible());
        QCOMPARE(dialog.details().size(), size_t(2));
        // A date that is one: OK closes it.
        dialog.table->item(1, 1)->setText("1960-12-01");
        dialog.accept();
        QVERIFY(!dialog.isVisible());
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
    }

    void aWordInTheStatusBarOfTheMainWindowOfTheMoment() {
        // The interface the program runs with, which no window is handed: the status word of a
        // save goes to the main window shown, a fresh one after the input form too.
        QtUserInterface ui;
        ScriptedUi scripted;
        App app(Store::inMemory(), Module1{}, scripted);
        Form1* window = app.showMainWindow();
        window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(window));
        ui.showStatus("保存しました：/tmp/a.vcf");
        QCOMPARE(window->statusBar()->currentMessage(), QString("保存しました：/tmp/a.vcf"));
        // A path longer than the window is shortened in its middle, the file's name and kind
        // kept in sight, the whole in the tooltip.
        std::string whole =
            "保存しました：/home/user/" + std::string(200, 'd') + "/20261208.vcf（VCF）";
        ui.showStatus(whole);
        QString shown = window->statusBar()->currentMessage();
        QVERIFY(shown.contains("…"));
        QVERIFY(shown.startsWith("保存しました"));
        QVERIFY(shown.endsWith("（VCF）"));
        QVERIFY(window->statusBar()->fontMetrics().horizontalAdvance(shown) <
                window->statusBar()->width());
        QCOMPARE(window->statusBar()->toolTip(), QString::fromStdString(whole));
        window->close();
        // Gone now: a dialog's own event loop in the next test would not delete it.
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    void theColumnChoiceThroughItsWindowEscIncluded() {
        QtUserInterface ui;
        CsvColumnsPreview preview;
        preview.headings = {"Nom", "Portable"};
        preview.samples = {{"Martin Léa"}, {"06 12 34 56 78"}};
        preview.guesses = {"keep", "keep"};
        // Esc stores nothing.
        QTimer::singleShot(100, [] {
            if (QWidget* dialog = QApplication::activeModalWidget())
                QTest::keyClick(dialog, Qt::Key_Escape);
        });
        QVERIFY(!ui.chooseColumns("/x/liste.csv", preview));
        // Enter with no column for the name: the dialog stays and says to choose one; then each
        // column's field chosen in its box, and Enter.
        bool toldToChoose = false;
        QTimer::singleShot(100, [&toldToChoose] {
            QWidget* dialog = QApplication::activeModalWidget();
            if (!dialog) return;
            QTimer::singleShot(100, [&toldToChoose] {
                auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
                toldToChoose = box && box->text().contains("名前");
                if (box) box->accept();
            });
            QTest::keyClick(dialog, Qt::Key_Return);
        });
        QTimer::singleShot(400, [] {
            QWidget* dialog = QApplication::activeModalWidget();
            if (!dialog) return;
            auto* table = dialog->findChild<QTableWidget*>("columns");
            auto* name = qobject_cast<QComboBox*>(table->cellWidget(0, 2));
            auto* number = qobject_cast<QComboBox*>(table->cellWidget(1, 2));
            name->setCurrentIndex(name->findData("name"));
            number->setCurrentIndex(number->findData("mobile"));
            QTest::keyClick(dialog, Qt::Key_Return);
        });
        std::optional<CsvAssignment> chosen = ui.chooseColumns("/x/liste.csv", preview);
        QVERIFY(toldToChoose);
        QVERIFY(chosen);
        QCOMPARE(chosen->size(), size_t(2));
        QCOMPARE(QString::fromStdString((*chosen)[0].field), QString("name"));
        QCOMPARE(QString::fromStdString((*chosen)[1].field), QString("mobile"));

        // A file without a heading line: the box is ticked by the guess, the columns are named
        // by position, and the first row is read too.
        CsvColumnsPreview data;
        data.firstRow = {"山田太郎", "090-1111-2222"};
        data.headings = {"1列目", "2列目"};
        data.samples = {{"山田太郎"}, {"090-1111-2222"}};
        data.guesses = {"name", "mobile"};
        data.firstRowIsData = true;
        QTimer::singleShot(100, [] {
            QWidget* dialog = QApplication::activeModalWidget();
            if (!dialog) return;
            auto* box = dialog->findChild<QCheckBox*>("firstRowIsData");
            auto* table = dialog->findChild<QTableWidget*>("columns");
            if (!box || !box->isChecked() || table->item(0, 0)->text() != "1列目") return;
            QTest::keyClick(dialog, Qt::Key_Return);
        });
        chosen = ui.chooseColumns("/x/nohead.csv", data);
        QVERIFY(chosen);
        QVERIFY(chosen->firstRowIsData);
        QCOMPARE(QString::fromStdString((*chosen)[0].heading), QString("1"));
        QCOMPARE(QString::fromStdString((*chosen)[1].field), QString("mobile"));
    }

    void aSecondStartHandsItsFilesToTheFirst() {
        TempFolder folder;
        QString lock = QString::fromStdString(folder.file("tsunagi.lock"));
        InstanceChannel first(lock), second(lock);
        QVERIFY(!second.send({"/nobody/listens.vcf"}, 200));
        QVERIFY(first.listen());
        QStringList arrived;
        bool heard = false;
        connect(&first, &InstanceChannel::filesArrived, this, [&](const QStringList& files) {
            arrived = files;
            heard = true;
        });
        // The sender waits for its bytes to go; the first hears them in its event loop.
        QVERIFY(second.send({"/home/user/カード.vcf", "/home/user/book.csv"}));
        QTRY_VERIFY(heard);
        QCOMPARE(arrived, QStringList({"/home/user/カード.vcf", "/home/user/book.csv"}));
        heard = false;
        QVERIFY(second.send({}));  // only "come forward"
        QTRY_VERIFY(heard);
        QVERIFY(arrived.isEmpty());
    }

    void aSecondStartWhileAMessageBoxIsOpenAndAnswered() {
        // The running window answers a hand-over with a message box: its connection must be
        // done with before the box's own event loop runs, and the box answered safely.
        TempFolder folder;
        QString lock = QString::fromStdString(folder.file("tsunagi.lock"));
        InstanceChannel first(lock), second(lock);
        QVERIFY(first.listen());
        int answered = 0;
        connect(&first, &InstanceChannel::filesArrived, this, [&](const QStringList&) {
            QTimer::singleShot(100, [] {
                if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget()))
                    QTest::keyClick(box, Qt::Key_Return);
            });
            QMessageBox box(QMessageBox::Information, "Tsunagi", "読み込みました。",
                            QMessageBox::Ok);
            box.exec();
            ++answered;
        });
        QVERIFY(second.send({"/home/user/a.csv"}));
        QTRY_COMPARE(answered, 1);
        QVERIFY(second.send({"/home/user/b.vcf"}));
        QTRY_COMPARE(answered, 2);
        QTest::qWait(50);  // the sockets' last events, after the boxes
    }

    void mergingDuplicatesFromTheListMenu() {
        ScriptedUi ui;
        App app(Store::inMemory(), Module1{}, ui);
        Form1* window = app.showMainWindow();
        window->mergeDuplicatesItem->trigger();  // nothing to merge: said so, no dialog
        QCOMPARE(ui.messages.back(), std::string("重複しているデータは見つかりませんでした。"));
        {
            Connection connection = app.store().open();
            EntryInserter inserter(connection);
            inserter.insert(
                {"BEGIN:VCARD", "N;CHARSET=SHIFT_JIS:山田;太郎", "TEL;CELL:090", "END:VCARD"});
            inserter.insert({"BEGIN:VCARD", "N;CHARSET=SHIFT_JIS:山田 太郎", "TEL;CELL:090",
                             "EMAIL;INTERNET:t@x.jp", "END:VCARD"});
            inserter.insert(
                {"BEGIN:VCARD", "N;CHARSET=SHIFT_JIS:山田;花子", "TEL;VOICE;HOME:03", "END:VCARD"});
            inserter.insert(
                {"BEGIN:VCARD", "N;CHARSET=SHIFT_JIS:山田;次郎", "TEL;VOICE;HOME:03", "END:VCARD"});
        }
        window->RefreshList();
        bool seen = false;
        QTimer::singleShot(0, [&] {
            auto* dialog = qobject_cast<MergeDialog*>(QApplication::activeModalWidget());
            QVERIFY(dialog);
            seen = true;
            QCOMPARE(dialog->Groups->topLevelItemCount(), 2);
            QCOMPARE(dialog->Groups->topLevelItem(0)->checkState(0), Qt::Checked);
            // The family sharing a home number: shown, but not checked.
            QCOMPARE(dialog->Groups->topLevelItem(1)->checkState(0), Qt::Unchecked);
            QCOMPARE(dialog->Groups->topLevelItem(0)->child(1)->text(4), QString("t@x.jp"));
            // Every group opened, its caption across all columns.
            for (int i = 0; i < 2; ++i) {
                QVERIFY(dialog->Groups->topLevelItem(i)->isExpanded());
                QVERIFY(dialog->Groups->topLevelItem(i)->isFirstColumnSpanned());
            }
            QTest::mouseClick(dialog->mergeButton, Qt::LeftButton);
        });
        window->mergeDuplicatesItem->trigger();
        QVERIFY(seen);
        QCOMPARE(ui.messages.back(), std::string("2 件のデータを 1 件にまとめました。"));
        QCOMPARE(window->List1->count(), 3);
        QCOMPARE(window->Label1->text(), QString("3ﾃﾞｰﾀ"));
        ui.chooseAnswers = {1};  // 終了, without saving: the window goes
        window->close();
    }

    void anEntryLeftOutOfItsGroupAndThePickedName() {
        DuplicateGroup group;
        for (int i = 0; i < 3; ++i)
            group.entries.push_back({i + 1, "Name" + std::to_string(i), "ﾖﾐ", "Acme", {}, {}});
        group.entries[1].fullName = "Dr. Name A. One";
        MergeDialog dialog({group});
        QTreeWidgetItem* item = dialog.Groups->topLevelItem(0);
        QCOMPARE(dialog.Groups->headerItem()->text(1), QString("読み"));
        // A name the phone's lines hold only in part is shown whole.
        QCOMPARE(item->child(1)->text(0), QString("Dr. Name A. One"));
        QCOMPARE(item->child(0)->text(2), QString("Acme"));
        // The name a merge would keep is marked at first: of equals, the same whatever the
        // order the entries came in (here the last by its letters).
        QCOMPARE(item->child(2)->checkState(MergeDialog::kNameColumn), Qt::Checked);
        QCOMPARE(item->child(0)->checkState(MergeDialog::kNameColumn), Qt::Unchecked);
        // The first keeps its name by the user's pick; the second stays out of the merge.
        item->child(0)->setCheckState(MergeDialog::kNameColumn, Qt::Checked);
        QCOMPARE(item->child(2)->checkState(MergeDialog::kNameColumn), Qt::Unchecked);
        item->child(1)->setCheckState(0, Qt::Unchecked);
        std::vector<DuplicateGroup> checked = dialog.checkedGroups();
        QCOMPARE(checked.size(), size_t(1));
        QCOMPARE(checked[0].entries.size(), size_t(2));
        QCOMPARE(checked[0].entries[1].id, std::int64_t(3));
        QCOMPARE(checked[0].nameFrom, std::optional<std::int64_t>(1));

        // The name's entry left out: the mark goes to the first that stays. By keyboard, N on a
        // row gives it the name (and takes it into the merge).
        MergeDialog keys({group});
        QTreeWidgetItem* rows = keys.Groups->topLevelItem(0);
        rows->child(2)->setCheckState(0, Qt::Unchecked);
        QCOMPARE(rows->child(2)->checkState(MergeDialog::kNameColumn), Qt::Unchecked);
        QCOMPARE(rows->child(0)->checkState(MergeDialog::kNameColumn), Qt::Checked);
        keys.Groups->setCurrentItem(rows->child(2));
        QTest::keyClick(keys.Groups, Qt::Key_N);
        QCOMPARE(rows->child(2)->checkState(0), Qt::Checked);
        QCOMPARE(rows->child(2)->checkState(MergeDialog::kNameColumn), Qt::Checked);
        QCOMPARE(rows->child(0)->checkState(MergeDialog::kNameColumn), Qt::Unchecked);

        // In the store: the first entry stays, with its own name, the picked one.
        Store store = Store::inMemory();
        addCards(store, 3);
        MergeResult result = mergeDuplicates(store, checked);
        QCOMPARE(result.entriesBefore, 2L);
        QCOMPARE(result.entriesAfter, 1L);
        std::vector<std::string> lines = readEntryList(store);
        QCOMPARE(lines.size(), size_t(2));
        QVERIFY(QString::fromStdString(lines[0]).startsWith(" 名0"));
        QVERIFY(QString::fromStdString(lines[1]).startsWith(" 名1"));
    }

    void anEntryAskedAboutComesUntickedAndIsMergedOnlyWhenTakenIn() {
        DuplicateGroup group;
        group.reason = "同じ電話番号 090-2222-3333";
        group.askedReason = "同じ名前で、番号もメールも別";
        group.entries.push_back({1, "小野;亜希", "", "", {"090-2222-3333"}, {}});
        group.entries.push_back({2, "小野;亜希", "", "", {"09022223333"}, {}});
        group.entries.push_back({3, "小野;亜希", "", "", {"09099998888"}, {}});
        group.entries[2].asked = true;
        MergeDialog dialog({group});
        QTreeWidgetItem* item = dialog.Groups->topLevelItem(0);
        QVERIFY(item->text(0).startsWith("同じ人（2 件）：同じ電話番号 090-2222-3333"));
        QVERIFY(item->text(0).contains("別の人かもしれません（1 件"));
        QVERIFY(item->text(0).contains("番号もメールも別"));
        QCOMPARE(item->child(2)->checkState(0), Qt::Unchecked);
        QCOMPARE(item->child(2)->checkState(MergeDialog::kNameColumn), Qt::Unchecked);
        std::vector<DuplicateGroup> checked = dialog.checkedGroups();
        QCOMPARE(checked.front().entries.size(), size_t(2));
        // Ticked, it is taken in.
        item->child(2)->setCheckState(0, Qt::Checked);
        checked = dialog.checkedGroups();
        QCOMPARE(checked.front().entries.size(), size_t(3));
        QVERIFY(!checked.front().entries[2].asked);
    }

    void aGroupThousandsStrongShowsItsFirstHundredAndStillMergesWhole() {
        DuplicateGroup big;
        big.kind = DuplicateKind::Same;
        for (int i = 0; i < 1000; ++i)
            big.entries.push_back({i + 1, "山田;太郎", "", "", {"090" + std::to_string(i)}, {}});
        MergeDialog dialog({big});
        QTreeWidgetItem* group = dialog.Groups->topLevelItem(0);
        QCOMPARE(group->childCount(), MergeDialog::kShownMembers + 1);
        QCOMPARE(group->child(99)->text(MergeDialog::kNumbersColumn), QString("09099"));
        QCOMPARE(group->child(100)->text(0), QString("…ほか 900 件"));
        QCOMPARE(group->child(100)->flags(), Qt::NoItemFlags);
        QCOMPARE(dialog.checkedGroups().front().entries.size(), size_t(1000));
    }
};

QTEST_MAIN(Form1Test)
#include "main_window_test.moc"
