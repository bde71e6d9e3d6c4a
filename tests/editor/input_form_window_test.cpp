#include "editor/input_form_window.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QPointer>
#include <QTest>

#include "card/card_view.h"
#include "card/person.h"
#include "shell/application.h"
#include "shell/main_window.h"
#include "store/entries.h"
#include "store/entry_list.h"
#include "support/scripted_ui.h"
#include "support/temp_folder.h"

using namespace tsunagi;

class Form2Test : public QObject {
    Q_OBJECT

    // A main window listing one entry, as after an import.
    static Form1* startWithOneEntry(App& app) {
        {
            Connection connection = app.store().open();
            EntryInserter(connection)
                .insert({"BEGIN:VCARD", "VERSION:2.1", "N;CHARSET=SHIFT_JIS:山田", "X-JPG-OWNER:0",
                         "TEL;CELL:0901<>TEL;VOICE:0302", "X-GNO:0", "X-JPG-MDNO:5", "END:VCARD"});
        }
        app.module1().ListRefreshPending = true;
        return app.showMainWindow();
    }

    static Form2* openByDoubleClick(App& app, Form1* window) {
        if (!QTest::qWaitForWindowExposed(window)) return nullptr;
        QListWidgetItem* item = window->List1->item(0);
        window->List1->setCurrentItem(item);
        QRect rect = window->List1->visualItemRect(item);
        // A double-click is a click followed by the double-click event.
        QTest::mouseClick(window->List1->viewport(), Qt::LeftButton, {}, rect.center());
        QTest::mouseDClick(window->List1->viewport(), Qt::LeftButton, {}, rect.center());
        QApplication::processEvents();
        return qobject_cast<Form2*>(app.inputForm());
    }

    static QString firstLine(const Form1* window) { return window->List1->item(0)->text(); }

    // The empty input form, opened from the menu and active.
    static Form2* openEmptyForm(App& app) {
        app.showMainWindow()->m3->trigger();
        QApplication::processEvents();
        auto* form = qobject_cast<Form2*>(app.inputForm());
        return form && QTest::qWaitForWindowActive(form) ? form : nullptr;
    }

  private slots:
    void doubleClickEditUpdateAndSeeTheRebuiltList() {
        ScriptedUi ui;
        ui.chooseDefault = 1;  // closing the list at the end: "終了" without saving
        App app(Store::inMemory(), Module1{}, ui);
        QPointer<Form1> window = startWithOneEntry(app);
        Form2* form = openByDoubleClick(app, window);
        QVERIFY(form);
        QCOMPARE(form->windowTitle(), QString("入力フォーム"));
        QCOMPARE(app.module1().SelectedId, std::optional<std::int64_t>(1));
        QCOMPARE(form->Text1->text(), QString("山田"));
        QCOMPARE(form->Text3->text(), QString("0901"));
        QCOMPARE(form->Combo1->currentText(), QString("携帯"));
        QCOMPARE(form->Text4->text(), QString("0302"));
        QCOMPARE(form->Combo2->currentText(), QString("電話"));
        QCOMPARE(form->Combo6->currentText(), QString("PC"));
        QApplication::processEvents();
        QVERIFY(!app.mainWindow() || !app.mainWindow()->isVisible());

        form->Text1->setText("佐藤花子");
        QTest::mouseClick(form->Command2, Qt::LeftButton);
        QApplication::processEvents();
        Form1* back = app.mainWindow();
        QVERIFY(back && back->isVisible());
        // A new list window: the one closed for the form is gone (its address may well be
        // the new one's, so the pointers themselves prove nothing).
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(window.isNull());
        QVERIFY(firstLine(back).startsWith("佐藤花子"));
        QCOMPARE(back->Label1->text(), QString("1ﾃﾞｰﾀ"));
        QVERIFY(!app.module1().SelectedId);
        QVERIFY(!app.module1().ListRefreshPending);
        back->close();
    }

    void anImportedEntryWithInternationalNumbersCanBeRenamed() {
        ScriptedUi ui;
        ui.chooseDefault = 1;  // closing the list at the end: "終了" without saving
        App app(Store::inMemory(), Module1{}, ui);
        {
            Connection connection = app.store().open();
            EntryInserter(connection)
                .insert({"BEGIN:VCARD", "VERSION:2.1", "N;CHARSET=SHIFT_JIS:Smith;John",
                         "X-JPG-OWNER:0",
                         "TEL;CELL:+81 90-1234-5678<>TEL;VOICE;HOME:(03) 1234-5678<>"
                         "TEL;VOICE;WORK:03.5555.6666<>",
                         "X-GNO:0", "X-JPG-MDNO:1", "END:VCARD"});
        }
        app.module1().ListRefreshPending = true;
        Form2* form = openByDoubleClick(app, app.showMainWindow());
        QVERIFY(form);
        QCOMPARE(form->Text3->text(), QString("+81 90-1234-5678"));
        form->Text1->setText("Smith;Jane");
        QTest::mouseClick(form->Command2, Qt::LeftButton);
        QApplication::processEvents();
        QVERIFY(ui.messages.empty());  // nothing refused
        Connection connection = app.store().open();
        std::optional<EntryRow> row = readEntry(connection, 1);
        QVERIFY(row);
        QCOMPARE(row->at(2), std::string("N;CHARSET=SHIFT_JIS:Smith;Ja"));  // 8 characters
        QCOMPARE(row->at(4),
                 std::string("TEL;CELL:+81 90-1234-5678<>TEL;VOICE;HOME:(03) 1234-5678<>"
                             "TEL;VOICE;WORK:03.5555.6666<>"));
        app.mainWindow()->close();
    }

    void newOnAnOpenedEntryAddsASecondAndDeleteAsksNothing() {
        ScriptedUi ui;
        ui.chooseDefault = 1;  // closing the list at the end: "終了" without saving
        App app(Store::inMemory(), Module1{}, ui);
        Form1* window = startWithOneEntry(app);
        Form2* form = openByDoubleClick(app, window);
        QTest::mouseClick(form->Command1, Qt::LeftButton);
        QApplication::processEvents();
        QCOMPARE(app.mainWindow()->List1->count(), 2);

        form = openByDoubleClick(app, app.mainWindow());
        QTest::mouseClick(form->Command3, Qt::LeftButton);
        QApplication::processEvents();
        QCOMPARE(app.mainWindow()->List1->count(), 1);
        QVERIFY(ui.messages.empty());
        app.mainWindow()->close();
    }

    void emptyFormMessagesAndCloseBoxHandBack() {
        ScriptedUi ui;
        ui.chooseDefault = 1;  // closing the list at the end: "終了" without saving
        App app(Store::inMemory(), Module1{}, ui);
        Form1* window = app.showMainWindow();
        window->m3->trigger();
        QApplication::processEvents();
        auto* form = qobject_cast<Form2*>(app.inputForm());
        QVERIFY(form);
        QCOMPARE(form->Text1->text(), QString());
        QStringList words;
        for (int i = 0; i < form->Combo1->count(); ++i) words << form->Combo1->itemText(i);
        QCOMPARE(words, QStringList({"電話", "自宅", "携帯", "会社"}));
        QCOMPARE(form->Combo4->count(), 2);
        QVERIFY(!form->Combo1->isEditable());

        QTest::mouseClick(form->Command2, Qt::LeftButton);
        QTest::mouseClick(form->Command3, Qt::LeftButton);
        QCOMPARE(ui.messages, (std::vector<std::string>{"新規登録でしょ。", "削除は出来ません。"}));
        QVERIFY(form->isVisible());

        form->close();  // the close box hands back like 閉じる
        QApplication::processEvents();
        QVERIFY(app.mainWindow() && app.mainWindow()->isVisible());
        QCOMPARE(app.mainWindow()->Label1->text(), QString("0ﾃﾞｰﾀ"));

        app.mainWindow()->m3->trigger();  // and so does Esc
        QApplication::processEvents();
        form = qobject_cast<Form2*>(app.inputForm());
        QVERIFY(QTest::qWaitForWindowActive(form));
        QTest::keyClick(form->Text1, Qt::Key_Escape);
        QApplication::processEvents();
        QVERIFY(app.mainWindow() && app.mainWindow()->isVisible());
        app.mainWindow()->close();
    }

    void updateOfAVanishedEntrySaysSo() {
        ScriptedUi ui;
        ui.chooseDefault = 1;  // closing the list at the end: "終了" without saving
        App app(Store::inMemory(), Module1{}, ui);
        Form1* window = startWithOneEntry(app);
        Form2* form = openByDoubleClick(app, window);
        clearStore(app.store());
        QTest::mouseClick(form->Command2, Qt::LeftButton);
        QApplication::processEvents();
        QCOMPARE(ui.messages.size(), size_t(1));
        QVERIFY(app.mainWindow() && app.mainWindow()->isVisible());
        QCOMPARE(app.mainWindow()->List1->count(), 0);
        app.mainWindow()->close();
    }

    void aStoreFailureIsShownAndTheFormStays() {
        TempFolder folder;
        std::string path = folder.file("keitai.mdb");
        Store::createFile(path);
        ScriptedUi ui;
        ui.chooseDefault = 1;  // closing the list at the end: "終了" without saving
        App app(Store(connectionStringFor(path)), Module1{}, ui);
        app.showMainWindow()->m3->trigger();
        QApplication::processEvents();
        auto* form = qobject_cast<Form2*>(app.inputForm());
        std::filesystem::remove(path);
        QTest::mouseClick(form->Command1, Qt::LeftButton);
        QCOMPARE(ui.messages.size(), size_t(1));
        QVERIFY(QString::fromStdString(ui.messages[0]).contains(QString::fromStdString(path)));
        QVERIFY(form->isVisible());
        form->close();
        QApplication::processEvents();
        app.mainWindow()->close();
    }

    void tabOrderAndDropDownOnFocus() {
        ScriptedUi ui;
        ui.chooseDefault = 1;  // closing the list at the end: "終了" without saving
        App app(Store::inMemory(), Module1{}, ui);
        Form2* form = openEmptyForm(app);
        QVERIFY(form);
        QWidget* expected[] = {form->Text1,   form->Text3,    form->Text4,    form->Text5,
                               form->Text6,   form->Text7,    form->Text8,    form->Combo1,
                               form->Combo2,  form->Combo3,   form->Combo4,   form->Combo5,
                               form->Combo6,  form->Command1, form->Command2, form->Command3,
                               form->Command4};
        QWidget* widget = form->Text1;
        for (size_t i = 1; i < std::size(expected); ++i) {
            widget = widget->nextInFocusChain();
            while (widget->focusPolicy() == Qt::NoFocus) widget = widget->nextInFocusChain();
            QCOMPARE(widget, expected[i]);
        }
        form->Text8->setFocus();
        QTest::keyClick(form->Text8, Qt::Key_Tab);
        QTRY_VERIFY(form->Combo1->view()->isVisible());
        form->Combo1->hidePopup();
        form->close();
        QApplication::processEvents();
        app.mainWindow()->close();
    }

    // Keys on an open type list: Esc closes the list only, Tab and Shift+Tab move on.
    void keysOnAnOpenListAndEnterOnAButton() {
        ScriptedUi ui;
        ui.chooseDefault = 1;  // closing the list at the end: "終了" without saving
        App app(Store::inMemory(), Module1{}, ui);
        Form2* form = openEmptyForm(app);
        QVERIFY(form);
        form->Text1->setText("typed");
        form->Text8->setFocus();
        QTest::keyClick(form->Text8, Qt::Key_Tab);
        QTRY_VERIFY(form->Combo1->view()->isVisible());
        QTest::keyClick(form->Combo1->view(), Qt::Key_Escape);
        QApplication::processEvents();
        QTRY_VERIFY(!form->Combo1->view()->isVisible());
        QVERIFY(form->isVisible());
        QCOMPARE(form->Text1->text(), QString("typed"));

        form->Combo1->showPopup();
        QTRY_VERIFY(form->Combo1->view()->isVisible());
        QTest::keyClick(form->Combo1->view(), Qt::Key_Tab);
        QTRY_COMPARE(QApplication::focusWidget(), static_cast<QWidget*>(form->Combo2));
        QVERIFY(!form->Combo1->view()->isVisible());
        QTRY_VERIFY(form->Combo2->view()->isVisible());
        QTest::keyClick(form->Combo2->view(), Qt::Key_Backtab);
        QTRY_COMPARE(QApplication::focusWidget(), static_cast<QWidget*>(form->Combo1));
        QVERIFY(!form->Combo2->view()->isVisible());
        form->Combo1->hidePopup();

        // Enter on the focused 新規登録 adds the entry and hands back, as a click does.
        form->Command1->setFocus();
        QTest::keyClick(form->Command1, Qt::Key_Return);
        QApplication::processEvents();
        QVERIFY(app.mainWindow() && app.mainWindow()->isVisible());
        QCOMPARE(app.mainWindow()->List1->count(), 1);
        app.mainWindow()->close();
    }

    void refusedBoxesAreNamedAndNothingIsSavedOrLost() {
        ScriptedUi ui;
        ui.chooseDefault = 1;  // closing the list at the end: "終了" without saving
        App app(Store::inMemory(), Module1{}, ui);
        Form2* form = openEmptyForm(app);
        QVERIFY(form);
        form->Text1->setText("山田");
        form->Text3->setText("０３－１２３４");  // full-width digits and hyphen are fine
        form->Text4->setText("03-12ab");
        form->Text7->setText("foo@bar");
        QTest::mouseClick(form->Command1, Qt::LeftButton);
        QApplication::processEvents();
        QCOMPARE(ui.messages.size(), size_t(1));
        QVERIFY(QString::fromStdString(ui.messages[0]).contains("電話番号2"));
        QVERIFY(QString::fromStdString(ui.messages[0]).contains("メール2"));
        QVERIFY(!QString::fromStdString(ui.messages[0]).contains("電話番号1"));
        QVERIFY(form->isVisible());
        QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(form->Text4));
        QCOMPARE(form->Text4->text(), QString("03-12ab"));
        QCOMPARE(countEntries(*std::make_unique<Connection>(app.store().open())), 0);

        form->Text4->clear();
        form->Text7->setText("foo@bar.jp");
        QTest::mouseClick(form->Command1, Qt::LeftButton);
        QApplication::processEvents();
        Connection connection = app.store().open();
        std::optional<EntryRow> row = readEntry(connection, 1);
        QVERIFY(row);
        QCOMPARE(QString::fromStdString(row->at(4)), QString("TEL;VOICE:031234<>"));
        app.mainWindow()->close();
    }

    void theMainWindowComesBackAsTheUserLeftIt() {
        ScriptedUi ui;
        ui.chooseDefault = 1;
        App app(Store::inMemory(), Module1{}, ui);
        Form1* window = startWithOneEntry(app);
        QVERIFY(QTest::qWaitForWindowExposed(window));
        window->resize(900, 600);
        window->sortByReading->setChecked(true);
        window->findClicked();
        window->searchBox->setText("山田");
        Form2* form = openByDoubleClick(app, window);
        QVERIFY(form);
        QTest::mouseClick(form->Command2, Qt::LeftButton);
        QApplication::processEvents();
        Form1* back = app.mainWindow();
        QVERIFY(back && back->isVisible());
        QCOMPARE(back->size(), QSize(900, 600));
        QVERIFY(back->sortByReading->isChecked());
        QVERIFY(back->searchBox->isVisible());
        QCOMPARE(back->searchBox->text(), QString("山田"));
        QVERIFY(back->List1->currentItem());
        back->close();
    }

    void aLongNameLeftAsItWasIsNotAskedAboutAndStaysWhole() {
        ScriptedUi ui;
        ui.chooseDefault = 1;
        App app(Store::inMemory(), Module1{}, ui);
        {
            Connection connection = app.store().open();
            EntryInserter(connection)
                .insert({"BEGIN:VCARD", "N;CHARSET=SHIFT_JIS:Lefèvre-Beaumont;Jean-Christophe",
                         "TEL;CELL:09011112222", "END:VCARD"});
        }
        app.module1().ListRefreshPending = true;
        Form2* form = openByDoubleClick(app, app.showMainWindow());
        QVERIFY(form);
        form->Text3->setText("09099998888");  // only the number changed
        QTest::mouseClick(form->Command2, Qt::LeftButton);
        QApplication::processEvents();
        QVERIFY(ui.questions.empty());
        Connection connection = app.store().open();
        std::optional<EntryRow> row = readEntry(connection, 1);
        QVERIFY(row);
        QCOMPARE(QString::fromStdString(readCard(*row).name.value_or("")), QString("Lefèvre-"));
        QCOMPARE(QString::fromStdString(builtName(readPerson(*row))),
                 QString("Jean-Christophe Lefèvre-Beaumont"));
        app.mainWindow()->close();
    }

    void aNameLongerThanThePhoneHoldsIsSaidBeforeItIsStored() {
        ScriptedUi ui;
        ui.chooseDefault = 1;
        App app(Store::inMemory(), Module1{}, ui);
        Form2* form = openEmptyForm(app);
        QVERIFY(form);
        form->Text1->setText("寿限無寿限無五劫の擦り切れ");
        ui.askAnswer = false;  // "名前を直す": nothing stored, the name as typed
        QTest::mouseClick(form->Command1, Qt::LeftButton);
        QApplication::processEvents();
        QCOMPARE(ui.questions.size(), size_t(1));
        QCOMPARE(QString::fromStdString(ui.questions[0]),
                 QString("名前は電話機に 8 文字までしか入らないため、「寿限無寿限無五劫」として"
                         "登録します。よろしいですか？"));
        QVERIFY(form->isVisible());
        QCOMPARE(form->Text1->text(), QString("寿限無寿限無五劫の擦り切れ"));
        QCOMPARE(countEntries(*std::make_unique<Connection>(app.store().open())), 0);
        ui.askAnswer = true;
        QTest::mouseClick(form->Command1, Qt::LeftButton);
        QApplication::processEvents();
        Connection connection = app.store().open();
        std::optional<EntryRow> row = readEntry(connection, 1);
        QVERIFY(row);
        QCOMPARE(QString::fromStdString(row->at(2)),
                 QString("N;CHARSET=SHIFT_JIS:寿限無寿限無五劫"));
        app.mainWindow()->close();
    }
};

QTEST_MAIN(Form2Test)
#include "input_form_window_test.moc"
