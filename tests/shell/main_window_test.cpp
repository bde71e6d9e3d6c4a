#include "shell/main_window.h"

#include <QApplication>
#include <QMenuBar>
#include <QProgressDialog>
#include <QTest>
#include <QTimer>

#include "merge/merge_dialog.h"
#include "platform/program_name.h"
#include "shell/application.h"
#include "shell/run_state.h"
#include "shell/version_box.h"
#include "store/entries.h"
#include "store/entry_list.h"
#include "support/scripted_ui.h"
#include "support/temp_folder.h"

using namespace tsunagi;

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
    void menusCaptionAndEmptyStart() {
        ScriptedUi ui;
        App app(Store::inMemory(), Module1{}, ui);
        addCards(app.store(), 2);  // a start shows an empty list whatever the store holds
        Form1* window = app.showMainWindow();
        QCOMPARE(window->windowTitle(), QString("Tsunagi1.0.0"));
        QStringList menus;
        for (QAction* action : window->menuBar()->actions()) menus << action->text();
        QCOMPARE(menus, QStringList({"メニュー", "リスト", "その他"}));
        QCOMPARE(captions(window->m0), QStringList({"ファイルを開く", "登録ﾌｫｰﾑを開く", "終了"}));
        QCOMPARE(captions(window->l0),
                 QStringList({"データのクリア", "データの保存", "重複をまとめる…"}));
        QCOMPARE(captions(window->s0), QStringList({"ヘルプ", "バージョン情報"}));
        for (QMenu* menu : {window->m0, window->l0, window->s0})
            for (QAction* action : menu->actions()) QVERIFY(action->shortcut().isEmpty());
        QCOMPARE(window->List1->count(), 0);
        QCOMPARE(window->Label1->text(), QString());
        QCOMPARE(window->Label2->text(), QString("名前"));
        // Every menu is in sight, none behind an extension arrow.
        QVERIFY(window->menuBar()->sizeHint().width() <= window->width());
        QCOMPARE(window->List1->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
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
        QCOMPARE(ui.messages[0], std::string("開けるアプリケーション\r\nがありません"));
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
        TempFolder folder;
        ScriptedUi ui;
        Module1 module1;
        module1.programFolder = folder.path();
        App app(Store::inMemory(), module1, ui);
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
        ui.askAnswer = false;  // キャンセル
        window->m2->trigger();
        QCOMPARE(ui.questions.size(), size_t(1));
        QCOMPARE(ui.questions[0], std::string("保存されていない変更があります。終了しますか？"));
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
            inserter.insert({"BEGIN:VCARD", "N;CHARSET=SHIFT_JIS:山田 太郎",
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
            QCOMPARE(dialog->Groups->topLevelItem(0)->child(1)->text(2), QString("t@x.jp"));
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
        window->close();
    }

    void aGroupThousandsStrongShowsItsFirstHundredAndStillMergesWhole() {
        DuplicateGroup big;
        big.sure = true;
        for (int i = 0; i < 1000; ++i)
            big.entries.push_back({i + 1, "山田;太郎", {"090" + std::to_string(i)}, {}});
        MergeDialog dialog({big});
        QTreeWidgetItem* group = dialog.Groups->topLevelItem(0);
        QCOMPARE(group->childCount(), MergeDialog::kShownMembers + 1);
        QCOMPARE(group->child(99)->text(1), QString("09099"));
        QCOMPARE(group->child(100)->text(0), QString("…ほか 900 件"));
        QCOMPARE(group->child(100)->flags(), Qt::NoItemFlags);
        QCOMPARE(dialog.checkedGroups().front().entries.size(), size_t(1000));
    }
};

QTEST_MAIN(Form1Test)
#include "main_window_test.moc"
