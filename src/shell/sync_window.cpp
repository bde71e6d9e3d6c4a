#include "shell/sync_window.h"

#include <qt6keychain/keychain.h>

#include <QApplication>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QEventLoop>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressDialog>
#include <QPushButton>
#include <QSettings>
#include <QVBoxLayout>
#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <set>

#include "card/properties.h"
#include "card/vcard_line.h"
#include "carddav/carddav_client.h"
#include "platform/error.h"
#include "platform/install_layout.h"
#include "shell/application.h"
#include "sync/card_facts.h"
#include "sync/sync_engine.h"

namespace tsunagi {
namespace {

const QString kKeychainService = "Tsunagi CardDAV";

QString keyFor(const QString& address, const QString& user) { return user + "@" + address; }

// Runs a keychain job to its end; false where no keychain answers.
bool finished(QKeychain::Job& job) {
    QEventLoop loop;
    QObject::connect(&job, &QKeychain::Job::finished, &loop, &QEventLoop::quit);
    job.setAutoDelete(false);
    job.start();
    loop.exec();
    return job.error() == QKeychain::NoError;
}

QString storedPassword(const QString& address, const QString& user) {
    QKeychain::ReadPasswordJob job(kKeychainService);
    job.setKey(keyFor(address, user));
    return finished(job) ? job.textData() : QString();
}

// Keeps or forgets the password; false where there is no keychain to keep it in.
bool keepPassword(const QString& address, const QString& user, const QString& password,
                  bool remember) {
    if (!remember) {
        QKeychain::DeletePasswordJob job(kKeychainService);
        job.setKey(keyFor(address, user));
        finished(job);
        return true;
    }
    QKeychain::WritePasswordJob job(kKeychainService);
    job.setKey(keyFor(address, user));
    job.setTextData(password);
    return finished(job);
}

// A card as a person reads it: each fact on a line of its own, in words ("電話番号: …").
QString readable(const std::string& card) {
    if (card.empty()) return "（サーバーで削除されています）";
    QStringList lines;
    for (const VcardLine& line : cardLines(card)) {
        if (line.name == "VERSION" || line.name == "PRODID" || line.name == "REV" ||
            line.name == "UID" || line.name.starts_with("X-AB") || line.name == "N")
            continue;
        std::string scratch;
        std::string value =
            line.name == "PHOTO" ? "（写真）" : std::string(unescapeText(line.value, scratch));
        std::replace(value.begin(), value.end(), ';', ' ');
        std::string word = line.name == "TEL"     ? "電話番号"
                           : line.name == "EMAIL" ? "メールアドレス"
                           : line.name == "FN"    ? "名前"
                                                  : spokenProperty(line);
        lines << QString::fromStdString(word + ": " + value).trimmed();
    }
    return lines.join('\n');
}

// A few names of a list, and how many more.
std::string namesOf(const std::vector<std::string>& names) {
    std::string text;
    for (size_t i = 0; i < names.size() && i < 10; ++i) text += "\n　" + names[i];
    if (names.size() > 10) text += "\n　ほか " + std::to_string(names.size() - 10) + " 件";
    return text;
}

// Asks where and as whom, finds the book, and hands a client for it to `work`.
template <typename Work>
void withAddressBook(App& app, QWidget* parent, const QString& action, Work work) {
    QSettings settings("tsunagi", "tsunagi");
    QString address = settings.value("carddav/address").toString();
    QString user = settings.value("carddav/user").toString();
    bool remember = settings.value("carddav/remember", false).toBool();
    QString password = remember && !address.isEmpty() ? storedPassword(address, user) : QString();
    SyncDialog dialog(address, user, password, remember, action, parent);
    if (dialog.exec() != QDialog::Accepted) return;
    settings.setValue("carddav/address", dialog.address());
    settings.setValue("carddav/user", dialog.user());
    settings.setValue("carddav/remember", dialog.remember());
    try {
        QApplication::setOverrideCursor(Qt::WaitCursor);
        CardDavClient client(QUrl::fromUserInput(dialog.address()), dialog.user(),
                             dialog.password());
        std::vector<AddressBook> books = client.discover();
        QApplication::restoreOverrideCursor();
        if (books.empty()) {
            app.ui().showMessage("このサーバーにはアドレス帳がありません。");
            return;
        }
        size_t chosen = 0;
        if (books.size() > 1) {
            QStringList names;
            for (const AddressBook& book : books)
                names << (book.name.isEmpty() ? book.url.path() : book.name);
            bool ok = false;
            QString name =
                QInputDialog::getItem(parent, "アドレス帳の選択",
                                      "使うアドレス帳を選んでください。", names, 0, false, &ok);
            if (!ok) return;
            chosen = static_cast<size_t>(names.indexOf(name));
        }
        client.useBook(books[chosen].url);
        if (!keepPassword(dialog.address(), dialog.user(), dialog.password(), dialog.remember()))
            app.ui().showMessage(
                "キーチェーンが使えないため、パスワードは保存していません。次回もう一度入力して"
                "ください。");
        work(client);
    } catch (const TsunagiError& error) {
        while (QApplication::overrideCursor()) QApplication::restoreOverrideCursor();
        app.ui().showMessage(std::string("アドレス帳を使えませんでした。\n") + error.what());
    }
}

}  // namespace

SyncDialog::SyncDialog(const QString& address, const QString& user, const QString& password,
                       bool remember, const QString& action, QWidget* parent)
    : QDialog(parent) {
    setWindowTitle("アドレス帳（CardDAV）");
    auto* layout = new QVBoxLayout(this);
    auto* intro = new QLabel(
        "新しい電話機のアドレス帳があるサーバー（iCloud、Nextcloud、Fastmail など）の"
        "アドレスと、ログインに使うユーザー名とパスワードを入力してください。");
    intro->setWordWrap(true);
    layout->addWidget(intro);
    auto* form = new QFormLayout;
    address_ = new QLineEdit(address);
    address_->setPlaceholderText("https://contacts.example.com/");
    address_->setMinimumWidth(fontMetrics().horizontalAdvance(QString(40, 'x')));
    user_ = new QLineEdit(user);
    password_ = new QLineEdit(password);
    password_->setEchoMode(QLineEdit::Password);
    remember_ = new QCheckBox("パスワードをキーチェーンに保存する(&K)");
    remember_->setChecked(remember);
    form->addRow("サーバーのアドレス(&A):", address_);
    form->addRow("ユーザー名(&U):", user_);
    form->addRow("パスワード(&P):", password_);
    form->addRow("", remember_);
    layout->addLayout(form);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    buttons->button(QDialogButtonBox::Ok)->setText(action);
    buttons->button(QDialogButtonBox::Cancel)->setText("キャンセル");
    layout->addWidget(buttons);
    auto update = [this, buttons] {
        buttons->button(QDialogButtonBox::Ok)
            ->setEnabled(!address_->text().trimmed().isEmpty() && !user_->text().isEmpty() &&
                         !password_->text().isEmpty());
    };
    for (QLineEdit* edit : {address_, user_, password_})
        connect(edit, &QLineEdit::textChanged, this, update);
    update();
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    (address.isEmpty() ? address_ : password.isEmpty() ? password_ : address_)->setFocus();
}

QString SyncDialog::address() const { return address_->text().trimmed(); }
QString SyncDialog::user() const { return user_->text(); }
QString SyncDialog::password() const { return password_->text(); }
bool SyncDialog::remember() const { return remember_->isChecked(); }

ConflictDialog::ConflictDialog(const QString& name, const QString& reason, const QString& ours,
                               const QString& theirs, QWidget* parent)
    : QDialog(parent) {
    setWindowTitle("競合: " + name);
    auto* layout = new QVBoxLayout(this);
    auto* intro = new QLabel("「" + name + "」は" + reason + "。どちらを残すか選んでください。");
    intro->setWordWrap(true);
    layout->addWidget(intro);
    auto* sides = new QHBoxLayout;
    for (const auto& [title, text] :
         {std::pair{QString("このリスト"), ours}, std::pair{QString("サーバー"), theirs}}) {
        auto* side = new QVBoxLayout;
        side->addWidget(new QLabel(title));
        auto* view = new QPlainTextEdit(text);
        view->setReadOnly(true);
        view->setLineWrapMode(QPlainTextEdit::WidgetWidth);
        view->setMinimumSize(fontMetrics().horizontalAdvance(QString(36, 'x')),
                             fontMetrics().height() * 14);
        side->addWidget(view);
        sides->addLayout(side);
    }
    layout->addLayout(sides);
    auto* buttons = new QDialogButtonBox;
    struct Choice {
        const char* text;
        Resolution resolution;
    };
    for (Choice choice : {Choice{"このリストのものを残す(&L)", Resolution::KeepOurs},
                          Choice{"サーバーのものを残す(&S)", Resolution::KeepTheirs},
                          Choice{"両方残す(&B)", Resolution::KeepBoth}}) {
        QPushButton* button = buttons->addButton(choice.text, QDialogButtonBox::AcceptRole);
        connect(button, &QPushButton::clicked, this, [this, choice] {
            choice_ = static_cast<int>(choice.resolution);
            accept();
        });
    }
    buttons->addButton("あとで決める", QDialogButtonBox::RejectRole);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
}

void syncWithAddressBook(App& app, QWidget* parent) {
    withAddressBook(app, parent, "同期の準備(&O)", [&](CardDavClient& client) {
        std::string bookUrl = client.book().toString().toStdString();
        QSettings settings("tsunagi", "tsunagi");
        SyncState state(stateFolderFor(syncStateFolder(), bookUrl,
                                       settings.value("carddav/user").toString().toStdString()),
                        bookUrl);
        QApplication::setOverrideCursor(Qt::WaitCursor);
        std::vector<LocalPerson> people = localPeople(app.store());
        SyncPlan plan = planSync(people, state, client);
        QApplication::restoreOverrideCursor();
        std::vector<std::string> created, updated, conflicts, removed;
        for (const SyncStep& step : plan.steps) {
            if (step.kind == SyncStep::Kind::Create) created.push_back(step.name);
            if (step.kind == SyncStep::Kind::DeletedHere) removed.push_back(step.name);
            if (step.kind == SyncStep::Kind::Update) updated.push_back(step.name);
            if (step.kind == SyncStep::Kind::Conflict)
                conflicts.push_back(step.name + "（" + step.reason + "）");
        }
        std::string preview = plan.summary() + "\n";
        if (!created.empty()) preview += "\n新規:" + namesOf(created);
        if (!updated.empty()) preview += "\n変更:" + namesOf(updated);
        if (!conflicts.empty()) preview += "\n競合:" + namesOf(conflicts);
        if (!removed.empty()) preview += "\nここで削除:" + namesOf(removed);
        if (created.empty() && updated.empty() && conflicts.empty() && removed.empty()) {
            app.ui().showMessage("アドレス帳は、このリストと同じです。送るものはありません。");
            return;
        }
        if (!conflicts.empty())
            preview += "\n\n競合は、このあと 1 件ずつ、どちらを残すか選べます。";
        if (!app.ui().ask(preview + "\n\nアドレス帳に書き込みますか？", "書き込む", "やめる"))
            return;
        // The cards of entries merged here since: the user says whether they go.
        std::vector<std::string> absorbed;
        for (const SyncStep& step : plan.steps)
            if (step.kind == SyncStep::Kind::Absorbed) absorbed.push_back(step.name);
        if (!absorbed.empty())
            plan.deleteAbsorbed =
                app.ui().ask("まとめた人には、サーバーにまとめる前のカードがほかにもあります（" +
                                 std::to_string(absorbed.size()) + " 件）：" + namesOf(absorbed) +
                                 "\n\nそれらのカードをサーバーから削除しますか？「残す」を選ぶと、"
                                 "まとめた内容に書き換えて残します。",
                             "削除する", "残す");
        // The cards of people deleted here: gone from the server only where the user says so.
        if (!removed.empty())
            plan.deleteRemoved = app.ui().ask(
                "このリストから削除した人のカードが、サーバーに残っています（" +
                    std::to_string(removed.size()) + " 件）：" + namesOf(removed) +
                    "\n\nそれらのカードをサーバーからも削除しますか？「残す」を選ぶと、"
                    "サーバーのカードはそのままにします。",
                "削除する", "残す");
        // Each conflict side by side; one left undecided stays as the server has it.
        for (size_t s = 0; s < plan.steps.size(); ++s) {
            const SyncStep& step = plan.steps[s];
            if (step.kind != SyncStep::Kind::Conflict) continue;
            ConflictDialog conflict(
                QString::fromStdString(step.name), QString::fromStdString(step.reason),
                readable(people[*step.local].card), readable(step.server.card), parent);
            if (conflict.exec() == QDialog::Accepted && conflict.choice() >= 0)
                resolveConflict(plan, s, static_cast<Resolution>(conflict.choice()), people, state);
        }
        size_t writes = plan.count(SyncStep::Kind::Create) + plan.count(SyncStep::Kind::Update) +
                        plan.count(SyncStep::Kind::Absorbed) +
                        (plan.deleteRemoved ? removed.size() : 0);
        QProgressDialog progress("アドレス帳に書き込んでいます…", "", 0, static_cast<int>(writes),
                                 parent);
        progress.setCancelButton(nullptr);
        progress.setWindowModality(Qt::WindowModal);
        progress.setMinimumDuration(500);
        SyncResult result = runSync(plan, people, state, client, [&](size_t done, size_t) {
            progress.setValue(static_cast<int>(done));
        });
        progress.reset();
        // Another client wrote first to some: planned again, each is shown side by side with
        // the card that client wrote, at once rather than at the next run; only those settled
        // are written.
        if (!result.raced.empty()) {
            SyncPlan again = planSync(people, state, client);
            std::set<std::string> raced(result.raced.begin(), result.raced.end());
            bool settled = false;
            for (size_t s = 0; s < again.steps.size(); ++s) {
                SyncStep& step = again.steps[s];
                if (step.kind != SyncStep::Kind::Conflict || !raced.count(step.name)) {
                    // Nothing else this time: what else changed meanwhile waits for the next run.
                    step.kind = SyncStep::Kind::Unchanged;
                    continue;
                }
                ConflictDialog conflict(QString::fromStdString(step.name),
                                        QString("ほかのプログラムが先に変更しました"),
                                        readable(people[*step.local].card),
                                        readable(step.server.card), parent);
                if (conflict.exec() == QDialog::Accepted && conflict.choice() >= 0) {
                    resolveConflict(again, s, static_cast<Resolution>(conflict.choice()), people,
                                    state);
                    settled = true;
                }
            }
            if (settled) {
                SyncResult second = runSync(again, people, state, client);
                std::erase_if(result.conflicts, [&](const std::string& conflict) {
                    for (const std::string& name : second.created)
                        if (conflict.starts_with(name + "（")) return true;
                    for (const std::string& name : second.updated)
                        if (conflict.starts_with(name + "（")) return true;
                    return false;
                });
                for (const std::string& name : second.created) result.created.push_back(name);
                for (const std::string& name : second.updated) result.updated.push_back(name);
                result.failed.insert(result.failed.end(), second.failed.begin(),
                                     second.failed.end());
            }
        }
        std::string text = "アドレス帳に書き込みました（新規 " +
                           std::to_string(result.created.size()) + " 件、変更 " +
                           std::to_string(result.updated.size()) + " 件）。";
        if (!result.created.empty()) text += "\n新規:" + namesOf(result.created);
        if (!result.updated.empty()) text += "\n変更:" + namesOf(result.updated);
        if (!result.absorbed.empty())
            text += std::string("\n") +
                    (plan.deleteAbsorbed ? "削除したまとめ前のカード:"
                                         : "書き換えたまとめ前のカード:") +
                    namesOf(result.absorbed);
        if (!result.deletedHere.empty())
            text += "\nサーバーからも削除したもの:" + namesOf(result.deletedHere);
        if (!result.keptThere.empty())
            text += "\nここで削除し、サーバーには残したもの:" + namesOf(result.keptThere);
        if (!result.conflicts.empty())
            text += "\n\nサーバーのままにした競合:" + namesOf(result.conflicts);
        if (!result.failed.empty()) text += "\n\n送れなかったもの:" + namesOf(result.failed);
        if (!result.deletedThere.empty())
            text +=
                "\n\nサーバーで削除されていたため送らなかったもの:" + namesOf(result.deletedThere);
        app.ui().showMessage(text);
    });
}

std::string fetchAddressBook(App& app, QWidget* parent, const std::string& folder) {
    std::string path;
    withAddressBook(app, parent, "読み込む(&R)", [&](CardDavClient& client) {
        QApplication::setOverrideCursor(Qt::WaitCursor);
        std::vector<std::string> hrefs;
        for (const auto& [href, etag] : client.listCards()) hrefs.push_back(href);
        std::vector<ServerCard> cards = client.fetchCards(hrefs);
        QApplication::restoreOverrideCursor();
        if (cards.empty()) {
            app.ui().showMessage("アドレス帳にカードがありません。");
            return;
        }
        path = folder + "/アドレス帳.vcf";
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        for (const ServerCard& card : cards) {
            out << card.card;
            if (!card.card.ends_with("\n")) out << "\r\n";
        }
        if (!out) path.clear();
    });
    return path;
}

}  // namespace tsunagi
