// The sync's windows: the address dialog asks for all three fields before it goes on, and a
// conflict's choice comes back as the resolution the engine takes.

#include "shell/sync_window.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

#include "sync/sync_engine.h"

using namespace tsunagi;

class SyncWindowTest : public QObject {
    Q_OBJECT
  private slots:
    void addressDialogWantsEveryField() {
        SyncDialog dialog("", "", "", false, "同期の準備(&O)");
        QList<QLineEdit*> edits = dialog.findChildren<QLineEdit*>();
        QCOMPARE(edits.size(), 3);
        QPushButton* ok = dialog.findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok);
        QVERIFY(!ok->isEnabled());
        edits[0]->setText(" https://dav.example.jp/ ");
        edits[1]->setText("taro");
        QVERIFY(!ok->isEnabled());
        edits[2]->setText("パスワード");
        QVERIFY(ok->isEnabled());
        QCOMPARE(edits[2]->echoMode(), QLineEdit::Password);
        QCOMPARE(dialog.address(), QString("https://dav.example.jp/"));
        QCOMPARE(dialog.password(), QString("パスワード"));
        QVERIFY(!dialog.remember());
    }

    void conflictChoiceIsTheResolution() {
        for (auto [text, expected] : {std::pair{"このリストのものを残す(&L)", Resolution::KeepOurs},
                                      std::pair{"サーバーのものを残す(&S)", Resolution::KeepTheirs},
                                      std::pair{"両方残す(&B)", Resolution::KeepBoth}}) {
            ConflictDialog dialog("山田太郎", "ここでもサーバーでも変更されています",
                                  "電話番号: 090", "メモ: theirs");
            for (QPushButton* button : dialog.findChildren<QPushButton*>())
                if (button->text() == text) button->click();
            QCOMPARE(dialog.result(), int(QDialog::Accepted));
            QCOMPARE(dialog.choice(), int(expected));
        }
        ConflictDialog later("山田太郎", "", "", "");
        later.reject();
        QCOMPARE(later.choice(), -1);
    }
};

QTEST_MAIN(SyncWindowTest)
#include "sync_window_test.moc"
