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

    std::vector<std::string> chooseFilesToOpen(const FileRequest& request) override;
    std::optional<SaveChoice> chooseFileToSave(const FileRequest& request) override;
    void showMessage(const std::string& text) override;
    bool ask(const std::string& text, const std::string& yes, const std::string& no) override;
    size_t choose(const std::string& text, const std::vector<std::string>& answers) override;
    bool openWithDesktop(const std::string& pathOrUrl) override;
    void showStatus(const std::string& text) override;
    std::optional<CsvAssignment> chooseColumns(const std::string& path,
                                               const CsvColumnsPreview& preview) override;

  private:
    std::optional<std::vector<std::string>> choose(const FileRequest& request, bool save,
                                                   std::optional<FileKind>* kind);

    QWidget* parent_;
};

}  // namespace tsunagi
