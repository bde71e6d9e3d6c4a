#pragma once

// The windows of the sync with a CardDAV address book: where and as whom, which book, what
// will be sent before anything is, a person changed on both sides side by side, progress and
// what came of it.

#include <QDialog>
#include <QString>

class QCheckBox;
class QLineEdit;
class QPlainTextEdit;

namespace tsunagi {

class App;

// The server's address, the user and the password, and whether to keep the password in the
// desktop's keychain.
class SyncDialog : public QDialog {
    Q_OBJECT
  public:
    SyncDialog(const QString& address, const QString& user, const QString& password, bool remember,
               const QString& action, QWidget* parent = nullptr);
    QString address() const;
    QString user() const;
    QString password() const;
    bool remember() const;

  private:
    QLineEdit* address_;
    QLineEdit* user_;
    QLineEdit* password_;
    QCheckBox* remember_;
};

// One person changed both here and on the server: both cards side by side. Its result is a
// Resolution as an int, or -1 where the user left it for now.
class ConflictDialog : public QDialog {
    Q_OBJECT
  public:
    ConflictDialog(const QString& name, const QString& reason, const QString& ours,
                   const QString& theirs, QWidget* parent = nullptr);
    int choice() const { return choice_; }

  private:
    int choice_ = -1;
};

// Syncs the working list with an address book, asking what the user must decide.
void syncWithAddressBook(App& app, QWidget* parent);
// Reads an address book's cards into the list, as an import of a file would; the path of the
// file they were written to, for the import; "" when nothing was read.
std::string fetchAddressBook(App& app, QWidget* parent, const std::string& folder);

}  // namespace tsunagi
