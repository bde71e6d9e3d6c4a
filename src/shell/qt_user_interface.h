#pragma once

#include <QWidget>

#include "commands/user_interface.h"

namespace tsunagi {

// The real dialogs: Qt file dialogs, message boxes titled with the program's name, and the
// desktop's own program for help pages and web addresses.
class QtUserInterface : public UserInterface {
  public:
    explicit QtUserInterface(QWidget* parent = nullptr) : parent_(parent) {}
    void setParent(QWidget* parent) { parent_ = parent; }

    std::optional<std::string> chooseFileToOpen(const FileRequest& request) override;
    std::optional<SaveChoice> chooseFileToSave(const FileRequest& request) override;
    void showMessage(const std::string& text) override;
    bool ask(const std::string& text, const std::string& yes, const std::string& no) override;
    bool openWithDesktop(const std::string& pathOrUrl) override;

  private:
    std::optional<SaveChoice> choose(const FileRequest& request, bool save);

    QWidget* parent_;
};

}  // namespace tsunagi
